#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/mem.h"
#include "base/text.h"
#include "support/fixture.h"
#include "tools/tools.h"

using tfx::narrow;
using tfx::u16;

namespace {

std::vector<uint8_t> noise(size_t n, uint64_t seed) {
    std::vector<uint8_t> v(n);
    uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
    for (auto& b : v) {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        b = uint8_t(x);
    }
    return v;
}

std::vector<uint8_t> flipped(std::vector<uint8_t> v, size_t at) {
    v[at] ^= 0x01;
    return v;
}

// True when no handle to the file is left open: an exclusive open succeeds.
bool closed(const wv_dup_candidate& c) {
    os::handle h = os::create_file(c.path, os::generic_write, 0, os::open_existing, 0);
    if (h == os::invalid_handle) return false;
    os::close_handle(h);
    return true;
}

bool all_closed(const std::vector<wv_dup_candidate>& cs) {
    for (const wv_dup_candidate& c : cs)
        if (tfx::exists(c.path) && !closed(c)) return false;
    return true;
}

wv_dup_candidate candidate(const u16& path, uint64_t size) {
    wv_dup_candidate c{};
    wv::str_copy(c.path, 1024, path.c_str());
    c.size = size;
    return c;
}

struct grouping {
    std::vector<wv_dup_group> groups;
    std::vector<uint32_t> members;
    wv_dup_stats stats{};
    uint32_t n = 0;
    grouping(const std::vector<wv_dup_candidate>& c, uint32_t group_cap = 64,
             uint32_t member_cap = 256)
        : groups(group_cap), members(member_cap) {
        n = wv_tool_dup_groups(c.data(), uint32_t(c.size()), groups.data(), group_cap,
                               members.data(), member_cap, &stats);
    }
    // Each group as its size and member indices.
    std::vector<std::pair<uint64_t, std::vector<uint32_t>>> sets() const {
        std::vector<std::pair<uint64_t, std::vector<uint32_t>>> v;
        for (uint32_t g = 0; g < n; ++g)
            v.push_back({groups[g].size, std::vector<uint32_t>(members.begin() + groups[g].first,
                                                               members.begin() + groups[g].first +
                                                                   groups[g].count)});
        return v;
    }
};

// Files of every kind the grouping must tell apart, each kind at a size of
// its own (10,000 bytes and up, so that first block, last block and middle
// are different bytes).
struct tree {
    tfx::scratch s;
    std::vector<wv_dup_candidate> c;
    bool ok = true;
    void add(const char16_t* name, const std::vector<uint8_t>& bytes) {
        ok = ok && s.file_bytes(name, bytes);
        c.push_back(candidate(s.path(name), bytes.size()));
    }
    tree() {
        add(u"unique", noise(9000, 1));                  // 0
        add(u"a1", noise(10000, 2));                     // 1: first block differs
        add(u"a2", flipped(noise(10000, 2), 0));         // 2
        add(u"b1", noise(10001, 3));                     // 3: last block differs
        add(u"b2", flipped(noise(10001, 3), 10000));     // 4
        add(u"c1", noise(10002, 4));                     // 5: only the middle differs
        add(u"c2", flipped(noise(10002, 4), 5000));      // 6
        ok = ok && s.file_bytes(u"d1", noise(10003, 5)); //    true duplicates, the
        ok = ok && tfx::make_hard_link(s.path(u"dlink"), s.path(u"d1")); // first met by a link
        c.push_back(candidate(s.path(u"dlink"), 10003));                 // 7
        c.push_back(candidate(s.path(u"d1"), 10003));                    // 8
        add(u"d2", noise(10003, 5));                                     // 9
        add(u"d3", noise(10003, 5));                                     // 10
        add(u"e1", noise(100, 6)); // 11: small true duplicates
        add(u"e2", noise(100, 6)); // 12
    }
};

} // namespace

TEST(DupGroups, OnlyWholeContentMatchesFormGroupsAndEachStepReadsOnlyWhatItMust) {
    tree t;
    ASSERT_TRUE(t.ok);
    grouping g(t.c);
    using set = std::pair<uint64_t, std::vector<uint32_t>>;
    // The link stands for d1: the file counts once, under the name met first.
    EXPECT_EQ(g.sets(), (std::vector<set>{{10003, {7, 9, 10}}, {100, {11, 12}}}));
    // What the narrowing reads, worked out by hand: the first block of every
    // file that shares its size (the unique one is never opened), the last
    // block of the 8 that still agree, and all of c1, c2 and d1..d3 (the
    // link is found to be d1 before whole files are read).
    const uint64_t first = 10 * 4096 + 2 * 100, last = 8 * 4096, whole = 2 * 10002 + 3 * 10003;
    EXPECT_EQ(g.stats.bytes_read, first + last + whole);
    // Each file is opened once and held through the steps, then let go.
    EXPECT_EQ(g.stats.files_opened, 12u);
    EXPECT_EQ(g.stats.files_dropped, 0u);
    EXPECT_TRUE(all_closed(t.c));
}

TEST(DupGroups, ASizeSharedByManyFilesGivesTheSameGroups) {
    tfx::scratch s;
    std::vector<wv_dup_candidate> c;
    std::vector<std::pair<uint64_t, std::vector<uint32_t>>> want;
    for (uint32_t i = 0; i < 100; ++i) {
        for (uint32_t k = 0; k < 2; ++k) {
            char16_t n[32];
            wv::format(n, 32, u"f%u-%u", i, k);
            ASSERT_TRUE(s.file_bytes(n, noise(5000, 100 + i)));
            c.push_back(candidate(s.path(n), 5000));
        }
        want.push_back({5000, {2 * i, 2 * i + 1}});
    }
    grouping g(c, 128, 256);
    EXPECT_EQ(g.sets(), want);
    EXPECT_EQ(g.stats.bytes_read, 200u * (4096 + 4096 + 5000));
    EXPECT_TRUE(all_closed(c));
}

TEST(DupGroups, NamesOfOneFileAreNotDuplicates) {
    // A small file is settled by its first block, a large one by its whole
    // contents: names of one file must be told apart on either road.
    for (uint64_t size : {uint64_t(100), uint64_t(20000)}) {
        SCOPED_TRACE(size);
        tfx::scratch s;
        ASSERT_TRUE(s.file_bytes(u"x", noise(size, 7)));
        ASSERT_TRUE(tfx::make_hard_link(s.path(u"y"), s.path(u"x")));
        EXPECT_EQ(grouping({candidate(s.path(u"x"), size), candidate(s.path(u"y"), size)}).n, 0u);
        EXPECT_EQ(grouping({candidate(s.path(u"x"), size), candidate(s.path(u"X"), size)}).n, 0u);
    }
}

TEST(DupGroups, FullArraysEndTheSearchKeepingTheLargestGroups) {
    tree t;
    ASSERT_TRUE(t.ok);
    grouping one_group(t.c, 1);
    ASSERT_EQ(one_group.n, 1u);
    EXPECT_EQ(one_group.groups[0].size, 10003u);
    grouping three_members(t.c, 64, 3);
    ASSERT_EQ(three_members.n, 1u);
    EXPECT_EQ(three_members.groups[0].count, 3u);
    // Two member slots cannot hold the largest group: the search ends there,
    // and no file is left open.
    EXPECT_EQ(grouping(t.c, 64, 2).n, 0u);
    EXPECT_TRUE(all_closed(t.c));
}

TEST(DupGroups, UnreadableMissingAndChangedFilesAreLeftOut) {
    tfx::scratch s;
    std::vector<wv_dup_candidate> c;
    for (const char16_t* n : {u"p", u"q", u"r", u"grew"}) {
        ASSERT_TRUE(s.file_bytes(n, noise(12000, 8)));
        c.push_back(candidate(s.path(n), 12000));
    }
    ASSERT_TRUE(s.file_bytes(u"grew", noise(12001, 8))); // changed since it was listed
    c.push_back(candidate(s.path(u"gone"), 12000));
    uint32_t want_dropped = 2;
    if (tfx::sim_backend()) {
        ASSERT_TRUE(tfx::inject(s.path(u"r"), tfx::fault::open_denied));
        want_dropped = 3;
    }
    grouping g(c);
    ASSERT_EQ(g.n, 1u);
    std::vector<uint32_t> want = {0, 1};
    if (!tfx::sim_backend()) want.push_back(2);
    EXPECT_EQ(g.sets()[0].second, want);
    EXPECT_EQ(g.stats.files_dropped, want_dropped);
}

TEST(DupGroups, BadInputYieldsNothing) {
    tree t;
    ASSERT_TRUE(t.ok);
    wv_dup_group gr[4];
    uint32_t mem[16];
    wv_dup_stats st{1, 1, 1};
    const uint32_t n = uint32_t(t.c.size());
    EXPECT_EQ(wv_tool_dup_groups(nullptr, n, gr, 4, mem, 16, &st), 0u);
    EXPECT_EQ(st.bytes_read, 0u);
    EXPECT_EQ(wv_tool_dup_groups(t.c.data(), 0, gr, 4, mem, 16, nullptr), 0u);
    EXPECT_EQ(wv_tool_dup_groups(t.c.data(), n, nullptr, 4, mem, 16, nullptr), 0u);
    EXPECT_EQ(wv_tool_dup_groups(t.c.data(), n, gr, 0, mem, 16, nullptr), 0u);
    EXPECT_EQ(wv_tool_dup_groups(t.c.data(), n, gr, 4, nullptr, 16, nullptr), 0u);
    EXPECT_EQ(wv_tool_dup_groups(t.c.data(), n, gr, 4, mem, 0, nullptr), 0u);
    wv::mem_set_fail_hook([](size_t) { return true; });
    EXPECT_EQ(wv_tool_dup_groups(t.c.data(), n, gr, 4, mem, 16, &st), 0u);
    wv::mem_set_fail_hook(nullptr);
    EXPECT_EQ(st.files_opened, 0u);
}

TEST(DupGroups, CandidatesFromTheFinderGroupEndToEnd) {
    tfx::scratch s;
    const uint64_t size = WV_DUP_MIN_SIZE + 5;
    ASSERT_TRUE(tfx::make_seeded_file(s.path(u"t\\one\\copy.bin"), size, 11));
    ASSERT_TRUE(tfx::make_seeded_file(s.path(u"t\\two\\copy.bin"), size, 11));
    ASSERT_TRUE(tfx::make_seeded_file(s.path(u"t\\two\\other.bin"), size, 12));
    ASSERT_TRUE(tfx::make_seeded_file(s.path(u"t\\alone.bin"), size + 1, 11));
    std::vector<wv_dup_candidate> c(8);
    c.resize(wv_tool_dup_files(s.path(u"t").c_str(), c.data(), 8));
    ASSERT_EQ(c.size(), 4u);
    grouping g(c);
    ASSERT_EQ(g.n, 1u);
    std::set<u16> paths;
    const auto sets = g.sets();
    for (uint32_t m : sets[0].second) paths.insert(c[m].path);
    EXPECT_EQ(paths, (std::set<u16>{s.path(u"t\\one\\copy.bin"), s.path(u"t\\two\\copy.bin")}));
}

TEST(Hash128, EveryByteCountsAndPiecesDoNotMatter) {
    std::set<std::pair<uint64_t, uint64_t>> seen;
    auto hash = [](const std::vector<uint8_t>& v, size_t piece) {
        wv_hash128_state s;
        wv_hash128_init(&s);
        for (size_t at = 0; at < v.size(); at += piece)
            wv_hash128_update(&s, v.data() + at, std::min(piece, v.size() - at));
        wv_hash128 h = wv_hash128_final(&s);
        return std::make_pair(h.lo, h.hi);
    };
    size_t inputs = 0;
    for (size_t len = 0; len <= 131; ++len) {
        std::vector<uint8_t> base = noise(len, 9);
        auto whole = hash(base, len ? len : 1);
        for (size_t piece : {size_t(1), size_t(7), size_t(31), size_t(33)})
            ASSERT_EQ(hash(base, piece), whole) << "len " << len << " piece " << piece;
        seen.insert(whole);
        ++inputs;
        // One flipped bit anywhere, in a stripe or in the tail, changes the
        // hash.
        for (size_t at = 0; at < len; ++at) {
            seen.insert(hash(flipped(base, at), 5));
            ++inputs;
        }
        // Zero padding of the tail never makes two lengths alike.
        std::vector<uint8_t> padded = base;
        padded.push_back(0);
        EXPECT_NE(hash(padded, 3), whole) << "len " << len;
    }
    EXPECT_EQ(seen.size(), inputs);
}
