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

// Asks Windows not to follow junctions that a non-administrator created
// (the redirection-trust policy of Windows 10 22H2 and later), so that a
// cache folder swapped for such a junction cannot redirect what this process,
// often run as an administrator, opens or removes. The engine checks every
// removal's real location anyway; this closes the same door one level down.
// Absent on older systems, where the call is simply not there or refused.
static void enforce_redirection_trust() {
    using set_fn = BOOL(WINAPI*)(int policy, void* buffer, SIZE_T size);
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    if (!kernel32) return;
    auto set = reinterpret_cast<set_fn>(
        reinterpret_cast<void*>(GetProcAddress(kernel32, "SetProcessMitigationPolicy")));
    if (!set) return;
    const int process_redirection_trust_policy = 16; // PROCESS_MITIGATION_POLICY value
    DWORD flags = 1;                                 // EnforceRedirectionTrust
    set(process_redirection_trust_policy, &flags, sizeof flags);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    set_dpi_awareness();
    enforce_redirection_trust();
    wv_theme_init();
    wv_whitelist_init();
    const int result = wv_mainwin_run(instance, show);
    wv_whitelist_close();
    return result;
}
