#include "base/text.h"

#include <cstdio>

namespace wv {

size_t str_len(const char16_t* s) {
    if (!s) return 0;
    size_t n = 0;
    while (s[n]) ++n;
    return n;
}

bool str_copy(char16_t* dst, size_t cap, const char16_t* src) {
    if (!dst || cap == 0) return false;
    if (!src) {
        dst[0] = 0;
        return true;
    }
    size_t i = 0;
    for (; src[i]; ++i) {
        if (i + 1 >= cap) {
            dst[i] = 0;
            return false;
        }
        dst[i] = src[i];
    }
    dst[i] = 0;
    return true;
}

bool str_append(char16_t* dst, size_t cap, const char16_t* src) {
    if (!dst || cap == 0) return false;
    size_t len = 0;
    while (len < cap && dst[len]) ++len;
    if (len >= cap) { // not terminated within cap: terminate and report a cut
        dst[cap - 1] = 0;
        return false;
    }
    return str_copy(dst + len, cap - len, src);
}

bool str_equal(const char16_t* a, const char16_t* b) {
    if (!a || !b) return a == b;
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}

bool str_equal_fold(const char16_t* a, const char16_t* b) {
    if (!a || !b) return a == b;
    while (*a && fold_ascii(*a) == fold_ascii(*b)) ++a, ++b;
    return fold_ascii(*a) == fold_ascii(*b);
}

bool str_contains(const char16_t* s, const char16_t* needle) {
    if (!s || !needle) return false;
    if (!*needle) return true;
    for (; *s; ++s) {
        const char16_t* p = s;
        const char16_t* q = needle;
        while (*p && *q && *p == *q) ++p, ++q;
        if (!*q) return true;
    }
    return false;
}

const char16_t* str_rchr(const char16_t* s, char16_t c) {
    if (!s) return nullptr;
    const char16_t* last = nullptr;
    for (; *s; ++s)
        if (*s == c) last = s;
    return last;
}

const char16_t* str_chr(const char16_t* s, char16_t c) {
    if (!s) return nullptr;
    for (; *s; ++s)
        if (*s == c) return s;
    return nullptr;
}

void str_fold_ascii(char16_t* s) {
    if (!s) return;
    for (; *s; ++s) *s = fold_ascii(*s);
}

namespace {

struct writer {
    char16_t* dst;
    size_t cap;
    size_t len = 0;
    bool cut = false;
    void put(char16_t c) {
        if (len + 1 < cap)
            dst[len++] = c;
        else
            cut = true;
    }
    void put_ascii(const char* s) {
        for (; *s; ++s) put(char16_t(static_cast<unsigned char>(*s)));
    }
    void put_text(const char16_t* s) {
        if (!s) s = u"(null)";
        for (; *s; ++s) put(*s);
    }
};

} // namespace

bool format_args(char16_t* dst, size_t cap, const char16_t* fmt, const fmt_arg* args, size_t n) {
    if (!dst || cap == 0) return false;
    writer w{dst, cap};
    size_t next = 0;
    auto take = [&](fmt_arg::kind k) -> const fmt_arg* {
        if (next >= n) return nullptr;
        const fmt_arg* a = &args[next++];
        return a->k == k ? a : nullptr;
    };
    for (const char16_t* p = fmt ? fmt : u""; *p; ++p) {
        if (*p != u'%') {
            w.put(*p);
            continue;
        }
        ++p;
        char buf[64];
        if (*p == u'%') {
            w.put(u'%');
        } else if (*p == u's') {
            const fmt_arg* a = take(fmt_arg::kind::text);
            w.put_text(a ? a->s : u"?");
        } else if (*p == u'u') {
            const fmt_arg* a = take(fmt_arg::kind::u32);
            if (a) std::snprintf(buf, sizeof buf, "%lu", static_cast<unsigned long>(a->u));
            w.put_ascii(a ? buf : "?");
        } else if (*p == u'd') {
            const fmt_arg* a = take(fmt_arg::kind::i32);
            if (a) std::snprintf(buf, sizeof buf, "%ld", static_cast<long>(a->i));
            w.put_ascii(a ? buf : "?");
        } else if (p[0] == u'l' && p[1] == u'l' && p[2] == u'u') {
            p += 2;
            const fmt_arg* a = take(fmt_arg::kind::u64);
            if (a) std::snprintf(buf, sizeof buf, "%llu", static_cast<unsigned long long>(a->ull));
            w.put_ascii(a ? buf : "?");
        } else if (p[0] == u'.' && p[1] == u'1' && p[2] == u'f') {
            p += 2;
            const fmt_arg* a = take(fmt_arg::kind::f64);
            if (a) std::snprintf(buf, sizeof buf, "%.1f", a->d);
            w.put_ascii(a ? buf : "?");
        } else {
            // Unknown conversion: print it literally so a wrong format shows.
            w.put(u'%');
            if (!*p) break;
            w.put(*p);
        }
    }
    dst[w.len] = 0;
    return !w.cut;
}

bool utf8_to_utf16(const char* src, size_t src_len, char16_t* dst, size_t cap) {
    if (!dst || cap == 0) return false;
    dst[0] = 0;
    if (!src) return false;
    size_t o = 0;
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    size_t i = 0;
    while (i < src_len) {
        uint32_t c = s[i];
        size_t extra;
        uint32_t min;
        if (c < 0x80) {
            extra = 0;
            min = 0;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            c &= 0x1F;
            min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            c &= 0x0F;
            min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            c &= 0x07;
            min = 0x10000;
        } else {
            dst[o] = 0;
            return false;
        }
        if (i + extra >= src_len && extra) {
            dst[o] = 0;
            return false;
        }
        for (size_t k = 1; k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) {
                dst[o] = 0;
                return false;
            }
            c = (c << 6) | (s[i + k] & 0x3F);
        }
        if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            dst[o] = 0;
            return false;
        }
        i += extra + 1;
        size_t need = c >= 0x10000 ? 2 : 1;
        if (o + need >= cap) {
            dst[o] = 0;
            return false;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            dst[o++] = char16_t(0xD800 + (c >> 10));
            dst[o++] = char16_t(0xDC00 + (c & 0x3FF));
        } else {
            dst[o++] = char16_t(c);
        }
    }
    dst[o] = 0;
    return true;
}

bool utf16_to_utf8(const char16_t* src, char* dst, size_t cap) {
    if (!dst || cap == 0) return false;
    dst[0] = 0;
    if (!src) return false;
    size_t o = 0;
    for (size_t i = 0; src[i]; ++i) {
        uint32_t c = src[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (src[i + 1] < 0xDC00 || src[i + 1] > 0xDFFF) {
                dst[o] = 0;
                return false;
            }
            c = 0x10000 + ((c - 0xD800) << 10) + (src[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            dst[o] = 0;
            return false;
        }
        char tmp[4];
        size_t n;
        if (c < 0x80) {
            tmp[0] = char(c);
            n = 1;
        } else if (c < 0x800) {
            tmp[0] = char(0xC0 | (c >> 6));
            tmp[1] = char(0x80 | (c & 0x3F));
            n = 2;
        } else if (c < 0x10000) {
            tmp[0] = char(0xE0 | (c >> 12));
            tmp[1] = char(0x80 | ((c >> 6) & 0x3F));
            tmp[2] = char(0x80 | (c & 0x3F));
            n = 3;
        } else {
            tmp[0] = char(0xF0 | (c >> 18));
            tmp[1] = char(0x80 | ((c >> 12) & 0x3F));
            tmp[2] = char(0x80 | ((c >> 6) & 0x3F));
            tmp[3] = char(0x80 | (c & 0x3F));
            n = 4;
        }
        if (o + n >= cap) {
            dst[o] = 0;
            return false;
        }
        for (size_t k = 0; k < n; ++k) dst[o++] = tmp[k];
    }
    dst[o] = 0;
    return true;
}

bool utf16_valid(const char16_t* s) {
    if (!s) return false;
    for (size_t i = 0; s[i]; ++i) {
        if (s[i] >= 0xD800 && s[i] <= 0xDBFF) {
            if (s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF) return false;
            ++i;
        } else if (s[i] >= 0xDC00 && s[i] <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

} // namespace wv
