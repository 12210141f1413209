// The result list: the paint of the whole client area and what the mouse
// does on it (check marks, expanding, the wheel, the context menu).
#include <windows.h>

#include <shellapi.h>

#include <cstring>

#include "base/mem.h"
#include "base/text.h"
#include "ui/model.h"
#include "ui/paint.h"
#include "ui/texts.h"
#include "ui/win/canvas_gdi.h"
#include "ui/win/draw.h"
#include "ui/win/mainwin.h"

void paint_main(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT rc{};
    GetClientRect(hwnd, &rc);
    layout_buttons();
    char16_t status[256];
    wv_scan_status(&g_mainwin.scan, status, 256);
    wv_paint_input in{};
    in.width = rc.right;
    in.height = rc.bottom;
    in.state = g_state;
    in.scroll_y = g_scroll_y;
    in.scan = &g_mainwin.scan;
    in.status = status;
    in.is_admin = g_is_admin;
    wv_gdi_canvas canvas(dc, {g_font, g_font_bold, g_font_title});
    wv_paint_main(canvas, in);
    EndPaint(hwnd, &ps);
}

static void client_size(HWND hwnd, int32_t* r, int32_t* b) {
    RECT rc{};
    GetClientRect(hwnd, &rc);
    *r = rc.right;
    *b = rc.bottom;
}

LRESULT on_left_button(HWND hwnd, WPARAM wp, LPARAM lp) {
    int32_t r, b;
    client_size(hwnd, &r, &b);
    const int32_t x = LOWORD(lp), y = HIWORD(lp);
    switch (wv_left_click(&g_mainwin.scan, g_scroll_y, r, b, x, y, g_cleaning)) {
        case WV_CLICK_DEFAULT:
            return DefWindowProcW(hwnd, WM_LBUTTONDOWN, wp, lp);
        case WV_CLICK_IGNORED:
            return 0;
        case WV_CLICK_FOOTER:
            update_buttons();
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WV_CLICK_LIST:
            clamp_scroll();
            update_buttons();
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
    }
    return 0;
}

LRESULT on_mouse_wheel(HWND hwnd, WPARAM wp, LPARAM) {
    g_scroll_y = wv_wheel_scroll(g_scroll_y, static_cast<int16_t>(HIWORD(wp)));
    clamp_scroll();
    InvalidateRect(hwnd, nullptr, FALSE);
    return 0;
}

static UINT show_list_menu(HWND hwnd, POINT pt, int is_file) {
    HMENU menu = CreatePopupMenu();
    if (!menu) return 0;
    if (is_file) {
        AppendMenuW(menu, MF_STRING, ID_MENU_COPY_PATH, L"复制完整路径");
        AppendMenuW(menu, MF_STRING, ID_MENU_COPY_NAME, L"复制文件名");
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, ID_MENU_OPEN_FOLDER, L"打开所在文件夹");
    } else {
        AppendMenuW(menu, MF_STRING, ID_MENU_COPY_CATEGORY, L"复制该分类全部文件路径");
    }
    ClientToScreen(hwnd, &pt);
    SetForegroundWindow(hwnd);
    const UINT cmd =
        UINT(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, pt.x, pt.y, 0, hwnd, nullptr));
    DestroyMenu(menu);
    PostMessageW(hwnd, WM_NULL, 0, 0);
    return cmd;
}

static void copy_to_clipboard(HWND hwnd, const char16_t* text) {
    if (!text || !OpenClipboard(hwnd)) return;
    EmptyClipboard();
    const size_t bytes = (wv::str_len(text) + 1) * sizeof(char16_t);
    if (HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        bool handed_over = false;
        if (void* p = GlobalLock(mem)) {
            std::memcpy(p, text, bytes);
            GlobalUnlock(mem);
            handed_over = SetClipboardData(CF_UNICODETEXT, mem) != nullptr;
        }
        if (!handed_over) GlobalFree(mem);
    }
    CloseClipboard();
}

static void reveal_in_explorer(HWND hwnd, const char16_t* path) {
    char16_t params[1060];
    // A cut path would select another file: then Explorer is not started.
    if (!wv_explorer_params(path, params, 1057)) return;
    ShellExecuteW(hwnd, L"open", L"explorer.exe", wv_w(params), nullptr, SW_SHOWNORMAL);
}

static void copy_category_paths(HWND hwnd, const wv_category* c) {
    char16_t* text = wv_category_paths_text(c);
    if (!text) return;
    copy_to_clipboard(hwnd, text);
    wv::mem_free(text);
}

LRESULT on_right_button(HWND hwnd, WPARAM wp, LPARAM lp) {
    int32_t r, b;
    client_size(hwnd, &r, &b);
    (void)r;
    const int32_t x = LOWORD(lp), y = HIWORD(lp);
    wv_scan* scan = &g_mainwin.scan;
    if (y < HEADER_HEIGHT || y >= b - FOOTER_HEIGHT || !scan->categories ||
        scan->category_count.load(std::memory_order_acquire) == 0)
        return DefWindowProcW(hwnd, WM_RBUTTONDOWN, wp, lp);
    const wv_hit hit = wv_hit_test(scan, g_scroll_y, y);
    if (hit.category < 0) return DefWindowProcW(hwnd, WM_RBUTTONDOWN, wp, lp);
    wv_category* c = &scan->categories[hit.category];
    wv_file* f = nullptr;
    if (hit.file >= 0) {
        f = wv_category_file_at(c, hit.file);
        if (!f) return DefWindowProcW(hwnd, WM_RBUTTONDOWN, wp, lp);
    }
    const UINT cmd = show_list_menu(hwnd, POINT{x, y}, f ? 1 : 0);
    if (f && cmd == ID_MENU_COPY_PATH)
        copy_to_clipboard(hwnd, f->path);
    else if (f && cmd == ID_MENU_COPY_NAME)
        copy_to_clipboard(hwnd, wv_file_name_part(f->path));
    else if (f && cmd == ID_MENU_OPEN_FOLDER)
        reveal_in_explorer(hwnd, f->path);
    else if (cmd == ID_MENU_COPY_CATEGORY)
        copy_category_paths(hwnd, c);
    return 0;
}
