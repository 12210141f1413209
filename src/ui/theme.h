// The palette, the size text and the geometry that every painted surface of
// the program shares. Nothing here includes windows.h: colours are COLORREF
// values (0x00BBGGRR) held in uint32_t, rectangles are plain records, so the
// host build can test every number.
#pragma once

#include <cstdint>

struct wv_rect {
    int32_t left, top, right, bottom;
};

struct wv_point {
    int32_t x, y;
};

inline bool operator==(const wv_rect& a, const wv_rect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline bool operator==(const wv_point& a, const wv_point& b) {
    return a.x == b.x && a.y == b.y;
}

// 1 when left <= x < right and top <= y < bottom.
int wv_point_in_rect(const wv_rect* r, int32_t x, int32_t y);

struct wv_theme {
    uint32_t bg;
    uint32_t bg_card;
    uint32_t bg_panel;
    uint32_t bg_panel_alt;
    uint32_t bg_row;
    uint32_t bg_row_alt;
    uint32_t bg_hot;
    uint32_t accent_alt;
    uint32_t border;
    uint32_t border_dim;
    uint32_t accent;
    uint32_t accent_hot;
    uint32_t accent_deep;
    uint32_t text;
    uint32_t text_muted;
    uint32_t text_dim;
    uint32_t risk_safe;
    uint32_t risk_caution;
    uint32_t risk_danger;
    uint32_t green;
    uint32_t red;
    uint32_t blue;
    uint32_t blue_light;
    uint32_t text_on_accent;
    uint32_t slate;
};

// Zero until wv_theme_init runs, read-only afterwards.
extern wv_theme g_theme;

void wv_theme_init();
uint32_t wv_theme_risk_color(int risk);

// "0 B" .. "1023 B", then "%.1f" of KB, MB, GB or TB. Every caller passes 64.
void wv_format_size(uint64_t bytes, char16_t* out, uint32_t cap);

// Button styles of wv_draw_button.
inline constexpr int WV_BUTTON_PRIMARY = 0;
inline constexpr int WV_BUTTON_SECONDARY = 1;
inline constexpr int WV_BUTTON_DANGER = 2;

// The colours of a button face; a border of 0 means "no pen of our own".
struct wv_button_colors {
    uint32_t fill;
    uint32_t border;
    uint32_t label;
};
wv_button_colors wv_button_face(int style, int hot, int enabled);

// Side of the corner ellipse of wv_draw_rounded_rect for a rectangle.
int32_t wv_corner_size(const wv_rect* r);

// The three points of the check mark of a check box of side `size` at (x, y).
void wv_check_mark_points(int32_t x, int32_t y, int32_t size, wv_point out[3]);

// The DrawTextW format flags the program passes, with their Win32 values.
inline constexpr uint32_t WV_DT_CENTER = 0x01;
inline constexpr uint32_t WV_DT_RIGHT = 0x02;
inline constexpr uint32_t WV_DT_VCENTER = 0x04;
