// The main window's paint with one category of 65,536 files expanded: the
// median time of a whole repaint at the top, middle and bottom of the list
// and of a wheel notch with its repaint, against the bare cost of filling a
// client area of the same size once (a window whose paint does only that).
//
// Drives the real window in this process; run it under Wine on a display
// with the program's fonts: scripts/wine-gui.sh build/mingw/bench-gui
// build/mingw/bench/ui/bench_ui_paint.exe
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "base/text.h"
#include "catalogue/catalogue.h"
#include "ui/model.h"
#include "ui/theme.h"
#include "ui/win/mainwin.h"

namespace {

constexpr uint32_t k_files = 65536;
constexpr int k_rounds = 101;

double now_ms() {
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) * 1000.0 / double(freq.QuadPart);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void pump() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

// One repaint of the whole client area, finished (GdiFlush) before the clock stops.
double redraw(HWND hwnd) {
    const double t0 = now_ms();
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    GdiFlush();
    return now_ms() - t0;
}

LRESULT CALLBACK fill_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_ERASEBKGND) return 1;
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT rc;
        GetClientRect(hwnd, &rc);
        HBRUSH brush = CreateSolidBrush(g_theme.bg);
        FillRect(dc, &rc, brush);
        DeleteObject(brush);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

double median_redraw(HWND hwnd) {
    std::vector<double> t;
    for (int i = 0; i < k_rounds; ++i) t.push_back(redraw(hwnd));
    return median(t);
}

} // namespace

int main() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    wv_theme_init();
    HWND hwnd = wv_mainwin_create(instance, SW_SHOWNORMAL);
    if (!hwnd) {
        std::printf("the main window could not be created\n");
        return 1;
    }
    pump();

    wv_scan* scan = &g_mainwin.scan;
    wv_scan_init(scan);
    wv_category* c = wv_scan_add_category(scan, wv_apps_get(0), 0);
    for (uint32_t i = 0; i < k_files; ++i) {
        char16_t path[128];
        wv::format(path, 128, u"C:\\Users\\Ann\\AppData\\Local\\Temp\\bench\\cache_%u.tmp", i);
        wv_scan_add_file(scan, c, path, uint64_t(1000 + i % 5000), nullptr, 0);
    }
    c->installed = 1;
    c->expanded = 1;
    g_state = STATE_DONE;
    update_buttons();
    pump();

    RECT rc;
    GetClientRect(hwnd, &rc);
    const int32_t max = wv_clamp_scroll(INT32_MAX, scan, rc.bottom);
    std::printf("client %ld x %ld, %u files expanded, content %d px, scroll range 0..%d\n",
                rc.right, rc.bottom, k_files, wv_list_content_height(scan), max);

    const int32_t positions[] = {0, max / 2, max};
    const char* names[] = {"top", "middle", "bottom"};
    double paint[3];
    for (int p = 0; p < 3; ++p) {
        g_scroll_y = positions[p];
        paint[p] = median_redraw(hwnd);
    }

    // A wheel notch and the repaint it causes, back and forth in the middle.
    g_scroll_y = max / 2;
    std::vector<double> wheel;
    for (int i = 0; i < k_rounds; ++i) {
        const short delta = (i / 10) % 2 ? 120 : -120;
        const double t0 = now_ms();
        SendMessageW(hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(delta)), MAKELPARAM(400, 400));
        UpdateWindow(hwnd);
        GdiFlush();
        wheel.push_back(now_ms() - t0);
    }

    // Baseline: the bare fill of a client area of the same size.
    WNDCLASSW wc{};
    wc.lpfnWndProc = fill_proc;
    wc.hInstance = instance;
    wc.lpszClassName = L"WelvoBenchFill";
    RegisterClassW(&wc);
    RECT outer{0, 0, rc.right, rc.bottom};
    AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, FALSE);
    HWND fill = CreateWindowW(L"WelvoBenchFill", L"fill", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                              outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                              instance, nullptr);
    pump();
    const double base = median_redraw(fill);

    std::printf("baseline: fill the client area once      median %7.3f ms\n", base);
    for (int p = 0; p < 3; ++p)
        std::printf("paint, list at the %-6s                median %7.3f ms  (%.1fx baseline)\n",
                    names[p], paint[p], paint[p] / base);
    const double w = median(wheel);
    std::printf("wheel notch and repaint                  median %7.3f ms  (%.1fx baseline)\n", w,
                w / base);
    DestroyWindow(fill);
    DestroyWindow(hwnd);
    pump();
    return 0;
}
