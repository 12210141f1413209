// The main window: its globals, shared by the window's source files (frame
// and state machine in mainwin.cpp, paint and mouse in list.cpp), and the
// entry points of the dialogs.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "clean/clean.h"
#include "scan/scan.h"
#include "ui/layout.h"

inline constexpr UINT WM_SCAN_EVENT = WM_USER + 100; // wParam code, lParam run
inline constexpr UINT WM_CLEAN_DONE = WM_USER + 101;

inline constexpr int ID_BTN_SCAN = 1001;
inline constexpr int ID_BTN_STOP = 1002;
inline constexpr int ID_BTN_CLEAN = 1003;

inline constexpr UINT ID_MENU_COPY_PATH = 2101;
inline constexpr UINT ID_MENU_COPY_NAME = 2102;
inline constexpr UINT ID_MENU_OPEN_FOLDER = 2103;
inline constexpr UINT ID_MENU_COPY_CATEGORY = 2104;

// System menu commands: multiples of 16 below 0xF000, since the system uses
// the low four bits of WM_SYSCOMMAND's wParam.
inline constexpr UINT ID_SYS_SETTINGS = 0x0100;
inline constexpr UINT ID_SYS_ABOUT = 0x0110;

inline constexpr uint32_t WV_CLEAN_RESULTS = 256;

struct wv_mainwin {
    HWND hwnd;
    wv_scan scan;
};

extern wv_mainwin g_mainwin;
extern HFONT g_font, g_font_bold, g_font_title;
extern HWND g_btn_scan, g_btn_stop, g_btn_clean;
extern int32_t g_state;
extern int32_t g_scroll_y;
extern uint8_t g_cleaning;
extern HANDLE g_clean_thread;
extern uint64_t g_clean_freed;
extern uint32_t g_clean_files;
extern wv_clean_result g_clean_results[WV_CLEAN_RESULTS];
extern int32_t g_last_cw, g_last_ch, g_last_state;
// The scan run whose events the window accepts; raised at every start.
extern std::atomic<uint32_t> g_scan_run;
// Asks the clean worker to end between files (set when the window closes).
extern std::atomic<int32_t> g_clean_stop;
// Membership of the Administrators group, tested once at start-up.
extern int g_is_admin;

int wv_mainwin_run(HINSTANCE instance, int show);
// Registers the class and creates and shows the window, without the loop.
HWND wv_mainwin_create(HINSTANCE instance, int show);
LRESULT CALLBACK wv_mainwin_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
int wv_is_admin();

void update_buttons();
void layout_buttons();
int list_content_height();
void clamp_scroll();

// list.cpp: the paint and the mouse.
void paint_main(HWND hwnd);
LRESULT on_left_button(HWND hwnd, WPARAM wp, LPARAM lp);
LRESULT on_right_button(HWND hwnd, WPARAM wp, LPARAM lp);
LRESULT on_mouse_wheel(HWND hwnd, WPARAM wp, LPARAM lp);

// The dialogs.
extern ATOM g_dlg_class_atom;
ATOM register_dialog_class();
// Dispatches the thread's messages until the dialog is gone; `dialog_keys`
// lets IsDialogMessageW turn Escape into IDCANCEL.
void run_modal_loop(HWND dlg, bool dialog_keys);
int dialog_clean_confirm(HWND parent, uint32_t files, uint64_t bytes);
int dialog_settings(HWND parent);
void dialog_about(HWND parent);
