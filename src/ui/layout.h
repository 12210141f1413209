// The main window's arithmetic: its size from the work area, the buttons'
// places, the list's content height and scroll range, the hit test, the
// scroll thumb and where the dialogs open. Pure functions of their
// arguments, so the host build tests them; the window passes its globals in.
#pragma once

#include <cstdint>

#include "scan/scan.h"
#include "ui/theme.h"

inline constexpr int32_t STATE_IDLE = 0;
inline constexpr int32_t STATE_SCANNING = 1;
inline constexpr int32_t STATE_PAUSED = 2;
inline constexpr int32_t STATE_DONE = 3;

inline constexpr int32_t HEADER_HEIGHT = 78;
inline constexpr int32_t FOOTER_HEIGHT = 106;
inline constexpr int32_t LIST_MARGIN = 8;
inline constexpr int32_t CATEGORY_ROW_HEIGHT = 46;
inline constexpr int32_t FILE_ROW_HEIGHT = 26;

inline bool wv_state_scanning(int32_t state) {
    return state == STATE_SCANNING || state == STATE_PAUSED;
}

// Outer window size from the work area; `have_area` 0 when it could not be read.
struct wv_size {
    int32_t w, h;
};
wv_size wv_window_size(int have_area, int32_t area_w, int32_t area_h);

// Places of the three footer buttons for a client size and state. The stop
// button is moved only while a scan runs (`move_stop`); otherwise it keeps
// its place, hidden.
struct wv_button_places {
    wv_rect clean;
    wv_rect scan;
    wv_rect stop;
    int move_stop;
};
wv_button_places wv_button_layout(int32_t cw, int32_t ch, int32_t state);

// Height of all rows plus the top and bottom margins; 16 with no category.
int32_t wv_list_content_height(const wv_scan* scan);
// The scroll offset kept within 0 .. max(content - client height + 184, 0).
int32_t wv_clamp_scroll(int32_t scroll, const wv_scan* scan, int32_t client_h);

// The row at client height y: category index (-1 none) and file index
// within it (-1 the category row itself).
struct wv_hit {
    int32_t category;
    int32_t file;
};
wv_hit wv_hit_test(const wv_scan* scan, int32_t scroll, int32_t y);

// The scroll indicator of a client area R x B; `show` 0 when none is drawn.
struct wv_scroll_thumb {
    int show;
    wv_rect track;
    wv_rect thumb;
};
wv_scroll_thumb wv_thumb(int32_t r, int32_t b, int32_t content, int32_t scroll);

// Top-left corner of the confirmation dialog (outer size w x h) centred on
// the parent's window rectangle; not clamped to the screen.
wv_point wv_confirm_position(const wv_rect* parent, int32_t w, int32_t h);
// Top-left corner of the 460 x 680 settings dialog over the parent.
wv_point wv_settings_position(const wv_rect* parent);

inline constexpr int32_t SETTINGS_WIDTH = 460;
inline constexpr int32_t SETTINGS_HEIGHT = 680;
