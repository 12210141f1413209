#include <atomic>

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

// Reads the ProfileList the way every profile pattern asks it: for each
// subkey, the value "ProfileImagePath" of the ProfileList key itself (not of
// the subkey: the subkey's name plays no further part). `visit` gets each
// folded value and answers true to stop. A standard installation has no such
// value on the key itself, so the profile patterns protect nothing and the
// catalogue's templates under Documents, Videos and AppData\Roaming stay
// scannable: they depend on this, so it must stay as it is.
template <class Visit> static void read_profile_list(Visit visit) {
    os::hkey key = nullptr;
    if (os::reg_open_key_ex(os::hkey_local_machine, k_profile_list, 0,
                            os::key_read | os::key_wow64_64key, &key) != 0)
        return;
    for (uint32_t i = 0;; ++i) {
        char16_t sub[256];
        uint32_t sub_len = 256;
        if (os::reg_enum_key_ex(key, i, sub, &sub_len) != 0) break;
        char16_t value[1024];
        uint32_t bytes = sizeof value;
        if (os::reg_query_value_ex(key, u"ProfileImagePath", nullptr,
                                   reinterpret_cast<uint8_t*>(value), &bytes) != 0)
            continue;
        size_t units = bytes / 2;
        value[units < 1024 ? units : 1023] = 0; // the registry need not store the zero
        wv::str_fold_ascii(value);
        if (visit(value)) break;
    }
    os::reg_close_key(key);
}

static bool joined_covers(const char16_t* folded_path, const char16_t* folded_value,
                          const char16_t* suffix) {
    char16_t joined[1024];
    if (!wv::format(joined, 1024, u"%s%s", folded_value, suffix)) return false; // cannot match
    return covers(folded_path, joined);
}

// What the ProfileList yields, kept for about a second. The predicate is asked
// about every entry a scan or a clean meets, and reading the key afresh for
// each of the seven profile patterns would cost more than the walk itself.
// The answers are the same as reading it on every call: the values are kept
// in the order read (only repeats of the same text are dropped, which cannot
// change an answer), and a ProfileList that yields more distinct values than
// fit is read directly, as before.
namespace {
constexpr uint32_t k_snapshot_values = 16;
constexpr uint32_t k_snapshot_ms = 1000;

struct profile_snapshot {
    bool valid;
    bool overflow; // more distinct values than fit: read the registry each call
    uint32_t taken;
    uint32_t count;
    char16_t values[k_snapshot_values][1024];
};

struct snapshot_holder {
    os::critical_section lock;
    profile_snapshot snap{};
    std::atomic<int32_t> enabled{1};
    snapshot_holder() { os::initialize_critical_section(&lock); }
};

// Built on first use (thread-safe); its lock is never deleted, so a caller
// on another thread at exit never meets a destroyed lock.
snapshot_holder& holder() {
    static snapshot_holder h;
    return h;
}
} // namespace

static void take_snapshot(profile_snapshot* s) {
    s->count = 0;
    s->overflow = false;
    read_profile_list([&](const char16_t* value) {
        for (uint32_t i = 0; i < s->count; ++i)
            if (wv::str_equal(s->values[i], value)) return false;
        if (s->count == k_snapshot_values) {
            s->overflow = true;
            return true;
        }
        wv::str_copy(s->values[s->count++], 1024, value);
        return false;
    });
    s->valid = true;
    s->taken = os::get_tick_count();
}

static bool profile_patterns_match_direct(const char16_t* folded_path) {
    for (const char16_t* pattern : g_blacklist) {
        const char16_t* star = wv::str_chr(pattern, u'*');
        if (!star) continue;
        bool hit = false;
        read_profile_list([&](const char16_t* value) {
            hit = joined_covers(folded_path, value, star + 1);
            return hit;
        });
        if (hit) return true;
    }
    return false;
}

static bool profile_patterns_match(const char16_t* folded_path) {
    snapshot_holder& h = holder();
    if (!h.enabled.load(std::memory_order_acquire))
        return profile_patterns_match_direct(folded_path);
    os::enter_critical_section(&h.lock);
    profile_snapshot& s = h.snap;
    if (!s.valid || os::get_tick_count() - s.taken >= k_snapshot_ms) take_snapshot(&s);
    bool overflow = s.overflow, hit = false;
    for (uint32_t i = 0; !overflow && !hit && i < s.count; ++i)
        for (const char16_t* pattern : g_blacklist) {
            const char16_t* star = wv::str_chr(pattern, u'*');
            if (star && joined_covers(folded_path, s.values[i], star + 1)) {
                hit = true;
                break;
            }
        }
    os::leave_critical_section(&h.lock);
    return overflow ? profile_patterns_match_direct(folded_path) : hit;
}

void wv_blacklist_refresh() {
    snapshot_holder& h = holder();
    os::enter_critical_section(&h.lock);
    h.snap.valid = false;
    os::leave_critical_section(&h.lock);
}

void wv_blacklist_use_snapshot(int on) {
    holder().enabled.store(on ? 1 : 0, std::memory_order_release);
}

int wv_blacklist_match(const char16_t* path) {
    if (!path) return 0;
    char16_t folded[1024];
    // No path of the program is longer; one that is cannot be judged from
    // its first 1,023 units, so it is treated as protected.
    if (!wv::str_copy(folded, 1024, path)) return 1;
    wv::str_fold_ascii(folded);
    for (const char16_t* pattern : g_blacklist)
        if (!wv::str_chr(pattern, u'*') && covers(folded, pattern)) return 1;
    return profile_patterns_match(folded) ? 1 : 0;
}
