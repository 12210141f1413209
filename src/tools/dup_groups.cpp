// True duplicates among the duplicate-file finder's candidates.
//
// Files are narrowed down in steps, each reading more of fewer files: equal
// size (nothing read), then a hash of the first 4 KiB, of the last 4 KiB, and
// of the whole contents. A file leaves as soon as no other file shares its
// key, so a file of a size of its own is never even opened, and whole files
// are read only for the ones that agree at both ends.
#include <algorithm>

#include "base/mem.h"
#include "tools/tools.h"

static constexpr uint32_t k_block = 4096;
static constexpr uint32_t k_buf = 65536;

namespace {

enum class stage { first, last, whole };

struct member {
    uint64_t size;
    wv_hash128 key;         // of the stage in hand
    uint64_t volume, index; // file identity: one file under several names is one file
    uint32_t cand;
    uint32_t dead; // unreadable, changed, or another name of a file already counted
};

struct run_ctx {
    const wv_dup_candidate* cands;
    uint8_t* buf;
    wv_dup_group* groups;
    uint32_t group_cap, group_count;
    uint32_t* members;
    uint32_t member_cap, member_count;
    wv_dup_stats st;
    bool full;
};

} // namespace

static bool by_key(const member& a, const member& b) {
    if (a.dead != b.dead) return a.dead < b.dead;
    if (a.key.lo != b.key.lo) return a.key.lo < b.key.lo;
    if (a.key.hi != b.key.hi) return a.key.hi < b.key.hi;
    return a.cand < b.cand;
}

static bool same_key(const member& a, const member& b) {
    return a.key.lo == b.key.lo && a.key.hi == b.key.hi;
}

// Hashes `len` bytes from `offset`; false when they could not all be read.
static bool hash_range(run_ctx& c, os::handle h, uint64_t offset, uint64_t len, wv_hash128* out) {
    if (!os::set_file_pointer_ex(h, int64_t(offset), os::file_begin, nullptr)) return false;
    wv_hash128_state s;
    wv_hash128_init(&s);
    while (len) {
        uint32_t want = len < k_buf ? uint32_t(len) : k_buf;
        uint32_t got = 0;
        if (!os::read_file(h, c.buf, want, &got)) return false;
        c.st.bytes_read += got;
        if (got == 0) return false; // the file shrank
        wv_hash128_update(&s, c.buf, got);
        len -= got;
    }
    *out = wv_hash128_final(&s);
    return true;
}

// Computes a member's key for one stage; the first stage also takes the
// file's identity and checks that its size is still the listed one.
static void key_of(run_ctx& c, member& m, stage s) {
    os::handle h = os::create_file(c.cands[m.cand].path, os::generic_read, os::file_share_read,
                                   os::open_existing, 0);
    if (h == os::invalid_handle) {
        m.dead = 1;
        ++c.st.files_dropped;
        return;
    }
    ++c.st.files_opened;
    bool ok = true;
    if (s == stage::first) {
        os::file_information info;
        ok = os::get_file_information_by_handle(h, &info) && info.size == m.size;
        m.volume = info.volume_serial;
        m.index = info.file_index;
        if (ok) ok = hash_range(c, h, 0, m.size < k_block ? m.size : k_block, &m.key);
    } else if (s == stage::last) {
        ok = hash_range(c, h, m.size - k_block, k_block, &m.key);
    } else {
        ok = hash_range(c, h, 0, m.size, &m.key);
    }
    os::close_handle(h);
    if (!ok) {
        m.dead = 1;
        ++c.st.files_dropped;
    }
}

// Keeps the first-met name of each file and drops its other names.
static void drop_aliases(member* b, member* e) {
    std::sort(b, e, [](const member& x, const member& y) {
        if (x.dead != y.dead) return x.dead < y.dead;
        if (x.volume != y.volume) return x.volume < y.volume;
        if (x.index != y.index) return x.index < y.index;
        return x.cand < y.cand;
    });
    for (member* p = b + 1; p < e && !p->dead; ++p)
        if (p->volume == p[-1].volume && p->index == p[-1].index) p->dead = 1;
}

static void emit(run_ctx& c, member* b, member* e) {
    uint32_t n = uint32_t(e - b);
    if (c.group_count == c.group_cap || c.member_cap - c.member_count < n) {
        c.full = true;
        return;
    }
    std::sort(b, e, [](const member& x, const member& y) { return x.cand < y.cand; });
    c.groups[c.group_count++] = {b->size, c.member_count, n};
    for (member* p = b; p < e; ++p) c.members[c.member_count++] = p->cand;
}

// Splits [b, e), files of one size that agree so far, by the key of stage s.
static void refine(run_ctx& c, member* b, member* e, stage s) {
    for (member* p = b; p < e && !c.full; ++p) key_of(c, *p, s);
    if (s == stage::first) drop_aliases(b, e);
    std::sort(b, e, by_key);
    // The first block of a small file is all of it.
    bool last_stage = s == stage::whole || (s == stage::first && b->size <= k_block);
    stage next = s == stage::first ? stage::last : stage::whole;
    for (member* i = b; i < e && !i->dead && !c.full;) {
        member* j = i + 1;
        while (j < e && !j->dead && same_key(*i, *j)) ++j;
        if (j - i >= 2) {
            if (last_stage)
                emit(c, i, j);
            else
                refine(c, i, j, next);
        }
        i = j;
    }
}

uint32_t wv_tool_dup_groups(const wv_dup_candidate* candidates, uint32_t candidate_count,
                            wv_dup_group* groups, uint32_t group_capacity, uint32_t* members,
                            uint32_t member_capacity, wv_dup_stats* stats) {
    if (stats) *stats = {};
    if (!candidates || candidate_count == 0 || !groups || group_capacity == 0 || !members ||
        member_capacity < 2)
        return 0;
    auto* m = static_cast<member*>(wv::mem_alloc_zero(sizeof(member) * candidate_count));
    auto* buf = static_cast<uint8_t*>(wv::mem_alloc_zero(k_buf));
    if (!m || !buf) {
        wv::mem_free(m);
        wv::mem_free(buf);
        return 0;
    }
    for (uint32_t i = 0; i < candidate_count; ++i) {
        m[i].size = candidates[i].size;
        m[i].cand = i;
    }
    // Largest first, so that a full array keeps the groups that free most.
    std::sort(m, m + candidate_count, [](const member& x, const member& y) {
        return x.size != y.size ? x.size > y.size : x.cand < y.cand;
    });

    run_ctx c{candidates, buf, groups, group_capacity, 0, members, member_capacity, 0, {}, false};
    for (uint32_t i = 0; i < candidate_count && !c.full;) {
        uint32_t j = i + 1;
        while (j < candidate_count && m[j].size == m[i].size) ++j;
        if (j - i >= 2 && m[i].size > 0) refine(c, m + i, m + j, stage::first);
        i = j;
    }

    // Within one size the groups came in key order: put them in member order.
    std::sort(groups, groups + c.group_count, [&](const wv_dup_group& x, const wv_dup_group& y) {
        return x.size != y.size ? x.size > y.size : members[x.first] < members[y.first];
    });
    if (stats) *stats = c.st;
    wv::mem_free(m);
    wv::mem_free(buf);
    return c.group_count;
}
