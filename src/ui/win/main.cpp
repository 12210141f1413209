// The entry point: DPI awareness, palette, whitelist, the main window.
#include <windows.h>

#include "ui/theme.h"
#include "ui/win/mainwin.h"
#include "whitelist/whitelist.h"

// Looked up rather than imported, so that the program still starts where
// user32 lacks it (before Windows 10 1703); the result is ignored either way.
static void set_dpi_awareness() {
    using set_fn = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (!user32) return;
    auto set = reinterpret_cast<set_fn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
    if (set) set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    set_dpi_awareness();
    wv_theme_init();
    wv_whitelist_init();
    const int result = wv_mainwin_run(instance, show);
    wv_whitelist_close();
    return result;
}
