// File-system and registry services: template expansion, probes, the one
// directory walker and the registry readers.
#pragma once

#include <atomic>
#include <cstdint>

#include "os/os.h"

// ------------------------------------------------------ path expansion --

void wv_path_expand(const char16_t* src, char16_t* dst, uint32_t cap);
void wv_path_combine(char16_t* buf, uint32_t cap, const char16_t* name);
// Writes dir, one backslash and name into dst (dst may be dir itself). A dir
// that ends in a separator, such as the drive root "C:\" or "C:/", keeps one:
// "C:\\Program Files" or "C:/Program Files" name the protected folder yet
// slip past a literal comparison with the protected list. False, with dst
// cut, when the result does not fit.
bool wv_path_join(char16_t* dst, uint32_t cap, const char16_t* dir, const char16_t* name);
bool wv_path_ends_with_separator(const char16_t* path);
// Expands a template's %NAME% references and '*' segments into up to `max`
// concrete paths, each written into the caller's buffer of 1,024 units.
uint32_t wv_path_expand_wildcard(const char16_t* pattern, char16_t** results, uint32_t max);

// ------------------------------------------------ probes and the walker --

int wv_dir_exists(const char16_t* path);
int wv_file_exists(const char16_t* path);
int wv_dir_accessible(const char16_t* dir);

struct wv_walk_stats {
    uint64_t total_bytes;
    uint32_t file_count;
    uint32_t dir_count;
};

// Item callback: the entry's full path, its find record, 1 for a directory,
// the caller's pointer. For a plain file 0 ends the listing of its directory;
// for a subdirectory 0 skips it; for a reparse point the answer is ignored.
using wv_walk_item_fn = int (*)(const char16_t* path, const os::find_data* fd, int is_dir,
                                void* user);
// Enter callback: 0 keeps the directory from being listed.
using wv_walk_enter_fn = int (*)(const char16_t* dir, void* user);

void wv_dir_walk(const char16_t* start, wv_walk_item_fn on_item, wv_walk_enter_fn on_enter,
                 const std::atomic<int32_t>* stop_flag, wv_walk_stats* stats, void* user);

// ------------------------------------------------------------- registry --

int wv_reg_read_string(os::hkey root, const char16_t* subkey, const char16_t* value_name,
                       char16_t* buf, uint32_t cap);
int wv_reg_key_exists(os::hkey root, const char16_t* subkey);
int wv_reg_value_exists(os::hkey root, const char16_t* subkey, const char16_t* value_name);
using wv_reg_subkey_fn = int (*)(const char16_t* name, void* user);
void wv_reg_enum_subkeys(os::hkey root, const char16_t* subkey, wv_reg_subkey_fn callback,
                         void* user);
