// The user's never-scan list and its settings file, welvo.ini beside the
// executable (section WHITELIST, keys path0, path1, ...).
#pragma once

#include <cstdint>

inline constexpr uint32_t WV_WHITELIST_CAPACITY = 1024;

void wv_whitelist_init();
void wv_whitelist_close();
void wv_whitelist_save();
int wv_whitelist_add(const char16_t* path);
int wv_whitelist_match(const char16_t* path);
int wv_whitelist_remove(const char16_t* path);
uint32_t wv_whitelist_count();
const char16_t* wv_whitelist_get(uint32_t index);
int wv_whitelist_export(const char16_t* file);
int wv_whitelist_import(const char16_t* file);
