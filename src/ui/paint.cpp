#include "ui/paint.h"

#include "base/text.h"
#include "ui/layout.h"
#include "ui/model.h"
#include "ui/texts.h"

static void hline(wv_canvas& c, int32_t x0, int32_t x1, int32_t y, uint32_t color) {
    const wv_point pts[2] = {{x0, y}, {x1, y}};
    c.line(pts, 2, 1, color);
}

static void header(wv_canvas& c, const wv_paint_input& in) {
    const int32_t r = in.width;
    c.rect({0, 0, r, HEADER_HEIGHT}, g_theme.bg_panel, 0);
    hline(c, 0, r, HEADER_HEIGHT - 1, g_theme.border);
    c.font(WV_FONT_TITLE);
    c.text(u"Welvo", {20, 12, 180, 46}, g_theme.text, WV_DT_VCENTER);
    c.font(WV_FONT_NORMAL);
    char16_t status[300];
    wv_status_line(in.state, in.status, status, 300);
    c.text(status, {20, 44, 540, 68}, g_theme.text_muted, WV_DT_VCENTER);
    if (in.state == STATE_PAUSED)
        c.text(u"已暂停", {540, 44, 720, 68}, g_theme.risk_caution, WV_DT_VCENTER);
}

static void category_row(wv_canvas& c, const wv_paint_input& in, const wv_category* cat, int32_t y,
                         int all_checked) {
    const int32_t r = in.width;
    const uint32_t risk = wv_theme_risk_color(cat->risk);
    c.rect({0, y, r, y + CATEGORY_ROW_HEIGHT}, g_theme.bg_card, 0);
    c.rect({0, y + 6, 4, y + 40}, risk, 0);
    if (cat->expanded) {
        const wv_point down[3] = {{24, y + 20}, {29, y + 25}, {34, y + 20}};
        c.line(down, 3, 2, g_theme.text_muted);
    } else {
        const wv_point right[3] = {{26, y + 18}, {31, y + 23}, {26, y + 28}};
        c.line(right, 3, 2, g_theme.text_muted);
    }
    c.font(WV_FONT_BOLD);
    c.text(cat->name, {46, y, r - 300, y + CATEGORY_ROW_HEIGHT}, risk, WV_DT_VCENTER);
    c.font(WV_FONT_NORMAL);
    c.checkbox(r - 35, y + 15, 15, all_checked);
    char16_t size[64];
    char16_t summary[128];
    wv_format_size(cat->total_bytes, size, 64);
    wv::format(summary, 128, u"%s   %u 个文件", size, cat->file_count);
    c.text(summary, {r - 249, y, r - 49, y + CATEGORY_ROW_HEIGHT}, g_theme.text_muted,
           WV_DT_VCENTER | WV_DT_RIGHT);
    const char16_t* mark = nullptr;
    if (wv_state_scanning(in.state) && cat->file_count == 0)
        mark = u"[待扫描]";
    else if (!cat->installed)
        mark = u"[未安装]";
    if (mark)
        c.text(mark, {r - 313, y, r - 257, y + CATEGORY_ROW_HEIGHT}, g_theme.text_dim,
               WV_DT_VCENTER);
}

static void file_row(wv_canvas& c, const wv_paint_input& in, const wv_file* f, int32_t fy) {
    const int32_t r = in.width;
    c.rect({0, fy, r, fy + FILE_ROW_HEIGHT}, g_theme.bg_row, 0);
    const wv_point bar[2] = {{42, fy}, {42, fy + FILE_ROW_HEIGHT}};
    c.line(bar, 2, 1, g_theme.border);
    c.checkbox(r - 33, fy + 6, 13, f->checked ? 1 : 0);
    char16_t size[64];
    wv_format_size(f->size, size, 64);
    c.text(size, {r - 133, fy, r - 45, fy + FILE_ROW_HEIGHT}, g_theme.text_dim,
           WV_DT_VCENTER | WV_DT_RIGHT);
    c.text(f->path, {60, fy, r - 143, fy + FILE_ROW_HEIGHT}, g_theme.text_muted, WV_DT_VCENTER);
}

// What the paint needs from the file lists, gathered in one walk over all
// nodes: the footer totals, whether each category is all checked, and the
// first file row of each category that reaches into the band. A category can
// hold 65,536 files, and a paint has to stay well inside one frame.
struct list_facts {
    wv_totals totals;
    int all_checked[WV_MAX_CATEGORIES];
    const wv_file* first_drawn[WV_MAX_CATEGORIES]; // null: no file row reaches the band
    int32_t first_top[WV_MAX_CATEGORIES];
};

static void gather(const wv_paint_input& in, uint32_t count, int32_t list_bottom, list_facts* out) {
    *out = list_facts{};
    int32_t y = HEADER_HEIGHT - in.scroll_y + LIST_MARGIN;
    for (uint32_t i = 0; i < count; ++i) {
        const wv_category* cat = &in.scan->categories[i];
        const int32_t first = y + CATEGORY_ROW_HEIGHT;
        int32_t want = -1; // index of the first file row that reaches the band
        y = first;
        if (cat->expanded && cat->file_count > 0) {
            const int32_t block_end = first + FILE_ROW_HEIGHT * int32_t(cat->file_count);
            if (block_end > HEADER_HEIGHT && first < list_bottom)
                want = first < HEADER_HEIGHT ? (HEADER_HEIGHT - first) / FILE_ROW_HEIGHT : 0;
            y = block_end;
        }
        bool any = false, all = true;
        int32_t k = 0;
        for (const wv_file* f = cat->head; f; f = f->next, ++k) {
            any = true;
            ++out->totals.files;
            if (f->checked) {
                ++out->totals.checked;
                out->totals.checked_bytes += f->size;
            } else {
                all = false;
            }
            if (k == want) {
                out->first_drawn[i] = f;
                out->first_top[i] = first + FILE_ROW_HEIGHT * k;
            }
        }
        out->all_checked[i] = any && all ? 1 : 0;
    }
    out->totals.all_checked =
        out->totals.files > 0 && out->totals.checked == out->totals.files ? 1 : 0;
}

static void rows(wv_canvas& c, const wv_paint_input& in, uint32_t count, int32_t list_bottom,
                 const list_facts& facts) {
    const int32_t r = in.width;
    // Rows that straddle the band's edges stay inside it, so scrolling never
    // paints over the header.
    const wv_rect band{0, HEADER_HEIGHT, r, list_bottom};
    c.clip(&band);
    int32_t y = HEADER_HEIGHT - in.scroll_y + LIST_MARGIN;
    for (uint32_t i = 0; i < count; ++i) {
        const wv_category* cat = &in.scan->categories[i];
        if (y + CATEGORY_ROW_HEIGHT > HEADER_HEIGHT && y < list_bottom)
            category_row(c, in, cat, y, facts.all_checked[i]);
        y += CATEGORY_ROW_HEIGHT;
        if (cat->expanded && cat->file_count > 0) y += FILE_ROW_HEIGHT * int32_t(cat->file_count);
        // The file rows from the first one that reaches the band; the walk
        // stops after the first row whose top lies below it.
        int32_t fy = facts.first_top[i];
        for (const wv_file* f = facts.first_drawn[i]; f; f = f->next, fy += FILE_ROW_HEIGHT) {
            if (fy < list_bottom) file_row(c, in, f, fy);
            if (fy > list_bottom) break;
        }
    }
    c.clip(nullptr);

    wv_scroll_thumb t = wv_thumb(r, in.height, wv_list_content_height(in.scan), in.scroll_y);
    if (t.show) {
        c.rect(t.track, g_theme.bg_card, 0);
        c.rect(t.thumb, g_theme.bg_hot, 0);
    }
}

static void footer(wv_canvas& c, const wv_paint_input& in, int32_t list_bottom,
                   const wv_totals& t) {
    const int32_t r = in.width;
    const int32_t b = in.height;
    c.rect({0, list_bottom, r, b}, g_theme.bg_panel, 0);
    hline(c, 0, r, list_bottom, g_theme.border);

    char16_t size[64];
    char16_t summary[256];
    wv_format_size(t.checked_bytes, size, 64);
    wv::format(summary, 256, u"已勾选 %u 个文件   预计可释放 %s", t.checked, size);
    c.font(WV_FONT_BOLD);
    c.text(summary, {20, b - 100, r - 300, b - 64}, g_theme.text, WV_DT_VCENTER);

    c.checkbox(r - 143, b - 89, 15, t.all_checked);
    c.font(WV_FONT_NORMAL);
    c.text(u"全选", {r - 120, b - 100, r - 86, b - 64}, t.files ? g_theme.text : g_theme.text_dim,
           WV_DT_VCENTER);
    c.text(u"反选", {r - 64, b - 100, r - 20, b - 64}, t.files ? g_theme.accent : g_theme.text_dim,
           WV_DT_VCENTER);

    if (!in.is_admin)
        c.text(u"当前非管理员权限运行，部分系统目录已自动跳过", {20, b - 52, r - 430, b - 14},
               g_theme.text_dim, WV_DT_VCENTER);
    hline(c, 0, r, b - 1, g_theme.border_dim);
}

void wv_paint_main(wv_canvas& c, const wv_paint_input& in) {
    const int32_t r = in.width;
    const int32_t b = in.height;
    const int32_t list_bottom = b - FOOTER_HEIGHT;
    c.rect({0, 0, r, b}, g_theme.bg, 0);
    header(c, in);
    c.rect({0, HEADER_HEIGHT, r, list_bottom}, g_theme.bg, 0);

    uint32_t count = 0;
    if (in.scan && in.scan->categories) {
        count = in.scan->category_count.load(std::memory_order_acquire);
        if (count > WV_MAX_CATEGORIES) count = WV_MAX_CATEGORIES;
    }
    list_facts facts;
    gather(in, count, list_bottom, &facts);
    if (count == 0) {
        c.font(WV_FONT_NORMAL);
        const char16_t* hint = wv_state_scanning(in.state)
                                   ? u"正在扫描中，请稍候..."
                                   : u"点击右下角 [开始扫描] 查找可清理的垃圾文件";
        c.text(hint, {0, HEADER_HEIGHT + 60, r, list_bottom}, g_theme.text_dim, WV_DT_CENTER);
    } else {
        rows(c, in, count, list_bottom, facts);
    }
    footer(c, in, list_bottom, facts.totals);
}
