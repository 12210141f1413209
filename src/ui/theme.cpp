#include "ui/theme.h"

#include "base/text.h"

wv_theme g_theme;

int wv_point_in_rect(const wv_rect* r, int32_t x, int32_t y) {
    if (!r) return 0;
    return x >= r->left && x < r->right && y >= r->top && y < r->bottom ? 1 : 0;
}

void wv_theme_init() {
    g_theme = wv_theme{
        0x0030221E, // bg
        0x003B2B26, // bg_card
        0x00251A16, // bg_panel
        0x003A2420, // bg_panel_alt
        0x00382823, // bg_row
        0x0043302A, // bg_row_alt
        0x00523A32, // bg_hot
        0x00F6823B, // accent_alt
        0x0055403A, // border
        0x0046342F, // border_dim
        0x00F6823B, // accent
        0x00FAA560, // accent_hot
        0x00EB6325, // accent_deep
        0x00EFE6E4, // text
        0x00B2A39A, // text_muted
        0x0072605A, // text_dim
        0x00ACEF86, // risk_safe
        0x0024BFFB, // risk_caution
        0x007171F8, // risk_danger
        0x0099D334, // green
        0x004444EF, // red
        0x00F6823B, // blue
        0x00FAA560, // blue_light
        0x00FFFFFF, // text_on_accent
        0x006A5048, // slate
    };
}

uint32_t wv_theme_risk_color(int risk) {
    if (risk == 1) return g_theme.risk_caution;
    if (risk == 2) return g_theme.risk_danger;
    return g_theme.risk_safe;
}

static const char16_t* const units[] = {u"B", u"KB", u"MB", u"GB", u"TB"};

void wv_format_size(uint64_t bytes, char16_t* out, uint32_t cap) {
    if (!out || cap == 0) return;
    if (bytes < 1024) {
        wv::format(out, cap, u"%llu %s", bytes, units[0]);
        return;
    }
    // The threshold is tested on the unrounded value, so a value just under a
    // boundary prints as "1024.0" of the smaller unit; TB is the last unit.
    double value = double(bytes) * (1.0 / 1024.0);
    uint32_t unit = 1;
    while (value >= 1024.0 && unit < 4) {
        value *= 1.0 / 1024.0;
        ++unit;
    }
    wv::format(out, cap, u"%.1f %s", value, units[unit]);
}

// Fixed colours of the button drawing, not reads of the palette.
static constexpr uint32_t danger_fill = 0x007171F8;
static constexpr uint32_t danger_fill_hot = 0x004444EF;
static constexpr uint32_t disabled_fill = 0x0055403A;

wv_button_colors wv_button_face(int style, int hot, int enabled) {
    if (!enabled) return {disabled_fill, g_theme.border, g_theme.text_dim};
    if (style == WV_BUTTON_SECONDARY)
        return {g_theme.bg_card, hot ? g_theme.accent : g_theme.border, g_theme.text};
    if (style == WV_BUTTON_DANGER)
        return {hot ? danger_fill_hot : danger_fill, 0, g_theme.text_on_accent};
    // Primary, and any unknown style drawn like it without a hot variant.
    bool primary_hot = hot && style == WV_BUTTON_PRIMARY;
    return {primary_hot ? g_theme.accent_hot : g_theme.accent, 0, g_theme.text_on_accent};
}

int32_t wv_corner_size(const wv_rect* r) {
    if (!r) return 0;
    int32_t w = r->right - r->left;
    int32_t h = r->bottom - r->top;
    int32_t m = w < h ? w : h;
    if (m <= 0) return 0; // an empty or inverted rectangle has no corner to round
    return m > 51 ? 12 : m / 4;
}

void wv_check_mark_points(int32_t x, int32_t y, int32_t size, wv_point out[3]) {
    out[0] = {x + size / 4, y + size / 2};
    out[1] = {x + size / 2, y + (3 * size) / 4};
    out[2] = {x + (3 * size) / 4, y + size / 4};
}
