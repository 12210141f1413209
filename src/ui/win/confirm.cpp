// The clean confirmation dialog, and the window class it shares with the
// settings dialog.
#include "ui/layout.h"
#include "ui/texts.h"
#include "ui/theme.h"
#include "ui/win/draw.h"
#include "ui/win/mainwin.h"

ATOM g_dlg_class_atom;

void run_modal_loop(HWND dlg, bool dialog_keys) {
    MSG m;
    while (IsWindow(dlg)) {
        const BOOL got = GetMessageW(&m, nullptr, 0, 0);
        if (got == -1) break;
        if (got == 0) {
            // Handed on, so that the program's own loop ends too.
            PostQuitMessage(int(m.wParam));
            break;
        }
        if (dialog_keys && IsDialogMessageW(dlg, &m)) continue;
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

ATOM register_dialog_class() {
    if (g_dlg_class_atom) return g_dlg_class_atom;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    // Each dialog installs its own procedure.
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"WelvoDialogClass";
    g_dlg_class_atom = RegisterClassExW(&wc); // stays 0 on failure: the next call retries
    return g_dlg_class_atom;
}

namespace {

struct wv_confirm_state {
    HWND dialog;
    HWND parent;
    HFONT body_font;
    HFONT title_font;
    HFONT button_font;
    char16_t message[160];
    int result;
};

constexpr int ID_RECYCLE = 3001;
constexpr int ID_DELETE = 3002;

void paint(HWND hwnd, wv_confirm_state* st) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT rc{};
    GetClientRect(hwnd, &rc);
    wv_draw_rect(dc, &rc, g_theme.bg, 0);
    if (st->title_font) SelectObject(dc, st->title_font);
    RECT title{24, 20, rc.right - 24, 54};
    wv_draw_text(dc, L"确认清理", &title, g_theme.text, DT_VCENTER);
    if (st->body_font) SelectObject(dc, st->body_font);
    RECT body{24, 62, rc.right - 24, 92};
    wv_draw_text(dc, wv_w(st->message), &body, g_theme.text_muted, DT_VCENTER);
    EndPaint(hwnd, &ps);
}

void draw_item(const DRAWITEMSTRUCT* di, wv_confirm_state* st) {
    RECT cell = di->rcItem;
    wv_draw_rect(di->hDC, &cell, g_theme.bg, 0);
    wchar_t label[64] = {};
    GetWindowTextW(di->hwndItem, label, 64);
    InflateRect(&cell, -1, -1);
    const int style = di->CtlID == ID_RECYCLE  ? WV_BUTTON_PRIMARY
                      : di->CtlID == ID_DELETE ? WV_BUTTON_DANGER
                                               : WV_BUTTON_SECONDARY;
    wv_draw_button(di->hDC, &cell, label, style, 0, (di->itemState & ODS_SELECTED) ? 1 : 0,
                   (di->itemState & ODS_DISABLED) ? 0 : 1, st->button_font);
}

LRESULT CALLBACK clean_confirm_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* st = reinterpret_cast<wv_confirm_state*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!st) return DefWindowProcW(hwnd, msg, wp, lp);
    switch (msg) {
        case WM_PAINT:
            paint(hwnd, st);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_DRAWITEM:
            draw_item(reinterpret_cast<const DRAWITEMSTRUCT*>(lp), st);
            return 1;
        case WM_COMMAND:
            // Only the three buttons answer; IDOK (Enter) does nothing.
            switch (LOWORD(wp)) {
                case ID_RECYCLE:
                    st->result = 1;
                    DestroyWindow(hwnd);
                    break;
                case ID_DELETE:
                    st->result = 2;
                    DestroyWindow(hwnd);
                    break;
                case IDCANCEL:
                    st->result = 0;
                    DestroyWindow(hwnd);
                    break;
            }
            break;
        case WM_CLOSE:
            st->result = 0;
            DestroyWindow(hwnd);
            break;
        case WM_DESTROY:
            EnableWindow(st->parent, TRUE);
            SetForegroundWindow(st->parent);
            break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

HWND make_button(HWND dlg, const wchar_t* label, int x, int w, int id) {
    return CreateWindowExW(0, L"BUTTON", label, WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, x, 118, w, 36,
                           dlg, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr,
                           nullptr);
}

} // namespace

int dialog_clean_confirm(HWND parent, uint32_t files, uint64_t bytes) {
    register_dialog_class();
    wv_confirm_state st{};
    st.parent = parent;
    wv_confirm_text(files, bytes, st.message, 160);

    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    RECT frame{0, 0, 420, 178};
    AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME);
    const int32_t w = frame.right - frame.left, h = frame.bottom - frame.top;
    RECT pr{};
    GetWindowRect(parent, &pr);
    const wv_rect parent_rect = wv_from_rect(pr);
    const wv_point at = wv_confirm_position(&parent_rect, w, h);

    HWND dlg = CreateWindowExW(WS_EX_DLGMODALFRAME, L"WelvoDialogClass", L"确认清理", style, at.x,
                               at.y, w, h, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!dlg) return 0;
    st.dialog = dlg;
    st.body_font = wv_font(15, 400);
    st.title_font = wv_font(20, 700);
    st.button_font = wv_font(15, 700);
    SetWindowLongPtrW(dlg, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&st));
    SetWindowLongPtrW(dlg, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(clean_confirm_proc));
    make_button(dlg, L"放入垃圾站", 72, 110, ID_RECYCLE);
    make_button(dlg, L"永久删除", 190, 110, ID_DELETE);
    make_button(dlg, L"取消", 308, 88, IDCANCEL);

    EnableWindow(parent, FALSE);
    ShowWindow(dlg, SW_SHOW);
    UpdateWindow(dlg);

    run_modal_loop(dlg, true);
    if (IsWindow(dlg)) DestroyWindow(dlg);
    EnableWindow(parent, TRUE);
    for (HFONT f : {st.body_font, st.title_font, st.button_font})
        if (f) DeleteObject(f);
    return st.result;
}
