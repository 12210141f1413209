#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "base/text.h"
#include "catalogue/catalogue.h"
#include "support/fixture.h"
#include "tools/tools.h"

using tfx::narrow;
using tfx::u16;

namespace {

struct analysis {
    std::vector<wv_disk_entry> entries;
    uint32_t n = 0;
    analysis(const u16& dir, uint32_t cap) : entries(cap) {
        n = wv_tool_disk_analyze(dir.c_str(), entries.data(), cap);
    }
    std::vector<std::pair<u16, uint64_t>> names_sizes() const {
        std::vector<std::pair<u16, uint64_t>> v;
        for (uint32_t i = 0; i < n; ++i) v.push_back({entries[i].name, entries[i].size});
        return v;
    }
};

u16 folded(u16 s) {
    for (auto& c : s) c = wv::fold_ascii(c);
    return s;
}

} // namespace

TEST(DiskUsage, SubdirectoriesCountEverythingBelowAndComeLargestFirst) {
    tfx::scratch s;
    ASSERT_TRUE(s.file(u"a.txt", 10));
    ASSERT_TRUE(s.file(u"d\\x", 5));
    ASSERT_TRUE(s.file(u"d\\deeper\\y", 7, os::file_attribute_hidden | os::file_attribute_system));
    analysis a(s.root(), 8);
    ASSERT_EQ(a.n, 2u);
    EXPECT_EQ(narrow(a.entries[0].name), "d");
    EXPECT_EQ(a.entries[0].size, 12u);
    EXPECT_EQ(a.entries[0].path, s.path(u"d"));
    EXPECT_EQ(narrow(a.entries[1].name), "a.txt");
    EXPECT_EQ(a.entries[1].size, 10u);
    EXPECT_EQ(a.entries[1].path, s.path(u"a.txt"));
}

TEST(DiskUsage, EqualSizesKeepListingOrderAndCapacityTakesTheFirstListed) {
    tfx::scratch s;
    for (const char16_t* n : {u"p", u"q", u"r", u"s"}) ASSERT_TRUE(s.file(n, 3));
    ASSERT_TRUE(s.file(u"t\\inner", 9));
    ASSERT_TRUE(s.file(u"tiny", 1));
    std::vector<u16> order = tfx::list_unsorted(s.root());
    ASSERT_EQ(order.size(), 6u);

    analysis all(s.root(), 16);
    std::vector<std::pair<u16, uint64_t>> want = {{u"t", 9}};
    for (const u16& n : order)
        if (n != u"t" && n != u"tiny") want.push_back({n, 3});
    want.push_back({u"tiny", 1});
    EXPECT_EQ(all.names_sizes(), want);

    // Capacity 1: the first entry listed, whatever its size.
    analysis one(s.root(), 1);
    ASSERT_EQ(one.n, 1u);
    EXPECT_EQ(u16(one.entries[0].name), order[0]);
}

TEST(DiskUsage, JunctionMeasuredAtTheTopOnlyAndStopFlagHonoured) {
    TFX_SIM_ONLY("Wine cannot create junctions");
    tfx::scratch s;
    ASSERT_TRUE(s.file(u"target\\big", 100));
    ASSERT_TRUE(s.file(u"target\\inner\\more", 20));
    ASSERT_TRUE(s.dir(u"a"));
    ASSERT_TRUE(tfx::make_junction(s.path(u"a\\top"), s.path(u"target")));
    ASSERT_TRUE(s.file(u"a\\d\\own", 4));
    ASSERT_TRUE(tfx::make_junction(s.path(u"a\\d\\down"), s.path(u"target")));
    ASSERT_TRUE(tfx::make_symlink(s.path(u"a\\d\\dirlink"), s.path(u"target"), true));
    analysis a(s.path(u"a"), 8);
    std::vector<std::pair<u16, uint64_t>> want = {{u"top", 120}, {u"d", 4}};
    EXPECT_EQ(a.names_sizes(), want);

    // A stop flag raised during the count ends it before the rest is added.
    std::atomic<int32_t> stop{0};
    ASSERT_TRUE(tfx::set_find_hook([&](const u16&, const u16& name) {
        if (name == u"inner") stop.store(1);
    }));
    EXPECT_EQ(sum_dir_recursive(s.path(u"target").c_str(), &stop), 100u);
    stop.store(0);
    tfx::set_find_hook(nullptr);
    EXPECT_EQ(sum_dir_recursive(s.path(u"target").c_str(), &stop), 120u);
    EXPECT_EQ(sum_dir_recursive(s.path(u"target").c_str(), nullptr), 120u);
}

TEST(DiskUsage, RefusesBadInputAndLeavesProtectedEntriesOut) {
    tfx::scratch s;
    ASSERT_TRUE(s.file(u"f", 10));
    std::vector<wv_disk_entry> e(4);
    std::memset(e.data(), 0x5A, e.size() * sizeof e[0]);
    const std::vector<wv_disk_entry> untouched = e;
    struct tc {
        const char16_t* dir;
        wv_disk_entry* out;
        uint32_t cap;
    };
    const u16 file = s.path(u"f"), missing = s.path(u"missing");
    const tc cases[] = {{nullptr, e.data(), 4},
                        {s.root().c_str(), nullptr, 4},
                        {s.root().c_str(), e.data(), 0},
                        {file.c_str(), e.data(), 4},
                        {missing.c_str(), e.data(), 4},
                        {u"c:\\windows\\system32", e.data(), 4},
                        {u"C:\\Program Files", e.data(), 4}};
    for (const tc& c : cases) {
        EXPECT_EQ(wv_tool_disk_analyze(c.dir, c.out, c.cap), 0u) << narrow(c.dir);
        EXPECT_EQ(std::memcmp(e.data(), untouched.data(), e.size() * sizeof e[0]), 0);
    }
    EXPECT_EQ(sum_dir_recursive(u"c:\\windows\\system32", nullptr), 0u);
    EXPECT_EQ(sum_dir_recursive(file.c_str(), nullptr), 0u);
    EXPECT_EQ(sum_dir_recursive(nullptr, nullptr), 0u);

    // C:\Windows itself is measured, without its protected folders.
    analysis win(u"C:\\Windows", 512);
    ASSERT_GT(win.n, 0u);
    ASSERT_LT(win.n, 512u);
    std::vector<u16> names;
    for (uint32_t i = 0; i < win.n; ++i) names.push_back(folded(win.entries[i].name));
    for (const char16_t* p : {u"system32", u"syswow64", u"fonts", u"installer", u"boot"})
        EXPECT_EQ(std::count(names.begin(), names.end(), u16(p)), 0) << narrow(p);
    EXPECT_EQ(std::count(names.begin(), names.end(), u16(u"temp")), 1);
}

TEST(DiskUsage, ADriveRootIsAnalysedWithoutItsProtectedFolders) {
    for (const char16_t* root : {u"C:\\", u"C:/"}) {
        analysis a(root, 512);
        ASSERT_GT(a.n, 0u) << narrow(root);
        for (uint32_t i = 0; i < a.n; ++i) {
            EXPECT_EQ(a.entries[i].path, u"C:\\" + u16(a.entries[i].name));
            EXPECT_EQ(wv_blacklist_match(a.entries[i].path), 0) << narrow(a.entries[i].path);
        }
    }
}
