#include <gtest/gtest.h>

#include "support/fixture.h"
#include "ui/theme.h"

using tfx::narrow;

namespace {

struct ThemeTest : ::testing::Test {
    void SetUp() override { wv_theme_init(); }
};

TEST_F(ThemeTest, SizeTextsAtEveryUnitBoundary) {
    const struct {
        uint64_t bytes;
        const char* text;
    } cases[] = {
        {0, "0 B"},
        {1023, "1023 B"},
        {1024, "1.0 KB"},
        {1536, "1.5 KB"},
        {10239, "10.0 KB"},
        {1048575, "1024.0 KB"}, // the threshold is tested before rounding
        {1048576, "1.0 MB"},
        {1073741824, "1.0 GB"},
        {uint64_t(1) << 40, "1.0 TB"},
        {uint64_t(1) << 50, "1024.0 TB"}, // TB is the last unit
        {~uint64_t(0), "16777216.0 TB"},
    };
    for (const auto& c : cases) {
        char16_t out[64];
        wv_format_size(c.bytes, out, 64);
        EXPECT_EQ(narrow(out), c.text) << c.bytes;
    }
}

TEST_F(ThemeTest, SizeTextIsCutToTheCallersBuffer) {
    char16_t out[5] = {u'x', u'x', u'x', u'x', u'x'};
    wv_format_size(1536, out, 4);
    EXPECT_EQ(narrow(out), "1.5");
}

TEST_F(ThemeTest, RiskColourFallsBackToSafe) {
    EXPECT_EQ(wv_theme_risk_color(0), 0x00ACEF86u);
    EXPECT_EQ(wv_theme_risk_color(1), 0x0024BFFBu);
    EXPECT_EQ(wv_theme_risk_color(2), 0x007171F8u);
    EXPECT_EQ(wv_theme_risk_color(3), g_theme.risk_safe);
    EXPECT_EQ(wv_theme_risk_color(-1), g_theme.risk_safe);
}

TEST_F(ThemeTest, ButtonFaces) {
    const struct {
        int style, hot, enabled;
        wv_button_colors want;
    } cases[] = {
        {0, 0, 1, {0x00F6823B, 0, 0x00FFFFFF}},
        {0, 1, 1, {0x00FAA560, 0, 0x00FFFFFF}},
        {1, 0, 1, {0x003B2B26, 0x0055403A, 0x00EFE6E4}},
        {1, 1, 1, {0x003B2B26, 0x00F6823B, 0x00EFE6E4}},
        {2, 0, 1, {0x007171F8, 0, 0x00FFFFFF}},
        {2, 1, 1, {0x004444EF, 0, 0x00FFFFFF}},
        {7, 1, 1, {0x00F6823B, 0, 0x00FFFFFF}}, // unknown style: primary, no hot variant
        // Disabled looks the same whatever the style.
        {0, 1, 0, {0x0055403A, 0x0055403A, 0x0072605A}},
        {1, 0, 0, {0x0055403A, 0x0055403A, 0x0072605A}},
        {2, 0, 0, {0x0055403A, 0x0055403A, 0x0072605A}},
    };
    for (const auto& c : cases) {
        const wv_button_colors got = wv_button_face(c.style, c.hot, c.enabled);
        EXPECT_EQ(got.fill, c.want.fill) << c.style << c.hot << c.enabled;
        EXPECT_EQ(got.border, c.want.border) << c.style << c.hot << c.enabled;
        EXPECT_EQ(got.label, c.want.label) << c.style << c.hot << c.enabled;
    }
}

TEST_F(ThemeTest, CornerSizeAndCheckMark) {
    const struct {
        wv_rect r;
        int32_t corner;
    } corners[] = {
        {{0, 0, 40, 20}, 5},   {{0, 0, 51, 51}, 12}, {{10, 10, 62, 110}, 12},
        {{0, 0, 200, 60}, 12}, {{0, 0, 3, 3}, 0},    {{5, 5, 0, 0}, 0},
    };
    for (const auto& c : corners) EXPECT_EQ(wv_corner_size(&c.r), c.corner) << c.r.right;

    wv_point p[3];
    wv_check_mark_points(100, 200, 15, p);
    EXPECT_EQ(p[0], (wv_point{103, 207}));
    EXPECT_EQ(p[1], (wv_point{107, 211}));
    EXPECT_EQ(p[2], (wv_point{111, 203}));
    wv_check_mark_points(0, 0, 13, p);
    EXPECT_EQ(p[0], (wv_point{3, 6}));
    EXPECT_EQ(p[1], (wv_point{6, 9}));
    EXPECT_EQ(p[2], (wv_point{9, 3}));
}

TEST_F(ThemeTest, PointInRectIncludesOnlyLeftAndTopEdges) {
    const wv_rect r{10, 20, 30, 40};
    EXPECT_EQ(wv_point_in_rect(&r, 10, 20), 1);
    EXPECT_EQ(wv_point_in_rect(&r, 29, 39), 1);
    EXPECT_EQ(wv_point_in_rect(&r, 30, 25), 0);
    EXPECT_EQ(wv_point_in_rect(&r, 15, 40), 0);
    EXPECT_EQ(wv_point_in_rect(&r, 9, 25), 0);
    EXPECT_EQ(wv_point_in_rect(nullptr, 15, 25), 0);
}

} // namespace
