// The cleaning catalogue: the fixed category table, the protected-path list
// with its matcher, and the table of system maintenance commands.
#pragma once

#include <cstdint>

#include "os/os.h"

// One cleaning category. The table never changes at run time; rows are
// handed out by reference and never freed.
struct wv_app {
    const char16_t* id;
    const char16_t* name;
    int32_t risk; // 0 safe, 1 caution, 2 high risk
    int32_t default_unchecked;
    os::hkey reg_root; // install location, or null
    const char16_t* reg_subkey;
    const char16_t* reg_value;
    const char16_t* const* paths; // templates, ended by a null entry
};

uint32_t wv_apps_count();
const wv_app* wv_apps_get(uint32_t index);
const wv_app* wv_apps_find(const char16_t* id);

uint32_t wv_blacklist_count();
const char16_t* wv_blacklist_get(uint32_t index);
int wv_blacklist_match(const char16_t* path);
// The profile folders the ProfileList yields are read at most about once a
// second. Refresh forgets them, so the next call reads the registry (for a
// test that changes the ProfileList); with the snapshot off every call reads
// the registry, which a benchmark uses as its baseline.
void wv_blacklist_refresh();
void wv_blacklist_use_snapshot(int on);

struct wv_syscmd {
    const char16_t* id;
    const char16_t* name;
    int32_t risk;
    const char16_t* command;
    const char16_t* warning;
};

uint32_t wv_syscmd_count();
const wv_syscmd* wv_syscmd_get(uint32_t index);
