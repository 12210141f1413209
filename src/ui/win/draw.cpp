#include "ui/win/draw.h"

void wv_draw_rect(HDC dc, const RECT* r, COLORREF fill, COLORREF border) {
    HBRUSH brush = CreateSolidBrush(fill);
    FillRect(dc, r, brush);
    DeleteObject(brush);
    // Border 0 means none, so pure black cannot be a border colour.
    if (border == 0) return;
    HPEN pen = CreatePen(PS_SOLID, 1, border);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, r->left, r->top, nullptr);
    LineTo(dc, r->right - 1, r->top);
    LineTo(dc, r->right - 1, r->bottom - 1);
    LineTo(dc, r->left, r->bottom - 1);
    LineTo(dc, r->left, r->top);
    SelectObject(dc, old);
    DeleteObject(pen);
}

void wv_draw_rounded_rect(HDC dc, const RECT* r, COLORREF fill, COLORREF border) {
    const wv_rect wr = wv_from_rect(*r);
    const int corner = wv_corner_size(&wr);
    HBRUSH brush = CreateSolidBrush(fill);
    HPEN pen = nullptr;
    HGDIOBJ old_pen = nullptr;
    if (border != 0) {
        pen = CreatePen(PS_SOLID, 1, border);
        if (pen) old_pen = SelectObject(dc, pen);
    }
    HGDIOBJ old_brush = SelectObject(dc, brush);
    RoundRect(dc, r->left, r->top, r->right, r->bottom, corner, corner);
    if (old_pen) SelectObject(dc, old_pen);
    SelectObject(dc, old_brush);
    if (pen) DeleteObject(pen);
    DeleteObject(brush);
}

void wv_draw_text(HDC dc, const wchar_t* text, const RECT* r, COLORREF color, UINT format) {
    if (!text || !text[0]) return;
    RECT box = *r;
    SetTextColor(dc, color);
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, text, -1, &box, format | DT_SINGLELINE | DT_END_ELLIPSIS);
}

void wv_draw_checkbox(HDC dc, int x, int y, int size, int checked, int hot) {
    RECT box{x, y, x + size, y + size};
    wv_draw_rounded_rect(dc, &box, hot ? g_theme.bg_hot : g_theme.bg_card, g_theme.border);
    if (!checked) return;
    wv_point p[3];
    wv_check_mark_points(x, y, size, p);
    HPEN pen = CreatePen(PS_SOLID, 2, g_theme.accent);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, p[0].x, p[0].y, nullptr);
    LineTo(dc, p[1].x, p[1].y);
    LineTo(dc, p[2].x, p[2].y);
    SelectObject(dc, old);
    DeleteObject(pen);
}

void wv_draw_button(HDC dc, const RECT* r, const wchar_t* label, int style, int hot, int pressed,
                    int enabled, HFONT font) {
    (void)pressed; // buttons look the same while pressed
    const wv_button_colors c = wv_button_face(style, hot, enabled);
    wv_draw_rounded_rect(dc, r, c.fill, c.border);
    // The font stays selected: the owner-draw handlers select it for the label.
    if (font) SelectObject(dc, font);
    if (!label || !label[0]) return;
    RECT box = *r;
    SetTextColor(dc, c.label);
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, label, -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
}

void wv_measure_text(HDC dc, const wchar_t* text, HFONT font, RECT* out) {
    if (!text || !out) return;
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    RECT box{0, 0, 0, 0};
    DrawTextW(dc, text, -1, &box, DT_CALCRECT | DT_SINGLELINE);
    if (old) SelectObject(dc, old);
    *out = box;
}

HFONT wv_font(int height, int weight) {
    return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0,
                       L"Microsoft YaHei");
}
