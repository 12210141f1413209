// The clean engine. Every removal goes through wv_clean_one, which refuses a
// protected path before it touches anything, and a removal is counted only
// when the platform did remove the entry.
#include "clean/clean.h"

#include "base/mem.h"
#include "base/text.h"
#include "catalogue/catalogue.h"

// Attributes SetFileAttributesW accepts; the others (directory, reparse
// point, compressed ...) are reported but cannot be written back.
static constexpr uint32_t k_settable = 0x1 | 0x2 | 0x4 | 0x20 | 0x100 | 0x1000 | 0x2000;

// The longest path, with its zero, that the shell's Recycle Bin request takes.
static constexpr size_t k_shell_max_path = 260;

static void put(uint32_t* error, uint32_t code) {
    if (error) *error = code;
}

// Clears `clear` from the attributes if any of them is set. Answers whether
// the attributes were changed, so a failed removal can put them back.
static bool clear_attributes(const char16_t* path, uint32_t attrs, uint32_t clear) {
    if (!(attrs & clear)) return false;
    uint32_t rest = attrs & k_settable & ~clear;
    return os::set_file_attributes(path, rest ? rest : os::file_attribute_normal);
}

// Reports a removal. One that failed leaves the entry's attributes as they
// were and reports the platform's reason.
static int outcome(bool removed, const char16_t* path, uint32_t attrs, bool changed,
                   uint32_t* error) {
    if (removed) {
        put(error, 0);
        return 1;
    }
    uint32_t code = os::get_last_error();
    if (changed) {
        uint32_t keep = attrs & k_settable;
        os::set_file_attributes(path, keep ? keep : os::file_attribute_normal);
    }
    put(error, code);
    return 0;
}

static int remove_dir(const char16_t* path, uint32_t* error) {
    uint32_t attrs = os::get_file_attributes(path);
    if (attrs == os::invalid_file_attributes) {
        put(error, os::get_last_error());
        return 0;
    }
    bool changed =
        clear_attributes(path, attrs, os::file_attribute_readonly | os::file_attribute_hidden);
    return outcome(os::remove_directory(path), path, attrs, changed, error);
}

static int delete_for_good(const char16_t* path, uint32_t attrs, uint32_t* error) {
    if (attrs & os::file_attribute_directory) return remove_dir(path, error);
    bool changed = clear_attributes(path, attrs,
                                    os::file_attribute_readonly | os::file_attribute_hidden |
                                        os::file_attribute_system);
    return outcome(os::delete_file(path), path, attrs, changed, error);
}

static bool gone(const char16_t* path) {
    if (os::get_file_attributes(path) != os::invalid_file_attributes) return false;
    uint32_t code = os::get_last_error();
    return code == os::error_file_not_found || code == os::error_path_not_found;
}

static int recycle(const char16_t* path, uint32_t* error) {
    // The shell cannot take a longer path (Windows refuses it, other shells
    // may cut it and name another file): it is never handed over.
    size_t len = wv::str_len(path);
    if (len >= k_shell_max_path) {
        put(error, os::error_filename_exced_range);
        return 0;
    }
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
    if (!gone(path)) {
        put(error, WV_ERR_NOT_REMOVED);
        return 0;
    }
    return 1;
}

int wv_clean_one(const char16_t* path, int mode, uint32_t* error) {
    if (!path || !path[0]) return 0;
    if (wv_blacklist_match(path)) {
        put(error, WV_ERR_PROTECTED);
        return 0;
    }
    uint32_t attrs = os::get_file_attributes(path);
    if (attrs == os::invalid_file_attributes) {
        put(error, os::get_last_error());
        return 0;
    }
    return mode ? delete_for_good(path, attrs, error) : recycle(path, error);
}

int wv_clean_remove_empty_dir(const char16_t* path) {
    if (!path || !path[0] || wv_blacklist_match(path)) return 0;
    return remove_dir(path, nullptr);
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
        if (wv_clean_one(f->path, mode, nullptr)) {
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
