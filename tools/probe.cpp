// welvo_probe: prints the catalogue and what each path template expands to on
// this machine, and whether each candidate exists, is protected or is missing.
// A look at the engine's view of a machine, without scanning or removing.
#include <cstdio>

#include "base/text.h"
#include "catalogue/catalogue.h"
#include "fs/fs.h"

static void print(const char16_t* s) {
    char out[4096];
    if (!wv::utf16_to_utf8(s, out, sizeof out)) std::snprintf(out, sizeof out, "(unprintable)");
    std::fputs(out, stdout);
}

int main() {
    static char16_t buffers[32][1024];
    char16_t* results[32];
    for (int i = 0; i < 32; ++i) results[i] = buffers[i];
    for (uint32_t i = 0; i < wv_apps_count(); ++i) {
        const wv_app* app = wv_apps_get(i);
        std::printf("%2u ", unsigned(i));
        print(app->id);
        std::printf("  risk %d%s  ", int(app->risk), app->default_unchecked ? " unchecked" : "");
        print(app->name);
        std::printf("\n");
        for (const char16_t* const* t = app->paths; *t; ++t) {
            std::printf("     ");
            print(*t);
            std::printf("\n");
            uint32_t n = wv_path_expand_wildcard(*t, results, 32);
            if (n == 0) {
                wv_path_expand(*t, buffers[0], 1024);
                n = 1;
            }
            for (uint32_t k = 0; k < n; ++k) {
                const char* what = wv_blacklist_match(results[k]) ? "protected"
                                   : wv_dir_exists(results[k])    ? "folder"
                                   : wv_file_exists(results[k])   ? "file"
                                                                  : "missing";
                std::printf("       %-9s ", what);
                print(results[k]);
                std::printf("\n");
            }
        }
    }
    return 0;
}
