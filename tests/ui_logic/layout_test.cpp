#include <gtest/gtest.h>

#include "scan_builder.h"
#include "ui/layout.h"

using uitest::scan_builder;

namespace {

TEST(Layout, WindowSizeFromWorkArea) {
    const struct {
        int have;
        int32_t w, h;
        wv_size want;
    } cases[] = {
        {1, 1920, 1040, {900, 700}}, {1, 960, 760, {900, 700}}, {1, 959, 759, {899, 699}},
        {1, 800, 600, {740, 540}},   {1, 640, 480, {640, 480}}, {1, 300, 200, {640, 480}},
        {0, 0, 0, {900, 700}},
    };
    for (const auto& c : cases) {
        const wv_size s = wv_window_size(c.have, c.w, c.h);
        EXPECT_EQ(s.w, c.want.w) << c.w << "x" << c.h;
        EXPECT_EQ(s.h, c.want.h) << c.w << "x" << c.h;
    }
}

TEST(Layout, ButtonsSitInTheFooterFromTheRight) {
    const wv_button_places idle = wv_button_layout(884, 661, STATE_IDLE);
    EXPECT_EQ(idle.clean, (wv_rect{704, 609, 864, 647}));
    EXPECT_EQ(idle.scan, (wv_rect{564, 609, 694, 647}));
    EXPECT_EQ(idle.move_stop, 0);
    for (int32_t s : {STATE_SCANNING, STATE_PAUSED}) {
        const wv_button_places p = wv_button_layout(884, 661, s);
        EXPECT_EQ(p.move_stop, 1);
        EXPECT_EQ(p.stop, (wv_rect{450, 609, 554, 647}));
    }
    EXPECT_EQ(wv_button_layout(884, 661, STATE_DONE).move_stop, 0);
}

TEST(Layout, ContentHeightCountsExpandedFilesOnly) {
    scan_builder b;
    EXPECT_EQ(wv_list_content_height(&b.scan), 16);
    wv_scan zero{};
    EXPECT_EQ(wv_list_content_height(&zero), 16); // a context never initialised
    b.add(u"a", {{1, 1}, {2, 1}, {3, 1}});
    wv_category* c = b.add(u"b", {{1, 1}, {2, 1}});
    EXPECT_EQ(wv_list_content_height(&b.scan), 8 + 46 + 46 + 8);
    c->expanded = 1;
    EXPECT_EQ(wv_list_content_height(&b.scan), 8 + 46 + 46 + 2 * 26 + 8);
    b.add(u"empty", {}, 0, 1); // expanded without files: just its row
    EXPECT_EQ(wv_list_content_height(&b.scan), 8 + 3 * 46 + 2 * 26 + 8);
}

TEST(Layout, ScrollClampKeepsTheOffsetInRange) {
    scan_builder b;
    b.add_many(u"big", 40, 1, 1, 1); // 8 + 46 + 1040 + 8 = 1102
    const int32_t client_h = 661;    // list band 477 high: maximum 1102 - 477 = 625
    EXPECT_EQ(wv_clamp_scroll(10000, &b.scan, client_h), 625);
    EXPECT_EQ(wv_clamp_scroll(-5, &b.scan, client_h), 0);
    EXPECT_EQ(wv_clamp_scroll(300, &b.scan, client_h), 300);
    // Collapsing pulls an offset at the bottom back to the new maximum (0).
    b.scan.categories[0].expanded = 0;
    EXPECT_EQ(wv_clamp_scroll(625, &b.scan, client_h), 0);
}

TEST(Layout, HitTestFollowsRowsAndScroll) {
    scan_builder b;
    b.add(u"a", {{1, 1}, {2, 1}, {3, 1}}, 0, 1); // row 86..132, files 132..210
    b.add(u"b", {{1, 1}});                       // row 210..256 (collapsed)
    const struct {
        int32_t scroll, y;
        wv_hit want;
    } cases[] = {
        {0, 85, {-1, -1}}, {0, 86, {0, -1}},   {0, 131, {0, -1}}, {0, 132, {0, 0}},
        {0, 157, {0, 0}},  {0, 158, {0, 1}},   {0, 209, {0, 2}},  {0, 210, {1, -1}},
        {0, 255, {1, -1}}, {0, 256, {-1, -1}}, {50, 86, {0, 0}},  {50, 160, {1, -1}},
    };
    for (const auto& c : cases) {
        const wv_hit h = wv_hit_test(&b.scan, c.scroll, c.y);
        EXPECT_EQ(h.category, c.want.category) << c.scroll << "/" << c.y;
        EXPECT_EQ(h.file, c.want.file) << c.scroll << "/" << c.y;
    }
    scan_builder none;
    EXPECT_EQ(wv_hit_test(&none.scan, 0, 100).category, -1);
}

TEST(Layout, ThumbLengthAndPosition) {
    // Client 884 x 661: list band 78..555, h = 477.
    EXPECT_EQ(wv_thumb(884, 661, 477, 0).show, 0); // content fits: no indicator
    EXPECT_EQ(wv_thumb(884, 661, 400, 0).show, 0);
    EXPECT_EQ(wv_thumb(884, 184, 5000, 0).show, 0); // no list band at all

    wv_scroll_thumb t = wv_thumb(884, 661, 954, 0);
    ASSERT_EQ(t.show, 1);
    EXPECT_EQ(t.track, (wv_rect{876, 82, 882, 551}));
    EXPECT_EQ(t.thumb, (wv_rect{876, 78, 882, 78 + 238})); // 477 * 477 / 954 = 238.5

    // Very long content: the thumb stays 30 long, and at the maximum offset
    // its bottom is the band's bottom edge.
    const int32_t content = 100000;
    t = wv_thumb(884, 661, content, content - 477);
    EXPECT_EQ(t.thumb.bottom - t.thumb.top, 30);
    EXPECT_EQ(t.thumb.bottom, 661 - 106);
}

TEST(Layout, DialogPlacement) {
    const wv_rect parent{100, 50, 1000, 750};
    EXPECT_EQ(wv_confirm_position(&parent, 426, 207), (wv_point{337, 296}));
    const wv_rect offscreen{-700, -100, 200, 600}; // partly off the screen: no clamping
    EXPECT_EQ(wv_confirm_position(&offscreen, 426, 207), (wv_point{-463, 146}));

    EXPECT_EQ(wv_settings_position(&parent), (wv_point{100 + 220, 50 + 40}));
    const wv_rect narrow{0, 0, 539, 759}; // narrower than 540, lower than 760: 40 each
    EXPECT_EQ(wv_settings_position(&narrow), (wv_point{40, 40}));
    const wv_rect large{0, 0, 1460, 1680};
    EXPECT_EQ(wv_settings_position(&large), (wv_point{500, 500}));
}

} // namespace
