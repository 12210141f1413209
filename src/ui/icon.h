// The program's icon, drawn in code: a 32 x 32 image of 32 bits per pixel
// with alpha, written as an .ico file. res/welvo.ico is its output, checked
// in so that the Windows build needs no host tool; a host test keeps the two
// equal.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr size_t WV_ICON_FILE_SIZE = 6 + 16 + 40 + 32 * 32 * 4 + 32 * 4;

// Writes the .ico into out; returns its size, or 0 when cap is too small.
size_t wv_icon_file(uint8_t* out, size_t cap);
