#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scan_builder.h"
#include "support/fixture.h"
#include "ui/layout.h"
#include "ui/paint.h"

using tfx::narrow;
using uitest::scan_builder;

namespace {

// Records every drawing call with the font and clip in force at the time.
struct op {
    char kind; // r rect, l line, c checkbox, t text
    wv_rect r{};
    uint32_t color = 0, border = 0, flags = 0;
    std::u16string text;
    std::vector<wv_point> points;
    int width = 0, checked = 0;
    wv_font_id font = WV_FONT_NORMAL;
    bool clipped = false;
};

struct recorder final : wv_canvas {
    std::vector<op> ops;
    wv_font_id current = WV_FONT_NORMAL;
    bool clipping = false;
    void rect(const wv_rect& r, uint32_t fill, uint32_t border) override {
        op o{'r'};
        o.r = r, o.color = fill, o.border = border, o.clipped = clipping;
        ops.push_back(o);
    }
    void line(const wv_point* p, int n, int width, uint32_t color) override {
        op o{'l'};
        o.points.assign(p, p + n), o.width = width, o.color = color, o.clipped = clipping;
        ops.push_back(o);
    }
    void checkbox(int32_t x, int32_t y, int32_t size, int checked) override {
        op o{'c'};
        o.r = {x, y, x + size, y + size}, o.checked = checked, o.clipped = clipping;
        ops.push_back(o);
    }
    void font(wv_font_id id) override { current = id; }
    void text(const char16_t* s, const wv_rect& r, uint32_t color, uint32_t flags) override {
        op o{'t'};
        o.text = s, o.r = r, o.color = color, o.flags = flags, o.font = current;
        o.clipped = clipping;
        ops.push_back(o);
    }
    void clip(const wv_rect* r) override { clipping = r != nullptr; }

    const op* find_text(const std::u16string& s) const {
        for (const op& o : ops)
            if (o.kind == 't' && o.text == s) return &o;
        return nullptr;
    }
    const op* find_rect(const wv_rect& r) const {
        for (const op& o : ops)
            if (o.kind == 'r' && o.r == r) return &o;
        return nullptr;
    }
    std::vector<const op*> all(char kind) const {
        std::vector<const op*> v;
        for (const op& o : ops)
            if (o.kind == kind) v.push_back(&o);
        return v;
    }
};

constexpr int32_t R = 884, B = 661;

struct Paint : ::testing::Test {
    scan_builder b;
    recorder rec;
    void SetUp() override { wv_theme_init(); }
    void paint(int32_t state, int32_t scroll = 0, const char16_t* status = u"", int admin = 0) {
        rec = recorder{};
        wv_paint_input in{R, B, state, scroll, &b.scan, status, admin};
        wv_paint_main(rec, in);
    }
};

TEST_F(Paint, BeforeTheFirstScan) {
    wv_scan zero{}; // the window's context before any scan: never initialised
    rec = recorder{};
    wv_paint_input in{R, B, STATE_IDLE, 0, &zero, u"", 0};
    wv_paint_main(rec, in);

    ASSERT_FALSE(rec.ops.empty());
    EXPECT_EQ(rec.ops[0].r, (wv_rect{0, 0, R, B}));
    EXPECT_EQ(rec.ops[0].color, g_theme.bg);
    const op* header = rec.find_rect({0, 0, R, 78});
    ASSERT_TRUE(header);
    EXPECT_EQ(header->color, g_theme.bg_panel);

    const op* title = rec.find_text(u"Welvo");
    ASSERT_TRUE(title);
    EXPECT_EQ(title->r, (wv_rect{20, 12, 180, 46}));
    EXPECT_EQ(title->font, WV_FONT_TITLE);
    const op* status = rec.find_text(u"纯本地运行 · 不上传任何数据 · 无广告 · 安全优先");
    ASSERT_TRUE(status);
    EXPECT_EQ(status->r, (wv_rect{20, 44, 540, 68}));
    EXPECT_EQ(status->color, g_theme.text_muted);

    const op* hint = rec.find_text(u"点击右下角 [开始扫描] 查找可清理的垃圾文件");
    ASSERT_TRUE(hint);
    EXPECT_EQ(hint->r, (wv_rect{0, 138, R, B - 106}));
    EXPECT_EQ(hint->flags, WV_DT_CENTER);
    EXPECT_EQ(hint->color, g_theme.text_dim);

    const op* sum = rec.find_text(u"已勾选 0 个文件   预计可释放 0 B");
    ASSERT_TRUE(sum);
    EXPECT_EQ(sum->r, (wv_rect{20, B - 100, R - 300, B - 64}));
    EXPECT_EQ(sum->font, WV_FONT_BOLD);
    EXPECT_EQ(rec.find_text(u"全选")->color, g_theme.text_dim);
    EXPECT_EQ(rec.find_text(u"反选")->color, g_theme.text_dim);
    EXPECT_EQ(rec.find_rect({R - 8, 82, R - 2, B - 110}), nullptr); // no scroll track

    const op* notice = rec.find_text(u"当前非管理员权限运行，部分系统目录已自动跳过");
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->r, (wv_rect{20, B - 52, R - 430, B - 14}));

    const op& last = rec.ops.back();
    ASSERT_EQ(last.kind, 'l');
    EXPECT_EQ(last.points, (std::vector<wv_point>{{0, B - 1}, {R, B - 1}}));
    EXPECT_EQ(last.color, g_theme.border_dim);
}

TEST_F(Paint, ScanningWithoutCategories) {
    paint(STATE_SCANNING, 0, u"正在扫描：C:\\x");
    EXPECT_TRUE(rec.find_text(u"正在扫描：C:\\x"));
    EXPECT_TRUE(rec.find_text(u"正在扫描中，请稍候..."));
    EXPECT_FALSE(rec.find_text(u"已暂停"));
    paint(STATE_PAUSED, 0, u"");
    EXPECT_TRUE(rec.find_text(u"正在扫描...")); // empty status text
    const op* paused = rec.find_text(u"已暂停");
    ASSERT_TRUE(paused);
    EXPECT_EQ(paused->r, (wv_rect{540, 44, 720, 68}));
    EXPECT_EQ(paused->color, g_theme.risk_caution);
    paint(STATE_DONE); // a scan that found nothing
    EXPECT_TRUE(rec.find_text(u"扫描完成，勾选需要清理的项目后点击 [清理选中项]"));
    EXPECT_TRUE(rec.find_text(u"点击右下角 [开始扫描] 查找可清理的垃圾文件"));
    paint(STATE_DONE, 0, u"", 1);
    EXPECT_FALSE(rec.find_text(u"当前非管理员权限运行，部分系统目录已自动跳过"));
}

TEST_F(Paint, CategoryAndFileRows) {
    wv_category* a = b.add(u"临时文件", {{1023, 1}, {513, 0}, {0, 1}}, 1, 1);
    wv_category* n = b.add(u"未装", {{10, 1}}, 2);
    n->installed = 0;
    paint(STATE_DONE);

    // Category row at y = 86.
    const op* row = rec.find_rect({0, 86, R, 132});
    ASSERT_TRUE(row);
    EXPECT_EQ(row->color, g_theme.bg_card);
    EXPECT_TRUE(row->clipped);
    const op* bar = rec.find_rect({0, 92, 4, 126});
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->color, g_theme.risk_caution);
    const op* name = rec.find_text(u"临时文件");
    ASSERT_TRUE(name);
    EXPECT_EQ(name->r, (wv_rect{46, 86, R - 300, 132}));
    EXPECT_EQ(name->color, g_theme.risk_caution);
    EXPECT_EQ(name->font, WV_FONT_BOLD);
    const op* summary = rec.find_text(u"1.5 KB   3 个文件");
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->r, (wv_rect{R - 249, 86, R - 49, 132}));
    EXPECT_EQ(summary->flags, WV_DT_VCENTER | WV_DT_RIGHT);
    EXPECT_EQ(summary->font, WV_FONT_NORMAL);

    // Chevron pointing down (expanded), and right for the collapsed one.
    std::vector<std::vector<wv_point>> chevrons;
    for (const op* l : rec.all('l'))
        if (l->width == 2) chevrons.push_back(l->points);
    ASSERT_EQ(chevrons.size(), 2u);
    EXPECT_EQ(chevrons[0], (std::vector<wv_point>{{24, 106}, {29, 111}, {34, 106}}));
    EXPECT_EQ(chevrons[1],
              (std::vector<wv_point>{
                  {26, 86 + 46 + 78 + 18}, {31, 86 + 46 + 78 + 23}, {26, 86 + 46 + 78 + 28}}));

    // File rows at 132, 158, 184; the next category at 210.
    const op* file = rec.find_rect({0, 158, R, 184});
    ASSERT_TRUE(file);
    EXPECT_EQ(file->color, g_theme.bg_row);
    const op* size = rec.find_text(u"1023 B");
    ASSERT_TRUE(size);
    EXPECT_EQ(size->r, (wv_rect{R - 133, 132, R - 45, 158}));
    EXPECT_EQ(size->color, g_theme.text_dim);
    const op* path = rec.find_text(u"C:\\t\\临时文件\\f1.bin");
    ASSERT_TRUE(path);
    EXPECT_EQ(path->r, (wv_rect{60, 158, R - 143, 184}));
    EXPECT_EQ(path->color, g_theme.text_muted);

    // Check boxes: category (15, not all checked), files (13), the second
    // category (all checked) and the footer's select-all box.
    std::vector<const op*> boxes = rec.all('c');
    ASSERT_EQ(boxes.size(), 6u);
    EXPECT_EQ(boxes[0]->r, (wv_rect{R - 35, 101, R - 20, 116}));
    EXPECT_EQ(boxes[0]->checked, 0);
    EXPECT_EQ(boxes[1]->r, (wv_rect{R - 33, 138, R - 20, 151}));
    EXPECT_EQ(boxes[1]->checked, 1);
    EXPECT_EQ(boxes[2]->checked, 0);
    EXPECT_EQ(boxes[3]->checked, 1);
    EXPECT_EQ(boxes[4]->checked, 1);
    EXPECT_EQ(boxes[5]->r, (wv_rect{R - 143, B - 89, R - 128, B - 74}));
    EXPECT_EQ(boxes[5]->checked, 0);

    const op* mark = rec.find_text(u"[未安装]");
    ASSERT_TRUE(mark);
    EXPECT_EQ(mark->r, (wv_rect{R - 313, 210, R - 257, 256}));
    EXPECT_EQ(rec.find_rect({0, 216, 4, 250})->color, g_theme.risk_danger);

    EXPECT_TRUE(rec.find_text(u"已勾选 3 个文件   预计可释放 1.0 KB"));
    EXPECT_EQ(rec.find_text(u"全选")->color, g_theme.text);
    EXPECT_EQ(rec.find_text(u"反选")->color, g_theme.accent);
    (void)a;
}

TEST_F(Paint, PendingMarkOnlyWhileScanning) {
    wv_category* e = b.add(u"e", {});
    e->installed = 0;
    paint(STATE_SCANNING);
    EXPECT_TRUE(rec.find_text(u"[待扫描]"));
    EXPECT_FALSE(rec.find_text(u"[未安装]"));
    paint(STATE_DONE); // e.g. a category emptied by a clean
    EXPECT_TRUE(rec.find_text(u"[未安装]"));
    EXPECT_FALSE(rec.find_text(u"[待扫描]"));
}

TEST_F(Paint, OnlyRowsReachingIntoTheBandAreDrawn) {
    b.add_many(u"big", 1000, 1, 1, 1); // rows 86, files from 132 on
    paint(STATE_DONE, 1000);
    // With the offset 1000 the file block starts at 132 - 1000 = -868: the
    // first row drawn is the one at 68 (straddling the top edge), the last
    // the one at 536 (straddling the bottom edge), 19 in all.
    std::vector<const op*> files;
    for (const op* o : rec.all('r'))
        if (o->color == g_theme.bg_row) files.push_back(o);
    ASSERT_FALSE(files.empty());
    EXPECT_LE(files.front()->r.top, 78);
    EXPECT_GT(files.front()->r.bottom, 78);
    EXPECT_LT(files.back()->r.top, B - 106);
    EXPECT_GE(files.back()->r.bottom, B - 106);
    EXPECT_EQ(files.size(), 19u);
    EXPECT_EQ(files.front()->r.top, 68);
    for (const op* o : files) EXPECT_TRUE(o->clipped); // straddling rows stay in the band
    // The category row lies above the band: not drawn.
    EXPECT_EQ(rec.find_rect({0, 86 - 1000, R, 132 - 1000}), nullptr);

    // The scroll indicator: track, then thumb, outside the clip.
    const op* track = rec.find_rect({R - 8, 82, R - 2, B - 110});
    ASSERT_TRUE(track);
    EXPECT_EQ(track->color, g_theme.bg_card);
    EXPECT_FALSE(track->clipped);
    const op& thumb = *(track + 1);
    EXPECT_EQ(thumb.color, g_theme.bg_hot);
    EXPECT_EQ(thumb.r.bottom - thumb.r.top, 30); // 477 * 477 / 26062 is less than 30
}

TEST_F(Paint, ExpandedCategoriesFollowEachOtherWhenScrolled) {
    b.add(u"a", {{1, 1}, {2, 1}, {3, 1}}, 0, 1);
    b.add(u"b", {{4, 0}, {5, 0}}, 0, 1);
    paint(STATE_DONE, 30);
    std::vector<int32_t> tops;
    for (const op* o : rec.all('r'))
        if (o->color == g_theme.bg_card || o->color == g_theme.bg_row)
            if (o->r.right == R) tops.push_back(o->r.top);
    // a at 56 (straddling the top edge, drawn clipped), its files at 102,
    // 128, 154; b at 180, its files at 226 and 252.
    EXPECT_EQ(tops, (std::vector<int32_t>{56, 102, 128, 154, 180, 226, 252}));
    std::vector<const op*> boxes = rec.all('c');
    ASSERT_EQ(boxes.size(), 8u);
    EXPECT_EQ(boxes[0]->checked, 1); // a: all checked
    EXPECT_EQ(boxes[4]->checked, 0); // b: none checked
    EXPECT_TRUE(rec.find_text(u"已勾选 3 个文件   预计可释放 6 B"));
}

} // namespace
