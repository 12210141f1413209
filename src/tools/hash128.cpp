// A 128-bit content hash: four 64-bit lanes, each taking one 8-byte word of
// every 32-byte stripe through a multiply-rotate-multiply round; the lanes are
// then folded two different ways into the two halves of the result, the tail
// and the length are mixed in, and each half gets a full avalanche.
//
// Invariant: the result depends only on the bytes and their number, never on
// how they were split between calls of wv_hash128_update.
#include <cstring>

#include "tools/tools.h"

static constexpr uint64_t k1 = 0x9E3779B97F4A7C15ull; // odd constants with well-spread bits
static constexpr uint64_t k2 = 0xBF58476D1CE4E5B9ull;
static constexpr uint64_t k3 = 0x94D049BB133111EBull;
static constexpr uint64_t k4 = 0xD6E8FEB86659FD93ull;

static uint64_t rotl(uint64_t x, int r) {
    return (x << r) | (x >> (64 - r));
}

// Little-endian whatever the host, so a hash means the same everywhere.
static uint64_t read64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

static uint64_t mix_round(uint64_t acc, uint64_t word) {
    acc += word * k2;
    acc = rotl(acc, 31);
    return acc * k1;
}

static uint64_t avalanche(uint64_t x) {
    x ^= x >> 30;
    x *= k2;
    x ^= x >> 27;
    x *= k3;
    return x ^ (x >> 31);
}

static void stripe(uint64_t lane[4], const uint8_t* p) {
    for (int i = 0; i < 4; ++i) lane[i] = mix_round(lane[i], read64(p + 8 * i));
}

void wv_hash128_init(wv_hash128_state* s) {
    std::memset(s, 0, sizeof *s);
    s->lane[0] = k1 + k2;
    s->lane[1] = k2;
    s->lane[2] = 0;
    s->lane[3] = 0 - k1;
}

void wv_hash128_update(wv_hash128_state* s, const void* data, size_t len) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    s->total += len;
    if (s->buf_len) {
        size_t take = 32 - s->buf_len < len ? 32 - s->buf_len : len;
        std::memcpy(s->buf + s->buf_len, p, take);
        s->buf_len += uint32_t(take);
        p += take;
        len -= take;
        if (s->buf_len < 32) return;
        stripe(s->lane, s->buf);
        s->buf_len = 0;
    }
    for (; len >= 32; p += 32, len -= 32) stripe(s->lane, p);
    if (len) {
        std::memcpy(s->buf, p, len);
        s->buf_len = uint32_t(len);
    }
}

wv_hash128 wv_hash128_final(const wv_hash128_state* s) {
    const uint64_t* a = s->lane;
    uint64_t lo, hi;
    if (s->total >= 32) {
        lo = rotl(a[0], 1) + rotl(a[1], 7) + rotl(a[2], 12) + rotl(a[3], 18);
        hi = rotl(a[0], 46) ^ rotl(a[1], 35) ^ rotl(a[2], 23) ^ rotl(a[3], 11);
        for (int i = 0; i < 4; ++i) {
            lo = (lo ^ mix_round(0, a[i])) * k1 + k4;
            hi = rotl(hi + mix_round(k3, a[3 - i]), 29) * k2;
        }
    } else {
        lo = k4;
        hi = k3;
    }
    lo += s->total;
    hi ^= s->total * k1;
    // The tail in 8-byte words, zero-padded: the length above tells a padded
    // word from one that really ends in zeros.
    uint8_t tail[32] = {};
    std::memcpy(tail, s->buf, s->buf_len);
    for (uint32_t off = 0; off < s->buf_len; off += 8) {
        uint64_t k = mix_round(0, read64(tail + off));
        lo = rotl(lo ^ k, 27) * k1 + k4;
        hi = rotl(hi + k, 33) * k2 ^ k3;
    }
    lo = avalanche(lo + hi);
    hi = avalanche(hi ^ rotl(lo, 17));
    return {lo, hi};
}
