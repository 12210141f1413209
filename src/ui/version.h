// The one place of the program's version: the resource script and the code
// both read it, so the file properties, the title and the about box agree.
#pragma once

#define WV_VERSION_MAJOR 1
#define WV_VERSION_MINOR 0
#define WV_VERSION_PATCH 0
#define WV_VERSION_BUILD 0

// "1.0.0": the title ("Welvo v1.0.0") and the about box.
#define WV_VERSION_TEXT "1.0.0"
// "1.0.0.0": the version resource's FileVersion and ProductVersion.
#define WV_VERSION_TEXT4 "1.0.0.0"
