// A file is removed only where the scan saw it. Between a scan and a clean, a
// folder inside a scanned cache can be swapped for a junction to somewhere
// else (the user's documents, C:\Windows); a deletion by path would then
// remove the target's file of the same name. These tests scan, swap, clean,
// and look at what is left.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "clean/clean.h"
#include "scan/scan.h"
#include "support/fixture.h"

using tfx::narrow;
using tfx::u16;

namespace {

// A catalogue of one safe category whose only template is `root`.
class one_row_scan {
  public:
    explicit one_row_scan(const u16& root) : root_(root) {
        paths_[0] = root_.c_str();
        paths_[1] = nullptr;
        row_ = wv_app{u"test_cache", u"测试缓存", 0, 0, nullptr, nullptr, nullptr, paths_};
        wv_scan_use_catalogue(&row_, 1);
        wv_scan_init(&scan);
    }
    ~one_row_scan() {
        wv_scan_destroy(&scan);
        wv_scan_use_catalogue(nullptr, 0);
    }
    one_row_scan(const one_row_scan&) = delete;
    one_row_scan& operator=(const one_row_scan&) = delete;

    void run() {
        ASSERT_EQ(wv_scan_start(&scan), 1);
        wv_scan_wait(&scan);
        ASSERT_EQ(scan.category_count.load(), 1u);
    }
    wv_category* category() { return &scan.categories[0]; }
    const wv_file* file(const u16& path) {
        for (const wv_file* f = category()->head; f; f = f->next)
            if (path == f->path) return f;
        return nullptr;
    }

    wv_scan scan{};

  private:
    u16 root_;
    const char16_t* paths_[2];
    wv_app row_;
};

struct Redirect : ::testing::TestWithParam<int> {
    int mode() const { return GetParam(); } // 0 Recycle Bin, 1 permanent
    tfx::scratch s;
    u16 docs() const {
        char16_t p[1024];
        os::expand_environment_strings(u"%USERPROFILE%\\Documents", p, 1024);
        return p;
    }
};

} // namespace

TEST_P(Redirect, SwappedFolderLeavesTheTargetUntouched) {
    TFX_SIM_ONLY("Wine cannot create junctions");
    const u16 root = s.path(u"cache");
    ASSERT_TRUE(s.file(u"cache\\sub\\a.tmp", 10));
    ASSERT_TRUE(s.file(u"cache\\sub\\b.tmp", 20));
    ASSERT_TRUE(s.file(u"cache\\kept.tmp", 30));
    const u16 victim = docs() + u"\\victim";
    ASSERT_TRUE(tfx::make_file(victim + u"\\a.tmp", 111));
    ASSERT_TRUE(tfx::make_file(victim + u"\\b.tmp", 222));

    one_row_scan scan(root);
    scan.run();
    ASSERT_EQ(scan.category()->file_count, 3u);

    // The cache folder is swapped for a junction to the user's folder.
    tfx::remove_tree(root + u"\\sub");
    ASSERT_TRUE(tfx::make_junction(root + u"\\sub", victim));

    uint32_t error = 0;
    EXPECT_EQ(wv_clean_file(scan.file(root + u"\\sub\\a.tmp"), mode(), &error), 0);
    EXPECT_EQ(error, WV_ERR_REDIRECTED);

    wv_clean_result results[4] = {};
    EXPECT_EQ(wv_clean_execute(&scan.scan, mode(), results, 4, nullptr), 1u);
    EXPECT_EQ(results[0].cleaned_count, 1u);
    EXPECT_EQ(results[0].failed_count, 2u);
    EXPECT_EQ(results[0].freed_bytes, 30u);
    EXPECT_TRUE(tfx::exists(victim + u"\\a.tmp"));
    EXPECT_TRUE(tfx::exists(victim + u"\\b.tmp"));
    EXPECT_EQ(tfx::read_all(victim + u"\\b.tmp").size(), 222u);
    EXPECT_FALSE(tfx::exists(root + u"\\kept.tmp"));
    for (wv_clean_result& r : results) wv_clean_result_clear(&r);
}

TEST_P(Redirect, FileSwappedForALinkIsNotRemovedNorItsTarget) {
    TFX_SIM_ONLY("Wine cannot create symbolic links");
    const u16 root = s.path(u"cache");
    ASSERT_TRUE(s.file(u"cache\\x.tmp", 5));
    const u16 precious = docs() + u"\\important.docx";
    ASSERT_TRUE(tfx::make_file(precious, 4096));

    one_row_scan scan(root);
    scan.run();
    tfx::remove_tree(root + u"\\x.tmp");
    ASSERT_TRUE(tfx::make_symlink(root + u"\\x.tmp", precious, false));

    uint32_t error = 0;
    EXPECT_EQ(wv_clean_file(scan.file(root + u"\\x.tmp"), mode(), &error), 0);
    EXPECT_EQ(error, WV_ERR_REDIRECTED);
    EXPECT_TRUE(tfx::exists(root + u"\\x.tmp"));
    EXPECT_EQ(tfx::read_all(precious).size(), 4096u);
}

TEST_P(Redirect, JunctionIntoAProtectedFolderIsRefusedAsProtected) {
    TFX_SIM_ONLY("Wine cannot create junctions");
    const u16 root = s.path(u"cache");
    ASSERT_TRUE(s.file(u"cache\\drivers\\hosts", 10));
    one_row_scan scan(root);
    scan.run();
    tfx::remove_tree(root + u"\\drivers");
    ASSERT_TRUE(tfx::make_junction(root + u"\\drivers", u"C:\\Windows\\System32\\drivers\\etc"));

    uint32_t error = 0;
    EXPECT_EQ(wv_clean_file(scan.file(root + u"\\drivers\\hosts"), mode(), &error), 0);
    EXPECT_EQ(error, WV_ERR_PROTECTED);
    EXPECT_TRUE(tfx::exists(u"C:\\Windows\\System32\\drivers\\etc\\hosts"));
    // Asked by path alone, the engine refuses it as protected too.
    EXPECT_EQ(wv_clean_one((root + u"\\drivers\\hosts").c_str(), mode(), &error), 0);
    EXPECT_EQ(error, WV_ERR_PROTECTED);
    EXPECT_TRUE(tfx::exists(u"C:\\Windows\\System32\\drivers\\etc\\hosts"));
}

// A walk root that already was a junction at scan time was walked on
// purpose: its files are cleaned.
TEST_P(Redirect, RootThatWasAJunctionIsCleaned) {
    TFX_SIM_ONLY("Wine cannot create junctions");
    ASSERT_TRUE(tfx::make_file(u"C:\\MovedCache\\a.tmp", 7));
    ASSERT_TRUE(tfx::make_file(u"C:\\MovedCache\\deep\\b.tmp", 8));
    ASSERT_TRUE(tfx::make_junction(s.path(u"cache"), u"C:\\MovedCache"));
    one_row_scan scan(s.path(u"cache"));
    scan.run();
    ASSERT_EQ(scan.category()->file_count, 2u);
    wv_clean_result results[2] = {};
    EXPECT_EQ(wv_clean_execute(&scan.scan, mode(), results, 2, nullptr), 2u);
    EXPECT_EQ(results[0].failed_count, 0u);
    EXPECT_FALSE(tfx::exists(u"C:\\MovedCache\\a.tmp"));
    EXPECT_FALSE(tfx::exists(u"C:\\MovedCache\\deep\\b.tmp"));
    // ...but not when the junction was pointed elsewhere since.
    ASSERT_TRUE(tfx::make_file(u"C:\\MovedCache\\c.tmp", 9));
    ASSERT_TRUE(tfx::make_file(u"C:\\Photos\\c.tmp", 9));
    one_row_scan again(s.path(u"cache"));
    again.run();
    tfx::remove_tree(s.path(u"cache"));
    ASSERT_TRUE(tfx::make_junction(s.path(u"cache"), u"C:\\Photos"));
    uint32_t error = 0;
    EXPECT_EQ(wv_clean_file(again.file(s.path(u"cache\\c.tmp")), mode(), &error), 0);
    EXPECT_EQ(error, WV_ERR_REDIRECTED);
    EXPECT_TRUE(tfx::exists(u"C:\\Photos\\c.tmp"));
    for (wv_clean_result& r : results) wv_clean_result_clear(&r);
}

// A link the scan itself met is removed as a link; its target stays.
TEST_P(Redirect, LinkSeenByTheScanGoesAsALink) {
    TFX_SIM_ONLY("Wine cannot create symbolic links");
    const u16 precious = docs() + u"\\keep.txt";
    ASSERT_TRUE(tfx::make_file(precious, 64));
    ASSERT_TRUE(s.dir(u"cache"));
    ASSERT_TRUE(tfx::make_symlink(s.path(u"cache\\shortcut.txt"), precious, false));
    one_row_scan scan(s.path(u"cache"));
    scan.run();
    uint32_t error = 1;
    EXPECT_EQ(wv_clean_file(scan.file(s.path(u"cache\\shortcut.txt")), mode(), &error), 1);
    EXPECT_EQ(error, 0u);
    EXPECT_FALSE(tfx::exists(s.path(u"cache\\shortcut.txt")));
    EXPECT_EQ(tfx::read_all(precious).size(), 64u);
}

// The normal case on both backends, with the walk root under the profile's
// Documents folder (under Wine a link to $HOME) and a root that ends in a
// separator: the real locations agree and everything is cleaned.
TEST_P(Redirect, NothingSwappedEverythingGoes) {
    const u16 root = docs() + u"\\WeChat Files\\wxid_test\\FileStorage\\Cache";
    tfx::remove_tree(docs() + u"\\WeChat Files");
    ASSERT_TRUE(tfx::make_file(root + u"\\2026-12\\a.jpg", 100));
    ASSERT_TRUE(tfx::make_file(root + u"\\b.dat", 50, os::file_attribute_readonly));
    one_row_scan scan(root + u"\\");
    scan.run();
    ASSERT_EQ(scan.category()->file_count, 2u);
    wv_clean_result results[2] = {};
    EXPECT_EQ(wv_clean_execute(&scan.scan, mode(), results, 2, nullptr), 2u);
    EXPECT_EQ(results[0].failed_count, 0u) << narrow(results[0].failed_paths);
    EXPECT_FALSE(tfx::exists(root + u"\\2026-12\\a.jpg"));
    EXPECT_FALSE(tfx::exists(root + u"\\b.dat"));
    for (wv_clean_result& r : results) wv_clean_result_clear(&r);
    tfx::remove_tree(docs() + u"\\WeChat Files");
}

INSTANTIATE_TEST_SUITE_P(BothModes, Redirect, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& i) {
                             return i.param ? "Permanent" : "RecycleBin";
                         });
