#include "ui/icon.h"

#include <cmath>

namespace {

// Straight-alpha colour of the icon's shapes.
struct rgba {
    double r, g, b, a;
};

// Signed distance from p to a rounded square of half side h and radius rad,
// centred on (c, c).
double rounded_square(double x, double y, double c, double h, double rad) {
    double qx = std::fabs(x - c) - (h - rad);
    double qy = std::fabs(y - c) - (h - rad);
    double ox = qx > 0 ? qx : 0;
    double oy = qy > 0 ? qy : 0;
    double inside = qx > qy ? qx : qy;
    return std::sqrt(ox * ox + oy * oy) + (inside < 0 ? inside : 0) - rad;
}

double segment(double x, double y, double ax, double ay, double bx, double by) {
    double px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
    double t = (px * dx + py * dy) / (dx * dx + dy * dy);
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    double ex = px - dx * t, ey = py - dy * t;
    return std::sqrt(ex * ex + ey * ey);
}

rgba over(rgba top, rgba under) {
    double a = top.a + under.a * (1 - top.a);
    if (a <= 0) return {0, 0, 0, 0};
    auto mix = [&](double t, double u) { return (t * top.a + u * under.a * (1 - top.a)) / a; };
    return {mix(top.r, under.r), mix(top.g, under.g), mix(top.b, under.b), a};
}

// One sample: the tile in the window background colour, an accent disc,
// and a white check mark, the program's promise that nothing goes unasked.
rgba sample(double x, double y) {
    rgba px{0, 0, 0, 0};
    if (rounded_square(x, y, 16, 15.5, 6) <= 0) px = over({30, 34, 48, 1}, px);
    double dx = x - 16, dy = y - 16;
    if (dx * dx + dy * dy <= 11.5 * 11.5) px = over({59, 130, 246, 1}, px);
    double d = segment(x, y, 10.5, 16.5, 14.5, 20.5);
    double d2 = segment(x, y, 14.5, 20.5, 22, 12.5);
    if ((d < d2 ? d : d2) <= 1.6) px = over({255, 255, 255, 1}, px);
    return px;
}

void put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    put16(p, v);
    put16(p + 2, v >> 16);
}

} // namespace

size_t wv_icon_file(uint8_t* out, size_t cap) {
    if (!out || cap < WV_ICON_FILE_SIZE) return 0;
    for (size_t i = 0; i < WV_ICON_FILE_SIZE; ++i) out[i] = 0;
    const uint32_t pixels = 32 * 32 * 4, mask = 32 * 4;
    // ICONDIR and its one entry.
    put16(out + 2, 1);
    put16(out + 4, 1);
    uint8_t* e = out + 6;
    e[0] = 32;
    e[1] = 32;
    put16(e + 4, 1);
    put16(e + 6, 32);
    put32(e + 8, 40 + pixels + mask);
    put32(e + 12, 22);
    // BITMAPINFOHEADER: the height counts the colour image and the mask.
    uint8_t* h = out + 22;
    put32(h, 40);
    put32(h + 4, 32);
    put32(h + 8, 64);
    put16(h + 12, 1);
    put16(h + 14, 32);
    put32(h + 20, pixels + mask);
    uint8_t* bgra = h + 40;
    uint8_t* and_mask = bgra + pixels;
    for (int row = 0; row < 32; ++row) {
        int y = 31 - row; // bottom-up
        for (int x = 0; x < 32; ++x) {
            // 4 x 4 samples per pixel smooth the edges.
            double r = 0, g = 0, b = 0, a = 0;
            for (int sy = 0; sy < 4; ++sy) {
                for (int sx = 0; sx < 4; ++sx) {
                    rgba s = sample(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4);
                    r += s.r * s.a;
                    g += s.g * s.a;
                    b += s.b * s.a;
                    a += s.a;
                }
            }
            uint8_t* p = bgra + (row * 32 + x) * 4;
            if (a > 0) {
                p[0] = uint8_t(std::lround(b / a));
                p[1] = uint8_t(std::lround(g / a));
                p[2] = uint8_t(std::lround(r / a));
            }
            p[3] = uint8_t(std::lround(a / 16 * 255));
            if (p[3] == 0) and_mask[row * 4 + x / 8] |= uint8_t(0x80 >> (x % 8));
        }
    }
    return WV_ICON_FILE_SIZE;
}
