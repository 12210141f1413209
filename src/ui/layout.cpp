#include "ui/layout.h"

wv_size wv_window_size(int have_area, int32_t area_w, int32_t area_h) {
    if (!have_area) return {900, 700};
    int32_t w = area_w > 959 ? 900 : (area_w > 700 ? area_w : 700) - 60;
    int32_t h = area_h > 759 ? 700 : (area_h > 540 ? area_h : 540) - 60;
    return {w, h};
}

wv_button_places wv_button_layout(int32_t cw, int32_t ch, int32_t state) {
    wv_button_places p{};
    int32_t y = ch - 52;
    p.clean = {cw - 180, y, cw - 180 + 160, y + 38};
    p.scan = {cw - 320, y, cw - 320 + 130, y + 38};
    p.stop = {cw - 434, y, cw - 434 + 104, y + 38};
    p.move_stop = wv_state_scanning(state) ? 1 : 0;
    return p;
}

// Rows of one category: its own row, plus its files when it is expanded.
static int32_t category_block(const wv_category* c) {
    int32_t h = CATEGORY_ROW_HEIGHT;
    if (c->expanded && c->file_count > 0) h += FILE_ROW_HEIGHT * int32_t(c->file_count);
    return h;
}

static uint32_t category_count(const wv_scan* scan) {
    if (!scan || !scan->categories) return 0;
    uint32_t n = scan->category_count.load(std::memory_order_acquire);
    return n < WV_MAX_CATEGORIES ? n : WV_MAX_CATEGORIES;
}

int32_t wv_list_content_height(const wv_scan* scan) {
    uint32_t n = category_count(scan);
    if (n == 0) return 16;
    int32_t h = LIST_MARGIN;
    for (uint32_t i = 0; i < n; ++i) h += category_block(&scan->categories[i]);
    return h + LIST_MARGIN;
}

int32_t wv_clamp_scroll(int32_t scroll, const wv_scan* scan, int32_t client_h) {
    int32_t max = wv_list_content_height(scan) - client_h + HEADER_HEIGHT + FOOTER_HEIGHT;
    if (max < 0) max = 0;
    if (scroll > max) return max;
    if (scroll < 0) return 0;
    return scroll;
}

wv_hit wv_hit_test(const wv_scan* scan, int32_t scroll, int32_t y) {
    wv_hit hit{-1, -1};
    uint32_t n = category_count(scan);
    int32_t top = HEADER_HEIGHT + LIST_MARGIN - scroll;
    for (uint32_t i = 0; i < n; ++i) {
        const wv_category* c = &scan->categories[i];
        if (y >= top && y < top + CATEGORY_ROW_HEIGHT) return {int32_t(i), -1};
        if (c->expanded && c->file_count > 0) {
            int32_t first = top + CATEGORY_ROW_HEIGHT;
            int32_t end = first + FILE_ROW_HEIGHT * int32_t(c->file_count);
            if (y >= first && y < end) return {int32_t(i), (y - first) / FILE_ROW_HEIGHT};
        }
        top += category_block(c);
    }
    return hit;
}

wv_scroll_thumb wv_thumb(int32_t r, int32_t b, int32_t content, int32_t scroll) {
    wv_scroll_thumb t{};
    int32_t h = (b - FOOTER_HEIGHT) - HEADER_HEIGHT;
    if (h <= 0 || content <= h) return t;
    int32_t len = int32_t(double(h) * double(h) / double(content));
    if (len < 30) len = 30;
    int32_t top = HEADER_HEIGHT + int32_t(double(h - len) * double(scroll) / double(content - h));
    t.show = 1;
    t.track = {r - 8, 82, r - 2, b - 110};
    t.thumb = {r - 8, top, r - 2, top + len};
    return t;
}

wv_point wv_confirm_position(const wv_rect* parent, int32_t w, int32_t h) {
    int32_t pw = parent->right - parent->left;
    int32_t ph = parent->bottom - parent->top;
    return {parent->left + (pw - w) / 2, parent->top + (ph - h) / 2};
}

wv_point wv_settings_position(const wv_rect* parent) {
    int32_t dx = (parent->right - parent->left - SETTINGS_WIDTH) / 2;
    int32_t dy = (parent->bottom - parent->top - SETTINGS_HEIGHT) / 2;
    if (dx < 40) dx = 40;
    if (dy < 40) dy = 40;
    return {parent->left + dx, parent->top + dy};
}
