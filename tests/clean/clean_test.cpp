#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "base/mem.h"
#include "base/text.h"
#include "bin_probe.h"
#include "clean/clean.h"
#include "clean_support.h"
#include "support/fixture.h"

using ct::k_unwritten;
using tfx::narrow;
using tfx::u16;

namespace {

constexpr uint32_t k_ro = os::file_attribute_readonly;
constexpr uint32_t k_hidden = os::file_attribute_hidden;
constexpr uint32_t k_system = os::file_attribute_system;
constexpr int k_recycle = 0;
constexpr int k_for_good = 1;

class Clean : public testing::Test {
  protected:
    u16 p(const u16& rel) const { return s.path(rel); }
    static uint32_t attrs(const u16& path) {
        return os::get_file_attributes(path.c_str()) & (k_ro | k_hidden | k_system);
    }
    tfx::scratch s;
};

// ------------------------------------------------------------ wv_clean_one --

TEST_F(Clean, OneRefusesEmptyAndProtectedPathsAndTouchesNothing) {
    for (int mode : {k_recycle, k_for_good}) {
        uint32_t error = k_unwritten;
        EXPECT_EQ(wv_clean_one(nullptr, mode, &error), 0);
        EXPECT_EQ(wv_clean_one(u"", mode, &error), 0);
        EXPECT_EQ(error, k_unwritten) << "mode " << mode;
    }

    // Planted in protected places; real files, so a slip would show.
    const u16 tag = s.root().substr(s.root().find_last_of(u'\\') + 1);
    const u16 planted[] = {
        u"C:\\Windows\\System32\\" + tag + u".tmp",
        u"c:\\PROGRAM FILES (X86)\\" + tag + u"\\cache.bin",
        u"C:\\ProgramData\\" + tag + u"\\x.log",
        u"C:\\Windows\\Installer\\" + tag + u".msi",
    };
    const u16 planted_dir = u"C:\\ProgramData\\" + tag + u"-empty";
    struct cleanup {
        std::function<void()> f;
        ~cleanup() { f(); }
    } remove_planted{[&] {
        for (const u16& f : planted) os::delete_file(f.c_str());
        tfx::remove_tree(u"c:\\PROGRAM FILES (X86)\\" + tag);
        tfx::remove_tree(u"C:\\ProgramData\\" + tag);
        tfx::remove_tree(planted_dir);
    }};
    for (const u16& f : planted) ASSERT_TRUE(tfx::make_file(f, 4)) << narrow(f);
    ASSERT_TRUE(tfx::make_dirs(planted_dir));

    for (const u16& f : planted) {
        for (int mode : {k_recycle, k_for_good}) {
            uint32_t error = k_unwritten;
            EXPECT_EQ(wv_clean_one(f.c_str(), mode, &error), 0) << narrow(f);
            EXPECT_EQ(error, WV_ERR_PROTECTED) << narrow(f);
            EXPECT_TRUE(tfx::exists(f)) << narrow(f) << " mode " << mode;
        }
        EXPECT_FALSE(bin::holds(f)) << narrow(f);
    }
    EXPECT_EQ(wv_clean_one(planted_dir.c_str(), k_for_good, nullptr), 0);
    EXPECT_EQ(wv_clean_remove_empty_dir(planted_dir.c_str()), 0);
    EXPECT_TRUE(tfx::exists(planted_dir));
}

TEST_F(Clean, OneDeletesForGood) {
    struct tc {
        const char* what;
        std::function<bool()> plant;
        u16 path;
        int removed;
        uint32_t error;
        uint32_t attrs_after; // of an entry that stays
    };
    const tc cases[] = {
        {"plain file", [&] { return s.file(u"a.tmp", 10); }, p(u"a.tmp"), 1, 0, 0},
        {"read-only, hidden, system file",
         [&] { return s.file(u"rhs.tmp", 10, k_ro | k_hidden | k_system); }, p(u"rhs.tmp"), 1, 0,
         0},
        {"empty folder", [&] { return s.dir(u"empty"); }, p(u"empty"), 1, 0, 0},
        {"read-only, hidden empty folder", [&] { return s.dir(u"rh", k_ro | k_hidden); }, p(u"rh"),
         1, 0, 0},
        {"vanished since the scan", [] { return true; }, p(u"gone.tmp"), 0,
         os::error_file_not_found, 0},
        {"folder vanished too", [] { return true; }, p(u"nodir\\gone.tmp"), 0,
         os::error_path_not_found, 0},
        {"folder with content", [&] { return s.file(u"full\\keep.txt", 3); }, p(u"full"), 0,
         os::error_dir_not_empty, 0},
        // The failure leaves the folder hidden, as it was.
        {"hidden folder with content",
         [&] { return s.file(u"hfull\\keep.txt", 3) && s.dir(u"hfull", k_hidden); }, p(u"hfull"), 0,
         os::error_dir_not_empty, k_hidden},
    };
    for (const tc& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(c.plant());
        uint32_t error = k_unwritten;
        EXPECT_EQ(wv_clean_one(c.path.c_str(), k_for_good, &error), c.removed);
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(tfx::exists(c.path), c.error == os::error_dir_not_empty);
        if (c.error == os::error_dir_not_empty) EXPECT_EQ(attrs(c.path), c.attrs_after);
        EXPECT_FALSE(bin::holds(c.path));
    }
    EXPECT_TRUE(tfx::exists(p(u"full\\keep.txt")));
    EXPECT_TRUE(tfx::exists(p(u"hfull\\keep.txt")));
}

TEST_F(Clean, OneRecyclesFilesAndWholeFolders) {
    ASSERT_TRUE(s.file(u"rhs.tmp", 10, k_ro | k_hidden | k_system));
    ASSERT_TRUE(s.file(u"cache\\sub\\x.bin", 5));
    for (const u16& path : {p(u"rhs.tmp"), p(u"cache")}) {
        uint32_t error = k_unwritten;
        EXPECT_EQ(wv_clean_one(path.c_str(), k_recycle, &error), 1) << narrow(path);
        EXPECT_EQ(error, 0u);
        EXPECT_FALSE(tfx::exists(path)) << narrow(path);
        EXPECT_TRUE(bin::holds(path)) << narrow(path);
    }
    uint32_t error = k_unwritten;
    EXPECT_EQ(wv_clean_one(p(u"rhs.tmp").c_str(), k_recycle, &error), 0);
    EXPECT_EQ(error, os::error_file_not_found) << "a second request finds nothing to recycle";
}

TEST_F(Clean, RecycledFileCanBeRestoredWithItsAttributes) {
    if (!bin::can_restore()) GTEST_SKIP() << "this backend's Recycle Bin has no restore";
    const std::vector<uint8_t> bytes = {'k', 'e', 'e', 'p', 0, 1, 2};
    ASSERT_TRUE(s.file_bytes(u"restore.me", bytes, k_ro | k_hidden));
    ASSERT_EQ(wv_clean_one(p(u"restore.me").c_str(), k_recycle, nullptr), 1);
    ASSERT_FALSE(tfx::exists(p(u"restore.me")));
    ASSERT_TRUE(bin::restore(p(u"restore.me")));
    EXPECT_EQ(tfx::read_all(p(u"restore.me")), bytes);
    // Recycling leaves the attributes alone.
    EXPECT_EQ(attrs(p(u"restore.me")), k_ro | k_hidden);
}

TEST_F(Clean, OneLeavesAFileInUseAsItWas) {
    ASSERT_TRUE(s.file(u"open.log", 8, k_ro));
    os::handle h =
        os::create_file(p(u"open.log").c_str(), os::generic_read, 0, os::open_existing, 0);
    ASSERT_NE(h, os::invalid_handle);
    for (int mode : {k_for_good, k_recycle}) {
        uint32_t error = k_unwritten;
        EXPECT_EQ(wv_clean_one(p(u"open.log").c_str(), mode, &error), 0) << "mode " << mode;
        EXPECT_EQ(error, os::error_sharing_violation) << "mode " << mode;
        EXPECT_TRUE(tfx::exists(p(u"open.log")));
        // Permanent mode cleared read-only to delete and put it back.
        EXPECT_EQ(attrs(p(u"open.log")), k_ro) << "mode " << mode;
    }
    os::close_handle(h);
    EXPECT_FALSE(bin::holds(p(u"open.log")));
}

TEST_F(Clean, OneCountsWhatTheBackendRefuses) {
    TFX_SIM_ONLY("access denied and a lying or aborting Recycle Bin cannot be set up under Wine");
    struct tc {
        const char* what;
        uint32_t plant_attrs;
        tfx::fault fault;
        uint64_t param;
        int mode;
        uint32_t error;
    };
    const tc cases[] = {
        {"access denied, permanent", k_ro | k_hidden, tfx::fault::delete_denied, 0, k_for_good,
         os::error_access_denied},
        {"access denied, Recycle Bin", k_ro | k_hidden, tfx::fault::delete_denied, 0, k_recycle,
         os::error_access_denied},
        {"read-only that cannot be cleared", k_ro, tfx::fault::set_attr_denied, 0, k_for_good,
         os::error_access_denied},
        {"vanished between listing and clean", 0, tfx::fault::vanished, 0, k_for_good,
         os::error_file_not_found},
        {"shell error", k_ro | k_hidden | k_system, tfx::fault::recycle_fails, 0x78, k_recycle,
         0x78},
        {"shell answers success, file stays", k_hidden, tfx::fault::recycle_lies, 0, k_recycle,
         WV_ERR_NOT_REMOVED},
        {"shell aborted", 0, tfx::fault::recycle_aborts, 0, k_recycle, 0},
    };
    int n = 0;
    for (const tc& c : cases) {
        SCOPED_TRACE(c.what);
        const u16 path = p(u"f" + tfx::u(std::to_string(n++).c_str()) + u".tmp");
        ASSERT_TRUE(tfx::make_file(path, 4, c.plant_attrs));
        ASSERT_TRUE(tfx::inject(path, c.fault, c.param));
        uint32_t error = k_unwritten;
        EXPECT_EQ(wv_clean_one(path.c_str(), c.mode, &error), 0);
        EXPECT_EQ(error, c.error);
        EXPECT_FALSE(bin::holds(path));
        if (c.fault != tfx::fault::vanished) {
            EXPECT_TRUE(tfx::exists(path));
            EXPECT_EQ(attrs(path), c.plant_attrs);
        }
    }
    // A folder that refuses removal keeps its attributes too.
    ASSERT_TRUE(s.dir(u"locked", k_hidden));
    ASSERT_TRUE(tfx::inject(p(u"locked"), tfx::fault::delete_denied));
    uint32_t error = k_unwritten;
    EXPECT_EQ(wv_clean_one(p(u"locked").c_str(), k_for_good, &error), 0);
    EXPECT_EQ(error, os::error_access_denied);
    EXPECT_EQ(attrs(p(u"locked")), k_hidden);
}

// A path of exactly `len` units under the scratch folder, its file created.
static u16 path_of_length(const tfx::scratch& s, size_t len, char16_t fill) {
    u16 path = s.root();
    char16_t dir = u'a';
    while (len - path.size() > 201) path += u"\\" + u16(100, dir++);
    path += u"\\" + u16(len - path.size() - 1, fill);
    return tfx::make_file(path, 3) ? path : u16();
}

TEST_F(Clean, RecycleNeverHandsTheShellAPathTooLongForIt) {
    struct tc {
        size_t len;
        int removed;
    };
    for (const tc& c : {tc{259, 1}, tc{260, 0}, tc{261, 0}, tc{1023, 0}}) {
        SCOPED_TRACE(c.len);
        const u16 path = path_of_length(s, c.len, c.removed ? u'k' : u'f');
        ASSERT_EQ(path.size(), c.len);
        uint32_t error = k_unwritten;
        EXPECT_EQ(wv_clean_one(path.c_str(), k_recycle, &error), c.removed);
        EXPECT_EQ(error, c.removed ? 0u : os::error_filename_exced_range);
        EXPECT_EQ(tfx::exists(path), c.removed == 0);
        EXPECT_EQ(bin::holds(path), c.removed == 1);
    }
}

TEST_F(Clean, RemoveEmptyDir) {
    ASSERT_TRUE(s.dir(u"rh", k_ro | k_hidden));
    ASSERT_TRUE(s.file(u"full\\x", 1));
    ASSERT_TRUE(s.file(u"file.tmp", 1));
    struct tc {
        const char16_t* path;
        int removed;
    };
    const u16 rh = p(u"rh"), full = p(u"full"), file = p(u"file.tmp"), missing = p(u"missing");
    for (const tc& c : {tc{nullptr, 0}, tc{u"", 0}, tc{rh.c_str(), 1}, tc{full.c_str(), 0},
                        tc{file.c_str(), 0}, tc{missing.c_str(), 0}}) {
        EXPECT_EQ(wv_clean_remove_empty_dir(c.path), c.removed) << narrow(ct::text(c.path));
    }
    EXPECT_FALSE(tfx::exists(rh));
    EXPECT_TRUE(tfx::exists(p(u"full\\x")));
    EXPECT_TRUE(tfx::exists(file));
}

// ------------------------------------------------------- wv_clean_category --

TEST_F(Clean, CategoryCountsRemovedAndFailedFilesInOrder) {
    for (int mode : {k_recycle, k_for_good}) {
        SCOPED_TRACE(mode);
        tfx::scratch t;
        ASSERT_TRUE(t.file(u"a.tmp", 10));
        ASSERT_TRUE(t.file(u"b.tmp", 10));
        ASSERT_TRUE(t.file(u"c.tmp", 10));
        ct::scan_ctx sc;
        wv_category* cat = sc.category(u"Temp files");
        sc.file(cat, t.path(u"a.tmp"), 1000); // sizes as recorded at scan time
        sc.file(cat, t.path(u"gone1.tmp"), 7);
        sc.file(cat, t.path(u"b.tmp"), 50, false);
        sc.file(cat, t.path(u"gone2.tmp"), 9);
        sc.file(cat, t.path(u"c.tmp"), 5);
        ct::slots out(1);

        EXPECT_EQ(wv_clean_category(cat, mode, &out.r[0], nullptr), 2u);
        const wv_clean_result& r = out.r[0];
        EXPECT_EQ(u16(r.name), u"Temp files");
        EXPECT_EQ(r.cleaned_count, 2u);
        EXPECT_EQ(r.freed_bytes, 1005u);
        EXPECT_EQ(r.failed_count, 2u);
        EXPECT_EQ(cat->failed_count, 2);
        EXPECT_EQ(ct::text(r.failed_paths),
                  t.path(u"gone1.tmp") + u";" + t.path(u"gone2.tmp") + u";");
        EXPECT_FALSE(tfx::exists(t.path(u"a.tmp")));
        EXPECT_FALSE(tfx::exists(t.path(u"c.tmp")));
        EXPECT_TRUE(tfx::exists(t.path(u"b.tmp"))) << "unchecked files stay";
        EXPECT_EQ(bin::holds(t.path(u"a.tmp")), mode == k_recycle);
        // The scan's list is the window's to prune.
        EXPECT_EQ(cat->file_count, 5u);
    }
}

TEST_F(Clean, CategoryWhoseCheckedFilesAllVanished) {
    ct::scan_ctx sc;
    wv_category* cat = sc.category(u"Logs");
    sc.file(cat, p(u"x.log"), 100);
    sc.file(cat, p(u"y.log"), 200);
    sc.file(cat, u"", 300); // an empty path fails like any other
    ct::slots out(1);
    EXPECT_EQ(wv_clean_category(cat, k_for_good, &out.r[0], nullptr), 0u);
    EXPECT_EQ(out.r[0].cleaned_count, 0u);
    EXPECT_EQ(out.r[0].freed_bytes, 0u);
    EXPECT_EQ(out.r[0].failed_count, 3u);
    EXPECT_EQ(cat->failed_count, 3);
    EXPECT_EQ(ct::text(out.r[0].failed_paths), p(u"x.log") + u";" + p(u"y.log") + u";;");
}

// Fails the allocations whose (1-based) number is in g_fail_calls.
std::atomic<uint32_t> g_alloc_calls{0};
std::vector<uint32_t> g_fail_calls;
bool fail_listed(size_t) {
    uint32_t n = ++g_alloc_calls;
    return std::find(g_fail_calls.begin(), g_fail_calls.end(), n) != g_fail_calls.end();
}
bool fail_all(size_t) {
    return true;
}

TEST_F(Clean, FailedPathsSurviveAFailedAllocation) {
    struct tc {
        std::vector<uint32_t> fail;
        bool all;
        u16 expected;
    };
    const u16 m1 = p(u"m1"), m2 = p(u"m2"), m3 = p(u"m3");
    const tc cases[] = {
        {{1}, false, m2 + u";" + m3 + u";"}, // the first text is never made
        {{2}, false, m3 + u";"},             // growing fails: the text is dropped
        {{}, true, u"(null)"},
    };
    for (const tc& c : cases) {
        SCOPED_TRACE(narrow(c.expected));
        ct::scan_ctx sc;
        wv_category* cat = sc.category(u"Cache");
        for (const u16& m : {m1, m2, m3}) sc.file(cat, m, 1);
        ct::slots out(1);
        g_alloc_calls = 0;
        g_fail_calls = c.fail;
        wv::mem_set_fail_hook(c.all ? fail_all : fail_listed);
        wv_clean_category(cat, k_for_good, &out.r[0], nullptr);
        wv::mem_set_fail_hook(nullptr);
        EXPECT_EQ(out.r[0].failed_count, 3u);
        EXPECT_EQ(cat->failed_count, 3);
        EXPECT_EQ(ct::text(out.r[0].failed_paths), c.expected);
    }
}

TEST_F(Clean, CategoryRefusesMissingArguments) {
    ASSERT_TRUE(s.file(u"stay.tmp", 1));
    ct::scan_ctx sc;
    wv_category* cat = sc.category(u"Cache");
    sc.file(cat, p(u"stay.tmp"), 1);
    ct::slots out(1);
    EXPECT_EQ(wv_clean_category(nullptr, k_for_good, &out.r[0], nullptr), 0u);
    EXPECT_TRUE(out.untouched(0));
    EXPECT_EQ(wv_clean_category(cat, k_for_good, nullptr, nullptr), 0u);
    EXPECT_TRUE(tfx::exists(p(u"stay.tmp")));
}

// -------------------------------------------------------- wv_clean_execute --

TEST_F(Clean, ExecuteKeepsOneRecordPerCategoryTried) {
    ASSERT_TRUE(s.file(u"a1", 1) && s.file(u"a2", 1) && s.file(u"b1", 1) && s.file(u"c1", 1));
    ct::scan_ctx sc;
    wv_category* a = sc.category(u"A");
    sc.file(a, p(u"a1"), 10);
    sc.file(a, p(u"a2"), 20);
    wv_category* b = sc.category(u"B");
    sc.file(b, p(u"b1"), 30, false);
    wv_category* c = sc.category(u"C");
    sc.file(c, p(u"c1"), 40);
    sc.file(c, p(u"c-gone"), 50);
    ct::slots out(4);

    EXPECT_EQ(wv_clean_execute(&sc.scan, k_for_good, out.r.data(), 4, nullptr), 3u);
    EXPECT_EQ(u16(out.r[0].name), u"A");
    EXPECT_EQ(out.r[0].cleaned_count, 2u);
    EXPECT_EQ(out.r[0].freed_bytes, 30u);
    EXPECT_EQ(u16(out.r[1].name), u"C");
    EXPECT_EQ(out.r[1].cleaned_count, 1u);
    EXPECT_EQ(out.r[1].failed_count, 1u);
    EXPECT_EQ(ct::text(out.r[1].failed_paths), p(u"c-gone") + u";");
    EXPECT_TRUE(out.untouched(2));
    EXPECT_TRUE(out.untouched(3));
    EXPECT_TRUE(tfx::exists(p(u"b1")));
    EXPECT_EQ(b->failed_count, 0);
}

TEST_F(Clean, ExecuteStopsWhenTheResultsAreFull) {
    ct::scan_ctx sc;
    for (const char16_t* name : {u"A", u"B", u"C"}) {
        ASSERT_TRUE(s.file(name, 1));
        sc.file(sc.category(name), p(name), 1);
    }
    ct::slots out(3);
    EXPECT_EQ(wv_clean_execute(&sc.scan, k_recycle, out.r.data(), 2, nullptr), 2u);
    EXPECT_EQ(u16(out.r[1].name), u"B");
    EXPECT_TRUE(out.untouched(2));
    EXPECT_TRUE(tfx::exists(p(u"C")));
}

TEST_F(Clean, ExecuteRefusesMissingArgumentsAndAStopAlreadySet) {
    ASSERT_TRUE(s.file(u"stay", 1));
    ct::scan_ctx sc;
    sc.file(sc.category(u"A"), p(u"stay"), 1);
    ct::scan_ctx empty;
    ct::slots out(2);
    std::atomic<int32_t> stop{1};

    EXPECT_EQ(wv_clean_execute(nullptr, k_for_good, out.r.data(), 2, nullptr), 0u);
    EXPECT_EQ(wv_clean_execute(&sc.scan, k_for_good, nullptr, 2, nullptr), 0u);
    EXPECT_EQ(wv_clean_execute(&sc.scan, k_for_good, out.r.data(), 0, nullptr), 0u);
    EXPECT_EQ(wv_clean_execute(&empty.scan, k_for_good, out.r.data(), 2, nullptr), 0u);
    EXPECT_EQ(wv_clean_execute(&sc.scan, k_for_good, out.r.data(), 2, &stop), 0u);
    EXPECT_TRUE(out.untouched(0));
    EXPECT_TRUE(out.untouched(1));
    EXPECT_TRUE(tfx::exists(p(u"stay")));

    // A context whose category array could not be allocated.
    wv::mem_set_fail_hook(fail_all);
    ct::scan_ctx no_array;
    wv::mem_set_fail_hook(nullptr);
    ASSERT_EQ(no_array.scan.categories, nullptr);
    EXPECT_EQ(wv_clean_execute(&no_array.scan, k_for_good, out.r.data(), 2, nullptr), 0u);
    EXPECT_TRUE(out.untouched(0));
}

// Adds a category while the first one is being cleaned (from inside the
// failed-path allocation), to show the count is read again.
ct::scan_ctx* g_growing = nullptr;
u16 g_late_file;
bool add_category_once(size_t) {
    ct::scan_ctx* sc = g_growing;
    g_growing = nullptr; // the add below allocates too
    if (sc) sc->file(sc->category(u"Late"), g_late_file, 6);
    return false;
}

TEST_F(Clean, ExecuteReadsTheCategoryCountAfterEveryCategory) {
    ASSERT_TRUE(s.file(u"late", 1));
    ct::scan_ctx sc;
    sc.file(sc.category(u"A"), p(u"missing"), 1);
    g_growing = &sc;
    g_late_file = p(u"late");
    ct::slots out(3);
    wv::mem_set_fail_hook(add_category_once);
    uint32_t total = wv_clean_execute(&sc.scan, k_for_good, out.r.data(), 3, nullptr);
    wv::mem_set_fail_hook(nullptr);
    EXPECT_EQ(total, 1u);
    EXPECT_EQ(u16(out.r[1].name), u"Late");
    EXPECT_EQ(out.r[1].freed_bytes, 6u);
    EXPECT_FALSE(tfx::exists(p(u"late")));
}

} // namespace
