// The settings dialog: the whitelist, and a clean-mode choice and two scan
// options that nothing reads.
#include <windows.h>

#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>

#include "ui/layout.h"
#include "ui/theme.h"
#include "ui/win/draw.h"
#include "ui/win/mainwin.h"
#include "whitelist/whitelist.h"

namespace {

struct wv_settings_state {
    HWND dialog;
    HWND parent;
    HFONT normal_font;
    HFONT bold_font;
};

constexpr int ID_ADD = 1001;
constexpr int ID_REMOVE_LAST = 1002;
constexpr int ID_EXPORT = 1003;
constexpr int ID_IMPORT = 1004;
constexpr int ID_MODE_RECYCLE = 101;
constexpr int ID_MODE_DELETE = 102;
constexpr int ID_SCAN_DOCKER = 201;
constexpr int ID_SCAN_PACKAGES = 202;

void control(HWND dlg, const wchar_t* label, DWORD type, int x, int y, int w, int h, int id) {
    CreateWindowExW(0, L"BUTTON", label, WS_CHILD | WS_VISIBLE | type, x, y, w, h, dlg,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
}

void on_create(HWND hwnd, wv_settings_state* st) {
    st->dialog = hwnd;
    st->normal_font = wv_font(14, 400);
    st->bold_font = wv_font(16, 700);
    control(hwnd, L"新增路径", BS_PUSHBUTTON, 30, 380, 100, 32, ID_ADD);
    control(hwnd, L"删除末尾项", BS_PUSHBUTTON, 140, 380, 100, 32, ID_REMOVE_LAST);
    control(hwnd, L"导出", BS_PUSHBUTTON, 250, 380, 80, 32, ID_EXPORT);
    control(hwnd, L"导入", BS_PUSHBUTTON, 340, 380, 80, 32, ID_IMPORT);
    control(hwnd, L"默认清理方式：", BS_GROUPBOX, 30, 430, 400, 80, 0);
    control(hwnd, L"移入回收站（推荐）", BS_AUTORADIOBUTTON | WS_GROUP, 50, 460, 200, 24,
            ID_MODE_RECYCLE);
    control(hwnd, L"直接删除（不推荐）", BS_AUTORADIOBUTTON, 50, 488, 220, 24, ID_MODE_DELETE);
    CheckDlgButton(hwnd, ID_MODE_RECYCLE, BST_CHECKED);
    control(hwnd, L"可选扫描项：", BS_GROUPBOX, 30, 520, 400, 56, 0);
    control(hwnd, L"扫描 Docker 缓存（高危）", BS_AUTOCHECKBOX, 50, 540, 220, 24, ID_SCAN_DOCKER);
    control(hwnd, L"扫描 npm/pip 包缓存（谨慎）", BS_AUTOCHECKBOX, 250, 540, 230, 24,
            ID_SCAN_PACKAGES);
    control(hwnd, L"关闭", BS_PUSHBUTTON, 340, 600, 100, 36, IDCANCEL);
    SetWindowTextW(hwnd, L"Welvo - 设置");
}

void paint(HWND hwnd, wv_settings_state* st) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    wv_draw_rect(dc, &ps.rcPaint, g_theme.bg, 0);
    if (st->bold_font) SelectObject(dc, st->bold_font);
    RECT title{30, 20, 430, 50};
    wv_draw_text(dc, L"Welvo 设置", &title, g_theme.text, DT_VCENTER);
    if (st->normal_font) SelectObject(dc, st->normal_font);
    RECT label{30, 70, 400, 96};
    wv_draw_text(dc, L"白名单目录 / 文件（这些永远不会被扫描）", &label, g_theme.text_muted,
                 DT_VCENTER);
    const RECT list{30, 100, 410, 370};
    wv_draw_rect(dc, &list, g_theme.bg_card, g_theme.border);
    if (st->normal_font) SelectObject(dc, st->normal_font);
    const uint32_t n = wv_whitelist_count();
    if (n > 0 && list.top + 32 <= list.bottom) {
        for (uint32_t i = 0; i < n; ++i) {
            const LONG top = list.top + 8 + 24 * LONG(i);
            const LONG bottom = top + 24;
            if (bottom > list.bottom) break;
            RECT row{list.left + 8, top, list.right - 8, bottom};
            wv_draw_rect(dc, &row, (i % 2) ? g_theme.bg_row_alt : g_theme.bg_row, 0);
            RECT text{list.left + 12, top, list.right - 12, bottom};
            wv_draw_text(dc, wv_w(wv_whitelist_get(i)), &text, g_theme.text, DT_VCENTER);
        }
    } else if (n == 0) {
        RECT box = list;
        wv_draw_text(dc, L"（白名单为空）点击 [新增路径] 添加", &box, g_theme.text_dim,
                     DT_CENTER | DT_VCENTER);
    }
    EndPaint(hwnd, &ps);
}

void add_folder(HWND hwnd) {
    BROWSEINFOW bi{};
    bi.hwndOwner = hwnd;
    bi.lpszTitle = L"选择要加入白名单的目录";
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    if (PIDLIST_ABSOLUTE pidl = SHBrowseForFolderW(&bi)) {
        wchar_t path[1024] = {};
        SHGetPathFromIDListW(pidl, path);
        CoTaskMemFree(pidl);
        if (path[0]) wv_whitelist_add(wv_u(path));
    }
}

// The file dialogs' structure: text files first, then all files.
OPENFILENAMEW file_dialog(HWND hwnd, wchar_t* file, DWORD flags, const wchar_t* ext) {
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hwnd;
    ofn.lpstrFilter = L"文本文件\0*.txt\0所有文件\0*.*\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = 260;
    ofn.Flags = flags;
    ofn.lpstrDefExt = ext;
    return ofn;
}

void on_command(HWND hwnd, int id) {
    switch (id) {
        case ID_ADD:
            add_folder(hwnd);
            InvalidateRect(hwnd, nullptr, TRUE);
            break;
        case ID_REMOVE_LAST:
            if (uint32_t n = wv_whitelist_count(); n > 0) {
                // wv_whitelist_get points into the list; remove compares it
                // before moving anything.
                wv_whitelist_remove(wv_whitelist_get(n - 1));
                InvalidateRect(hwnd, nullptr, TRUE);
            }
            break;
        case ID_EXPORT: {
            wchar_t file[260] = {};
            OPENFILENAMEW ofn =
                file_dialog(hwnd, file, OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST, L"txt");
            if (GetSaveFileNameW(&ofn)) wv_whitelist_export(wv_u(file));
            break;
        }
        case ID_IMPORT: {
            wchar_t file[260] = {};
            OPENFILENAMEW ofn =
                file_dialog(hwnd, file, OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST, nullptr);
            if (GetOpenFileNameW(&ofn)) wv_whitelist_import(wv_u(file));
            InvalidateRect(hwnd, nullptr, TRUE);
            break;
        }
        case IDCANCEL:
            DestroyWindow(hwnd);
            break;
    }
}

LRESULT CALLBACK settings_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* st = reinterpret_cast<wv_settings_state*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!st && msg != WM_NCCREATE) return DefWindowProcW(hwnd, msg, wp, lp);
    switch (msg) {
        case WM_NCCREATE: {
            auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lp);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
            break;
        }
        case WM_CREATE:
            on_create(hwnd, st);
            break;
        case WM_PAINT:
            paint(hwnd, st);
            return 0;
        case WM_COMMAND:
            on_command(hwnd, LOWORD(wp));
            break;
        case WM_CLOSE:
            DestroyWindow(hwnd);
            break;
        case WM_DESTROY:
            EnableWindow(st->parent, TRUE);
            SetFocus(st->parent);
            break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// The shared class's procedure is DefWindowProcW; the settings window gets
// its own before its first message through a creation hook of this thread.
const wv_settings_state* g_creating;

LRESULT CALLBACK creation_hook(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_CREATEWND) {
        auto* cbt = reinterpret_cast<const CBT_CREATEWNDW*>(lp);
        if (g_creating && cbt->lpcs->lpCreateParams == g_creating)
            SetWindowLongPtrW(reinterpret_cast<HWND>(wp), GWLP_WNDPROC,
                              reinterpret_cast<LONG_PTR>(settings_proc));
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

} // namespace

int dialog_settings(HWND parent) {
    register_dialog_class();
    wv_settings_state st{};
    st.parent = parent;
    RECT pr{};
    GetWindowRect(parent, &pr);
    const wv_rect parent_rect = wv_from_rect(pr);
    const wv_point at = wv_settings_position(&parent_rect);

    HHOOK hook = SetWindowsHookExW(WH_CBT, creation_hook, nullptr, GetCurrentThreadId());
    g_creating = &st;
    HWND dlg = CreateWindowExW(
        0, L"WelvoDialogClass", L"设置", WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU, at.x,
        at.y, SETTINGS_WIDTH, SETTINGS_HEIGHT, parent, nullptr, GetModuleHandleW(nullptr), &st);
    g_creating = nullptr;
    if (hook) UnhookWindowsHookEx(hook);
    if (!dlg) return 0;
    EnableWindow(parent, FALSE);

    // No IsDialogMessageW: no Tab navigation, and Escape and Enter do nothing.
    run_modal_loop(dlg, false);
    for (HFONT f : {st.normal_font, st.bold_font})
        if (f) DeleteObject(f);
    return 0;
}
