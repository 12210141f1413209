// True duplicates among the duplicate-file finder's candidates.
//
// Files are narrowed down in steps, each reading more of fewer files: equal
// size (nothing read), then a hash of the first 4 KiB, of the last 4 KiB, and
// of the whole contents. A file leaves as soon as no other file shares its
// key, so a file of a size of its own is never even opened, and whole files
// are read only for the ones that agree at both ends.
//
// A file stays open from its first read until it leaves, without sharing
// write access: one open per file, and contents that cannot change between
// the steps. Only a size shared by very many files opens each file afresh per
// step, so that the number of handles held at once stays small.
#include <algorithm>

#include "base/mem.h"
#include "tools/tools.h"

static constexpr uint32_t k_block = 4096;
static constexpr uint32_t k_buf = 65536;
static constexpr uint32_t k_max_held = 128;

namespace {

enum class stage { first, last, whole };

struct member {
    uint64_t size;
    wv_hash128 key;         // of the stage in hand
    uint64_t volume, index; // file identity: one file under several names is one file
    os::handle h;           // held open while the file is still in the running
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
    bool hold; // keep files open between steps (the size in hand is shared by few)
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

static void release(member& m) {
    if (m.h != os::invalid_handle) os::close_handle(m.h);
    m.h = os::invalid_handle;
}

static void drop(run_ctx& c, member& m) {
    release(m);
    m.dead = 1;
    ++c.st.files_dropped;
}

static bool ensure_open(run_ctx& c, member& m) {
    if (m.h != os::invalid_handle) return true;
    m.h = os::create_file(c.cands[m.cand].path, os::generic_read, os::file_share_read,
                          os::open_existing, 0);
    if (m.h == os::invalid_handle) {
        drop(c, m);
        return false;
    }
    ++c.st.files_opened;
    return true;
}

// Computes a member's key for one stage; the first stage also checks that the
// file still has its listed size.
static void key_of(run_ctx& c, member& m, stage s) {
    if (!ensure_open(c, m)) return;
    bool ok = true;
    if (s == stage::first) {
        uint64_t size = 0;
        ok = os::get_file_size_ex(m.h, &size) && size == m.size &&
             hash_range(c, m.h, 0, m.size < k_block ? m.size : k_block, &m.key);
    } else if (s == stage::last) {
        ok = hash_range(c, m.h, m.size - k_block, k_block, &m.key);
    } else {
        ok = hash_range(c, m.h, 0, m.size, &m.key);
    }
    if (!ok)
        drop(c, m);
    else if (!c.hold)
        release(m);
}

// Keeps the first-met name of each file in [b, e) and drops its other names
// (hard links, or one path given twice). Only names whose contents agreed so
// far can name one file, so the identity, which some platforms are slow to
// tell, is asked for just before whole files would be read. Leaves the live
// members at the front, in candidate order; returns how many there are.
static uint32_t drop_aliases(run_ctx& c, member* b, member* e) {
    for (member* p = b; p < e; ++p) {
        if (p->dead || !ensure_open(c, *p)) continue;
        os::file_information info;
        if (!os::get_file_information_by_handle(p->h, &info)) {
            drop(c, *p);
            continue;
        }
        p->volume = info.volume_serial;
        p->index = info.file_index;
        if (!c.hold) release(*p);
    }
    std::sort(b, e, [](const member& x, const member& y) {
        if (x.dead != y.dead) return x.dead < y.dead;
        if (x.volume != y.volume) return x.volume < y.volume;
        if (x.index != y.index) return x.index < y.index;
        return x.cand < y.cand;
    });
    for (member* p = b + 1; p < e && !p->dead; ++p) {
        if (p->volume == p[-1].volume && p->index == p[-1].index) {
            release(*p);
            p->dead = 1;
        }
    }
    std::sort(b, e, [](const member& x, const member& y) {
        return x.dead != y.dead ? x.dead < y.dead : x.cand < y.cand;
    });
    uint32_t n = 0;
    while (b + n < e && !b[n].dead) ++n;
    return n;
}

static void emit(run_ctx& c, member* b, member* e) {
    uint32_t n = uint32_t(e - b);
    if (c.group_count == c.group_cap || c.member_cap - c.member_count < n) {
        c.full = true;
        return;
    }
    c.groups[c.group_count++] = {b->size, c.member_count, n};
    for (member* p = b; p < e; ++p) {
        c.members[c.member_count++] = p->cand;
        release(*p);
    }
}

// Splits [b, e), live files of one size that agree so far, by the key of
// stage s, and takes each part that still holds two files or more on.
static void refine(run_ctx& c, member* b, member* e, stage s) {
    for (member* p = b; p < e; ++p) key_of(c, *p, s);
    std::sort(b, e, by_key);
    // The first block of a small file is all of it.
    bool last_stage = s == stage::whole || (s == stage::first && b->size <= k_block);
    for (member* i = b; i < e && !i->dead && !c.full;) {
        member* j = i + 1;
        while (j < e && !j->dead && same_key(*i, *j)) ++j;
        uint32_t n = uint32_t(j - i);
        // Once, before whole files are read (small files: before the group
        // is told): one file, one member.
        if (n >= 2 && (s == stage::last || (s == stage::first && last_stage)))
            n = drop_aliases(c, i, j);
        if (n < 2) {
            for (member* p = i; p < j; ++p) release(*p); // out of the running
        } else if (last_stage) {
            emit(c, i, i + n);
        } else {
            refine(c, i, i + n, s == stage::first ? stage::last : stage::whole);
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
        m[i].h = os::invalid_handle;
        m[i].cand = i;
    }
    // Largest first, so that a full array keeps the groups that free most.
    std::sort(m, m + candidate_count, [](const member& x, const member& y) {
        return x.size != y.size ? x.size > y.size : x.cand < y.cand;
    });

    run_ctx c{candidates,      buf, groups, group_capacity, 0,    members,
              member_capacity, 0,   {},     false,          false};
    for (uint32_t i = 0; i < candidate_count && !c.full;) {
        uint32_t j = i + 1;
        while (j < candidate_count && m[j].size == m[i].size) ++j;
        if (j - i >= 2 && m[i].size > 0) {
            c.hold = j - i <= k_max_held;
            refine(c, m + i, m + j, stage::first);
            for (uint32_t k = i; k < j; ++k) release(m[k]); // after a full array
        }
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
