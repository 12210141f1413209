#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "ui/icon.h"

namespace {

uint32_t get32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

TEST(Icon, OneImageOf32By32At32Bits) {
    std::vector<uint8_t> ico(WV_ICON_FILE_SIZE);
    ASSERT_EQ(wv_icon_file(ico.data(), ico.size()), WV_ICON_FILE_SIZE);
    EXPECT_EQ(wv_icon_file(ico.data(), ico.size() - 1), 0u);
    EXPECT_EQ(get32(&ico[0]) & 0xFFFF, 0u); // reserved
    EXPECT_EQ(ico[2] | ico[3] << 8, 1);     // type: icon
    EXPECT_EQ(ico[4] | ico[5] << 8, 1);     // one image
    EXPECT_EQ(ico[6], 32);                  // width
    EXPECT_EQ(ico[7], 32);                  // height
    EXPECT_EQ(ico[12] | ico[13] << 8, 32);  // bits per pixel
    EXPECT_EQ(get32(&ico[14]), WV_ICON_FILE_SIZE - 22);
    EXPECT_EQ(get32(&ico[18]), 22u);
    EXPECT_EQ(get32(&ico[22]), 40u); // BITMAPINFOHEADER
    EXPECT_EQ(get32(&ico[26]), 32u);
    EXPECT_EQ(get32(&ico[30]), 64u); // colour image and mask

    // Transparent corners, an opaque centre, and the mask agreeing with alpha.
    const uint8_t* pixels = &ico[62];
    const uint8_t* mask = pixels + 32 * 32 * 4;
    auto alpha = [&](int x, int y) { return pixels[((31 - y) * 32 + x) * 4 + 3]; };
    auto masked = [&](int x, int y) { return (mask[(31 - y) * 4 + x / 8] >> (7 - x % 8)) & 1; };
    EXPECT_EQ(alpha(0, 0), 0);
    EXPECT_EQ(masked(0, 0), 1);
    EXPECT_EQ(alpha(16, 16), 255);
    EXPECT_EQ(masked(16, 16), 0);
}

TEST(Icon, CheckedInFileIsTheGeneratorsOutput) {
    std::vector<uint8_t> want(WV_ICON_FILE_SIZE);
    wv_icon_file(want.data(), want.size());
    FILE* f = std::fopen(WV_ICON_PATH, "rb");
    ASSERT_TRUE(f) << WV_ICON_PATH;
    std::vector<uint8_t> have(WV_ICON_FILE_SIZE + 1);
    const size_t n = std::fread(have.data(), 1, have.size(), f);
    std::fclose(f);
    have.resize(n);
    EXPECT_EQ(have, want) << "regenerate src/ui/res/welvo.ico with welvo_make_icon";
}

} // namespace
