// The window thread reads the scan results without the scan's lock while the
// worker fills them: the paint, the footer totals, the content height and the
// hit test must see only committed categories. Run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <string>

#include "base/text.h"
#include "scan/scan.h"
#include "support/fixture.h"
#include "ui/layout.h"
#include "ui/model.h"
#include "ui/paint.h"

namespace {

// Draws nothing; only makes the paint read everything it would draw.
struct null_canvas final : wv_canvas {
    size_t calls = 0;
    void rect(const wv_rect&, uint32_t, uint32_t) override { ++calls; }
    void line(const wv_point*, int, int, uint32_t) override { ++calls; }
    void checkbox(int32_t, int32_t, int32_t, int) override { ++calls; }
    void font(wv_font_id) override {}
    void text(const char16_t* s, const wv_rect&, uint32_t, uint32_t) override {
        calls += wv::str_len(s) > 0;
    }
    void clip(const wv_rect*) override {}
};

TEST(UiConcurrent, WindowReadsResultsWhileTheWorkerCommits) {
    tfx::scratch tree; // under %TEMP%, the first category the worker scans
    for (int d = 0; d < 8; ++d)
        for (int i = 0; i < 300; ++i)
            ASSERT_TRUE(tree.file(u"d" + std::u16string(1, char16_t(u'0' + d)) + u"\\f" +
                                      tfx::u(std::to_string(i).c_str()),
                                  10));
    wv_theme_init();
    wv_scan scan{};
    wv_scan_init(&scan);
    ASSERT_EQ(wv_scan_start(&scan), 1);
    null_canvas canvas;
    int rounds = 0;
    do {
        // Expand whatever has arrived, as a user clicking along would.
        const uint32_t n = scan.category_count.load(std::memory_order_acquire);
        for (uint32_t i = 0; i < n; ++i) scan.categories[i].expanded = 1;
        char16_t status[256];
        wv_scan_status(&scan, status, 256);
        wv_paint_input in{884, 661, STATE_SCANNING, 0, &scan, status, 0};
        wv_paint_main(canvas, in);
        wv_hit_test(&scan, 0, 200);
        wv_clamp_scroll(100000, &scan, 661);
        ++rounds;
    } while (scan.running.load(std::memory_order_acquire));
    wv_scan_wait(&scan);
    const wv_totals t = wv_footer_totals(&scan);
    EXPECT_GE(t.files, 2400u);
    EXPECT_GT(rounds, 0);
    EXPECT_GT(canvas.calls, 0u);
    wv_compact_categories(&scan);
    wv_scan_destroy(&scan);
}

} // namespace
