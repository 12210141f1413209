// The paint's drawing surface over a GDI device context.
#pragma once

#include <windows.h>

#include "ui/paint.h"

struct wv_gdi_fonts {
    HFONT normal, bold, title;
};

class wv_gdi_canvas final : public wv_canvas {
  public:
    wv_gdi_canvas(HDC dc, const wv_gdi_fonts& fonts) : dc_(dc), fonts_(fonts) {}
    void rect(const wv_rect& r, uint32_t fill, uint32_t border) override;
    void line(const wv_point* points, int count, int width, uint32_t color) override;
    void checkbox(int32_t x, int32_t y, int32_t size, int checked) override;
    void font(wv_font_id id) override;
    void text(const char16_t* s, const wv_rect& r, uint32_t color, uint32_t flags) override;
    void clip(const wv_rect* r) override;

  private:
    HDC dc_;
    wv_gdi_fonts fonts_;
};
