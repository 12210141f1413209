#include "base/text.h"
#include "fs/fs.h"

static constexpr uint32_t k_path = 1024;

// Expands into dst; true when the expansion itself fitted. On false dst holds
// the source, cut to cap, as wv_path_expand leaves it.
static bool expand(const char16_t* src, char16_t* dst, uint32_t cap) {
    uint32_t need;
    if (src == dst) { // ExpandEnvironmentStrings must not write over its input
        char16_t scratch[k_path];
        need = os::expand_environment_strings(src, scratch, k_path);
        if (need != 0 && need <= cap && need <= k_path) {
            wv::str_copy(dst, cap, scratch);
            return true;
        }
        return false;
    }
    need = os::expand_environment_strings(src, dst, cap);
    if (need != 0 && need <= cap) return true;
    wv::str_copy(dst, cap, src);
    return false;
}

void wv_path_expand(const char16_t* src, char16_t* dst, uint32_t cap) {
    if (!src || !dst || cap == 0) return;
    expand(src, dst, cap);
}

void wv_path_combine(char16_t* buf, uint32_t cap, const char16_t* name) {
    if (!buf || !name || cap == 0) return;
    if (buf[0] == 0) {
        wv::str_copy(buf, cap, name);
        return;
    }
    size_t len = wv::str_len(buf);
    while (len > 0 && (buf[len - 1] == u'\\' || buf[len - 1] == u'/')) buf[--len] = 0;
    wv::str_append(buf, cap, u"\\");
    wv::str_append(buf, cap, name);
}

bool wv_path_ends_with_separator(const char16_t* path) {
    size_t len = wv::str_len(path);
    return len > 0 && (path[len - 1] == u'\\' || path[len - 1] == u'/');
}

bool wv_path_join(char16_t* dst, uint32_t cap, const char16_t* dir, const char16_t* name) {
    if (!dst || cap == 0) return false;
    if (!wv::str_copy(dst, cap, dir)) return false;
    size_t len = wv::str_len(dst);
    if (wv_path_ends_with_separator(dst))
        dst[len - 1] = u'\\'; // "C:/" joins as "C:\x", the form the protected list names
    else if (!wv::str_append(dst, cap, u"\\"))
        return false;
    return wv::str_append(dst, cap, name);
}

// One level of template expansion. A path that would have to be cut to fit
// is dropped rather than cut: a cut path can name another, existing entry,
// and whatever a scan records may later be deleted.
static void wildcard_expand_rec(const char16_t* pattern, char16_t** results, uint32_t max,
                                uint32_t* count, uint32_t depth) {
    if (*count >= max || depth >= 9) return;
    const char16_t* star = wv::str_chr(pattern, u'*');
    if (!star) {
        char16_t* out = results[*count];
        if (!expand(pattern, out, k_path) && wv::str_len(pattern) >= k_path) return;
        ++*count;
        return;
    }

    char16_t before[k_path];
    size_t before_len = size_t(star - pattern);
    if (before_len >= k_path) return;
    for (size_t i = 0; i < before_len; ++i) before[i] = pattern[i];
    before[before_len] = 0;
    const char16_t* after = star + 1;
    if (wv::str_len(after) >= k_path) return;

    char16_t fragment[256] = {0};
    const char16_t* slash = wv::str_rchr(before, u'\\');
    if (slash) {
        if (!wv::str_copy(fragment, 256, slash + 1)) return;
        before[slash - before] = 0; // before now holds the directory part
    }

    char16_t dir[k_path];
    expand(before, dir, k_path);
    if (dir[0] == 0) return;

    char16_t search[k_path];
    if (!wv_path_join(search, k_path, dir, fragment) || !wv::str_append(search, k_path, u"*"))
        return;
    os::find_data fd;
    os::handle h = os::find_first_file(search, &fd);
    if (h == os::invalid_handle) return;
    do {
        if (*count >= max) break;
        if (wv::str_equal(fd.name, u".") || wv::str_equal(fd.name, u"..")) continue;
        if (!(fd.attributes & os::file_attribute_directory)) continue;
        char16_t child[k_path];
        if (!wv_path_join(child, k_path, dir, fd.name) || !wv::str_append(child, k_path, after))
            continue;
        wildcard_expand_rec(child, results, max, count, depth + 1);
    } while (os::find_next_file(h, &fd));
    os::find_close(h);
}

uint32_t wv_path_expand_wildcard(const char16_t* pattern, char16_t** results, uint32_t max) {
    if (!pattern || !results || max == 0) return 0;
    uint32_t count = 0;
    wildcard_expand_rec(pattern, results, max, &count, 0);
    return count;
}
