// Writes the program's icon file: make_icon <out.ico>. A host tool; its
// output is checked in as res/welvo.ico.
#include <cstdio>

#include "ui/icon.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icon <out.ico>\n");
        return 2;
    }
    static uint8_t data[WV_ICON_FILE_SIZE];
    size_t n = wv_icon_file(data, sizeof data);
    FILE* f = std::fopen(argv[1], "wb");
    if (!f || std::fwrite(data, 1, n, f) != n || std::fclose(f) != 0) {
        std::fprintf(stderr, "make_icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
