// The main window's frame (class, size, fonts, buttons, closing) and its scan
// and clean state machine.
#include "ui/win/mainwin.h"

#include "base/text.h"
#include "ui/model.h"
#include "ui/texts.h"
#include "ui/theme.h"
#include "ui/version.h"
#include "ui/win/draw.h"

wv_mainwin g_mainwin;
HFONT g_font, g_font_bold, g_font_title;
HWND g_btn_scan, g_btn_stop, g_btn_clean;
int32_t g_state = STATE_IDLE;
int32_t g_scroll_y;
uint8_t g_cleaning;
HANDLE g_clean_thread;
uint64_t g_clean_freed;
uint32_t g_clean_files;
wv_clean_result g_clean_results[WV_CLEAN_RESULTS];
int32_t g_last_cw = -1, g_last_ch = -1, g_last_state = -1;
std::atomic<uint32_t> g_scan_run;
std::atomic<int32_t> g_clean_stop;
int g_is_admin;

// The current run's end has been handled (see end_of_scan).
static bool g_run_ended = true;

static const wchar_t k_class[] = L"WelvoMainWindow";

static void message(HWND owner, const char16_t* text, UINT icon) {
    MessageBoxW(owner, wv_w(text), L"Welvo", MB_OK | icon);
}

static void invalidate() {
    InvalidateRect(g_mainwin.hwnd, nullptr, FALSE);
}

static int32_t client_height() {
    RECT rc{};
    GetClientRect(g_mainwin.hwnd, &rc);
    return rc.bottom - rc.top;
}

// ------------------------------------------------------------- frame --

int wv_is_admin() {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                  0, 0, 0, 0, 0, &admins))
        return 0;
    BOOL member = FALSE;
    if (!CheckTokenMembership(nullptr, admins, &member)) member = FALSE;
    FreeSid(admins);
    return member ? 1 : 0;
}

int list_content_height() {
    return wv_list_content_height(&g_mainwin.scan);
}

void clamp_scroll() {
    g_scroll_y = wv_clamp_scroll(g_scroll_y, &g_mainwin.scan, client_height());
}

void layout_buttons() {
    if (!g_btn_scan || !g_btn_stop || !g_btn_clean) return;
    RECT rc{};
    GetClientRect(g_mainwin.hwnd, &rc);
    const int32_t cw = rc.right, ch = rc.bottom;
    if (cw == g_last_cw && ch == g_last_ch && g_state == g_last_state) return;
    g_last_cw = cw;
    g_last_ch = ch;
    g_last_state = g_state;
    const wv_button_places p = wv_button_layout(cw, ch, g_state);
    auto move = [](HWND b, const wv_rect& r) {
        MoveWindow(b, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    };
    move(g_btn_clean, p.clean);
    move(g_btn_scan, p.scan);
    if (p.move_stop) move(g_btn_stop, p.stop);
}

void update_buttons() {
    const bool scanning = wv_state_scanning(g_state);
    if (g_cleaning) {
        SetWindowTextW(g_btn_scan, L"清理中…");
        ShowWindow(g_btn_stop, SW_HIDE);
        EnableWindow(g_btn_scan, FALSE);
        EnableWindow(g_btn_clean, FALSE);
    } else {
        EnableWindow(g_btn_scan, TRUE);
        const wchar_t* label = g_state == STATE_SCANNING ? L"暂停扫描"
                               : g_state == STATE_PAUSED ? L"继续扫描"
                               : g_state == STATE_DONE   ? L"重新扫描"
                                                         : L"开始扫描";
        SetWindowTextW(g_btn_scan, label);
        ShowWindow(g_btn_stop, scanning ? SW_SHOW : SW_HIDE);
        const bool any = wv_footer_totals(&g_mainwin.scan).checked > 0;
        EnableWindow(g_btn_clean, !scanning && any ? TRUE : FALSE);
    }
    // The whitelist is read by the scan worker without a lock: no edits
    // while a scan runs.
    if (HMENU sys = GetSystemMenu(g_mainwin.hwnd, FALSE))
        EnableMenuItem(sys, ID_SYS_SETTINGS, MF_BYCOMMAND | (scanning ? MF_GRAYED : MF_ENABLED));
    layout_buttons();
    InvalidateRect(g_btn_scan, nullptr, FALSE);
    InvalidateRect(g_btn_clean, nullptr, FALSE);
}

static HWND make_button(HWND parent, const wchar_t* text, int width, bool visible, int id) {
    DWORD style = WS_CHILD | BS_OWNERDRAW | (visible ? WS_VISIBLE : 0);
    return CreateWindowExW(0, L"BUTTON", text, style, 0, 0, width, 38, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)),
                           nullptr);
}

static void on_create(HWND hwnd) {
    g_mainwin.hwnd = hwnd;
    g_font = wv_font(17, 400);
    g_font_bold = wv_font(18, 700);
    g_font_title = wv_font(28, 700);
    g_btn_scan = make_button(hwnd, L"开始扫描", 120, true, ID_BTN_SCAN);
    g_btn_stop = make_button(hwnd, L"停止扫描", 100, false, ID_BTN_STOP);
    g_btn_clean = make_button(hwnd, L"清理选中项", 150, true, ID_BTN_CLEAN);
    // The settings and the about box live in the title bar's menu: the
    // painted window stays as it is.
    if (HMENU sys = GetSystemMenu(hwnd, FALSE)) {
        AppendMenuW(sys, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(sys, MF_STRING, ID_SYS_SETTINGS, L"设置…");
        AppendMenuW(sys, MF_STRING, ID_SYS_ABOUT, L"关于 Welvo");
    }
    SetWindowTextW(hwnd, wv_w(u"Welvo v" WV_VERSION_TEXT));
}

static void on_draw_item(const DRAWITEMSTRUCT* di) {
    RECT cell = di->rcItem;
    wv_draw_rect(di->hDC, &cell, g_theme.bg_panel, 0);
    wchar_t label[64] = {};
    GetWindowTextW(di->hwndItem, label, 64);
    RECT face = cell;
    InflateRect(&face, -1, -1);
    const int style = di->CtlID == ID_BTN_STOP ? WV_BUTTON_SECONDARY : WV_BUTTON_PRIMARY;
    wv_draw_button(di->hDC, &face, label, style, 0, (di->itemState & ODS_SELECTED) ? 1 : 0,
                   (di->itemState & ODS_DISABLED) ? 0 : 1, g_font_bold);
}

static void on_close(HWND hwnd) {
    wv_scan* scan = &g_mainwin.scan;
    if (scan->running.load(std::memory_order_acquire)) {
        scan->paused.store(0, std::memory_order_release);
        wv_scan_stop(scan);
        if (scan->thread) WaitForSingleObject(static_cast<HANDLE>(scan->thread), 1500);
    }
    if (g_clean_thread && g_cleaning) {
        // Ask the worker to end between two files first; only a worker stuck
        // in one file operation for the whole wait is ended by force.
        g_clean_stop.store(1, std::memory_order_release);
        if (WaitForSingleObject(g_clean_thread, 2000) == WAIT_TIMEOUT)
            TerminateThread(g_clean_thread, 1);
    }
    DestroyWindow(hwnd);
}

static void on_destroy() {
    wv_scan_destroy(&g_mainwin.scan);
    if (!g_cleaning)
        for (wv_clean_result& r : g_clean_results) wv_clean_result_clear(&r);
    for (HFONT* f : {&g_font, &g_font_bold, &g_font_title}) {
        if (*f) DeleteObject(*f);
        *f = nullptr;
    }
    PostQuitMessage(0);
}

// ---------------------------------------------------- state machine --

static void scan_event_dispatcher(int code, wv_scan*) {
    // The run travels with the event so that the window can drop the events
    // of a run it has replaced.
    PostMessageW(g_mainwin.hwnd, WM_SCAN_EVENT, WPARAM(code),
                 LPARAM(g_scan_run.load(std::memory_order_acquire)));
}

static void start_scan() {
    wv_scan* scan = &g_mainwin.scan;
    wv_scan_destroy(scan); // waits for the previous worker, frees its results
    wv_scan_init(scan);
    scan->on_event = scan_event_dispatcher;
    // The previous worker has ended (destroy waited for it), so every event
    // still queued carries an older run than this one.
    g_scan_run.fetch_add(1, std::memory_order_acq_rel);
    g_run_ended = false;
    g_scroll_y = 0;
    g_state = STATE_SCANNING;
    wv_scan_start(scan);
    update_buttons();
    invalidate();
}

static void stop_scan() {
    if (!wv_state_scanning(g_state)) return;
    g_mainwin.scan.paused.store(0, std::memory_order_release);
    wv_scan_stop(&g_mainwin.scan);
    g_state = STATE_DONE;
    update_buttons();
    invalidate();
}

static void toggle_pause() {
    if (g_state == STATE_SCANNING) {
        g_mainwin.scan.paused.store(1, std::memory_order_release);
        g_state = STATE_PAUSED;
    } else if (g_state == STATE_PAUSED) {
        g_mainwin.scan.paused.store(0, std::memory_order_release);
        g_state = STATE_SCANNING;
    }
    update_buttons();
    invalidate();
}

// The run has ended: drop the empty categories and go back to the top. Done
// once per run, from its final event or, if a clean is about to start before
// that event was handled, from do_clean, so that the compaction never moves
// records under the clean worker.
static void end_of_scan() {
    if (g_run_ended) return;
    g_run_ended = true;
    g_state = STATE_DONE;
    g_mainwin.scan.running.store(0, std::memory_order_release);
    wv_compact_categories(&g_mainwin.scan);
    g_scroll_y = 0;
    clamp_scroll();
    update_buttons();
    invalidate();
}

static void on_scan_event(WPARAM code, LPARAM run) {
    static uint32_t last_paint;
    switch (wv_scan_event_action(int(code), uint32_t(run),
                                 g_scan_run.load(std::memory_order_acquire), GetTickCount(),
                                 &last_paint)) {
        case WV_EVENT_REPAINT:
            invalidate();
            break;
        case WV_EVENT_CATEGORY:
            clamp_scroll();
            invalidate();
            break;
        case WV_EVENT_END:
            end_of_scan();
            break;
        case WV_EVENT_NOTHING:
            break;
    }
}

static DWORD WINAPI clean_thread_proc(LPVOID param) {
    const int mode = int(reinterpret_cast<INT_PTR>(param));
    for (wv_clean_result& r : g_clean_results) wv_clean_result_clear(&r);
    g_clean_freed = 0;
    g_clean_files =
        wv_clean_execute(&g_mainwin.scan, mode, g_clean_results, WV_CLEAN_RESULTS, &g_clean_stop);
    uint64_t freed = 0;
    for (const wv_clean_result& r : g_clean_results) freed += r.freed_bytes;
    g_clean_freed = freed;
    PostMessageW(g_mainwin.hwnd, WM_CLEAN_DONE, 0, 0);
    return 0;
}

static void do_clean() {
    HWND hwnd = g_mainwin.hwnd;
    wv_scan* scan = &g_mainwin.scan;
    if (wv_state_scanning(g_state)) {
        message(hwnd, u"请先停止扫描，再执行清理。", MB_ICONINFORMATION);
        return;
    }
    if (scan->thread && scan->running.load(std::memory_order_acquire))
        WaitForSingleObject(static_cast<HANDLE>(scan->thread), 2000);
    if (scan->running.load(std::memory_order_acquire)) {
        message(hwnd, u"扫描线程正在退出，请稍等一秒再点清理。", MB_ICONINFORMATION);
        return;
    }
    const wv_totals t = wv_footer_totals(scan);
    if (t.checked == 0) {
        message(hwnd, u"还没有勾选任何项目。", MB_ICONINFORMATION);
        return;
    }
    const int answer = dialog_clean_confirm(hwnd, t.checked, t.checked_bytes);
    if (answer != 1 && answer != 2) return;
    // The worker has ended, so its final event is queued if not yet handled.
    end_of_scan();
    g_clean_stop.store(0, std::memory_order_release);
    g_cleaning = 1;
    update_buttons();
    invalidate();
    const INT_PTR mode = answer == 1 ? 0 : 1;
    g_clean_thread =
        CreateThread(nullptr, 0, clean_thread_proc, reinterpret_cast<LPVOID>(mode), 0, nullptr);
    if (!g_clean_thread) {
        g_cleaning = 0;
        update_buttons();
        message(hwnd, u"清理线程创建失败。", MB_ICONERROR);
    }
}

static void on_clean_done() {
    if (g_clean_thread) {
        CloseHandle(g_clean_thread);
        g_clean_thread = nullptr;
    }
    g_cleaning = 0;
    // Every checked file leaves the list, also those the engine could not remove.
    wv_prune_checked(&g_mainwin.scan);
    clamp_scroll();
    update_buttons();
    invalidate();
    char16_t text[256];
    wv_clean_done_text(g_clean_files, g_clean_freed, text, 256);
    message(g_mainwin.hwnd, text, MB_ICONINFORMATION);
}

static void on_sys_settings(HWND hwnd) {
    // Greyed in the menu while scanning; a stopped worker may still be
    // finishing, and it reads the whitelist without a lock.
    if (wv_state_scanning(g_state) || g_mainwin.scan.running.load(std::memory_order_acquire))
        return;
    dialog_settings(hwnd);
}

LRESULT CALLBACK wv_mainwin_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CREATE:
            on_create(hwnd);
            break;
        case WM_SIZE:
            update_buttons();
            clamp_scroll();
            invalidate();
            break;
        case WM_WINDOWPOSCHANGED:
            layout_buttons();
            invalidate();
            break;
        case WM_GETMINMAXINFO: {
            auto* mm = reinterpret_cast<MINMAXINFO*>(lp);
            mm->ptMinTrackSize.x = 640;
            mm->ptMinTrackSize.y = 480;
            break;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_DRAWITEM:
            on_draw_item(reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
            return TRUE;
        case WM_CLOSE:
            on_close(hwnd);
            return 0;
        case WM_DESTROY:
            on_destroy();
            return 0;
        case WM_PAINT:
            paint_main(hwnd);
            return 0;
        case WM_COMMAND:
            switch (LOWORD(wp)) {
                case ID_BTN_SCAN:
                    if (wv_state_scanning(g_state))
                        toggle_pause();
                    else
                        start_scan();
                    return 0;
                case ID_BTN_STOP:
                    stop_scan();
                    return 0;
                case ID_BTN_CLEAN:
                    do_clean();
                    return 0;
            }
            break;
        case WM_SYSCOMMAND:
            if ((wp & 0xFFF0) == ID_SYS_SETTINGS) {
                on_sys_settings(hwnd);
                return 0;
            }
            if ((wp & 0xFFF0) == ID_SYS_ABOUT) {
                dialog_about(hwnd);
                return 0;
            }
            break;
        case WM_SCAN_EVENT:
            on_scan_event(wp, lp);
            break;
        case WM_CLEAN_DONE:
            on_clean_done();
            return 0;
        case WM_LBUTTONDOWN:
            return on_left_button(hwnd, wp, lp);
        case WM_RBUTTONDOWN:
            return on_right_button(hwnd, wp, lp);
        case WM_MOUSEWHEEL:
            return on_mouse_wheel(hwnd, wp, lp);
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// The file "%s\icon.ico" beside the executable, else one directory up; the
// stock application icon when neither loads.
static void load_icons(HINSTANCE instance, HICON* large, HICON* small) {
    *large = *small = LoadIconW(nullptr, IDI_APPLICATION);
    wchar_t dir[1024];
    DWORD n = GetModuleFileNameW(instance, dir, 1024);
    if (n == 0 || n >= 1024) return;
    wchar_t* slash = wcsrchr(dir, L'\\');
    if (!slash) return;
    *slash = 0;
    for (const char16_t* form : {u"%s\\icon.ico", u"%s\\..\\icon.ico"}) {
        char16_t path[1024];
        if (!wv::format(path, 1024, form, wv_u(dir))) continue;
        auto big = static_cast<HICON>(
            LoadImageW(nullptr, wv_w(path), IMAGE_ICON, 32, 32, LR_LOADFROMFILE));
        if (!big) continue;
        *large = big;
        auto little = static_cast<HICON>(
            LoadImageW(nullptr, wv_w(path), IMAGE_ICON, 16, 16, LR_LOADFROMFILE));
        if (little) *small = little;
        return;
    }
}

HWND wv_mainwin_create(HINSTANCE instance, int show) {
    g_is_admin = wv_is_admin();
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = wv_mainwin_proc;
    wc.hInstance = instance;
    load_icons(instance, &wc.hIcon, &wc.hIconSm);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = k_class;
    if (!RegisterClassExW(&wc)) return nullptr;

    RECT area{};
    const BOOL have = SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const wv_size size =
        wv_window_size(have ? 1 : 0, area.right - area.left, area.bottom - area.top);
    HWND hwnd =
        CreateWindowExW(0, k_class, L"Welvo", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                        CW_USEDEFAULT, size.w, size.h, nullptr, nullptr, instance, nullptr);
    if (!hwnd) return nullptr;
    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);
    return hwnd;
}

int wv_mainwin_run(HINSTANCE instance, int show) {
    if (!wv_mainwin_create(instance, show)) return 0;
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    return int(m.wParam);
}
