// The clean engine: removes the checked files of a finished scan, to the
// Recycle Bin (mode 0) or for good (any other mode), with per-category results.
#pragma once

#include <atomic>
#include <cstdint>

#include "scan/scan.h"

// Error codes of wv_clean_one beyond the platform's and the shell's own.
inline constexpr uint32_t WV_ERR_PROTECTED = 0xBAAD0001u; // protected path: nothing was done
// The Recycle Bin request answered success but the entry is still there.
inline constexpr uint32_t WV_ERR_NOT_REMOVED = 0xBAAD0002u;

struct wv_clean_result {
    char16_t name[256];
    uint32_t cleaned_count;
    uint64_t freed_bytes;
    uint32_t failed_count;
    char16_t* failed_paths; // heap text: each failed path followed by ";", or null
};

int wv_clean_one(const char16_t* path, int mode, uint32_t* error);
int wv_clean_remove_empty_dir(const char16_t* path);
uint32_t wv_clean_category(wv_category* category, int mode, wv_clean_result* result,
                           const std::atomic<int32_t>* stop);
uint32_t wv_clean_execute(wv_scan* scan, int mode, wv_clean_result* results, uint32_t capacity,
                          const std::atomic<int32_t>* stop);
// Releases a record's failed_paths and zeroes the record.
void wv_clean_result_clear(wv_clean_result* result);
