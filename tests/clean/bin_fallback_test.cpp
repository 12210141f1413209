// A Recycle Bin request that answers success while the file is still there.
// On Wine this happens when the bin cannot be used: the shell falls back to
// deleting the file, and a file another program holds open (sharing delete)
// stays until that program lets go. This is its own test program because
// Wine settles where its bin is at the process's first request.
#include <gtest/gtest.h>

#include "bin_probe.h"
#include "clean/clean.h"
#include "support/fixture.h"

using tfx::u16;

namespace {

os::handle hold_open(const u16& path) {
    return os::create_file(path.c_str(), os::generic_read,
                           os::file_share_read | os::file_share_delete, os::open_existing, 0);
}

TEST(CleanBinFallback, SuccessAnsweredForAFileStillThereCountsAsFailed) {
    tfx::scratch s;
    ASSERT_TRUE(s.file(u"held.tmp", 4));
    const u16 held = s.path(u"held.tmp");
    if (bin::disable(s.path(u"no-bin"))) {
        // First show the platform doing it to a bare request.
        ASSERT_TRUE(s.file(u"bare.tmp", 4));
        const u16 bare = s.path(u"bare.tmp");
        os::handle h = hold_open(bare);
        ASSERT_NE(h, os::invalid_handle);
        u16 from = bare + u16(1, u'\0');
        os::sh_file_op op{os::fo_delete, from.c_str(), nullptr, 0x0454, -1};
        EXPECT_EQ(os::sh_file_operation(&op), 0);
        EXPECT_EQ(op.any_operations_aborted, 0);
        EXPECT_TRUE(tfx::exists(bare)) << "the request no longer answers success for a file "
                                          "that stays; the case below is then moot here";
        os::close_handle(h);
    } else {
        ASSERT_TRUE(tfx::inject(held, tfx::fault::recycle_lies))
            << "neither backend can make the Recycle Bin keep a file it reports as recycled";
    }

    os::handle h = hold_open(held);
    ASSERT_NE(h, os::invalid_handle);
    uint32_t error = 0;
    EXPECT_EQ(wv_clean_one(held.c_str(), 0, &error), 0);
    EXPECT_EQ(error, WV_ERR_NOT_REMOVED);
    EXPECT_TRUE(tfx::exists(held));
    os::close_handle(h);
}

} // namespace
