// Heap helpers of the engine. Every record and node is allocated through
// these, so a test can make an allocation fail and watch the engine cope.
#pragma once

#include <cstddef>

namespace wv {

void* mem_alloc_zero(size_t bytes);
void* mem_realloc(void* p, size_t bytes);
void mem_free(void* p);

// Test hook: when set, it is asked before every allocation and a true answer
// makes that allocation fail. Not for production use.
using mem_fail_fn = bool (*)(size_t bytes);
void mem_set_fail_hook(mem_fail_fn fn);

} // namespace wv
