// The main window's paint, written against a small drawing surface so that
// every rectangle, colour and text it produces can be checked on the host.
// The window hands it a surface backed by GDI (win/canvas_gdi.cpp); tests
// hand it one that records.
#pragma once

#include <cstdint>

#include "scan/scan.h"
#include "ui/theme.h"

enum wv_font_id { WV_FONT_NORMAL, WV_FONT_BOLD, WV_FONT_TITLE };

struct wv_canvas {
    virtual ~wv_canvas() = default;
    // wv_draw_rect: filled rectangle, optional 1-pixel border (0: none).
    virtual void rect(const wv_rect& r, uint32_t fill, uint32_t border) = 0;
    // A solid line from a to b (b itself not drawn) or, with three points, two
    // joined strokes; `width` is the pen width.
    virtual void line(const wv_point* points, int count, int width, uint32_t color) = 0;
    // wv_draw_checkbox with the hot flag 0.
    virtual void checkbox(int32_t x, int32_t y, int32_t size, int checked) = 0;
    virtual void font(wv_font_id id) = 0;
    // wv_draw_text: one line, cut with an ellipsis.
    virtual void text(const char16_t* s, const wv_rect& r, uint32_t color, uint32_t flags) = 0;
    // Limits later drawing to r (null: no limit).
    virtual void clip(const wv_rect* r) = 0;
};

struct wv_paint_input {
    int32_t width, height; // client area
    int32_t state;
    int32_t scroll_y;
    wv_scan* scan;          // the window's scan context (may hold nothing)
    const char16_t* status; // a consistent copy of the worker's status text
    int is_admin;           // computed once at start-up
};

void wv_paint_main(wv_canvas& c, const wv_paint_input& in);
