#include "base/mem.h"

#include <atomic>
#include <cstdlib>

namespace wv {

static std::atomic<mem_fail_fn> g_fail_hook{nullptr};

static bool should_fail(size_t bytes) {
    mem_fail_fn fn = g_fail_hook.load(std::memory_order_acquire);
    return fn && fn(bytes);
}

void* mem_alloc_zero(size_t bytes) {
    if (should_fail(bytes)) return nullptr;
    return std::calloc(1, bytes ? bytes : 1);
}

void* mem_realloc(void* p, size_t bytes) {
    if (should_fail(bytes)) return nullptr;
    return std::realloc(p, bytes ? bytes : 1);
}

void mem_free(void* p) {
    std::free(p);
}

void mem_set_fail_hook(mem_fail_fn fn) {
    g_fail_hook.store(fn, std::memory_order_release);
}

} // namespace wv
