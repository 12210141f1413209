// The drawing primitives over GDI. Each call creates the brushes and pens it
// needs, restores what it selected and deletes what it created; nothing is
// kept between calls. Colours and geometry come from ui/theme.h.
#pragma once

#include <windows.h>

#include "ui/theme.h"

void wv_draw_rect(HDC dc, const RECT* r, COLORREF fill, COLORREF border);
void wv_draw_rounded_rect(HDC dc, const RECT* r, COLORREF fill, COLORREF border);
void wv_draw_text(HDC dc, const wchar_t* text, const RECT* r, COLORREF color, UINT format);
void wv_draw_checkbox(HDC dc, int x, int y, int size, int checked, int hot);
void wv_draw_button(HDC dc, const RECT* r, const wchar_t* label, int style, int hot, int pressed,
                    int enabled, HFONT font);
void wv_measure_text(HDC dc, const wchar_t* text, HFONT font, RECT* out);

// "Microsoft YaHei" of a cell height and weight: every font of the program's
// own drawing (default width, quality and pitch, DEFAULT_CHARSET).
HFONT wv_font(int height, int weight);

inline RECT wv_to_rect(const wv_rect& r) {
    return RECT{r.left, r.top, r.right, r.bottom};
}
inline wv_rect wv_from_rect(const RECT& r) {
    return wv_rect{int32_t(r.left), int32_t(r.top), int32_t(r.right), int32_t(r.bottom)};
}
// The engine's texts are char16_t, the API's wchar_t: the same 16-bit units on Windows.
inline const wchar_t* wv_w(const char16_t* s) {
    return reinterpret_cast<const wchar_t*>(s);
}
inline wchar_t* wv_w(char16_t* s) {
    return reinterpret_cast<wchar_t*>(s);
}
inline const char16_t* wv_u(const wchar_t* s) {
    return reinterpret_cast<const char16_t*>(s);
}
static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t expected");
static_assert(WV_DT_CENTER == DT_CENTER && WV_DT_RIGHT == DT_RIGHT && WV_DT_VCENTER == DT_VCENTER,
              "format flags");
