// Drives welvo.exe end to end as a person would, from outside its process:
// plants junk in the catalogue's locations, starts the program, clicks its
// buttons and rows (window messages), answers its dialogs, reads its window
// texts, samples the screen at the layout's coordinates, saves screenshots,
// and checks the files afterwards.
//
//   gui_driver <welvo.exe> <shots folder> <Recycle Bin folder>
//
// Runs under Wine on a virtual display (run_gui.sh prepares the prefix).
// Prints one line per check; exits 1 if any failed.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

namespace {

using std::wstring;

// ------------------------------------------------------------ reporting --

int g_failures;

std::string utf8(const wstring& w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), int(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

void say(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::vprintf(fmt, ap);
    va_end(ap);
    std::printf("\n");
    std::fflush(stdout);
}

bool check(bool ok, const char* what) {
    say("%s: %s", ok ? "ok  " : "FAIL", what);
    if (!ok) ++g_failures;
    return ok;
}

bool check_text(const wstring& got, const wstring& want, const char* what) {
    bool ok = got == want;
    if (!ok) say("      got \"%s\", want \"%s\"", utf8(got).c_str(), utf8(want).c_str());
    return check(ok, what);
}

[[noreturn]] void fatal(const char* what) {
    say("FAIL: %s (cannot go on)", what);
    std::exit(2);
}

bool wait_for(const std::function<bool()>& cond, int ms) {
    for (int waited = 0;; waited += 20) {
        if (cond()) return true;
        if (waited >= ms) return false;
        Sleep(20);
    }
}

// ------------------------------------------------------------ the files --

wstring expand(const wchar_t* s) {
    wchar_t out[1024];
    DWORD n = ExpandEnvironmentStringsW(s, out, 1024);
    return n && n <= 1024 ? wstring(out) : wstring();
}

bool make_dirs(const wstring& dir) {
    for (size_t i = 3; i <= dir.size(); ++i)
        if (i == dir.size() || dir[i] == L'\\') CreateDirectoryW(dir.substr(0, i).c_str(), nullptr);
    DWORD a = GetFileAttributesW(dir.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool exists(const wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

struct planted {
    wstring path;
    DWORD size;
};

planted plant(const wstring& path, DWORD size) {
    make_dirs(path.substr(0, path.rfind(L'\\')));
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) fatal("planting a file");
    std::vector<char> data(size, 'w');
    DWORD written = 0;
    if (size) WriteFile(h, data.data(), size, &written, nullptr);
    CloseHandle(h);
    if (written != size) fatal("writing a planted file");
    return {path, size};
}

// ----------------------------------------------------------- the screen --

// One capture of the whole screen; colours as COLORREF (0x00BBGGRR).
struct screen {
    int w = 0, h = 0;
    std::vector<uint32_t> bgra;
    COLORREF at(int x, int y) const {
        if (x < 0 || y < 0 || x >= w || y >= h) return 0xFFFFFFFF;
        uint32_t p = bgra[size_t(y) * size_t(w) + size_t(x)];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
};

screen capture() {
    screen s;
    s.w = GetSystemMetrics(SM_CXSCREEN);
    s.h = GetSystemMetrics(SM_CYSCREEN);
    HDC sdc = GetDC(nullptr);
    HDC mdc = CreateCompatibleDC(sdc);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = s.w;
    bi.bmiHeader.biHeight = -s.h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(mdc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mdc, bmp);
    BitBlt(mdc, 0, 0, s.w, s.h, sdc, 0, 0, SRCCOPY);
    GdiFlush();
    s.bgra.assign(static_cast<uint32_t*>(bits), static_cast<uint32_t*>(bits) + s.w * s.h);
    SelectObject(mdc, old);
    DeleteObject(bmp);
    DeleteDC(mdc);
    ReleaseDC(nullptr, sdc);
    return s;
}

wstring g_shots;

// Saves the window's rectangle of the screen as <name>.bmp (the script makes
// PNGs of them).
void save_shot(HWND hwnd, const char* name, const RECT* extra = nullptr) {
    screen s = capture();
    RECT r{};
    GetWindowRect(hwnd, &r);
    if (extra) UnionRect(&r, &r, extra);
    r.left = r.left < 0 ? 0 : r.left;
    r.top = r.top < 0 ? 0 : r.top;
    r.right = r.right > s.w ? s.w : r.right;
    r.bottom = r.bottom > s.h ? s.h : r.bottom;
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return;
    const int stride = w * 3 + ((4 - (w * 3) % 4) % 4);
    std::vector<uint8_t> rows(size_t(stride) * size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            COLORREF c = s.at(r.left + x, r.bottom - 1 - y); // bottom-up
            uint8_t* p = &rows[size_t(y) * size_t(stride) + size_t(x) * 3];
            p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
        }
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    ih.biSize = sizeof ih;
    ih.biWidth = w;
    ih.biHeight = h;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + DWORD(rows.size());
    wstring path = g_shots + L"\\" + wstring(name, name + std::strlen(name)) + L".bmp";
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f) return;
    std::fwrite(&fh, sizeof fh, 1, f);
    std::fwrite(&ih, sizeof ih, 1, f);
    std::fwrite(rows.data(), 1, rows.size(), f);
    std::fclose(f);
    say("shot: %s", name);
}

// --------------------------------------------------------- the program --

// The palette the Part lays down, as the screen must show it.
constexpr COLORREF bg = 0x0030221E, bg_card = 0x003B2B26, bg_panel = 0x00251A16,
                   bg_row = 0x00382823, bg_row_alt = 0x0043302A, border = 0x0055403A,
                   border_dim = 0x0046342F, accent = 0x00F6823B, risk_safe = 0x00ACEF86,
                   risk_caution = 0x0024BFFB, danger_fill = 0x007171F8, disabled_fill = 0x0055403A;

HWND g_main;
PROCESS_INFORMATION g_proc;

struct client_px {
    const screen& s;
    HWND hwnd;
    COLORREF operator()(int x, int y) const {
        POINT p{x, y};
        ClientToScreen(hwnd, &p);
        return s.at(p.x, p.y);
    }
};

void client_size(HWND hwnd, int* r, int* b) {
    RECT rc{};
    GetClientRect(hwnd, &rc);
    *r = rc.right;
    *b = rc.bottom;
}

wstring text_of(HWND hwnd) {
    wchar_t buf[1024] = {};
    GetWindowTextW(hwnd, buf, 1024);
    return buf;
}

HWND button(int id) {
    return GetDlgItem(g_main, id);
}

// Lets the program handle what was posted and repaint, then samples.
void settle(int ms = 250) {
    DWORD_PTR r;
    SendMessageTimeoutW(g_main, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &r);
    Sleep(ms);
    UpdateWindow(g_main);
    Sleep(100);
}

void click(int x, int y) {
    SendMessageW(g_main, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(g_main, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    settle(50);
}

void wheel(int delta) {
    SendMessageW(g_main, WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(short(delta))), MAKELPARAM(400, 400));
    settle(50);
}

void press(HWND b) {
    PostMessageW(b, BM_CLICK, 0, 0);
}

// A top-level window of the program with this class and caption.
HWND find_window(const wchar_t* cls, const wchar_t* caption, int ms = 5000) {
    HWND found = nullptr;
    wait_for(
        [&] {
            found = FindWindowW(cls, caption);
            return found && IsWindowVisible(found);
        },
        ms);
    return found;
}

// Counts the pixels of a colour in a client rectangle.
int count_color(const client_px& px, RECT r, COLORREF c) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) n += px(x, y) == c;
    return n;
}

// A check box drawn at (x, y) of side `size`: its fill and whether the mark
// (accent) is in it. -1 when no box is there.
int box_state(const client_px& px, int x, int y, int size) {
    if (px(x + size / 2, y) != border) return -1; // top edge of the outline
    RECT inner{x + 2, y + 2, x + size - 2, y + size - 2};
    return count_color(px, inner, accent) > 3 ? 1 : 0;
}

// ---------------------------------------------------- the result list --

struct category {
    int index;
    std::vector<wstring> files; // in list order, from the clipboard
};

wstring read_clipboard() {
    wstring text;
    for (int tries = 0; tries < 50 && !OpenClipboard(nullptr); ++tries) Sleep(20);
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* p = static_cast<const wchar_t*>(GlobalLock(h))) {
            text = p;
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    return text;
}

void clear_clipboard() {
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
}

// Right-clicks at (x, y) and picks the menu's item `index` (0 first) with the
// keyboard. Returns whether a menu came up.
bool menu_pick(int x, int y, int index) {
    PostMessageW(g_main, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(x, y));
    PostMessageW(g_main, WM_RBUTTONUP, 0, MAKELPARAM(x, y));
    HWND menu = find_window(L"#32768", nullptr, 3000);
    if (!menu) return false;
    Sleep(100);
    for (int i = 0; i <= index; ++i) {
        PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
        Sleep(50);
    }
    PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
    wait_for([&] { return !IsWindowVisible(menu); }, 3000);
    settle(100);
    return true;
}

std::vector<wstring> split_lines(const wstring& text) {
    std::vector<wstring> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find(L"\r\n", at);
        if (end == wstring::npos) break;
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

// The driver's mirror of the list layout: rows from the top of the list,
// categories with their files in list order and their expanded flags.
struct list_model {
    std::vector<category> cats;
    std::vector<int> expanded;
    int scroll = 0;
    int row_top(size_t c) const {
        int y = 86 - scroll;
        for (size_t j = 0; j < c; ++j) y += 46 + (expanded[j] ? 26 * int(cats[j].files.size()) : 0);
        return y;
    }
    int file_top(size_t c, size_t k) const { return row_top(c) + 46 + 26 * int(k); }
    int find(const wstring& path) const {
        for (size_t c = 0; c < cats.size(); ++c)
            for (const wstring& f : cats[c].files)
                if (f == path) return int(c);
        return -1;
    }
    int file_index(size_t c, const wstring& path) const {
        for (size_t k = 0; k < cats[c].files.size(); ++k)
            if (cats[c].files[k] == path) return int(k);
        return -1;
    }
    void toggle(size_t c) {
        expanded[c] = !expanded[c];
        int r, b;
        client_size(g_main, &r, &b);
        click(100, row_top(c) + 20);
    }
    void click_file(size_t c, const wstring& path) {
        int k = file_index(c, path);
        if (k < 0) fatal("a planted file is not in its category");
        click(300, file_top(c, size_t(k)) + 13);
    }
    void remove_files(const std::vector<wstring>& gone) {
        for (category& cat : cats)
            for (const wstring& g : gone)
                for (size_t k = 0; k < cat.files.size(); ++k)
                    if (cat.files[k] == g) cat.files.erase(cat.files.begin() + long(k));
    }
};

void resize(int w, int h) {
    SetWindowPos(g_main, nullptr, 0, 0, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    settle();
}

// Reads every category row through its context menu ("copy all paths").
list_model discover() {
    list_model m;
    screen s = capture();
    client_px px{s, g_main};
    int r, b;
    client_size(g_main, &r, &b);
    for (int i = 0;; ++i) {
        int y = 86 + 46 * i;
        if (y + 46 > b - 106) break;
        COLORREF bar = px(2, y + 20);
        if (bar != risk_safe && bar != risk_caution && bar != 0x007171F8) break;
        clear_clipboard();
        if (!menu_pick(100, y + 20, 0)) fatal("no context menu on a category row");
        m.cats.push_back({i, split_lines(read_clipboard())});
        m.expanded.push_back(0);
    }
    return m;
}

void close_message_box(HWND box) {
    HWND ok = FindWindowExW(box, nullptr, L"Button", nullptr);
    if (ok)
        PostMessageW(ok, BM_CLICK, 0, 0);
    else
        PostMessageW(box, WM_CLOSE, 0, 0);
    wait_for([&] { return !IsWindow(box); }, 5000);
    settle();
}

// The longest static text of a message box: its message.
wstring message_text(HWND box) {
    wstring best;
    for (HWND c = FindWindowExW(box, nullptr, L"Static", nullptr); c;
         c = FindWindowExW(box, c, L"Static", nullptr)) {
        wstring t = text_of(c);
        if (t.size() > best.size()) best = t;
    }
    return best;
}

int count_children(HWND parent, const wchar_t* cls) {
    int n = 0;
    for (HWND c = FindWindowExW(parent, nullptr, cls, nullptr); c;
         c = FindWindowExW(parent, c, cls, nullptr))
        ++n;
    return n;
}

HWND open_confirm() {
    press(button(1003));
    return find_window(L"WelvoDialogClass", L"确认清理");
}

bool gone(HWND w) {
    return wait_for([&] { return !IsWindow(w); }, 3000);
}

// ------------------------------------------------------------- the plan --

struct plants {
    planted a, b, c;                   // user temp: a and b go to the Recycle Bin
    std::vector<planted> many;         // user temp: enough rows to scroll
    planted inet;                      // INetCache
    planted chrome_default, chrome_p1; // Chrome caches: deleted for good
    planted chrome_gpu;                // Chrome cache, left unchecked
    planted chrome_kept;               // inside the whitelisted folder
    planted chrome_cookie, edge_cookie;
    planted edge_default, edge_p1; // Edge caches: deleted for good
    planted wechat, vscode_cache, vscode_data, prefetch;
    planted protected_wer; // under C:\ProgramData: never listed
    wstring whitelisted;
};

plants plant_all() {
    plants p;
    const wstring temp = expand(L"%TEMP%\\welvo-e2e");
    const wstring local = expand(L"%LOCALAPPDATA%");
    const wstring chrome = local + L"\\Google\\Chrome\\User Data";
    const wstring edge = local + L"\\Microsoft\\Edge\\User Data";
    p.a = plant(temp + L"\\a.tmp", 1000);
    p.b = plant(temp + L"\\b.log", 2072); // with a: 3,072 bytes, "3.0 KB"
    p.c = plant(temp + L"\\sub\\c.tmp", 500);
    for (int i = 0; i < 40; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"\\many\\m%02d.tmp", i);
        p.many.push_back(plant(temp + name, 100));
    }
    p.inet = plant(local + L"\\Microsoft\\Windows\\INetCache\\IE\\E2E0001\\page.htm", 3000);
    p.chrome_default = plant(chrome + L"\\Default\\Cache\\Cache_Data\\f_000001", 4096);
    p.chrome_p1 = plant(chrome + L"\\Profile 1\\Code Cache\\js\\index", 2048);
    p.chrome_gpu = plant(chrome + L"\\Default\\GPUCache\\data_1", 1024);
    p.whitelisted = chrome + L"\\Default\\Cache\\Keep";
    p.chrome_kept = plant(p.whitelisted + L"\\kept.bin", 777);
    p.chrome_cookie = plant(chrome + L"\\Default\\Cookies", 5000);
    p.edge_default = plant(edge + L"\\Default\\Cache\\Cache_Data\\e_1", 1500);
    p.edge_p1 = plant(edge + L"\\Profile 1\\GPUCache\\e_2", 2500);
    p.edge_cookie = plant(edge + L"\\Profile 1\\Cookies", 600);
    p.wechat = plant(expand(L"%USERPROFILE%\\Documents\\WeChat Files\\wxid_e2e\\FileStorage\\Cache"
                            L"\\2024-05\\w.dat"),
                     3333);
    p.vscode_cache = plant(expand(L"%APPDATA%\\Code\\Cache\\Cache_Data\\v_1"), 1111);
    p.vscode_data = plant(expand(L"%APPDATA%\\Code\\CachedData\\0123\\v.bin"), 2222);
    p.prefetch = plant(expand(L"%WINDIR%\\Prefetch\\WELVO-E2E.pf"), 800);
    p.protected_wer =
        plant(expand(L"%PROGRAMDATA%\\Microsoft\\Windows\\WER\\ReportQueue\\e2e\\Report.wer"), 900);
    return p;
}

std::vector<const planted*> all_planted(const plants& p) {
    std::vector<const planted*> v{&p.a,
                                  &p.b,
                                  &p.c,
                                  &p.inet,
                                  &p.chrome_default,
                                  &p.chrome_p1,
                                  &p.chrome_gpu,
                                  &p.chrome_kept,
                                  &p.chrome_cookie,
                                  &p.edge_default,
                                  &p.edge_p1,
                                  &p.edge_cookie,
                                  &p.wechat,
                                  &p.vscode_cache,
                                  &p.vscode_data,
                                  &p.prefetch,
                                  &p.protected_wer};
    for (const planted& m : p.many) v.push_back(&m);
    return v;
}

void idle_checks() {
    check_text(text_of(g_main), L"Welvo v1.0.0", "title");
    // run_gui.sh puts icon.ico one directory above the program only.
    const HICON stock = LoadIconW(nullptr, IDI_APPLICATION);
    check(HICON(GetClassLongPtrW(g_main, GCLP_HICON)) != stock &&
              HICON(GetClassLongPtrW(g_main, GCLP_HICONSM)) != stock,
          "icon.ico one directory up used for both icons");
    RECT wr{};
    GetWindowRect(g_main, &wr);
    check(wr.right - wr.left == 900 && wr.bottom - wr.top == 700,
          "900 x 700 window from a large work area");
    check_text(text_of(button(1001)), L"开始扫描", "scan button reads 开始扫描");
    check(IsWindowVisible(button(1001)) && IsWindowEnabled(button(1001)), "scan button enabled");
    check(!IsWindowVisible(button(1002)), "stop button hidden");
    check_text(text_of(button(1003)), L"清理选中项", "clean button reads 清理选中项");
    check(!IsWindowEnabled(button(1003)), "clean button disabled before the first scan");

    screen s = capture();
    client_px px{s, g_main};
    int r, b;
    client_size(g_main, &r, &b);
    check(px(r - 40, 10) == bg_panel, "header band in bg_panel");
    check(px(300, 77) == border, "header line in border at y 77");
    check(px(5, 78) == bg && px(r - 5, b - 107) == bg, "list band in bg");
    check(px(5, b - 106) == border, "footer line in border at B - 106");
    check(px(5, b - 60) == bg_panel, "footer band in bg_panel");
    check(px(5, b - 1) == border_dim, "bottom line in border_dim");
    check(box_state(px, r - 143, b - 89, 15) == 0, "select-all box drawn, unchecked");
    check(count_color(px, RECT{r - 120, b - 100, r - 86, b - 64}, 0x0072605A) > 0,
          "全选 in text_dim with no file");
    check(count_color(px, RECT{20, b - 52, r - 430, b - 14}, 0x0072605A) == 0,
          "no administrator notice (Wine runs as administrator)");
    POINT scan_origin{0, 0};
    ClientToScreen(button(1003), &scan_origin);
    POINT main_origin{0, 0};
    ClientToScreen(g_main, &main_origin);
    check(scan_origin.x - main_origin.x == r - 180 && scan_origin.y - main_origin.y == b - 52,
          "clean button at (R - 180, B - 52)");
    check(px(r - 180 + 3, b - 52 + 19) == disabled_fill, "disabled clean button face");
    check(px(r - 320 + 6, b - 52 + 19) == accent, "scan button face in accent");
}

void settings_checks(const plants& p) {
    PostMessageW(g_main, WM_SYSCOMMAND, 0x0100, 0);
    HWND dlg = find_window(L"WelvoDialogClass", L"Welvo - 设置");
    if (!check(dlg != nullptr, "设置… in the system menu opens the settings dialog")) return;
    settle(300);
    check(!IsWindowEnabled(g_main), "main window disabled under the settings dialog");
    RECT wr{};
    GetWindowRect(dlg, &wr);
    RECT mr{};
    GetWindowRect(g_main, &mr);
    check(wr.right - wr.left == 460 && wr.bottom - wr.top == 680, "settings dialog 460 x 680");
    check(wr.left == mr.left + 220 && wr.top == mr.top + 40,
          "settings dialog placed over the parent");
    const struct {
        int id;
        const wchar_t* text;
    } controls[] = {{1001, L"新增路径"},
                    {1002, L"删除末尾项"},
                    {1003, L"导出"},
                    {1004, L"导入"},
                    {101, L"移入回收站（推荐）"},
                    {102, L"直接删除（不推荐）"},
                    {201, L"扫描 Docker 缓存（高危）"},
                    {202, L"扫描 npm/pip 包缓存（谨慎）"},
                    {2, L"关闭"}};
    bool all = true;
    for (const auto& c : controls) all &= text_of(GetDlgItem(dlg, c.id)) == c.text;
    check(all, "settings controls with their labels");
    check(SendMessageW(GetDlgItem(dlg, 101), BM_GETCHECK, 0, 0) == BST_CHECKED,
          "移入回收站（推荐） selected");

    screen s = capture();
    client_px px{s, dlg};
    check(px(30, 100) == border && px(35, 104) == bg_card, "whitelist box in bg_card with border");
    check(px(40, 110) == bg_row, "first whitelist row in bg_row");
    check(px(40, 140) == bg_card, "no second row: one entry");
    check(px(5, 5) == bg, "dialog background in bg");
    save_shot(dlg, "4-settings");

    // The options are connected to nothing: they start afresh every time.
    SendMessageW(GetDlgItem(dlg, 102), BM_CLICK, 0, 0);
    SendMessageW(GetDlgItem(dlg, 201), BM_CLICK, 0, 0);
    SendMessageW(GetDlgItem(dlg, 202), BM_CLICK, 0, 0);
    check(SendMessageW(GetDlgItem(dlg, 102), BM_GETCHECK, 0, 0) == BST_CHECKED,
          "直接删除 can be chosen");
    press(GetDlgItem(dlg, 2));
    check(gone(dlg), "关闭 closes the settings dialog");
    settle();
    check(IsWindowEnabled(g_main), "main window enabled again");

    PostMessageW(g_main, WM_SYSCOMMAND, 0x0100, 0);
    dlg = find_window(L"WelvoDialogClass", L"Welvo - 设置");
    if (!check(dlg != nullptr, "settings dialog opens again")) return;
    check(SendMessageW(GetDlgItem(dlg, 101), BM_GETCHECK, 0, 0) == BST_CHECKED &&
              SendMessageW(GetDlgItem(dlg, 201), BM_GETCHECK, 0, 0) == BST_UNCHECKED &&
              SendMessageW(GetDlgItem(dlg, 202), BM_GETCHECK, 0, 0) == BST_UNCHECKED,
          "reopened: recycle selected, both scan options clear");
    PostMessageW(dlg, WM_CLOSE, 0, 0);
    check(gone(dlg), "the close box closes the settings dialog");
    settle();
    check(IsWindowEnabled(g_main), "main window enabled after the close box");
    (void)p;
}

// Opens the title bar's menu from the keyboard (Alt+Space) and picks its
// last item, "关于 Welvo", the way a person would.
void about_checks() {
    SetForegroundWindow(g_main);
    PostMessageW(g_main, WM_SYSCOMMAND, SC_KEYMENU, ' ');
    HWND menu = find_window(L"#32768", nullptr, 3000);
    if (!check(menu != nullptr, "Alt+Space opens the title bar's menu")) return;
    Sleep(300);
    RECT mr{};
    GetWindowRect(menu, &mr);
    save_shot(g_main, "0-system-menu", &mr);
    PostMessageW(menu, WM_KEYDOWN, VK_UP, 0); // from the first item round to the last
    Sleep(100);
    PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
    HWND box = find_window(L"#32770", L"关于 Welvo");
    if (!check(box != nullptr, "its last item, 关于 Welvo, opens the about box")) return;
    settle(300);
    const wstring text = message_text(box);
    const wstring head = L"Welvo (Welvo) v1.0.0\n\n一款纯本地运行、安全优先的\nWindows "
                         L"垃圾缓存清理工具。\n\n特性：\n· 不上传任何用户数据\n· "
                         L"无广告、无后台静默清理\n· 只扫描、预览，全部由您确认后再清理\n· "
                         L"高危项默认不勾选\n· 支持移入回收站\n\n";
    check_text(text.substr(0, head.size()), head, "about text: the eleven lines");
    check(text.size() > head.size() && text.find(L'\n', head.size()) == wstring::npos,
          "about text: one closing line");
    check(count_children(box, L"Button") == 1, "about box has one button");
    save_shot(box, "6-about", nullptr);
    close_message_box(box);
}

void wait_scan_done(const char* what) {
    check(wait_for([] { return text_of(button(1001)) == L"重新扫描"; }, 180000), what);
    settle();
}

struct found {
    int temp = -1, inet = -1, chrome = -1, chrome_cookie = -1, edge = -1, edge_cookie = -1,
        wechat = -1, vscode = -1, prefetch = -1;
};

found locate(const list_model& m, const plants& p) {
    found f;
    f.temp = m.find(p.a.path);
    f.inet = m.find(p.inet.path);
    f.chrome = m.find(p.chrome_default.path);
    f.chrome_cookie = m.find(p.chrome_cookie.path);
    f.edge = m.find(p.edge_default.path);
    f.edge_cookie = m.find(p.edge_cookie.path);
    f.wechat = m.find(p.wechat.path);
    f.vscode = m.find(p.vscode_cache.path);
    f.prefetch = m.find(p.prefetch.path);
    return f;
}

void discovery_checks(const list_model& m, const found& f, const plants& p) {
    say("      %d categories listed", int(m.cats.size()));
    check(f.temp >= 0 && m.find(p.b.path) == f.temp && m.find(p.c.path) == f.temp &&
              m.find(p.many[39].path) == f.temp,
          "user temp files listed in one category");
    check(f.inet >= 0, "INetCache file listed");
    check(f.chrome >= 0 && m.find(p.chrome_p1.path) == f.chrome &&
              m.find(p.chrome_gpu.path) == f.chrome,
          "Chrome caches of Default and Profile 1 listed in one category");
    check(f.edge >= 0 && m.find(p.edge_p1.path) == f.edge,
          "Edge caches of Default and Profile 1 listed in one category");
    check(f.chrome_cookie >= 0 && m.cats[size_t(f.chrome_cookie)].files.size() == 1,
          "Chrome cookie file listed in its own category");
    check(f.edge_cookie >= 0, "Edge cookie file listed");
    check(f.wechat >= 0, "WeChat cache under Documents listed");
    check(f.vscode >= 0 && m.find(p.vscode_data.path) == f.vscode, "VS Code caches listed");
    check(f.prefetch >= 0, "Prefetch file listed");
    check(m.find(p.chrome_kept.path) < 0, "whitelisted file not listed");
    check(m.find(p.protected_wer.path) < 0, "protected file not listed");
    check(f.temp < f.inet && f.inet < f.edge && f.edge < f.edge_cookie &&
              f.edge_cookie < f.chrome && f.chrome < f.chrome_cookie &&
              f.chrome_cookie < f.wechat && f.wechat < f.vscode,
          "categories in catalogue order");
    bool none_empty = true;
    for (const category& c : m.cats) none_empty &= !c.files.empty();
    check(none_empty, "no empty category after the scan");
}

void default_check_marks(const list_model& m, const found& f) {
    screen s = capture();
    client_px px{s, g_main};
    int r, b;
    client_size(g_main, &r, &b);
    auto cat_box = [&](int c) { return box_state(px, r - 35, m.row_top(size_t(c)) + 15, 15); };
    auto bar = [&](int c) { return px(2, m.row_top(size_t(c)) + 20); };
    check(cat_box(f.temp) == 1 && cat_box(f.chrome) == 1 && cat_box(f.wechat) == 1 &&
              cat_box(f.vscode) == 1,
          "safe caches start checked");
    check(cat_box(f.chrome_cookie) == 0 && cat_box(f.edge_cookie) == 0,
          "cookie categories start unchecked");
    check(cat_box(f.prefetch) == 0, "caution category starts unchecked");
    check(bar(f.prefetch) == risk_caution && bar(f.temp) == risk_safe,
          "risk bars: caution and safe colours");
    const int y = m.row_top(size_t(f.temp));
    check(px(300, y + 4) == bg_card, "category row in bg_card");
    check(px(2, y + 5) == bg_card && px(2, y + 6) == risk_safe && px(4, y + 20) == bg_card,
          "risk bar at (0, y + 6, 4, y + 40)");
    // ">" reaches down to y + 28 on the left and never right of x 32; "v"
    // reaches x 34 and never below y + 26.
    check(count_color(px, RECT{25, y + 26, 29, y + 30}, 0x00B2A39A) > 0 &&
              count_color(px, RECT{33, y + 17, 37, y + 24}, 0x00B2A39A) == 0,
          "collapsed chevron points right");
}

// Expands user temp at the standard size: the screenshot of a finished scan.
void expanded_checks(list_model& m, const found& f, const plants& p) {
    m.toggle(size_t(f.temp));
    screen s = capture();
    client_px px{s, g_main};
    int r, b;
    client_size(g_main, &r, &b);
    const int y = m.row_top(size_t(f.temp));
    check(count_color(px, RECT{33, y + 17, 37, y + 24}, 0x00B2A39A) > 0 &&
              count_color(px, RECT{24, y + 27, 30, y + 31}, 0x00B2A39A) == 0,
          "expanded chevron points down");
    const int fy = m.file_top(size_t(f.temp), 0);
    check(px(50, fy + 3) == bg_row && px(r - 60, fy + 20) == bg_row, "file row in bg_row");
    check(px(42, fy + 13) == border && px(43, fy + 13) == bg_row, "file row line at x 42");
    check(box_state(px, r - 33, fy + 6, 13) == 1, "file check box at (R - 33, fy + 6), checked");
    const int many = int(m.cats[size_t(f.temp)].files.size());
    const int visible = (b - 106 - (y + 46) + 25) / 26;
    int rows = 0;
    for (int k = 0; k < many && k < visible; ++k)
        rows += px(50, m.file_top(size_t(f.temp), size_t(k)) + 3) == bg_row;
    check(rows == (visible < many ? visible : many), "one file row per file down to the footer");
    check(px(r - 5, 90) == 0x00523A32 || px(r - 5, 82) == 0x00523A32, "scroll thumb at the top");
    save_shot(g_main, "2-scan-expanded");

    // Unchecking one file: its box, the category's and the footer's.
    m.click_file(size_t(f.temp), p.a.path);
    s = capture();
    const int ay = m.file_top(size_t(f.temp), size_t(m.file_index(size_t(f.temp), p.a.path)));
    check(box_state(px, r - 33, ay + 6, 13) == 0, "a click on the path unchecks the file");
    check(box_state(px, r - 35, y + 15, 15) == 0, "category box no longer checked");
    m.click_file(size_t(f.temp), p.a.path);
    s = capture();
    check(box_state(px, r - 33, ay + 6, 13) == 1, "a second click checks it again");

    // Wheel: one notch down moves everything up by 60 pixels.
    const int probe = m.file_top(size_t(f.temp), 5) + 3;
    wheel(-120);
    m.scroll = 60;
    s = capture();
    check(px(42, probe - 60 + 10) == border && px(2, y - 60 + 20) != risk_safe,
          "one wheel notch scrolls 60 pixels");
    check(px(300, 77) == border && px(760, 60) == bg_panel, "header intact while scrolled");
    wheel(-60);
    s = capture();
    check(px(42, probe - 60 + 10) == border, "a partial notch scrolls nothing");
    wheel(120 * 50);
    m.scroll = 0;
    s = capture();
    check(px(2, y + 20) == risk_safe, "scrolling up stops at the top");
    m.toggle(size_t(f.temp));
}

// Tall window: every row fits, so clicks need no scrolling.
void selection_checks(list_model& m, const found& f) {
    int r, b;
    client_size(g_main, &r, &b);
    const size_t chrome = size_t(f.chrome);
    m.toggle(chrome);
    screen s = capture();
    client_px px{s, g_main};
    const int cy = m.row_top(chrome);
    check(box_state(px, r - 35, cy + 15, 15) == 1, "Chrome cache checked");

    // The file row's menu: the full path, then the name alone.
    const wstring first = m.cats[chrome].files[0];
    clear_clipboard();
    check(menu_pick(300, m.file_top(chrome, 0) + 13, 0) && read_clipboard() == first,
          "复制完整路径 copies the file's path");
    clear_clipboard();
    check(menu_pick(300, m.file_top(chrome, 0) + 13, 1) &&
              read_clipboard() == first.substr(first.rfind(L'\\') + 1),
          "复制文件名 copies its name");
    PostMessageW(g_main, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(300, 40));
    PostMessageW(g_main, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(300, b - 50));
    check(!find_window(L"#32768", nullptr, 1000), "no menu on the header or the footer");

    click(r - 30, cy + 20); // the category's box: all checked, so none
    s = capture();
    bool none = true;
    for (size_t k = 0; k < m.cats[chrome].files.size(); ++k)
        none &= box_state(px, r - 33, m.file_top(chrome, k) + 6, 13) == 0;
    check(none && box_state(px, r - 35, cy + 15, 15) == 0, "category box unchecks all its files");
    check(px(50, m.file_top(chrome, 0) + 3) == bg_row, "the category box does not collapse");
    click(r - 30, cy + 20);
    s = capture();
    check(box_state(px, r - 35, cy + 15, 15) == 1, "and checks them all again");

    // Footer: select all, then all again (none), invert (all), invert (none).
    click(r - 100, b - 80);
    s = capture();
    check(box_state(px, r - 143, b - 89, 15) == 1 &&
              box_state(px, r - 35, m.row_top(size_t(f.chrome_cookie)) + 15, 15) == 1,
          "全选 checks every file, cookies too");
    click(r - 100, b - 80);
    s = capture();
    check(box_state(px, r - 143, b - 89, 15) == 0 &&
              box_state(px, r - 35, m.row_top(size_t(f.temp)) + 15, 15) == 0,
          "全选 again unchecks every file");
    settle();
    check(!IsWindowEnabled(button(1003)), "clean button disabled with nothing checked");
    click(r - 50, b - 80);
    s = capture();
    check(box_state(px, r - 143, b - 89, 15) == 1, "反选 of nothing checks everything");
    check(IsWindowEnabled(button(1003)), "clean button enabled again");
    click(r - 50, b - 80);
    s = capture();
    check(box_state(px, r - 143, b - 89, 15) == 0 && box_state(px, r - 35, cy + 15, 15) == 0,
          "反选 again unchecks everything");
    m.toggle(chrome);
}

void expect_files(const plants& p, const std::vector<wstring>& removed, const char* what) {
    bool ok = true;
    for (const planted* x : all_planted(p)) {
        bool should = true;
        for (const wstring& g : removed) should &= g != x->path;
        if (exists(x->path) != should) {
            say("      %s: %s", should ? "missing" : "still there", utf8(x->path).c_str());
            ok = false;
        }
    }
    check(ok, what);
}

wstring base_name(const wstring& path) {
    return path.substr(path.rfind(L'\\') + 1);
}

bool in_bin(const wstring& bin, const wstring& path) {
    return exists(bin + L"\\files\\" + base_name(path));
}

void confirm_checks(HWND dlg, const plants& p) {
    settle(300);
    check(!IsWindowEnabled(g_main), "main window disabled under the confirmation");
    RECT rc{};
    GetClientRect(dlg, &rc);
    check(rc.right == 420 && rc.bottom == 178, "confirmation client area 420 x 178");
    RECT dr{}, mr{};
    GetWindowRect(dlg, &dr);
    GetWindowRect(g_main, &mr);
    check(dr.left == mr.left + ((mr.right - mr.left) - (dr.right - dr.left)) / 2 &&
              dr.top == mr.top + ((mr.bottom - mr.top) - (dr.bottom - dr.top)) / 2,
          "confirmation centred on the main window");
    check_text(text_of(GetDlgItem(dlg, 3001)), L"放入垃圾站", "button 3001");
    check_text(text_of(GetDlgItem(dlg, 3002)), L"永久删除", "button 3002");
    check_text(text_of(GetDlgItem(dlg, 2)), L"取消", "button 2");
    screen s = capture();
    client_px px{s, dlg};
    check(px(5, 5) == bg && px(72, 118) == bg, "dialog background in bg");
    check(px(80, 136) == accent, "放入垃圾站 in the primary colour");
    check(px(198, 136) == danger_fill, "永久删除 in the danger colour");
    check(px(315, 136) == bg_card && px(350, 119) == border, "取消 secondary, bordered");
    (void)p;
}

void recycle_clean(list_model& m, const found& f, const plants& p, const wstring& bin) {
    const size_t temp = size_t(f.temp);
    m.toggle(temp);
    m.click_file(temp, p.a.path);
    m.click_file(temp, p.b.path);
    m.toggle(temp);
    settle();
    check(IsWindowEnabled(button(1003)), "clean button enabled with two files checked");

    resize(900, 700);
    HWND dlg = open_confirm();
    if (!check(dlg != nullptr, "清理选中项 opens the confirmation")) return;
    confirm_checks(dlg, p);
    save_shot(g_main, "3-confirm");

    PostMessageW(dlg, WM_KEYDOWN, VK_RETURN, 0);
    settle(400);
    check(IsWindow(dlg) != 0, "Enter does nothing");
    PostMessageW(dlg, WM_KEYDOWN, VK_ESCAPE, 0);
    check(gone(dlg), "Escape closes the confirmation");
    settle();
    check(IsWindowEnabled(g_main) && GetForegroundWindow() == g_main,
          "main window enabled and in front after Escape");
    expect_files(p, {}, "Escape removed nothing");

    dlg = open_confirm();
    PostMessageW(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
    check(gone(dlg), "the close box closes the confirmation");
    dlg = open_confirm();
    press(GetDlgItem(dlg, 2));
    check(gone(dlg), "取消 closes the confirmation");
    settle();
    expect_files(p, {}, "cancelling removed nothing");

    dlg = open_confirm();
    press(GetDlgItem(dlg, 3001));
    HWND done = find_window(L"#32770", L"Welvo", 60000);
    if (!check(done != nullptr, "completion message after 放入垃圾站")) return;
    settle(300);
    check_text(message_text(done), L"清理完成：2 个文件，释放 3.0 KB。", "completion text");
    RECT box_rect{};
    GetWindowRect(done, &box_rect);
    save_shot(g_main, "5-done", &box_rect);
    close_message_box(done);
    expect_files(p, {p.a.path, p.b.path}, "exactly the two checked files removed");
    check(in_bin(bin, p.a.path) && in_bin(bin, p.b.path), "both are in the Recycle Bin");
    check_text(text_of(button(1001)), L"重新扫描", "scan button back to 重新扫描");
    check(IsWindowEnabled(button(1001)) && !IsWindowEnabled(button(1003)),
          "scan enabled, clean disabled: the checked files left the list");
    m.remove_files({p.a.path, p.b.path});
}

void permanent_clean(list_model& m, const found& f, const plants& p, const wstring& bin) {
    resize(900, 1000);
    int r, b;
    client_size(g_main, &r, &b);
    const size_t chrome = size_t(f.chrome), edge = size_t(f.edge);
    screen s = capture();
    client_px px{s, g_main};
    check(box_state(px, r - 143, b - 89, 15) == 0, "nothing checked after the clean");
    m.toggle(chrome);
    m.click_file(chrome, p.chrome_default.path);
    m.click_file(chrome, p.chrome_p1.path);
    m.toggle(chrome);
    click(r - 30, m.row_top(edge) + 20); // both Edge cache files
    HWND dlg = open_confirm();
    if (!check(dlg != nullptr, "confirmation for the permanent clean")) return;
    press(GetDlgItem(dlg, 3002));
    HWND done = find_window(L"#32770", L"Welvo", 60000);
    if (!check(done != nullptr, "completion message after 永久删除")) return;
    check_text(message_text(done), L"清理完成：4 个文件，释放 9.9 KB。", "completion text");
    close_message_box(done);
    const std::vector<wstring> removed{
        p.a.path,      p.b.path, p.chrome_default.path, p.chrome_p1.path, p.edge_default.path,
        p.edge_p1.path};
    expect_files(p, removed, "exactly the checked files removed");
    check(!in_bin(bin, p.chrome_default.path) && !in_bin(bin, p.edge_p1.path),
          "deleted for good: not in the Recycle Bin");
    m.remove_files(removed);

    // The emptied Edge category stays, collapsed, and ignores its box.
    s = capture();
    const int ey = m.row_top(edge);
    check(px(2, ey + 20) == risk_safe, "emptied category still listed");
    click(r - 30, ey + 20);
    s = capture();
    check(box_state(px, r - 35, ey + 15, 15) == 0 && px(50, ey + 46 + 3) != bg_row,
          "its box does nothing and it stays collapsed");
}

// A new scan, paused at once so that it is certainly still running.
void start_paused_scan(const char* what) {
    press(button(1001));
    press(button(1001));
    check(wait_for([] { return text_of(button(1001)) == L"继续扫描"; }, 10000), what);
    settle();
}

void stale_event_and_stop() {
    start_paused_scan("scan button reads 继续扫描 when paused");
    check(IsWindowVisible(button(1002)) && text_of(button(1002)) == L"停止扫描",
          "stop button shown while scanning");
    check(!IsWindowEnabled(button(1003)), "clean button disabled while scanning");
    // Events of the first run, arriving late: they must not end this one.
    PostMessageW(g_main, WM_USER + 100, 3, 1);
    PostMessageW(g_main, WM_USER + 100, 4, 1);
    settle(300);
    check(text_of(button(1001)) == L"继续扫描" && IsWindowVisible(button(1002)),
          "a stale end-of-scan event leaves the running scan alone");
    save_shot(g_main, "7-paused");

    // While a scan runs the whitelist is not to be edited.
    PostMessageW(g_main, WM_SYSCOMMAND, 0x0100, 0);
    check(!find_window(L"WelvoDialogClass", L"Welvo - 设置", 1000),
          "no settings dialog while a scan runs");

    press(button(1002));
    settle();
    check(text_of(button(1001)) == L"重新扫描" && !IsWindowVisible(button(1002)),
          "stop during a pause: 重新扫描 at once, stop button hidden");
}

// Removes the only whitelist entry: the list box shows its placeholder.
void whitelist_removal() {
    HWND dlg = nullptr;
    // The stopped worker may take a moment to end; until then the dialog is refused.
    for (int i = 0; i < 20 && !dlg; ++i) {
        PostMessageW(g_main, WM_SYSCOMMAND, 0x0100, 0);
        dlg = find_window(L"WelvoDialogClass", L"Welvo - 设置", 500);
    }
    if (!check(dlg != nullptr, "settings dialog after the scan was stopped")) return;
    press(GetDlgItem(dlg, 1002));
    Sleep(300);
    UpdateWindow(dlg);
    Sleep(200);
    screen s = capture();
    client_px px{s, dlg};
    check(px(40, 110) == bg_card, "删除末尾项 removed the entry");
    check(count_color(px, RECT{31, 200, 409, 270}, 0x0072605A) > 0, "placeholder text shown");
    save_shot(dlg, "8-settings-empty");
    PostMessageW(dlg, WM_CLOSE, 0, 0);
    check(gone(dlg), "settings dialog closed");
    settle();
}

void close_during_scan() {
    start_paused_scan("a third scan, paused");
    const DWORD start = GetTickCount();
    PostMessageW(g_main, WM_CLOSE, 0, 0);
    const DWORD wait = WaitForSingleObject(g_proc.hProcess, 10000);
    const DWORD spent = GetTickCount() - start;
    say("      closed during a paused scan in %lu ms", spent);
    check(wait == WAIT_OBJECT_0 && spent < 4000, "closing during a scan returns promptly");
    DWORD code = 1;
    GetExitCodeProcess(g_proc.hProcess, &code);
    check(code == 0, "exit code 0");
}

} // namespace
int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: gui_driver <welvo.exe> <shots folder> <Recycle Bin folder>\n");
        return 2;
    }
    const wstring exe = argv[1];
    g_shots = argv[2];
    const wstring bin = argv[3];

    const plants p = plant_all();
    const wstring dir = exe.substr(0, exe.rfind(L'\\'));
    const wstring ini = dir + L"\\welvo.ini";
    DeleteFileW(ini.c_str());
    if (!WritePrivateProfileStringW(L"WHITELIST", L"path0", p.whitelisted.c_str(), ini.c_str()))
        fatal("writing welvo.ini");

    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::vector<wchar_t> cmd(exe.begin(), exe.end());
    cmd.push_back(0);
    if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(),
                        &si, &g_proc))
        fatal("starting welvo.exe");
    WaitForInputIdle(g_proc.hProcess, 10000);
    g_main = find_window(L"WelvoMainWindow", nullptr, 15000);
    if (!g_main) fatal("the main window did not appear");
    SetWindowPos(g_main, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    settle(500);

    idle_checks();
    save_shot(g_main, "1-idle");
    settings_checks(p);
    about_checks();

    press(button(1001));
    wait_scan_done("first scan ends: scan button reads 重新扫描");
    check(!IsWindowVisible(button(1002)), "stop button hidden after the scan");
    check(IsWindowEnabled(button(1003)), "clean button enabled: safe files start checked");

    resize(900, 1000);
    list_model m = discover();
    const found f = locate(m, p);
    discovery_checks(m, f, p);
    if (f.temp < 0 || f.chrome < 0 || f.edge < 0 || f.chrome_cookie < 0 || f.prefetch < 0 ||
        f.wechat < 0 || f.vscode < 0 || f.edge_cookie < 0)
        fatal("the planted categories are not all listed");
    default_check_marks(m, f);
    resize(900, 700);
    expanded_checks(m, f, p);
    resize(900, 1000);
    selection_checks(m, f);
    recycle_clean(m, f, p, bin);
    permanent_clean(m, f, p, bin);
    resize(300, 200);
    RECT wr{};
    GetWindowRect(g_main, &wr);
    check(wr.right - wr.left == 640 && wr.bottom - wr.top == 480, "no smaller than 640 x 480");
    resize(900, 700);
    stale_event_and_stop();
    whitelist_removal();
    close_during_scan();

    const std::vector<wstring> removed{
        p.a.path,      p.b.path, p.chrome_default.path, p.chrome_p1.path, p.edge_default.path,
        p.edge_p1.path};
    expect_files(p, removed,
                 "after closing: unchecked, cookie, whitelisted, protected files intact");
    wchar_t kept[1024] = {};
    GetPrivateProfileStringW(L"WHITELIST", L"path0", L"(none)", kept, 1024, ini.c_str());
    check_text(kept, L"(none)", "the emptied whitelist saved");

    say("%d check(s) failed", g_failures);
    return g_failures ? 1 : 0;
}
