#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "base/text.h"
#include "fs/fs.h"
#include "support/fixture.h"

using tfx::narrow;
using tfx::u16;

namespace {

// 32 result buffers as the scan worker has them.
struct results {
    char16_t buf[40][1024];
    char16_t* ptr[40];
    results() {
        for (int i = 0; i < 40; ++i) {
            ptr[i] = buf[i];
            buf[i][0] = 0;
        }
    }
    std::vector<u16> take(uint32_t n, bool sorted = true) const {
        std::vector<u16> v;
        for (uint32_t i = 0; i < n; ++i) v.push_back(buf[i]);
        if (sorted) std::sort(v.begin(), v.end());
        return v;
    }
};

u16 expand(const u16& src) {
    char16_t out[1024];
    wv_path_expand(src.c_str(), out, 1024);
    return out;
}

} // namespace

TEST(PathExpand, EnvironmentReferences) {
    tfx::env_guard g(u"WELVO_T1", u"C:\\x y");
    EXPECT_EQ(expand(u"%WELVO_T1%\\a"), u"C:\\x y\\a");
    EXPECT_EQ(expand(u"%welvo_t1%"), u"C:\\x y"); // names compare without case
    EXPECT_EQ(expand(u"%WELVO_UNDEFINED_42%\\a"), u"%WELVO_UNDEFINED_42%\\a");
    EXPECT_EQ(expand(u"no refs"), u"no refs");
    char16_t temp[1024];
    ASSERT_GT(os::expand_environment_strings(u"%TEMP%", temp, 1024), 1u);
    EXPECT_EQ(expand(u"%TEMP%"), u16(temp));
}

TEST(PathExpand, TooSmallOrAbsent) {
    tfx::env_guard g(u"WELVO_T2", u16(100, u'v'));
    char16_t out[8];
    wv_path_expand(u"%WELVO_T2%", out, 8); // does not fit: the source, cut
    EXPECT_EQ(u16(out), u"%WELVO_");
    char16_t keep[4] = {u'k', 0};
    wv_path_expand(nullptr, keep, 4);
    wv_path_expand(u"x", keep, 0);
    EXPECT_EQ(u16(keep), u"k");
    wv_path_expand(u"x", nullptr, 4); // no crash
}

TEST(PathCombine, Cases) {
    struct tc {
        const char16_t* dir;
        const char16_t* name;
        const char16_t* want;
    };
    const tc cases[] = {
        {u"C:\\dir\\\\", u"f.txt", u"C:\\dir\\f.txt"},
        {u"C:\\dir\\/", u"f.txt", u"C:\\dir\\f.txt"},
        {u"C:\\dir", u"f.txt", u"C:\\dir\\f.txt"},
        {u"", u"f.txt", u"f.txt"},
        {u"\\", u"f.txt", u"\\f.txt"},
        {u"//\\", u"f", u"\\f"},
        {u"C:\\", u"", u"C:\\"},
    };
    for (const tc& c : cases) {
        char16_t buf[64];
        wv::str_copy(buf, 64, c.dir);
        wv_path_combine(buf, 64, c.name);
        EXPECT_EQ(u16(buf), c.want) << narrow(c.dir) << " + " << narrow(c.name);
    }
    char16_t small[8] = u"abc";
    wv_path_combine(small, 8, u"defgh");
    EXPECT_EQ(u16(small), u"abc\\def"); // cut to the capacity, terminated
    char16_t keep[8] = u"abc";
    wv_path_combine(keep, 8, nullptr);
    wv_path_combine(nullptr, 8, u"x");
    EXPECT_EQ(u16(keep), u"abc");
}

class Wildcard : public ::testing::Test {
  protected:
    tfx::scratch s;
};

TEST_F(Wildcard, ProfilesOfUserData) {
    ASSERT_TRUE(s.dir(u"Local\\Microsoft\\Edge\\User Data\\Default"));
    ASSERT_TRUE(s.dir(u"Local\\Microsoft\\Edge\\User Data\\Profile 1\\Cache"));
    ASSERT_TRUE(s.dir(u"Local\\Microsoft\\Edge\\User Data\\ShaderCache"));
    ASSERT_TRUE(s.file(u"Local\\Microsoft\\Edge\\User Data\\Local State", 10));
    tfx::env_guard g(u"LOCALAPPDATA", s.path(u"Local"));
    results r;
    uint32_t n =
        wv_path_expand_wildcard(u"%LOCALAPPDATA%\\Microsoft\\Edge\\User Data\\*\\Cache", r.ptr, 32);
    const u16 base = s.path(u"Local\\Microsoft\\Edge\\User Data\\");
    std::vector<u16> want = {base + u"Default\\Cache", base + u"Profile 1\\Cache",
                             base + u"ShaderCache\\Cache"};
    ASSERT_EQ(n, 3u);
    EXPECT_EQ(r.take(n), want); // whether or not each Cache exists; files yield nothing
    if (tfx::sim_backend()) EXPECT_EQ(r.take(n, false), want); // enumeration order
}

TEST_F(Wildcard, NoStarYieldsItsExpansionEvenIfMissing) {
    tfx::env_guard g(u"WELVO_T3", s.path(u"nowhere"));
    results r;
    ASSERT_EQ(wv_path_expand_wildcard(u"%WELVO_T3%\\x", r.ptr, 32), 1u);
    EXPECT_EQ(u16(r.buf[0]), s.path(u"nowhere\\x"));
}

TEST_F(Wildcard, StopsAtTheMaximum) {
    for (int i = 0; i < 40; ++i) ASSERT_TRUE(s.dir(u"p\\d" + tfx::u(std::to_string(i).c_str())));
    results r;
    r.buf[32][0] = u'#';
    EXPECT_EQ(wv_path_expand_wildcard((s.path(u"p") + u"\\*\\x").c_str(), r.ptr, 32), 32u);
    EXPECT_EQ(r.buf[32][0], u'#'); // nothing written past the maximum
    EXPECT_EQ(wv_path_expand_wildcard((s.path(u"p") + u"\\*").c_str(), r.ptr, 1), 1u);
}

TEST_F(Wildcard, TwoStarsExpandDepthFirst) {
    ASSERT_TRUE(s.dir(u"a\\p1\\q1"));
    ASSERT_TRUE(s.dir(u"a\\p1\\q2"));
    ASSERT_TRUE(s.dir(u"a\\p2\\q3"));
    ASSERT_TRUE(s.dir(u"a\\p3")); // no subdirectory: no result
    results r;
    uint32_t n = wv_path_expand_wildcard((s.path(u"a") + u"\\*\\*\\c").c_str(), r.ptr, 32);
    std::vector<u16> want = {s.path(u"a\\p1\\q1\\c"), s.path(u"a\\p1\\q2\\c"),
                             s.path(u"a\\p2\\q3\\c")};
    ASSERT_EQ(n, 3u);
    EXPECT_EQ(r.take(n), want);
}

TEST_F(Wildcard, NothingToExpand) {
    results r;
    EXPECT_EQ(wv_path_expand_wildcard((s.path(u"missing") + u"\\*\\x").c_str(), r.ptr, 32), 0u);
    EXPECT_EQ(wv_path_expand_wildcard(u"*\\x", r.ptr, 32), 0u);
    EXPECT_EQ(wv_path_expand_wildcard(nullptr, r.ptr, 32), 0u);
    EXPECT_EQ(wv_path_expand_wildcard(u"C:\\*", nullptr, 32), 0u);
    EXPECT_EQ(wv_path_expand_wildcard(u"C:\\*", r.ptr, 0), 0u);
}

TEST_F(Wildcard, DriveRootGetsOneSeparator) {
    results r;
    uint32_t n = wv_path_expand_wildcard(u"C:\\*", r.ptr, 32);
    ASSERT_GT(n, 0u);
    for (uint32_t i = 0; i < n; ++i) {
        EXPECT_EQ(u16(r.buf[i]).substr(0, 3), u"C:\\");
        EXPECT_NE(r.buf[i][3], u'\\') << narrow(r.buf[i]);
    }
    char16_t j[16];
    EXPECT_TRUE(wv_path_join(j, 16, u"C:\\", u"x"));
    EXPECT_EQ(u16(j), u"C:\\x");
    EXPECT_TRUE(wv_path_join(j, 16, u"C:\\d", u"x"));
    EXPECT_EQ(u16(j), u"C:\\d\\x");
    EXPECT_FALSE(wv_path_join(j, 4, u"C:\\d", u"x"));
}

TEST_F(Wildcard, FragmentAroundTheStar) {
    ASSERT_TRUE(s.dir(u"f\\abXY"));
    ASSERT_TRUE(s.dir(u"f\\xxab"));
    ASSERT_TRUE(s.file(u"f\\abFile"));
    results r;
    uint32_t n = wv_path_expand_wildcard((s.path(u"f") + u"\\ab*cd").c_str(), r.ptr, 32);
    ASSERT_EQ(n, 1u);
    EXPECT_EQ(u16(r.buf[0]), s.path(u"f\\abXYcd")); // appended, not matched
}

TEST_F(Wildcard, AtMostEightStars) {
    u16 rel = u"w";
    for (int i = 0; i < 9; ++i) rel += u"\\d";
    ASSERT_TRUE(s.dir(rel));
    u16 eight = s.path(u"w"), nine = s.path(u"w");
    for (int i = 0; i < 8; ++i) eight += u"\\*";
    for (int i = 0; i < 9; ++i) nine += u"\\*";
    results r;
    ASSERT_EQ(wv_path_expand_wildcard(eight.c_str(), r.ptr, 32), 1u);
    EXPECT_EQ(u16(r.buf[0]), s.path(u"w\\d\\d\\d\\d\\d\\d\\d\\d"));
    EXPECT_EQ(wv_path_expand_wildcard(nine.c_str(), r.ptr, 32), 0u);
}

// A child pattern that does not fit in 1,023 units is dropped, never cut: the
// cut text could name a different folder.
TEST_F(Wildcard, OverLongChildIsDroppedNotCut) {
    // base is a folder whose path is 801 units; its one subdirectory has a
    // name of 199 units, so base\*\ followed by 21 units fills 1,023.
    u16 base = s.path(u"L");
    while (base.size() < 801) {
        size_t left = 801 - base.size();
        base += u"\\" + u16(left > 250 ? 200 : left - 1, u'b');
    }
    ASSERT_EQ(base.size(), 801u);
    u16 mid(199, u'm');
    ASSERT_TRUE(tfx::make_dirs(base + u"\\" + mid));
    results r;
    EXPECT_EQ(wv_path_expand_wildcard((base + u"\\*\\" + u16(21, u'z')).c_str(), r.ptr, 32), 1u);
    EXPECT_EQ(u16(r.buf[0]).size(), 1023u);
    EXPECT_EQ(wv_path_expand_wildcard((base + u"\\*\\" + u16(22, u'z')).c_str(), r.ptr, 32), 0u);
}

TEST_F(Wildcard, FuzzResultsAreBoundedAndStarFree) {
    ASSERT_TRUE(s.dir(u"z\\a\\b"));
    ASSERT_TRUE(s.dir(u"z\\ab\\c"));
    ASSERT_TRUE(s.dir(u"z\\%TEMP%"));
    std::mt19937 rng(99);
    const char16_t pieces[][8] = {u"\\",   u"*", u"a",  u"b", u"%",
                                  u"TEMP", u"/", u"..", u"c", u"ab*"};
    for (int iter = 0; iter < 1500; ++iter) {
        u16 p = s.path(u"z");
        int k = int(rng() % 8);
        for (int i = 0; i < k; ++i) p += pieces[rng() % 10];
        if (rng() % 40 == 0) p += u16(rng() % 1100, u'q');
        results r;
        uint32_t max = 1 + rng() % 32;
        uint32_t n = wv_path_expand_wildcard(p.c_str(), r.ptr, max);
        ASSERT_LE(n, max);
        for (uint32_t i = 0; i < n; ++i) {
            ASSERT_LT(wv::str_len(r.buf[i]), 1024u);
            if (wv::str_chr(p.c_str(), u'*')) {
                ASSERT_EQ(wv::str_chr(r.buf[i], u'*'), nullptr) << narrow(p);
            }
        }
    }
}

TEST(PathCombineFuzz, AlwaysTerminatedWithinCapacity) {
    std::mt19937 rng(7);
    for (int iter = 0; iter < 5000; ++iter) {
        uint32_t cap = 1 + rng() % 40;
        std::vector<char16_t> buf(cap + 8, u'#');
        u16 dir;
        for (uint32_t i = 0, n = rng() % 50; i < n; ++i) dir.push_back(u"ab\\/"[rng() % 4]);
        wv::str_copy(buf.data(), cap, dir.c_str());
        u16 name(rng() % 50, u'n');
        wv_path_combine(buf.data(), cap, name.c_str());
        size_t len = wv::str_len(buf.data());
        ASSERT_LT(len, cap);
        for (size_t i = cap; i < buf.size(); ++i) ASSERT_EQ(buf[i], u'#'); // nothing past cap
    }
}
