#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "base/text.h"
#include "fs/fs.h"
#include "support/fixture.h"

using tfx::narrow;
using tfx::u16;

namespace {

struct call {
    char kind; // 'i' item, 'e' enter
    u16 path;
    int is_dir;
    uint32_t attributes;
};

// Records every callback; answers from the per-path tables.
struct recorder {
    std::vector<call> calls;
    std::vector<u16> refuse_enter;  // on_enter answers 0
    std::vector<u16> item_answers0; // on_item answers 0
    std::atomic<int32_t>* stop_on = nullptr;
    u16 stop_at;

    static int item(const char16_t* p, const os::find_data* fd, int is_dir, void* user) {
        auto* r = static_cast<recorder*>(user);
        r->calls.push_back({'i', p, is_dir, fd->attributes});
        if (r->stop_on && r->stop_at == p) r->stop_on->store(1);
        return std::find(r->item_answers0.begin(), r->item_answers0.end(), u16(p)) ==
                       r->item_answers0.end()
                   ? 1
                   : 0;
    }
    static int enter(const char16_t* p, void* user) {
        auto* r = static_cast<recorder*>(user);
        r->calls.push_back({'e', p, 1, 0});
        return std::find(r->refuse_enter.begin(), r->refuse_enter.end(), u16(p)) ==
                       r->refuse_enter.end()
                   ? 1
                   : 0;
    }
    std::vector<u16> items() const {
        std::vector<u16> v;
        for (const call& c : calls)
            if (c.kind == 'i') v.push_back(c.path);
        std::sort(v.begin(), v.end());
        return v;
    }
    size_t count(char kind) const {
        return size_t(std::count_if(calls.begin(), calls.end(),
                                    [&](const call& c) { return c.kind == kind; }));
    }
    void walk(const u16& start, std::atomic<int32_t>* stop = nullptr,
              wv_walk_stats* stats = nullptr) {
        wv_dir_walk(start.c_str(), &recorder::item, &recorder::enter, stop, stats, this);
    }
};

} // namespace

TEST(Probes, ExistsOnFilesDirsAndMissing) {
    tfx::scratch s;
    ASSERT_TRUE(s.file(u"f.txt", 3));
    ASSERT_TRUE(s.dir(u"d"));
    struct tc {
        u16 path;
        int file, dir;
    };
    const tc cases[] = {{s.path(u"f.txt"), 1, 0},
                        {s.path(u"d"), 0, 1},
                        {s.path(u"missing"), 0, 0},
                        {s.path(u"missing\\deeper"), 0, 0},
                        {u"", 0, 0}};
    for (const tc& c : cases) {
        EXPECT_EQ(wv_file_exists(c.path.c_str()), c.file) << narrow(c.path);
        EXPECT_EQ(wv_dir_exists(c.path.c_str()), c.dir) << narrow(c.path);
    }
    EXPECT_EQ(wv_file_exists(nullptr), 0);
    EXPECT_EQ(wv_dir_exists(nullptr), 0);
}

TEST(Probes, AccessProbeLeavesNothingBehind) {
    tfx::scratch s;
    ASSERT_TRUE(s.dir(u"w"));
    EXPECT_EQ(wv_dir_accessible(s.path(u"w").c_str()), 1);
    EXPECT_TRUE(tfx::list(s.path(u"w")).empty());
    // A probe file that was already there goes too.
    ASSERT_TRUE(s.file(u"w\\.welvo_access_test", 5));
    EXPECT_EQ(wv_dir_accessible(s.path(u"w").c_str()), 1);
    EXPECT_TRUE(tfx::list(s.path(u"w")).empty());
    EXPECT_EQ(wv_dir_accessible(s.path(u"missing").c_str()), 0);
    EXPECT_EQ(wv_dir_accessible(nullptr), 0);
    EXPECT_EQ(wv_dir_accessible(u""), 0);
}

TEST(Probes, AccessProbeOnReadOnlyLocation) {
    TFX_SIM_ONLY("Wine runs as an administrator whom no folder refuses");
    tfx::scratch s;
    ASSERT_TRUE(s.dir(u"ro"));
    ASSERT_TRUE(tfx::inject(s.path(u"ro"), tfx::fault::create_denied));
    EXPECT_EQ(wv_dir_accessible(s.path(u"ro").c_str()), 0);
    EXPECT_TRUE(tfx::list(s.path(u"ro")).empty());
}

TEST(Walk, NoCallbackForFileMissingOrProtectedStart) {
    tfx::scratch s;
    ASSERT_TRUE(s.file(u"f", 1));
    for (const u16& start : {s.path(u"f"), s.path(u"missing"), u16(u"C:\\Windows\\System32"),
                             u16(u"c:\\program files"), u16()}) {
        recorder r;
        r.walk(start);
        EXPECT_TRUE(r.calls.empty()) << narrow(start);
    }
    recorder r;
    wv_dir_walk(nullptr, &recorder::item, &recorder::enter, nullptr, nullptr, &r);
    EXPECT_TRUE(r.calls.empty());
}

TEST(Walk, EmptyDirectoryAndRefusedStart) {
    tfx::scratch s;
    ASSERT_TRUE(s.dir(u"empty"));
    recorder r;
    r.walk(s.path(u"empty"));
    ASSERT_EQ(r.calls.size(), 1u);
    EXPECT_EQ(r.calls[0].kind, 'e');

    ASSERT_TRUE(s.file(u"full\\a", 1));
    recorder r2;
    r2.refuse_enter = {s.path(u"full")};
    r2.walk(s.path(u"full"));
    EXPECT_EQ(r2.count('e'), 1u);
    EXPECT_EQ(r2.count('i'), 0u);
}

TEST(Walk, VisitsEverythingDepthFirstWithStats) {
    tfx::scratch s;
    ASSERT_TRUE(s.file(u"t\\a.txt", 10));
    ASSERT_TRUE(s.file(u"t\\sub\\b.txt", 20, os::file_attribute_hidden));
    ASSERT_TRUE(s.file(u"t\\sub\\c.txt", 5, os::file_attribute_system));
    ASSERT_TRUE(s.dir(u"t\\sub\\deeper"));
    recorder r;
    wv_walk_stats st{};
    r.walk(s.path(u"t"), nullptr, &st);
    std::vector<u16> want = {s.path(u"t\\a.txt"), s.path(u"t\\sub"), s.path(u"t\\sub\\b.txt"),
                             s.path(u"t\\sub\\c.txt"), s.path(u"t\\sub\\deeper")};
    EXPECT_EQ(r.items(), want);
    EXPECT_EQ(st.file_count, 3u);
    EXPECT_EQ(st.dir_count, 2u);
    EXPECT_EQ(st.total_bytes, 35u);
    EXPECT_EQ(r.count('e'), 3u); // t, sub, deeper
    // Every entry of sub comes after sub's own item and enter calls, before
    // anything that follows sub in t.
    auto pos = [&](const u16& p, char k) {
        for (size_t i = 0; i < r.calls.size(); ++i)
            if (r.calls[i].path == p && r.calls[i].kind == k) return i;
        return size_t(-1);
    };
    EXPECT_LT(pos(s.path(u"t\\sub"), 'i'), pos(s.path(u"t\\sub"), 'e'));
    EXPECT_LT(pos(s.path(u"t\\sub"), 'e'), pos(s.path(u"t\\sub\\b.txt"), 'i'));
}

TEST(Walk, StatsExample) {
    tfx::scratch s;
    ASSERT_TRUE(s.file(u"t\\d\\x", 10));
    ASSERT_TRUE(s.file(u"t\\d\\y", 20));
    wv_walk_stats st{};
    wv_dir_walk(s.path(u"t").c_str(), nullptr, nullptr, nullptr, &st, nullptr);
    EXPECT_EQ(st.file_count, 2u);
    EXPECT_EQ(st.dir_count, 1u);
    EXPECT_EQ(st.total_bytes, 30u);
}

TEST(Walk, ItemZeroForAFileEndsOnlyThatDirectory) {
    tfx::scratch s;
    ASSERT_TRUE(s.file(u"t\\d\\only", 1));
    ASSERT_TRUE(s.file(u"t\\later.txt", 1));
    recorder r;
    r.item_answers0 = {s.path(u"t\\d\\only")};
    r.walk(s.path(u"t"));
    std::vector<u16> want = {s.path(u"t\\d"), s.path(u"t\\d\\only"), s.path(u"t\\later.txt")};
    EXPECT_EQ(r.items(), want); // the parent's listing went on
}

TEST(Walk, ItemZeroSkipsTheRestInListingOrder) {
    TFX_SIM_ONLY("needs a known listing order (NTFS order); Wine lists in the host's order");
    tfx::scratch s;
    ASSERT_TRUE(s.file(u"t\\a", 1));
    ASSERT_TRUE(s.file(u"t\\b", 1));
    ASSERT_TRUE(s.file(u"t\\c\\inner", 1)); // a subdirectory not yet reached
    ASSERT_TRUE(s.file(u"u\\x", 1));
    recorder r;
    r.item_answers0 = {s.path(u"t\\a")};
    r.walk(s.path(u""));
    std::vector<u16> want = {s.path(u"t"), s.path(u"t\\a"), s.path(u"u"), s.path(u"u\\x")};
    EXPECT_EQ(r.items(), want);
}

TEST(Walk, SubdirectoryRefusedByItemIsNotEntered) {
    tfx::scratch s;
    ASSERT_TRUE(s.file(u"t\\d\\inner", 1));
    recorder r;
    r.item_answers0 = {s.path(u"t\\d")};
    r.walk(s.path(u"t"));
    EXPECT_EQ(r.items(), std::vector<u16>{s.path(u"t\\d")});
    EXPECT_EQ(r.count('e'), 1u);
}

TEST(Walk, ProtectedSubdirectoriesAreNeitherReportedNorEntered) {
    // Only the top level of C:\Windows is listed: the recorder refuses to
    // descend anywhere.
    recorder r;
    wv_dir_walk(
        u"C:\\Windows",
        [](const char16_t* p, const os::find_data* fd, int d, void* u) {
            recorder::item(p, fd, d, u);
            return d ? 0 : 1; // never descend; 0 for a file would end the listing
        },
        &recorder::enter, nullptr, nullptr, &r);
    std::vector<u16> names;
    for (const u16& p : r.items()) {
        u16 n = p.substr(p.find_last_of(u'\\') + 1);
        for (auto& c : n) c = wv::fold_ascii(c);
        names.push_back(n);
    }
    for (const char16_t* prot : {u"system32", u"syswow64", u"fonts", u"installer", u"boot"})
        EXPECT_EQ(std::count(names.begin(), names.end(), u16(prot)), 0) << narrow(prot);
    EXPECT_EQ(std::count(names.begin(), names.end(), u16(u"temp")), 1);
    EXPECT_EQ(r.count('e'), 1u);
}

// A start path that ends in a separator (a drive root) gets no second one:
// "C:\\Program Files" would name the protected folder yet pass the literal
// comparison with the protected list.
TEST(Walk, DriveRootKeepsProtectedFoldersOut) {
    for (const char16_t* root : {u"C:\\", u"C:/"}) {
        recorder r;
        wv_dir_walk(
            root,
            [](const char16_t* p, const os::find_data* fd, int d, void* u) {
                recorder::item(p, fd, d, u);
                return d ? 0 : 1;
            },
            &recorder::enter, nullptr, nullptr, &r);
        ASSERT_FALSE(r.items().empty());
        for (const u16& p : r.items()) {
            EXPECT_EQ(p.substr(0, 3), u"C:\\") << narrow(p);
            EXPECT_NE(p[3], u'\\') << narrow(p);
            u16 folded = p;
            for (auto& c : folded) c = wv::fold_ascii(c);
            EXPECT_NE(folded, u"c:\\program files");
            EXPECT_NE(folded, u"c:\\programdata");
        }
        EXPECT_EQ(r.count('e'), 1u);
    }
}

TEST(Walk, JunctionsAreReportedNotFollowed) {
    TFX_SIM_ONLY("Wine cannot create junctions");
    tfx::scratch s;
    ASSERT_TRUE(s.file(u"target\\secret.txt", 7));
    ASSERT_TRUE(s.dir(u"t"));
    ASSERT_TRUE(tfx::make_junction(s.path(u"t\\j"), s.path(u"target")));
    ASSERT_TRUE(tfx::make_symlink(s.path(u"t\\link.txt"), s.path(u"target\\secret.txt"), false));
    ASSERT_TRUE(s.file(u"t\\after.txt", 1));
    recorder r;
    r.item_answers0 = {s.path(u"t\\j"), s.path(u"t\\link.txt")}; // both answers are ignored
    wv_walk_stats st{};
    r.walk(s.path(u"t"), nullptr, &st);
    ASSERT_EQ(r.items(),
              (std::vector<u16>{s.path(u"t\\after.txt"), s.path(u"t\\j"), s.path(u"t\\link.txt")}));
    for (const call& c : r.calls) {
        if (c.path == s.path(u"t\\j")) EXPECT_EQ(c.is_dir, 1);
        if (c.path == s.path(u"t\\link.txt")) EXPECT_EQ(c.is_dir, 0);
    }
    EXPECT_EQ(r.count('e'), 1u);
    EXPECT_EQ(st.file_count, 1u); // reparse points are not counted
    EXPECT_EQ(st.dir_count, 0u);

    // A start path that is itself a junction lists its target.
    recorder r2;
    r2.walk(s.path(u"t\\j"));
    EXPECT_EQ(r2.items(), std::vector<u16>{s.path(u"t\\j\\secret.txt")});
}

TEST(Walk, StopFlagSeenBeforeTheNextEntry) {
    tfx::scratch s;
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(s.file(u"t\\d" + tfx::u(std::to_string(i % 4).c_str()) + u"\\f" +
                               tfx::u(std::to_string(i).c_str()),
                           1));
    recorder all;
    all.walk(s.path(u"t"));
    ASSERT_EQ(all.count('i'), 24u);
    // Stop when the 7th item is reported: nothing follows it.
    std::atomic<int32_t> stop{0};
    recorder r;
    r.stop_on = &stop;
    r.stop_at = all.calls[0].path;
    size_t seventh = 0;
    for (size_t i = 0, items = 0; i < all.calls.size(); ++i)
        if (all.calls[i].kind == 'i' && ++items == 7) seventh = i;
    r.stop_at = all.calls[seventh].path;
    r.walk(s.path(u"t"), &stop);
    ASSERT_FALSE(r.calls.empty());
    EXPECT_EQ(r.calls.back().path, r.stop_at);
    EXPECT_EQ(r.count('i'), 7u);

    std::atomic<int32_t> already{1};
    recorder r2;
    r2.walk(s.path(u"t"), &already);
    EXPECT_TRUE(r2.calls.empty());
}

// A stop set by another thread while the walker waits inside a callback: once
// the flag is set, no further callback comes.
TEST(WalkConcurrent, StopFromAnotherThread) {
    tfx::scratch s;
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(s.file(u"t\\f" + tfx::u(std::to_string(i).c_str()), 1));
    struct ctx {
        std::atomic<int32_t> stop{0};
        std::atomic<int> in_callback{0};
        std::atomic<int> after_stop{0};
        int calls = 0;
    } c;
    auto item = [](const char16_t*, const os::find_data*, int, void* u) {
        auto* x = static_cast<ctx*>(u);
        if (x->stop.load()) x->after_stop.fetch_add(1);
        if (++x->calls == 10) {
            x->in_callback.store(1);
            while (!x->stop.load()) os::sleep(1); // the other thread sets it
        }
        return 1;
    };
    os::handle t = os::create_thread(
        0,
        [](void* u) -> uint32_t {
            auto* x = static_cast<ctx*>(u);
            while (!x->in_callback.load()) os::sleep(1);
            x->stop.store(1, std::memory_order_release);
            return 0;
        },
        &c, nullptr);
    ASSERT_NE(t, nullptr);
    wv_dir_walk(s.path(u"t").c_str(), item, nullptr, &c.stop, nullptr, &c);
    EXPECT_EQ(os::wait_for_single_object(t, 5000), os::wait_object_0);
    os::close_handle(t);
    EXPECT_EQ(c.calls, 10);
    EXPECT_EQ(c.after_stop.load(), 0);
}

// The walker keeps its own stack of levels: a tree as deep as the path limit
// allows is walked on a thread with a small stack.
TEST(Walk, DeepestTreeOnASmallStack) {
    tfx::scratch s;
    u16 deep = s.path(u"deep");
    int levels = 0;
    while (deep.size() + 2 <= 1023) {
        deep += u"\\d";
        ++levels;
    }
    ASSERT_TRUE(tfx::make_dirs(deep));
    ASSERT_TRUE(tfx::write_file(deep.substr(0, deep.size() - 2) + u"\\f", {1, 2, 3}));
    struct ctx {
        u16 start;
        wv_walk_stats st{};
        size_t longest = 0;
    } c{s.path(u"deep")};
    os::handle t = os::create_thread(
        64 * 1024,
        [](void* u) -> uint32_t {
            auto* x = static_cast<ctx*>(u);
            wv_dir_walk(
                x->start.c_str(),
                [](const char16_t* p, const os::find_data*, int, void* uu) {
                    auto* y = static_cast<ctx*>(uu);
                    y->longest = std::max(y->longest, wv::str_len(p));
                    return 1;
                },
                nullptr, nullptr, &x->st, x);
            return 0;
        },
        &c, nullptr);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(os::wait_for_single_object(t, 60000), os::wait_object_0);
    os::close_handle(t);
    EXPECT_EQ(c.st.dir_count, uint32_t(levels));
    EXPECT_EQ(c.st.file_count, 1u);
    EXPECT_EQ(c.longest, deep.size());
}

// An entry whose full path does not fit in 1,023 units is skipped. Cut, it
// would name its sibling here, and the sibling would be reported twice.
TEST(Walk, OverLongEntryIsSkippedNotCut) {
    tfx::scratch s;
    // A folder whose path is 922 units, so a name of 100 units fills a path
    // of exactly 1,023.
    u16 dir = s.path(u"cut");
    while (dir.size() < 922) {
        size_t left = 922 - dir.size();
        dir += u"\\" + u16(left > 250 ? 200 : left - 1, u'c');
    }
    ASSERT_EQ(dir.size(), 922u);
    ASSERT_TRUE(tfx::make_dirs(dir));
    u16 sibling(100, u'n');        // dir\sibling is exactly 1,023 units
    u16 longer = sibling + u"xyz"; // its path would be cut to dir\sibling
    ASSERT_TRUE(tfx::make_file(dir + u"\\" + sibling, 1));
    ASSERT_TRUE(tfx::make_file(dir + u"\\" + longer, 1));
    ASSERT_EQ(tfx::list(dir).size(), 2u);
    recorder r;
    r.walk(dir);
    EXPECT_EQ(r.items(), std::vector<u16>{dir + u"\\" + sibling});
}
