#include "ui/win/canvas_gdi.h"

#include "ui/win/draw.h"

void wv_gdi_canvas::rect(const wv_rect& r, uint32_t fill, uint32_t border) {
    RECT box = wv_to_rect(r);
    wv_draw_rect(dc_, &box, fill, border);
}

void wv_gdi_canvas::line(const wv_point* points, int count, int width, uint32_t color) {
    if (count < 2) return;
    HPEN pen = CreatePen(PS_SOLID, width, color);
    HGDIOBJ old = SelectObject(dc_, pen);
    MoveToEx(dc_, points[0].x, points[0].y, nullptr);
    for (int i = 1; i < count; ++i) LineTo(dc_, points[i].x, points[i].y);
    SelectObject(dc_, old);
    DeleteObject(pen);
}

void wv_gdi_canvas::checkbox(int32_t x, int32_t y, int32_t size, int checked) {
    wv_draw_checkbox(dc_, x, y, size, checked, 0);
}

void wv_gdi_canvas::font(wv_font_id id) {
    HFONT f = id == WV_FONT_TITLE ? fonts_.title : id == WV_FONT_BOLD ? fonts_.bold : fonts_.normal;
    if (f) SelectObject(dc_, f);
}

void wv_gdi_canvas::text(const char16_t* s, const wv_rect& r, uint32_t color, uint32_t flags) {
    RECT box = wv_to_rect(r);
    wv_draw_text(dc_, wv_w(s), &box, color, flags);
}

void wv_gdi_canvas::clip(const wv_rect* r) {
    if (!r) {
        SelectClipRgn(dc_, nullptr);
        return;
    }
    HRGN rgn = CreateRectRgn(r->left, r->top, r->right, r->bottom);
    SelectClipRgn(dc_, rgn);
    DeleteObject(rgn);
}
