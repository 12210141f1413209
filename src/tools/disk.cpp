// Disk usage: the entries of one directory with their sizes, largest first.
#include <algorithm>

#include "base/text.h"
#include "catalogue/catalogue.h"
#include "fs/fs.h"
#include "tools/tools.h"

static constexpr size_t k_path = 1024;

static bool is_dot(const char16_t* n) {
    return n[0] == u'.' && (n[1] == 0 || (n[1] == u'.' && n[2] == 0));
}

static int sum_on_item(const char16_t*, const os::find_data* fd, int is_dir, void* user) {
    // Directories answer 1 so the walker descends (it never descends into a
    // junction or link, whatever the answer); every other entry, a file
    // symbolic link included, counts with its listed size.
    if (!is_dir) *static_cast<uint64_t*>(user) += (uint64_t(fd->size_high) << 32) | fd->size_low;
    return 1;
}

// The one walker does the descent, with an explicit stack, so a tree as deep
// as the path limit allows cannot exhaust the caller's stack.
uint64_t sum_dir_recursive(const char16_t* dir, const std::atomic<int32_t>* stop) {
    uint64_t sum = 0;
    wv_dir_walk(dir, &sum_on_item, nullptr, stop, nullptr, &sum);
    return sum;
}

uint32_t wv_tool_disk_analyze(const char16_t* dir, wv_disk_entry* entries, uint32_t capacity) {
    if (!dir || !entries || capacity == 0 || !wv_dir_exists(dir)) return 0;
    if (wv_blacklist_match(dir)) return 0;
    char16_t pattern[k_path];
    if (!wv_path_join(pattern, k_path, dir, u"*")) return 0;
    os::find_data fd;
    os::handle h = os::find_first_file(pattern, &fd);
    if (h == os::invalid_handle) return 0;

    const std::atomic<int32_t> never{0};
    char16_t full[k_path];
    uint32_t n = 0;
    do {
        if (is_dot(fd.name)) continue;
        // A cut path would name another entry: leave it out instead.
        if (!wv_path_join(full, k_path, dir, fd.name)) continue;
        if (wv_blacklist_match(full)) continue;
        wv_disk_entry& e = entries[n];
        // A junction here is measured through (it is what the user sees in
        // this folder); below it the walker follows none.
        e.size = (fd.attributes & os::file_attribute_directory)
                     ? sum_dir_recursive(full, &never)
                     : (uint64_t(fd.size_high) << 32) | fd.size_low;
        wv::str_copy(e.path, k_path, full);
        wv::str_copy(e.name, sizeof e.name / sizeof e.name[0], fd.name);
        ++n;
    } while (n < capacity && os::find_next_file(h, &fd));
    os::find_close(h);

    std::stable_sort(entries, entries + n, [](const wv_disk_entry& a, const wv_disk_entry& b) {
        return a.size > b.size;
    });
    return n;
}
