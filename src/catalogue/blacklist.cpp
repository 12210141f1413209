#include "base/text.h"
#include "catalogue/catalogue.h"

// Locations never scanned, entered, removed, measured or shredded. A pattern
// with a '*' names a folder inside a user profile: only the text after the
// '*' takes part, joined to each profile folder the ProfileList yields.
static const char16_t* const g_blacklist[] = {
    u"c:\\windows\\system32",
    u"c:\\windows\\syswow64",
    u"c:\\windows\\boot",
    u"c:\\windows\\fonts",
    u"c:\\windows\\system32\\config",
    u"c:\\program files",
    u"c:\\program files (x86)",
    u"c:\\programdata",
    u"c:\\users\\*\\desktop",
    u"c:\\users\\*\\documents",
    u"c:\\users\\*\\pictures",
    u"c:\\users\\*\\videos",
    u"c:\\users\\*\\music",
    u"c:\\users\\*\\downloads",
    u"c:\\efi",
    u"c:\\boot",
    u"c:\\users\\*\\appdata\\roaming",
    u"c:\\windows\\installer",
};

static const char16_t* const k_profile_list =
    u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

uint32_t wv_blacklist_count() {
    return uint32_t(sizeof g_blacklist / sizeof g_blacklist[0]);
}

const char16_t* wv_blacklist_get(uint32_t index) {
    return index < wv_blacklist_count() ? g_blacklist[index] : nullptr;
}

// The pattern covers the (folded) path when the path starts with it and the
// next unit ends the path or is a separator. Separators inside the pattern
// compare literally.
static bool covers(const char16_t* folded_path, const char16_t* pattern) {
    size_t n = 0;
    for (; pattern[n]; ++n)
        if (folded_path[n] != pattern[n]) return false;
    char16_t next = folded_path[n];
    return next == 0 || next == u'\\' || next == u'/';
}

static bool profile_pattern_matches(const char16_t* folded_path, const char16_t* suffix) {
    os::hkey key = nullptr;
    if (os::reg_open_key_ex(os::hkey_local_machine, k_profile_list, 0,
                            os::key_read | os::key_wow64_64key, &key) != 0)
        return false;
    bool hit = false;
    for (uint32_t i = 0;; ++i) {
        char16_t sub[256];
        uint32_t sub_len = 256;
        if (os::reg_enum_key_ex(key, i, sub, &sub_len) != 0) break;
        // The value is asked of the ProfileList key itself, not of the
        // enumerated subkey. A standard installation has no such value there,
        // so the profile patterns protect nothing, and the catalogue's
        // templates under Documents, Videos and AppData\Roaming stay
        // scannable: they depend on this, so it must stay as it is.
        char16_t value[1024];
        uint32_t bytes = sizeof value;
        if (os::reg_query_value_ex(key, u"ProfileImagePath", nullptr,
                                   reinterpret_cast<uint8_t*>(value), &bytes) != 0)
            continue;
        size_t units = bytes / 2;
        value[units < 1024 ? units : 1023] = 0; // the registry need not store the zero
        wv::str_fold_ascii(value);
        char16_t joined[1024];
        if (!wv::format(joined, 1024, u"%s%s", value, suffix)) continue; // cannot match
        if (covers(folded_path, joined)) {
            hit = true;
            break;
        }
    }
    os::reg_close_key(key);
    return hit;
}

int wv_blacklist_match(const char16_t* path) {
    if (!path) return 0;
    char16_t folded[1024];
    // No path of the program is longer; one that is cannot be judged from
    // its first 1,023 units, so it is treated as protected.
    if (!wv::str_copy(folded, 1024, path)) return 1;
    wv::str_fold_ascii(folded);
    for (const char16_t* pattern : g_blacklist) {
        const char16_t* star = wv::str_chr(pattern, u'*');
        if (!star) {
            if (covers(folded, pattern)) return 1;
        } else if (profile_pattern_matches(folded, star + 1)) {
            return 1;
        }
    }
    return 0;
}
