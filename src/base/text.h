// UTF-16 text helpers shared by every module.
//
// Invariant: every function that writes into a caller buffer of `cap` units
// writes at most `cap` units and always leaves the buffer terminated (when cap
// is at least 1). The ones that can cut return whether the whole text fitted,
// so a caller that must not act on a cut text (a path that would name another
// file) can tell.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wv {

inline constexpr size_t path_cap = 1024; // 1,023 units plus the terminating zero
inline constexpr size_t name_cap = 256;  // 255 units plus the terminating zero

size_t str_len(const char16_t* s);

// Copies src into dst, cut to cap - 1 units. True when nothing was cut.
bool str_copy(char16_t* dst, size_t cap, const char16_t* src);

// Appends src to the text already in dst, cut to cap - 1 units in all.
bool str_append(char16_t* dst, size_t cap, const char16_t* src);

// Exact comparison, code unit by code unit. Null equals only null.
bool str_equal(const char16_t* a, const char16_t* b);

// Case-sensitive substring test.
bool str_contains(const char16_t* s, const char16_t* needle);

// Last occurrence of c in s, or null.
const char16_t* str_rchr(const char16_t* s, char16_t c);
const char16_t* str_chr(const char16_t* s, char16_t c);

// Folds only A..Z to a..z; every other unit, non-ASCII capitals included, stays.
inline char16_t fold_ascii(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? char16_t(c + 0x20) : c;
}
void str_fold_ascii(char16_t* s);

// Case-insensitive comparison over ASCII letters only.
bool str_equal_fold(const char16_t* a, const char16_t* b);

// One argument of the small formatter below.
struct fmt_arg {
    enum class kind { text, u32, u64, i32, f64 } k;
    union {
        const char16_t* s;
        uint32_t u;
        uint64_t ull;
        int32_t i;
        double d;
    };
    fmt_arg(const char16_t* v) : k(kind::text), s(v) {}
    fmt_arg(char16_t* v) : k(kind::text), s(v) {}
    fmt_arg(uint32_t v) : k(kind::u32), u(v) {}
    fmt_arg(uint64_t v) : k(kind::u64), ull(v) {}
    fmt_arg(int32_t v) : k(kind::i32), i(v) {}
    fmt_arg(double v) : k(kind::f64), d(v) {}
};

// Formats with the conversions this program uses: %s (UTF-16 text), %u, %d,
// %llu, %.1f and %%. An argument whose kind does not match its conversion is
// printed as "?" rather than read as something else. True when nothing was cut.
bool format_args(char16_t* dst, size_t cap, const char16_t* fmt, const fmt_arg* args, size_t n);

template <class... A> bool format(char16_t* dst, size_t cap, const char16_t* fmt, A... a) {
    if constexpr (sizeof...(A) == 0) {
        return format_args(dst, cap, fmt, nullptr, 0);
    } else {
        const fmt_arg args[] = {fmt_arg(a)...};
        return format_args(dst, cap, fmt, args, sizeof...(A));
    }
}

// UTF-8 <-> UTF-16. Invalid input is refused (returns false) rather than
// guessed at; the output is always terminated.
bool utf8_to_utf16(const char* src, size_t src_len, char16_t* dst, size_t cap);
bool utf16_to_utf8(const char16_t* src, char* dst, size_t cap);
// True when the UTF-16 text holds no unpaired surrogate.
bool utf16_valid(const char16_t* s);

} // namespace wv
