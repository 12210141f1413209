#include <gtest/gtest.h>

#include <vector>

#include "scan_builder.h"
#include "support/fixture.h"
#include "ui/model.h"

using tfx::narrow;
using uitest::scan_builder;

namespace {

std::vector<int32_t> checks(const wv_category* c) {
    std::vector<int32_t> v;
    for (const wv_file* f = c->head; f; f = f->next) v.push_back(f->checked);
    return v;
}

TEST(Model, FooterTotals) {
    scan_builder b;
    wv_totals t = wv_footer_totals(&b.scan);
    EXPECT_EQ(t.files, 0u);
    EXPECT_EQ(t.all_checked, 0); // no file: not "all checked"
    b.add(u"a", {{100, 1}, {200, 0}});
    b.add(u"b", {{1000, 1}});
    t = wv_footer_totals(&b.scan);
    EXPECT_EQ(t.checked, 2u);
    EXPECT_EQ(t.checked_bytes, 1100u);
    EXPECT_EQ(t.files, 3u);
    EXPECT_EQ(t.all_checked, 0);
    EXPECT_EQ(wv_all_files_checked(&b.scan), 0);
    wv_set_all_checked(&b.scan, 1);
    t = wv_footer_totals(&b.scan);
    EXPECT_EQ(t.checked_bytes, 1300u);
    EXPECT_EQ(t.all_checked, 1);
    EXPECT_EQ(wv_all_files_checked(&b.scan), 1);
}

TEST(Model, CategoryCheckBoxTogglesAllOrNone) {
    scan_builder b;
    wv_category* c = b.add(u"a", {{1, 1}, {2, 0}, {3, 1}});
    EXPECT_EQ(wv_category_all_checked(c), 0);
    wv_category_toggle_checks(c); // one unchecked: check all
    EXPECT_EQ(checks(c), (std::vector<int32_t>{1, 1, 1}));
    EXPECT_EQ(wv_category_all_checked(c), 1);
    wv_category_toggle_checks(c); // all checked: uncheck all
    EXPECT_EQ(checks(c), (std::vector<int32_t>{0, 0, 0}));
    wv_category* empty = b.add(u"e", {});
    EXPECT_EQ(wv_category_all_checked(empty), 0);
    wv_category_toggle_checks(empty); // nothing to do, nothing breaks
    EXPECT_EQ(empty->head, nullptr);
}

TEST(Model, CompactionDropsEmptyCategoriesInOrder) {
    scan_builder b;
    b.add(u"e1", {});
    b.add(u"a", {{1, 1}});
    b.add(u"e2", {});
    b.add(u"e3", {});
    b.add(u"b", {{2, 0}, {3, 1}}, 1, 1);
    wv_compact_categories(&b.scan);
    ASSERT_EQ(b.scan.category_count.load(), 2u);
    EXPECT_EQ(narrow(b.scan.categories[0].name), "a");
    EXPECT_EQ(narrow(b.scan.categories[1].name), "b");
    EXPECT_EQ(b.scan.categories[1].file_count, 2u);
    EXPECT_EQ(b.scan.categories[1].expanded, 1);
    EXPECT_EQ(checks(&b.scan.categories[1]), (std::vector<int32_t>{0, 1}));
    // Destroying the context frees every list exactly once (the sanitizer
    // build watches for leaks and double frees).
}

TEST(Model, PruneRemovesCheckedFilesAndKeepsEmptiedCategories) {
    scan_builder b;
    wv_category* mixed = b.add(u"mixed", {{10, 1}, {20, 0}, {30, 1}, {40, 0}, {50, 1}}, 0, 1);
    wv_category* all = b.add(u"all", {{5, 1}, {6, 1}}, 0, 1);
    wv_category* none = b.add(u"none", {{7, 0}});
    wv_prune_checked(&b.scan);

    ASSERT_EQ(b.scan.category_count.load(), 3u);
    EXPECT_EQ(mixed->file_count, 2u);
    EXPECT_EQ(mixed->total_bytes, 60u);
    EXPECT_EQ(narrow(mixed->head->path), "C:\\t\\mixed\\f1.bin");
    EXPECT_EQ(narrow(mixed->tail->path), "C:\\t\\mixed\\f3.bin");
    EXPECT_EQ(mixed->tail->next, nullptr);
    EXPECT_EQ(mixed->expanded, 1);

    EXPECT_EQ(all->file_count, 0u);
    EXPECT_EQ(all->total_bytes, 0u);
    EXPECT_EQ(all->head, nullptr);
    EXPECT_EQ(all->tail, nullptr);
    EXPECT_EQ(all->expanded, 0); // collapsed, but still in the list

    EXPECT_EQ(none->file_count, 1u);
    EXPECT_EQ(none->tail, none->head);

    // The list still appends correctly after the new tail.
    wv_scan_add_file(&b.scan, mixed, u"C:\\t\\new", 1, nullptr, 0);
    EXPECT_EQ(narrow(mixed->head->next->next->path), "C:\\t\\new");
}

// A fixture window of 884 x 661 (the client area of the 900 x 700 window):
// list band 78..555, footer 555..661.
struct Click : ::testing::Test {
    static constexpr int32_t R = 884, B = 661;
    scan_builder b;
    wv_category* a = nullptr;
    wv_category* c = nullptr;
    void SetUp() override {
        a = b.add(u"a", {{1, 1}, {2, 0}, {3, 1}}, 0, 1); // row 86, files 132, 158, 184
        c = b.add(u"c", {{4, 0}});                       // row 210
    }
    wv_click_result click(int32_t x, int32_t y, int cleaning = 0) {
        return wv_left_click(&b.scan, 0, R, B, x, y, cleaning);
    }
};

TEST_F(Click, RowsToggleExpansionChecksAndFiles) {
    EXPECT_EQ(click(300, 160), WV_CLICK_LIST); // on the path of file 1, not its box
    EXPECT_EQ(checks(a), (std::vector<int32_t>{1, 1, 1}));

    EXPECT_EQ(click(R - 41, 220), WV_CLICK_LIST); // category box zone, left edge
    EXPECT_EQ(checks(c), (std::vector<int32_t>{1}));
    EXPECT_EQ(c->expanded, 0);
    EXPECT_EQ(click(R - 14, 220), WV_CLICK_LIST); // right edge: all checked, so none
    EXPECT_EQ(checks(c), (std::vector<int32_t>{0}));

    EXPECT_EQ(click(R - 42, 220), WV_CLICK_LIST); // just outside the box: expands
    EXPECT_EQ(c->expanded, 1);
    EXPECT_EQ(click(R - 13, 220), WV_CLICK_LIST);
    EXPECT_EQ(c->expanded, 0);
    EXPECT_EQ(checks(c), (std::vector<int32_t>{0}));

    // A double click arrives as two clicks: expanded and collapsed again.
    click(100, 100);
    click(100, 100);
    EXPECT_EQ(a->expanded, 1);
}

TEST_F(Click, EmptiedCategoryIgnoresItsCheckBox) {
    wv_set_all_checked(&b.scan, 1);
    wv_prune_checked(&b.scan); // both categories now empty and collapsed
    EXPECT_EQ(click(R - 30, 100), WV_CLICK_LIST);
    EXPECT_EQ(a->expanded, 0);
    EXPECT_EQ(a->head, nullptr);
    EXPECT_EQ(click(100, 100), WV_CLICK_LIST); // elsewhere only turns the chevron
    EXPECT_EQ(a->expanded, 1);
}

TEST_F(Click, FooterSelectAllAndInvert) {
    EXPECT_EQ(click(R - 149, B - 106), WV_CLICK_FOOTER); // select all: one is unchecked
    EXPECT_EQ(wv_all_files_checked(&b.scan), 1);
    EXPECT_EQ(click(R - 80, B - 1), WV_CLICK_FOOTER); // all checked: uncheck all
    EXPECT_EQ(wv_footer_totals(&b.scan).checked, 0u);

    a->head->checked = 1;
    EXPECT_EQ(click(R - 74, B - 50), WV_CLICK_FOOTER); // invert, each file on its own
    EXPECT_EQ(checks(a), (std::vector<int32_t>{0, 1, 1}));
    EXPECT_EQ(checks(c), (std::vector<int32_t>{1}));
    EXPECT_EQ(click(R - 10, B - 50), WV_CLICK_FOOTER);
    EXPECT_EQ(checks(a), (std::vector<int32_t>{1, 0, 0}));

    // Between and beside the zones nothing happens, but the click is ours.
    EXPECT_EQ(click(R - 77, B - 50), WV_CLICK_IGNORED);
    EXPECT_EQ(click(R - 150, B - 50), WV_CLICK_IGNORED);
    EXPECT_EQ(click(R - 9, B - 50), WV_CLICK_IGNORED);
    EXPECT_EQ(checks(a), (std::vector<int32_t>{1, 0, 0}));
}

TEST_F(Click, NothingChangesWhileACleanRuns) {
    const std::vector<int32_t> before_a = checks(a), before_c = checks(c);
    EXPECT_EQ(click(R - 100, B - 50, 1), WV_CLICK_IGNORED); // select all
    EXPECT_EQ(click(R - 50, B - 50, 1), WV_CLICK_IGNORED);  // invert
    EXPECT_EQ(click(300, 160, 1), WV_CLICK_IGNORED);        // file row
    EXPECT_EQ(click(R - 30, 220, 1), WV_CLICK_IGNORED);     // category box
    EXPECT_EQ(click(100, 100, 1), WV_CLICK_IGNORED);        // expand
    EXPECT_EQ(checks(a), before_a);
    EXPECT_EQ(checks(c), before_c);
    EXPECT_EQ(a->expanded, 1);
}

TEST_F(Click, OutsideTheRowsIsDefaultHandling) {
    EXPECT_EQ(click(100, 77), WV_CLICK_DEFAULT);  // header
    EXPECT_EQ(click(100, 300), WV_CLICK_DEFAULT); // below the last row
    EXPECT_EQ(click(100, 85), WV_CLICK_DEFAULT);  // the top margin
    scan_builder empty;
    EXPECT_EQ(wv_left_click(&empty.scan, 0, R, B, R - 100, B - 50, 0), WV_CLICK_IGNORED);
    wv_scan zero{};
    EXPECT_EQ(wv_left_click(&zero, 0, R, B, R - 100, B - 50, 0), WV_CLICK_IGNORED);
}

TEST(Model, WheelScrollsWholeNotches) {
    EXPECT_EQ(wv_wheel_scroll(0, -120), 60);
    EXPECT_EQ(wv_wheel_scroll(0, -240), 120);
    EXPECT_EQ(wv_wheel_scroll(0, -60), 0);
    EXPECT_EQ(wv_wheel_scroll(200, 120), 140);
    EXPECT_EQ(wv_wheel_scroll(200, 239), 140);
    EXPECT_EQ(wv_wheel_scroll(0, -32768), 273 * 60);
}

TEST(ScanEvents, ProgressIsThrottledAndCategoriesRepaintAtOnce) {
    uint32_t last = 0;
    const uint32_t run = 1;
    // Progress 100 ms apart: only every second one repaints.
    EXPECT_EQ(wv_scan_event_action(SCAN_EVENT_PROGRESS, run, run, 1000, &last), WV_EVENT_REPAINT);
    EXPECT_EQ(wv_scan_event_action(SCAN_EVENT_PROGRESS, run, run, 1100, &last), WV_EVENT_NOTHING);
    EXPECT_EQ(wv_scan_event_action(SCAN_EVENT_PROGRESS, run, run, 1200, &last), WV_EVENT_REPAINT);
    // A category in between repaints and restarts the 150 ms window.
    EXPECT_EQ(wv_scan_event_action(SCAN_EVENT_CATEGORY, run, run, 1250, &last), WV_EVENT_CATEGORY);
    EXPECT_EQ(wv_scan_event_action(SCAN_EVENT_PROGRESS, run, run, 1350, &last), WV_EVENT_NOTHING);
    EXPECT_EQ(wv_scan_event_action(SCAN_EVENT_PROGRESS, run, run, 1400, &last), WV_EVENT_REPAINT);
    // Code 1 counts as progress; codes above 4 are ignored.
    EXPECT_EQ(wv_scan_event_action(1, run, run, 1600, &last), WV_EVENT_REPAINT);
    EXPECT_EQ(wv_scan_event_action(5, run, run, 5000, &last), WV_EVENT_NOTHING);
    EXPECT_EQ(last, 1600u);
    // A wrap of the tick count is harmless.
    last = 0xFFFFFFF0u;
    EXPECT_EQ(wv_scan_event_action(SCAN_EVENT_PROGRESS, run, run, 100, &last), WV_EVENT_NOTHING);
    EXPECT_EQ(wv_scan_event_action(SCAN_EVENT_PROGRESS, run, run, 140, &last), WV_EVENT_REPAINT);
}

TEST(ScanEvents, EventsOfAReplacedRunAreDropped) {
    uint32_t last = 0;
    // The end of run 1 still queued when run 2 has started must not end run 2.
    EXPECT_EQ(wv_scan_event_action(SCAN_EVENT_FINISHED, 1, 2, 1000, &last), WV_EVENT_NOTHING);
    EXPECT_EQ(wv_scan_event_action(SCAN_EVENT_STOPPED, 1, 2, 1000, &last), WV_EVENT_NOTHING);
    EXPECT_EQ(wv_scan_event_action(SCAN_EVENT_CATEGORY, 1, 2, 1000, &last), WV_EVENT_NOTHING);
    EXPECT_EQ(wv_scan_event_action(SCAN_EVENT_PROGRESS, 1, 2, 1000, &last), WV_EVENT_NOTHING);
    EXPECT_EQ(last, 0u);
    EXPECT_EQ(wv_scan_event_action(SCAN_EVENT_FINISHED, 2, 2, 1000, &last), WV_EVENT_END);
    EXPECT_EQ(wv_scan_event_action(SCAN_EVENT_STOPPED, 2, 2, 1000, &last), WV_EVENT_END);
}

} // namespace
