// The large-file and duplicate-candidate finders. Both walk with the one
// directory walker: it skips protected folders, never follows a junction or
// symbolic link below its start, and keeps its own stack.
#include "base/text.h"
#include "catalogue/catalogue.h"
#include "fs/fs.h"
#include "tools/tools.h"

static uint64_t listed_size(const os::find_data* fd) {
    return (uint64_t(fd->size_high) << 32) | fd->size_low;
}

int large_on_item_v2(const char16_t* path, const os::find_data* fd, int is_dir, void* user) {
    auto* c = static_cast<wv_large_ctx*>(user);
    if (is_dir || (fd->attributes & os::file_attribute_directory)) return 1;
    if (wv_blacklist_match(path)) return 1;
    if (listed_size(fd) < c->min_size) return 1;
    if (*c->count >= c->capacity) return 1; // full: the walk still runs to its end
    wv_large_file& r = c->records[*c->count];
    wv::str_copy(r.path, sizeof r.path / sizeof r.path[0], path);
    r.size = listed_size(fd);
    r.last_write = fd->last_write_time;
    ++*c->count;
    return 1;
}

uint32_t wv_tool_large_files(const char16_t* root, uint64_t min_size, wv_large_file* records,
                             uint32_t capacity) {
    if (!root || !records || capacity == 0) return 0;
    uint32_t count = 0;
    wv_large_ctx ctx{min_size, records, &count, capacity};
    wv_dir_walk(root, &large_on_item_v2, nullptr, nullptr, nullptr, &ctx);
    return count;
}

namespace {
struct dup_ctx {
    wv_dup_candidate* records;
    uint32_t count;
    uint32_t capacity;
    std::atomic<int32_t> full{0}; // ends the whole walk, not just one folder
};
} // namespace

static int dup_on_item(const char16_t* path, const os::find_data* fd, int is_dir, void* user) {
    auto* c = static_cast<dup_ctx*>(user);
    if (is_dir) return 1;
    if (wv_blacklist_match(path) || listed_size(fd) < WV_DUP_MIN_SIZE) return 1;
    wv_dup_candidate& r = c->records[c->count++];
    wv::str_copy(r.path, sizeof r.path / sizeof r.path[0], path);
    r.size = listed_size(fd);
    if (c->count == c->capacity) c->full.store(1, std::memory_order_relaxed);
    return 1;
}

uint32_t wv_tool_dup_files(const char16_t* dir, wv_dup_candidate* records, uint32_t capacity) {
    if (!dir || !records || capacity == 0) return 0;
    dup_ctx ctx;
    ctx.records = records;
    ctx.count = 0;
    ctx.capacity = capacity;
    wv_dir_walk(dir, &dup_on_item, nullptr, &ctx.full, nullptr, &ctx);
    return ctx.count;
}
