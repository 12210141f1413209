#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>

#include "base/mem.h"
#include "base/text.h"
#include "scan/scan.h"
#include "scan_helpers.h"
#include "support/fixture.h"

using scantest::context;
using tfx::narrow;
using tfx::u16;

namespace {

bool all_zero(const wv_scan& s) {
    return s.running.load() == 0 && s.stop.load() == 0 && s.paused.load() == 0 &&
           s.thread == nullptr && s.thread_id == 0 && s.categories == nullptr &&
           s.category_count.load() == 0 && s.current_index.load() == 0 && s.status_text[0] == 0 &&
           s.on_event == nullptr && s.lock_live == 0 && s.link == nullptr;
}

wv_app app(const char16_t* id, int32_t risk = 0, int32_t default_unchecked = 0,
           const char16_t* name = u"名称") {
    return {id, name, risk, default_unchecked, nullptr, nullptr, nullptr, nullptr};
}

std::atomic<int> g_fail_size{0}; // allocations of this size fail

bool fail_sized(size_t bytes) {
    return int(bytes) == g_fail_size.load();
}

struct fail_allocations {
    explicit fail_allocations(size_t bytes) {
        g_fail_size = int(bytes);
        wv::mem_set_fail_hook(&fail_sized);
    }
    ~fail_allocations() {
        wv::mem_set_fail_hook(nullptr);
        g_fail_size = 0;
    }
};

} // namespace

TEST(ScanContext, InitDestroyAndReinit) {
    auto s = std::make_unique<wv_scan>();
    EXPECT_TRUE(all_zero(*s));
    wv_scan_destroy(s.get()); // never initialised: passes through
    EXPECT_TRUE(all_zero(*s));

    wv_scan_init(s.get());
    ASSERT_NE(s->categories, nullptr);
    EXPECT_EQ(s->category_count.load(), 0u);
    for (uint32_t i = 0; i < WV_MAX_CATEGORIES; ++i) ASSERT_EQ(s->categories[i].head, nullptr);
    wv_app a = app(u"x");
    wv_category* c = wv_scan_add_category(s.get(), &a, 0);
    wv_scan_add_file(s.get(), c, u"C:\\a", 1, nullptr, 0);
    wv_scan_set_status(s.get(), u"状态");
    wv_scan_destroy(s.get());
    EXPECT_TRUE(all_zero(*s));

    // Initialising again keeps nothing, not even an earlier callback.
    s->on_event = &scantest::record_event;
    wv_scan_init(s.get());
    EXPECT_EQ(s->on_event, nullptr);
    EXPECT_NE(s->categories, nullptr);
    wv_scan_destroy(s.get());

    // Absent contexts are refused without harm.
    wv_scan_init(nullptr);
    wv_scan_destroy(nullptr);
    wv_scan_stop(nullptr);
    wv_scan_wait(nullptr);
    EXPECT_EQ(wv_scan_start(nullptr), 0);
    EXPECT_EQ(wv_scan_add_category(nullptr, &a, 0), nullptr);
    EXPECT_EQ(wv_scan_find_category(nullptr, u"x"), nullptr);
}

TEST(ScanContext, AddCategoryCopiesTheRowAndStopsAt128) {
    context s;
    const u16 long_id(300, u'i');
    wv_app a = app(long_id.c_str(), 1, 1, u"很长");
    wv_category* c = wv_scan_add_category(s.get(), &a, 7);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c, &s->categories[0]);
    EXPECT_EQ(u16(c->id), u16(255, u'i')); // cut to 255 and terminated
    EXPECT_EQ(u16(c->name), u"很长");
    EXPECT_EQ(c->risk, 1);
    EXPECT_EQ(c->default_unchecked, 1);
    EXPECT_EQ(c->tag, 7);
    EXPECT_EQ(c->expanded, 0);
    EXPECT_EQ(c->file_count, 0u);
    EXPECT_EQ(c->failed_count, 0);
    EXPECT_EQ(c->head, nullptr);
    EXPECT_EQ(c->tail, nullptr);

    EXPECT_EQ(wv_scan_add_category(s.get(), nullptr, 0), nullptr);
    wv_app b = app(u"b");
    for (uint32_t i = 1; i < WV_MAX_CATEGORIES; ++i)
        ASSERT_NE(wv_scan_add_category(s.get(), &b, 0), nullptr);
    EXPECT_EQ(wv_scan_add_category(s.get(), &b, 0), nullptr);
    EXPECT_EQ(s->category_count.load(), WV_MAX_CATEGORIES);
}

TEST(ScanContext, WithoutTheArrayNothingIsAdded) {
    wv_scan s{};
    {
        fail_allocations f(sizeof(wv_category) * WV_MAX_CATEGORIES);
        wv_scan_init(&s);
    }
    EXPECT_EQ(s.categories, nullptr);
    wv_app a = app(u"a");
    EXPECT_EQ(wv_scan_add_category(&s, &a, 0), nullptr);
    EXPECT_EQ(wv_scan_find_category(&s, u"a"), nullptr);
    wv_scan_destroy(&s);
    EXPECT_TRUE(all_zero(s));
}

TEST(ScanContext, DefaultCheckedRule) {
    struct tc {
        const char16_t* id;
        int32_t category_risk, default_unchecked, file_risk, checked;
    };
    const tc cases[] = {
        {u"sys_temp_user", 0, 0, 0, 1},
        {u"chrome_cookie", 0, 0, 0, 0},
        {u"edge_history", 0, 0, 0, 0},
        {u"my_Cookie_jar", 0, 0, 0, 1}, // the search is case-sensitive
        {u"HISTORY", 0, 0, 0, 1},
        {u"wechat_recv", 0, 1, 0, 0},
        {u"sys_prefetch", 1, 0, 1, 0},
        {u"docker_like", 2, 0, 2, 0},
        {u"safe_row_risky_file", 0, 0, 1, 0}, // the file's risk argument decides
    };
    context s;
    for (const tc& c : cases) {
        wv_app a = app(c.id, c.category_risk, c.default_unchecked);
        wv_category* cat = wv_scan_add_category(s.get(), &a, 0);
        ASSERT_NE(cat, nullptr);
        wv_scan_add_file(s.get(), cat, u"C:\\f", 5, nullptr, c.file_risk);
        ASSERT_NE(cat->head, nullptr);
        EXPECT_EQ(cat->head->checked, c.checked) << narrow(c.id);
        EXPECT_EQ(cat->head->risk, c.file_risk) << narrow(c.id);
    }
}

TEST(ScanContext, AddFileAppendsInOrderAndKeepsTheSums) {
    context s;
    wv_app a = app(u"a");
    wv_category* c = wv_scan_add_category(s.get(), &a, 0);
    const uint64_t when = 0x01DA000000000000ull;
    const u16 long_path = u"C:\\" + u16(1100, u'p');
    wv_scan_add_file(s.get(), c, u"C:\\one", 10, &when, 0);
    wv_scan_add_file(s.get(), c, long_path.c_str(), 20, nullptr, 0);
    wv_scan_add_file(s.get(), c, u"C:\\three", uint64_t(5) << 32, nullptr, 0);
    ASSERT_EQ(c->file_count, 3u);
    EXPECT_EQ(c->total_bytes, 30u + (uint64_t(5) << 32));
    EXPECT_EQ(u16(c->head->path), u"C:\\one");
    EXPECT_EQ(c->head->last_write, when);
    EXPECT_EQ(c->head->next->last_write, 0u);
    EXPECT_EQ(wv::str_len(c->head->next->path), 1023u);
    EXPECT_EQ(u16(c->tail->path), u"C:\\three");
    EXPECT_EQ(c->tail->next, nullptr);
    scantest::expect_consistent(c);

    // Absent arguments and a failed allocation add nothing.
    wv_scan_add_file(s.get(), c, nullptr, 1, nullptr, 0);
    wv_scan_add_file(s.get(), nullptr, u"C:\\x", 1, nullptr, 0);
    wv_scan_add_file(nullptr, c, u"C:\\x", 1, nullptr, 0);
    {
        fail_allocations f(sizeof(wv_file));
        wv_scan_add_file(s.get(), c, u"C:\\lost", 1, nullptr, 0);
    }
    EXPECT_EQ(c->file_count, 3u);
    scantest::expect_consistent(c);
}

TEST(ScanContext, FindCategoryIsExactAndTakesTheFirst) {
    context s;
    EXPECT_EQ(wv_scan_find_category(s.get(), u"a"), nullptr); // no records
    wv_app a = app(u"edge_cookie"), b = app(u"edge_cookie"), c = app(u"other");
    wv_category* first = wv_scan_add_category(s.get(), &a, 1);
    wv_scan_add_category(s.get(), &b, 2);
    wv_scan_add_category(s.get(), &c, 3);
    EXPECT_EQ(wv_scan_find_category(s.get(), u"edge_cookie"), first);
    EXPECT_EQ(wv_scan_find_category(s.get(), u"Edge_Cookie"), nullptr);
    EXPECT_EQ(wv_scan_find_category(s.get(), u"edge"), nullptr);
    EXPECT_EQ(wv_scan_find_category(s.get(), nullptr), nullptr);
    EXPECT_EQ(wv_scan_find_category(s.get(), u"other")->tag, 3);
}

TEST(ScanContext, StatusTextIsCutAndCopiedWhole) {
    context s;
    const u16 long_text(400, u'状');
    wv_scan_set_status(s.get(), long_text.c_str());
    char16_t out[256];
    wv_scan_status(s.get(), out, 256);
    EXPECT_EQ(u16(out), u16(255, u'状'));
    char16_t small[4];
    wv_scan_status(s.get(), small, 4);
    EXPECT_EQ(u16(small), u16(3, u'状'));
    wv_scan_set_status(s.get(), nullptr);
    wv_scan_status(s.get(), out, 256);
    EXPECT_EQ(out[0], 0);
    wv_scan_status(nullptr, out, 256);
    EXPECT_EQ(out[0], 0);
}

TEST(ScanContext, StartThatCannotAllocateLeavesNoRun) {
    context s;
    wv::mem_set_fail_hook([](size_t) { return true; });
    int started = wv_scan_start(s.get());
    wv::mem_set_fail_hook(nullptr);
    EXPECT_EQ(started, 0);
    EXPECT_EQ(s->running.load(), 0);
    EXPECT_EQ(s->thread, nullptr);
    EXPECT_EQ(wv_scan_workers_alive(), 0u);

    s->stop.store(1);
    ASSERT_EQ(wv_scan_start(s.get()), 1);
    EXPECT_NE(s->thread, nullptr);
    wv_scan_wait(s.get());
    EXPECT_EQ(s->running.load(), 0);
    // The stop set before the start was cleared by it: the run finished.
    EXPECT_EQ(scantest::g_log.codes().back(), SCAN_EVENT_FINISHED);
}
