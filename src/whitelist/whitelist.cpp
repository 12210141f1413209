// The whitelist: the user's never-scan list, kept in welvo.ini beside the
// executable and read and written only through the profile-string operations.
//
// Invariant: entries 0 to g_count - 1 are non-empty, terminated texts of at
// most 1,023 units, in insertion order. The list changes only under g_lock,
// which the scan worker also takes to match, so an edit during a scan never
// shows it half a list.
#include "whitelist/whitelist.h"

#include <new>

#include "base/mem.h"
#include "base/text.h"
#include "os/os.h"

static constexpr uint32_t k_path = 1024;
static const char16_t* const k_section = u"WHITELIST";

static char16_t g_list[WV_WHITELIST_CAPACITY][k_path];
static uint32_t g_count = 0;

namespace {
struct list_lock {
    os::critical_section cs;
    list_lock() { os::initialize_critical_section(&cs); }
};
// Never deleted: a worker may still match while the process ends.
os::critical_section* g_lock() {
    static list_lock l;
    return &l.cs;
}
struct locked {
    locked() { os::enter_critical_section(g_lock()); }
    ~locked() { os::leave_critical_section(g_lock()); }
    locked(const locked&) = delete;
    locked& operator=(const locked&) = delete;
};
} // namespace

// welvo.ini in the executable's folder. False when the path cannot be formed
// whole: a cut path would name another file.
static bool settings_path(char16_t* out) {
    char16_t module[k_path];
    uint32_t n = os::get_module_file_name(module, k_path);
    if (n == 0 || n >= k_path) return false;
    char16_t* slash = const_cast<char16_t*>(wv::str_rchr(module, u'\\'));
    if (slash) *slash = 0;
    return wv::format(out, k_path, u"%s\\%s", module, u"welvo.ini");
}

// ------------------------------------------------------------ encoding --

static bool write_all(os::handle h, const void* data, uint32_t bytes) {
    uint32_t written = 0;
    return os::write_file(h, data, bytes, &written) && written == bytes;
}

static constexpr uint8_t k_bom_utf16le[] = {0xFF, 0xFE};
static constexpr uint8_t k_bom_utf8[] = {0xEF, 0xBB, 0xBF};

// The profile-string operations write a file they create themselves in the
// ANSI code page, where a path such as D:\游戏 becomes D:\?? and no longer
// matches. A file that starts with a UTF-16LE byte-order mark is kept in
// Unicode, so the settings file is created with one before the first write.
// A file of plain ASCII (made by hand, say) is widened to UTF-16LE in place,
// which loses nothing; a file in any other encoding is left as it is.
static void ensure_unicode_file(const char16_t* file) {
    os::handle h = os::create_file(file, os::generic_read | os::generic_write, os::file_share_read,
                                   os::open_always, os::file_attribute_normal);
    if (h == os::invalid_handle) return;
    uint64_t size = 0;
    if (!os::get_file_size_ex(h, &size)) {
        os::close_handle(h);
        return;
    }
    if (size == 0) {
        write_all(h, k_bom_utf16le, sizeof k_bom_utf16le);
        os::close_handle(h);
        return;
    }
    // Widened in place: the new text is longer than the old, so it covers
    // every old byte and no truncation is needed.
    constexpr uint64_t k_widen_max = 1u << 20;
    uint8_t* bytes =
        size <= k_widen_max ? static_cast<uint8_t*>(wv::mem_alloc_zero(size)) : nullptr;
    uint32_t got = 0;
    bool ascii = bytes && os::read_file(h, bytes, uint32_t(size), &got) && got == size;
    for (uint64_t i = 0; ascii && i < size; ++i) ascii = bytes[i] != 0 && bytes[i] < 0x80;
    uint8_t* wide = ascii ? static_cast<uint8_t*>(wv::mem_alloc_zero(size * 2 + 2)) : nullptr;
    if (wide) {
        wide[0] = k_bom_utf16le[0];
        wide[1] = k_bom_utf16le[1];
        for (uint64_t i = 0; i < size; ++i) wide[2 + 2 * i] = bytes[i];
        if (os::set_file_pointer_ex(h, 0, os::file_begin, nullptr))
            write_all(h, wide, uint32_t(size * 2 + 2));
    }
    wv::mem_free(wide);
    wv::mem_free(bytes);
    os::close_handle(h);
}

// ---------------------------------------------------------------- list --

void wv_whitelist_init() {
    locked guard;
    g_count = 0;
    char16_t file[k_path];
    if (!settings_path(file)) return;
    while (g_count < WV_WHITELIST_CAPACITY) {
        char16_t key[64];
        wv::format(key, 64, u"path%u", g_count);
        // A longer value arrives cut to 1,023 units by the call itself.
        if (os::get_private_profile_string(k_section, key, u"", g_list[g_count], k_path, file) == 0)
            break;
        if (!g_list[g_count][0]) break;
        ++g_count;
    }
}

void wv_whitelist_save() {
    char16_t file[k_path];
    if (!settings_path(file)) return;
    // The section is written in one call ("path0=...", "path1=...", then an
    // empty text), which replaces all its keys: a save cut short by a crash
    // cannot leave the file with only the first entries, and a full list
    // costs one rewrite of the file instead of one per entry.
    size_t units = 1;
    char16_t* data = nullptr;
    {
        locked guard;
        if (g_count == 0) {
            // Nothing to write: only remove the section, from a file that
            // exists (removing it from none would create an ANSI file).
            if (os::get_file_attributes(file) != os::invalid_file_attributes)
                os::write_private_profile_section(k_section, nullptr, file);
            return;
        }
        for (uint32_t i = 0; i < g_count; ++i) units += 16 + wv::str_len(g_list[i]);
        data = static_cast<char16_t*>(wv::mem_alloc_zero(units * sizeof(char16_t)));
        if (!data) return;
        char16_t* p = data;
        for (uint32_t i = 0; i < g_count; ++i) {
            size_t room = units - size_t(p - data) - 1;
            wv::format(p, room, u"path%u=%s", i, g_list[i]);
            p += wv::str_len(p) + 1;
        }
        *p = 0;
    }
    ensure_unicode_file(file);
    os::write_private_profile_section(k_section, data, file);
    wv::mem_free(data);
}

void wv_whitelist_close() {
    wv_whitelist_save();
    locked guard;
    g_count = 0;
}

// An entry covers the path when, ASCII letters folded, the path equals it or
// continues after it with a backslash or a slash.
static bool entry_covers(const char16_t* entry, const char16_t* path) {
    size_t n = 0;
    for (; entry[n]; ++n)
        if (wv::fold_ascii(path[n]) != wv::fold_ascii(entry[n])) return false;
    return path[n] == 0 || path[n] == u'\\' || path[n] == u'/';
}

static int match_locked(const char16_t* path) {
    for (uint32_t i = 0; i < g_count; ++i)
        if (entry_covers(g_list[i], path)) return 1;
    return 0;
}

int wv_whitelist_match(const char16_t* path) {
    if (!path) return 0;
    locked guard;
    return match_locked(path);
}

// The profile functions give a value back without its surrounding white
// space and without one pair of surrounding quotes, and the load stops at the
// first empty value: an entry that would come back empty would hide every
// entry after it at the next start.
static bool is_white(char16_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x1A || c == 0x85 || c == 0xA0 ||
           c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 ||
           c == 0x202F || c == 0x205F || c == 0x3000;
}

static bool reads_back_empty(const char16_t* path) {
    size_t b = 0, e = wv::str_len(path);
    while (b < e && is_white(path[b])) ++b;
    while (e > b && is_white(path[e - 1])) --e;
    return e == b ||
           (e - b == 2 && (path[b] == u'"' || path[b] == u'\'') && path[b + 1] == path[b]);
}

int wv_whitelist_add(const char16_t* path) {
    // A path of 1,024 units or more does not fit an entry, and a cut one
    // would name another folder. A line break cannot be part of a path and
    // would split its line of the settings file in two.
    if (!path || !path[0] || wv::str_len(path) >= k_path) return 0;
    if (wv::str_chr(path, u'\r') || wv::str_chr(path, u'\n') || reads_back_empty(path)) return 0;
    {
        locked guard;
        if (match_locked(path) || g_count >= WV_WHITELIST_CAPACITY) return 0;
        wv::str_copy(g_list[g_count], k_path, path);
        ++g_count;
    }
    wv_whitelist_save();
    return 1;
}

int wv_whitelist_remove(const char16_t* path) {
    if (!path) return 0;
    {
        locked guard;
        uint32_t i = 0;
        while (i < g_count && !wv::str_equal(g_list[i], path)) ++i;
        if (i == g_count) return 0;
        for (; i + 1 < g_count; ++i) wv::str_copy(g_list[i], k_path, g_list[i + 1]);
        --g_count;
        g_list[g_count][0] = 0;
    }
    wv_whitelist_save();
    return 1;
}

uint32_t wv_whitelist_count() {
    locked guard;
    return g_count;
}

const char16_t* wv_whitelist_get(uint32_t index) {
    locked guard;
    return index < g_count ? g_list[index] : nullptr;
}

// ------------------------------------------------------ export / import --

// Exported as UTF-8 with a byte-order mark (so Notepad and the import agree),
// one entry a line, lines ended by CR LF. An empty list leaves an empty file.
int wv_whitelist_export(const char16_t* file) {
    if (!file) return 0;
    os::handle h =
        os::create_file(file, os::generic_write, 0, os::create_always, os::file_attribute_normal);
    if (h == os::invalid_handle) return 0;
    bool ok = true;
    locked guard;
    if (g_count > 0) ok = write_all(h, k_bom_utf8, sizeof k_bom_utf8);
    for (uint32_t i = 0; ok && i < g_count; ++i) {
        char line[k_path * 3 + 3];
        // An entry that is not valid text cannot be written as UTF-8: the
        // export then reports failure rather than a list with a gap.
        ok = wv::utf16_to_utf8(g_list[i], line, sizeof line - 2);
        size_t n = 0;
        while (line[n]) ++n;
        line[n++] = '\r';
        line[n++] = '\n';
        ok = ok && write_all(h, line, uint32_t(n));
    }
    os::close_handle(h);
    return ok ? 1 : 0;
}

namespace {

enum class encoding { utf8, utf16le, utf16be };

// Reads a file line by line through the platform's file calls, in the
// encoding its byte-order mark names (UTF-8 without one). A line that is not
// valid text, holds a zero, or is longer than an entry can hold is reported
// as unusable rather than cut or guessed at.
class line_reader {
  public:
    explicit line_reader(os::handle h) : h_(h) {}

    // False at the end of the file or on a read error (see failed()).
    bool next(char16_t* out, bool* usable) {
        if (!started_ && !start()) return false;
        if (at_end_) return false;
        size_t n = 0;
        bool too_long = false, zero = false, odd = false;
        for (;;) {
            uint32_t unit;
            int r = enc_ == encoding::utf8 ? next_byte(&unit) : next_unit(&unit, &odd);
            if (r < 0) return false;
            if (r == 0) {
                at_end_ = true;
                if (n == 0 && !odd) return false;
                break;
            }
            if (unit == '\n') break;
            if (unit == 0) zero = true;
            if (n < sizeof raw_ / sizeof raw_[0])
                raw_[n++] = unit;
            else
                too_long = true;
        }
        *usable = !too_long && !zero && !odd && decode(n, out);
        return true;
    }
    bool failed() const { return failed_; }

  private:
    bool fill() {
        pos_ = 0;
        len_ = 0;
        if (!os::read_file(h_, buf_, sizeof buf_, &len_)) {
            failed_ = true;
            return false;
        }
        return true;
    }
    // 1 with a byte, 0 at the end, -1 on a read error.
    int next_byte(uint32_t* b) {
        if (pos_ == len_) {
            if (!fill()) return -1;
            if (len_ == 0) return 0;
        }
        *b = buf_[pos_++];
        return 1;
    }
    int next_unit(uint32_t* u, bool* odd) {
        uint32_t lo, hi;
        int r = next_byte(&lo);
        if (r <= 0) return r;
        r = next_byte(&hi);
        if (r < 0) return r;
        if (r == 0) {
            *odd = true; // a half unit at the end of the file
            return 0;
        }
        *u = enc_ == encoding::utf16le ? (lo | (hi << 8)) : ((lo << 8) | hi);
        return 1;
    }
    bool start() {
        started_ = true;
        if (!fill()) return false;
        if (len_ >= 3 && buf_[0] == 0xEF && buf_[1] == 0xBB && buf_[2] == 0xBF) {
            pos_ = 3;
        } else if (len_ >= 2 && buf_[0] == 0xFF && buf_[1] == 0xFE) {
            enc_ = encoding::utf16le;
            pos_ = 2;
        } else if (len_ >= 2 && buf_[0] == 0xFE && buf_[1] == 0xFF) {
            enc_ = encoding::utf16be;
            pos_ = 2;
        }
        return true;
    }
    // The line's text, cut at its last carriage return; false when it is not
    // valid text or does not fit an entry.
    bool decode(size_t n, char16_t* out) {
        char16_t* wide = wide_;
        if (enc_ == encoding::utf8) {
            char bytes[sizeof raw_ / sizeof raw_[0]];
            for (size_t i = 0; i < n; ++i) bytes[i] = char(raw_[i]);
            if (!wv::utf8_to_utf16(bytes, n, wide, sizeof wide_ / sizeof wide_[0])) return false;
        } else {
            for (size_t i = 0; i < n; ++i) wide[i] = char16_t(raw_[i]);
            wide[n] = 0;
            if (!wv::utf16_valid(wide)) return false;
        }
        // A CR LF pair ends the line as one; then the line is cut at its last
        // remaining carriage return.
        size_t len = wv::str_len(wide);
        if (len > 0 && wide[len - 1] == u'\r') wide[len - 1] = 0;
        if (char16_t* cr = const_cast<char16_t*>(wv::str_rchr(wide, u'\r'))) *cr = 0;
        return wv::str_copy(out, k_path, wide);
    }

    os::handle h_;
    encoding enc_ = encoding::utf8;
    uint8_t buf_[65536];
    uint32_t pos_ = 0, len_ = 0;
    bool started_ = false, at_end_ = false, failed_ = false;
    // Room for the longest line an entry can hold: 1,023 units of up to three
    // UTF-8 bytes each, and the carriage return.
    uint32_t raw_[k_path * 3];
    char16_t wide_[k_path * 3 + 1];
};

} // namespace

int wv_whitelist_import(const char16_t* file) {
    if (!file) return 0;
    os::handle h = os::create_file(file, os::generic_read, os::file_share_read, os::open_existing,
                                   os::file_attribute_normal);
    if (h == os::invalid_handle) return 0;
    auto* reader = static_cast<line_reader*>(wv::mem_alloc_zero(sizeof(line_reader)));
    if (!reader) {
        os::close_handle(h);
        return 0;
    }
    new (reader) line_reader(h);
    char16_t line[k_path];
    bool usable = false;
    while (reader->next(line, &usable)) {
        if (!usable || line[0] == 0 || line[0] == u'#' || line[0] == u';') continue;
        // Refuses what the list already covers, and anything once it is full.
        wv_whitelist_add(line);
    }
    bool ok = !reader->failed();
    reader->~line_reader();
    wv::mem_free(reader);
    os::close_handle(h);
    return ok ? 1 : 0;
}
