// The about box: name, version and promises in a standard message box.
#include "ui/texts.h"
#include "ui/win/draw.h"
#include "ui/win/mainwin.h"

void dialog_about(HWND parent) {
    char16_t text[512];
    wv_about_text(text, 512);
    MessageBoxW(parent, wv_w(text), L"关于 Welvo", MB_OK | MB_ICONINFORMATION);
}
