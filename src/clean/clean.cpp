// The clean engine. Every removal goes through clean_entry: it refuses a
// protected path before it touches anything, removes an entry only where it
// really is what the scan saw (a folder swapped for a junction cannot
// redirect a deletion), and counts a removal only when the platform did
// remove the entry.
#include "clean/clean.h"

#include "base/mem.h"
#include "base/text.h"
#include "catalogue/catalogue.h"
#include "fs/fs.h"

// Attributes that can be written back; the others (directory, reparse
// point, compressed ...) are reported but cannot be set.
static constexpr uint32_t k_settable = 0x1 | 0x2 | 0x4 | 0x20 | 0x100 | 0x1000 | 0x2000;

// The longest path, with its zero, that the shell's Recycle Bin request takes.
static constexpr size_t k_shell_max_path = 260;

static void put(uint32_t* error, uint32_t code) {
    if (error) *error = code;
}

static int fail(uint32_t* error, uint32_t code) {
    put(error, code);
    return 0;
}

// True when `actual` names `root` followed by `rel` (the part of the scanned
// path below the walked one), letters compared without regard to ASCII case
// as the file system compares names.
static bool same_place(const char16_t* actual, const char16_t* root, const char16_t* rel) {
    while (*rel == u'\\' || *rel == u'/') ++rel;
    char16_t expected[2048];
    if (!*rel) {
        if (!wv::str_copy(expected, 2048, root)) return false;
    } else if (!wv_path_join(expected, 2048, root, rel)) {
        return false;
    }
    return wv::str_equal_fold(actual, expected);
}

// Checks an opened entry against what the scan saw. 0 when it may be
// removed, else the reason.
static uint32_t check_place(os::handle h, uint32_t attributes, const wv_file* seen) {
    char16_t final_path[1024];
    if (!wv_final_path(h, final_path, 1024)) return WV_ERR_REDIRECTED;
    if (wv_blacklist_match(final_path)) return WV_ERR_PROTECTED;
    if (!seen || !seen->root) return 0;
    const wv_walk_root* root = seen->root;
    if (!root->final_path[0] || wv::str_len(seen->path) < root->walked_len)
        return WV_ERR_REDIRECTED;
    if (!same_place(final_path, root->final_path, seen->path + root->walked_len))
        return WV_ERR_REDIRECTED;
    // The entry itself swapped for a link (to a user's file, say).
    if ((attributes & os::file_attribute_reparse_point) &&
        !(seen->attributes & os::file_attribute_reparse_point))
        return WV_ERR_REDIRECTED;
    return 0;
}

// Removes an entry for good through its own handle: read-only, hidden and
// system (read-only and hidden for a folder) are cleared first, and put back
// if the removal is refused.
static int delete_by_handle(os::handle h, uint32_t attrs, uint32_t* error) {
    uint32_t clear =
        (attrs & os::file_attribute_directory)
            ? os::file_attribute_readonly | os::file_attribute_hidden
            : os::file_attribute_readonly | os::file_attribute_hidden | os::file_attribute_system;
    bool changed = false;
    if (attrs & clear) {
        uint32_t rest = attrs & k_settable & ~clear;
        changed = os::set_file_attributes_by_handle(h, rest ? rest : os::file_attribute_normal);
    }
    if (os::set_file_delete_disposition(h, true)) {
        put(error, 0);
        return 1;
    }
    uint32_t code = os::get_last_error();
    if (changed) {
        uint32_t keep = attrs & k_settable;
        os::set_file_attributes_by_handle(h, keep ? keep : os::file_attribute_normal);
    }
    return fail(error, code);
}

static bool gone(const char16_t* path) {
    if (os::get_file_attributes(path) != os::invalid_file_attributes) return false;
    uint32_t code = os::get_last_error();
    return code == os::error_file_not_found || code == os::error_path_not_found;
}

// The shell cannot take a longer path (Windows refuses it, other shells may
// cut it and name another file): it is never handed over.
static bool shell_takes(const char16_t* path) {
    return wv::str_len(path) < k_shell_max_path;
}

static int recycle(const char16_t* path, uint32_t* error) {
    size_t len = wv::str_len(path);
    char16_t from[k_shell_max_path + 1]; // the path, its zero, the list's closing zero
    wv::str_copy(from, k_shell_max_path, path);
    from[len + 1] = 0;

    os::sh_file_op op{};
    op.func = os::fo_delete;
    op.from = from;
    op.flags = os::fof_silent | os::fof_noconfirmation | os::fof_allowundo | os::fof_noerrorui;
    int32_t r = os::sh_file_operation(&op);
    put(error, uint32_t(r));
    if (r != 0 || op.any_operations_aborted) return 0;
    // The shell can answer success and leave the file where it was (Wine,
    // when it falls back to deleting a file that is still open).
    if (!gone(path)) return fail(error, WV_ERR_NOT_REMOVED);
    return 1;
}

// Every removal comes here. The entry is opened without following a final
// link, its real location is read from the handle and checked (protected
// list; for a file a scan found, the place the scan saw it), and a permanent
// removal goes through that same handle, so nothing can be swapped in
// between the check and the removal. The Recycle Bin request takes a path:
// the check is made right before it.
static int clean_entry(const char16_t* path, int mode, uint32_t* error, const wv_file* seen,
                       bool folders_only) {
    if (!path || !path[0]) return 0;
    if (wv_blacklist_match(path)) return fail(error, WV_ERR_PROTECTED);
    if (!mode && !shell_takes(path)) return fail(error, os::error_filename_exced_range);
    uint32_t access = os::file_read_attributes;
    if (mode) access |= os::delete_access | os::file_write_attributes;
    os::handle h = os::create_file(
        path, access, os::file_share_read | os::file_share_write | os::file_share_delete,
        os::open_existing, os::file_flag_open_reparse_point | os::file_flag_backup_semantics);
    if (h == os::invalid_handle) return fail(error, os::get_last_error());
    uint32_t attributes = 0;
    if (!os::get_file_attribute_tag_info(h, &attributes, nullptr)) {
        uint32_t code = os::get_last_error();
        os::close_handle(h);
        return fail(error, code);
    }
    if (folders_only && !(attributes & os::file_attribute_directory)) {
        os::close_handle(h);
        return fail(error, os::error_directory);
    }
    if (uint32_t why = check_place(h, attributes, seen)) {
        os::close_handle(h);
        return fail(error, why);
    }
    if (mode) {
        int removed = delete_by_handle(h, attributes, error);
        os::close_handle(h); // the entry goes with its last handle
        return removed;
    }
    os::close_handle(h);
    return recycle(path, error);
}

int wv_clean_one(const char16_t* path, int mode, uint32_t* error) {
    return clean_entry(path, mode, error, nullptr, false);
}

int wv_clean_file(const wv_file* file, int mode, uint32_t* error) {
    if (!file) return 0;
    return clean_entry(file->path, mode, error, file, false);
}

int wv_clean_remove_empty_dir(const char16_t* path) {
    return clean_entry(path, 1, nullptr, nullptr, true);
}

static bool stopped(const std::atomic<int32_t>* stop) {
    return stop && stop->load(std::memory_order_acquire) != 0;
}

// Appends "path;" to the record's text of failed paths. `len` is the text's
// length, kept by the caller so that a long list is not measured again for
// every failure. A text that cannot grow is dropped; the next failure starts
// a new one.
static void append_failed(wv_clean_result* r, size_t* len, const char16_t* path) {
    size_t add = wv::str_len(path);
    size_t units = *len + add + 2; // old text, path, ";", zero
    auto* grown =
        static_cast<char16_t*>(wv::mem_realloc(r->failed_paths, units * sizeof(char16_t)));
    if (!grown) {
        wv::mem_free(r->failed_paths);
        r->failed_paths = nullptr;
        *len = 0;
        return;
    }
    for (size_t i = 0; i < add; ++i) grown[*len + i] = path[i];
    grown[*len + add] = u';';
    grown[*len + add + 1] = 0;
    r->failed_paths = grown;
    *len += add + 1;
}

uint32_t wv_clean_category(wv_category* category, int mode, wv_clean_result* result,
                           const std::atomic<int32_t>* stop) {
    if (!category || !result) return 0;
    *result = wv_clean_result{};
    wv::str_copy(result->name, 256, category->name);
    size_t text_len = 0;
    uint32_t removed = 0;
    for (wv_file* f = category->head; f; f = f->next) {
        if (stopped(stop)) break;
        if (!f->checked) continue;
        if (wv_clean_file(f, mode, nullptr)) {
            ++removed;
            ++result->cleaned_count;
            result->freed_bytes += f->size;
        } else {
            ++result->failed_count;
            ++category->failed_count;
            append_failed(result, &text_len, f->path);
        }
    }
    return removed;
}

uint32_t wv_clean_execute(wv_scan* scan, int mode, wv_clean_result* results, uint32_t capacity,
                          const std::atomic<int32_t>* stop) {
    if (!scan || !results || capacity == 0 || !scan->categories) return 0;
    if (scan->category_count.load(std::memory_order_acquire) == 0) return 0;
    uint32_t j = 0, k = 0, total = 0;
    for (;;) {
        if (stopped(stop)) break;
        total += wv_clean_category(&scan->categories[k], mode, &results[j], stop);
        // A category without a tried file leaves no record: the slot is
        // zeroed (it holds no failed paths) and the next category takes it.
        if (results[j].cleaned_count || results[j].failed_count)
            ++j;
        else
            results[j] = wv_clean_result{};
        ++k;
        uint32_t count = scan->category_count.load(std::memory_order_acquire);
        if (k >= count || k >= WV_MAX_CATEGORIES) break;
        if (j >= capacity) break;
    }
    return total;
}

void wv_clean_result_clear(wv_clean_result* result) {
    if (!result) return;
    wv::mem_free(result->failed_paths);
    *result = wv_clean_result{};
}
