#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "support/fixture.h"
#include "tools/tools.h"

using tfx::narrow;
using tfx::u16;

namespace {

std::vector<u16> large(const u16& root, uint64_t min, uint32_t cap, uint32_t* n = nullptr) {
    std::vector<wv_large_file> r(cap ? cap : 1);
    uint32_t got = wv_tool_large_files(root.c_str(), min, r.data(), cap);
    if (n) *n = got;
    std::vector<u16> v;
    for (uint32_t i = 0; i < got; ++i) v.push_back(r[i].path);
    return v;
}

std::vector<u16> dups(const u16& root, uint32_t cap) {
    std::vector<wv_dup_candidate> r(cap ? cap : 1);
    uint32_t got = wv_tool_dup_files(root.c_str(), r.data(), cap);
    std::vector<u16> v;
    for (uint32_t i = 0; i < got; ++i) v.push_back(r[i].path);
    return v;
}

std::vector<u16> sorted(std::vector<u16> v) {
    std::sort(v.begin(), v.end());
    return v;
}

} // namespace

TEST(LargeFiles, MinimumIsInclusiveAndRecordsCarrySizeAndTime) {
    tfx::scratch s;
    ASSERT_TRUE(s.file(u"t\\f99", 99));
    ASSERT_TRUE(s.file(u"t\\f100", 100));
    ASSERT_TRUE(s.file(u"t\\sub\\f101", 101, os::file_attribute_hidden));
    ASSERT_TRUE(s.file(u"t\\sub\\empty", 0));
    std::vector<wv_large_file> r(8);
    uint32_t n = wv_tool_large_files(s.path(u"t").c_str(), 100, r.data(), 8);
    ASSERT_EQ(n, 2u);
    std::sort(r.begin(), r.begin() + n,
              [](const wv_large_file& a, const wv_large_file& b) { return a.size < b.size; });
    EXPECT_EQ(r[0].path, s.path(u"t\\f100"));
    EXPECT_EQ(r[0].size, 100u);
    EXPECT_EQ(r[1].path, s.path(u"t\\sub\\f101"));
    EXPECT_EQ(r[1].size, 101u);
    os::file_attribute_data ad;
    ASSERT_TRUE(os::get_file_attributes_ex(s.path(u"t\\sub\\f101").c_str(), &ad));
    EXPECT_EQ(r[1].last_write, ad.last_write_time);
    // A minimum of 0 takes every file, the empty one too, and no folder.
    EXPECT_EQ(sorted(large(s.path(u"t"), 0, 8)),
              sorted({s.path(u"t\\f99"), s.path(u"t\\f100"), s.path(u"t\\sub\\f101"),
                      s.path(u"t\\sub\\empty")}));
}

TEST(LargeFiles, FullArrayStillWalksTheWholeTree) {
    TFX_SIM_ONLY("counts the folders listed through the find hook");
    tfx::scratch s;
    for (const char16_t* f : {u"t\\a", u"t\\b", u"t\\d1\\c", u"t\\d1\\d2\\d", u"t\\d3\\e"})
        ASSERT_TRUE(s.file(f, 50));
    auto folders_listed = [&](uint32_t cap, uint32_t* n) {
        std::vector<u16> dirs;
        tfx::set_find_hook([&](const u16& dir, const u16&) {
            if (dirs.empty() || dirs.back() != dir) dirs.push_back(dir);
        });
        large(s.path(u"t"), 10, cap, n);
        tfx::set_find_hook(nullptr);
        dirs = sorted(dirs); // a folder shows again when the walk comes back to it
        dirs.erase(std::unique(dirs.begin(), dirs.end()), dirs.end());
        return dirs;
    };
    uint32_t n2 = 0, n9 = 0;
    std::vector<u16> with2 = folders_listed(2, &n2), with9 = folders_listed(9, &n9);
    EXPECT_EQ(n2, 2u);
    EXPECT_EQ(n9, 5u);
    EXPECT_EQ(with2.size(), 4u); // t, d1, d2, d3
    EXPECT_EQ(with2, with9);
    // The first two met, in walk order.
    EXPECT_EQ(large(s.path(u"t"), 10, 2), (std::vector<u16>{s.path(u"t\\a"), s.path(u"t\\b")}));
}

TEST(DupCandidates, ThresholdIsOneMebibyteInclusiveAndTheSearchRecurses) {
    tfx::scratch s;
    ASSERT_TRUE(s.file(u"t\\exact", WV_DUP_MIN_SIZE));
    ASSERT_TRUE(s.file(u"t\\short", WV_DUP_MIN_SIZE - 1));
    ASSERT_TRUE(s.file(u"t\\d\\deeper\\big", WV_DUP_MIN_SIZE + 1, os::file_attribute_system));
    std::vector<wv_dup_candidate> r(8);
    uint32_t n = wv_tool_dup_files(s.path(u"t").c_str(), r.data(), 8);
    ASSERT_EQ(n, 2u);
    std::vector<std::pair<u16, uint64_t>> got = {{r[0].path, r[0].size}, {r[1].path, r[1].size}};
    std::sort(got.begin(), got.end());
    std::vector<std::pair<u16, uint64_t>> want = {
        {s.path(u"t\\d\\deeper\\big"), WV_DUP_MIN_SIZE + 1},
        {s.path(u"t\\exact"), WV_DUP_MIN_SIZE}};
    EXPECT_EQ(got, want);
}

TEST(DupCandidates, DepthFirstOrderAndAFullArrayEndsTheSearch) {
    TFX_SIM_ONLY("needs a known listing order (NTFS order)");
    tfx::scratch s;
    for (const char16_t* f : {u"t\\a", u"t\\d\\x", u"t\\d\\y", u"t\\z"})
        ASSERT_TRUE(s.file(f, WV_DUP_MIN_SIZE));
    ASSERT_TRUE(s.file(u"t\\later\\w", WV_DUP_MIN_SIZE));
    EXPECT_EQ(dups(s.path(u"t"), 9),
              (std::vector<u16>{s.path(u"t\\a"), s.path(u"t\\d\\x"), s.path(u"t\\d\\y"),
                                s.path(u"t\\later\\w"), s.path(u"t\\z")}));
    std::vector<u16> listed;
    tfx::set_find_hook([&](const u16& dir, const u16&) {
        if (listed.empty() || listed.back() != dir) listed.push_back(dir);
    });
    EXPECT_EQ(dups(s.path(u"t"), 2), (std::vector<u16>{s.path(u"t\\a"), s.path(u"t\\d\\x")}));
    tfx::set_find_hook(nullptr);
    EXPECT_EQ(std::count(listed.begin(), listed.end(), s.path(u"t\\later")), 0);
}

TEST(Finders, JunctionsAreNotFollowedAndFileLinksAreListed) {
    TFX_SIM_ONLY("Wine cannot create junctions or symbolic links");
    tfx::scratch s;
    ASSERT_TRUE(s.file(u"target\\big", WV_DUP_MIN_SIZE * 2));
    ASSERT_TRUE(s.file(u"t\\own", WV_DUP_MIN_SIZE));
    ASSERT_TRUE(tfx::make_junction(s.path(u"t\\j"), s.path(u"target")));
    ASSERT_TRUE(tfx::make_symlink(s.path(u"t\\dl"), s.path(u"target"), true));
    ASSERT_TRUE(tfx::make_symlink(s.path(u"t\\fl"), s.path(u"target\\big"), false));
    // The file link is listed with its own (zero) size.
    std::vector<wv_large_file> r(8);
    uint32_t n = wv_tool_large_files(s.path(u"t").c_str(), 0, r.data(), 8);
    std::vector<std::pair<u16, uint64_t>> got;
    for (uint32_t i = 0; i < n; ++i) got.push_back({r[i].path, r[i].size});
    std::vector<std::pair<u16, uint64_t>> want = {{s.path(u"t\\fl"), 0},
                                                  {s.path(u"t\\own"), WV_DUP_MIN_SIZE}};
    EXPECT_EQ(got, want);
    EXPECT_EQ(dups(s.path(u"t"), 8), std::vector<u16>{s.path(u"t\\own")});
}

TEST(Finders, ProtectedLocationsAndBadInputYieldNothing) {
    tfx::scratch s;
    ASSERT_TRUE(s.file(u"f", WV_DUP_MIN_SIZE));
    wv_large_file lr[2];
    wv_dup_candidate dr[2];
    for (const char16_t* root : {u"c:\\windows\\system32", u"C:\\Program Files"}) {
        EXPECT_EQ(wv_tool_large_files(root, 0, lr, 2), 0u) << narrow(root);
        EXPECT_EQ(wv_tool_dup_files(root, dr, 2), 0u) << narrow(root);
    }
    EXPECT_EQ(wv_tool_large_files(nullptr, 0, lr, 2), 0u);
    EXPECT_EQ(wv_tool_large_files(s.root().c_str(), 0, nullptr, 2), 0u);
    EXPECT_EQ(wv_tool_large_files(s.root().c_str(), 0, lr, 0), 0u);
    EXPECT_EQ(wv_tool_dup_files(nullptr, dr, 2), 0u);
    EXPECT_EQ(wv_tool_dup_files(s.root().c_str(), nullptr, 2), 0u);
    EXPECT_EQ(wv_tool_dup_files(s.root().c_str(), dr, 0), 0u);
    EXPECT_EQ(wv_tool_dup_files(s.path(u"f").c_str(), dr, 2), 0u);

    // Searching C:\Windows never reports anything inside a protected folder.
    if (tfx::sim_backend()) ASSERT_TRUE(tfx::make_file(u"C:\\Windows\\Fonts\\big.ttf", 2 << 20));
    if (tfx::sim_backend()) ASSERT_TRUE(tfx::make_file(u"C:\\Windows\\Temp\\big.tmp", 2 << 20));
    std::vector<wv_large_file> all(4096);
    uint32_t n = wv_tool_large_files(u"C:\\Windows", 0, all.data(), 4096);
    for (uint32_t i = 0; i < n; ++i)
        EXPECT_EQ(wv_blacklist_match(all[i].path), 0) << narrow(all[i].path);
    std::vector<wv_dup_candidate> cands(4096);
    n = wv_tool_dup_files(u"C:\\Windows", cands.data(), 4096);
    for (uint32_t i = 0; i < n; ++i)
        EXPECT_EQ(wv_blacklist_match(cands[i].path), 0) << narrow(cands[i].path);
    if (tfx::sim_backend()) {
        ASSERT_EQ(n, 1u);
        EXPECT_EQ(narrow(cands[0].path), "C:\\Windows\\Temp\\big.tmp");
    }
}
