#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/mem.h"
#include "support/fixture.h"
#include "tools/tools.h"

using tfx::narrow;
using tfx::u16;

namespace {

using bytes = std::vector<uint8_t>;

bytes noise(size_t n) {
    bytes v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(i * 7 + 3);
    return v;
}

struct write_op {
    uint64_t offset;
    bytes data;
};
using pass = std::vector<write_op>;

// The logged writes cut into passes at each flush.
std::vector<pass> passes_of(const std::vector<tfx::io_event>& log) {
    std::vector<pass> out(1);
    for (const tfx::io_event& e : log) {
        if (e.flush)
            out.emplace_back();
        else
            out.back().push_back({e.offset, e.bytes});
    }
    out.pop_back(); // what follows the last flush (nothing, when all went well)
    return out;
}

bool all_are(const bytes& b, uint8_t v) {
    for (uint8_t x : b)
        if (x != v) return false;
    return true;
}

// Shreds a file of `size` bytes with its I/O logged: the result, whether the
// file is gone, and the writes cut into passes.
struct logged_shred {
    int result = -1;
    bool gone = false;
    std::vector<pass> passes;
    logged_shred(size_t size, int n) {
        tfx::scratch s;
        const u16 f = s.path(u"secret.bin");
        if (!s.file_bytes(u"secret.bin", noise(size)) || !tfx::log_io(f)) return;
        result = wv_tool_file_shred(f.c_str(), n);
        gone = !tfx::exists(f);
        passes = passes_of(tfx::io_log(f));
    }
};

} // namespace

TEST(Shred, ThreePassesWriteZerosOnesAndOneRandomBlockThenDelete) {
    TFX_SIM_ONLY("reads the writes back from the simulated I/O log");
    logged_shred r(100000, 3);
    EXPECT_EQ(r.result, 1);
    EXPECT_TRUE(r.gone);
    const std::vector<pass>& p = r.passes;
    ASSERT_EQ(p.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(p[i].size(), 2u);
        EXPECT_EQ(p[i][0].offset, 0u);
        EXPECT_EQ(p[i][0].data.size(), 65536u);
        EXPECT_EQ(p[i][1].offset, 65536u);
        EXPECT_EQ(p[i][1].data.size(), 34464u);
        // The same block again, cut to what is left of the file.
        EXPECT_EQ(p[i][1].data, bytes(p[i][0].data.begin(), p[i][0].data.begin() + 34464));
    }
    EXPECT_TRUE(all_are(p[0][0].data, 0x00));
    EXPECT_TRUE(all_are(p[1][0].data, 0xFF));
    size_t zeros = 0, ones = 0;
    for (uint8_t x : p[2][0].data) zeros += x == 0x00, ones += x == 0xFF;
    EXPECT_LT(zeros, 1024u); // about 256 expected from random bytes
    EXPECT_LT(ones, 1024u);
}

TEST(Shred, PatternsCycleAndEachRandomPassDrawsAFreshBlock) {
    TFX_SIM_ONLY("reads the writes back from the simulated I/O log");
    logged_shred r(70000, 6);
    EXPECT_EQ(r.result, 1);
    const std::vector<pass>& p = r.passes;
    ASSERT_EQ(p.size(), 6u);
    EXPECT_TRUE(all_are(p[0][0].data, 0x00));
    EXPECT_TRUE(all_are(p[1][0].data, 0xFF));
    EXPECT_TRUE(all_are(p[3][0].data, 0x00)); // the fourth pass starts the cycle again
    EXPECT_TRUE(all_are(p[4][0].data, 0xFF));
    EXPECT_FALSE(all_are(p[2][0].data, p[2][0].data[0]));
    EXPECT_NE(p[2][0].data, p[5][0].data);
}

TEST(Shred, ARealFileIsOverwrittenAndGone) {
    tfx::scratch s;
    ASSERT_TRUE(s.file_bytes(u"real.bin", noise(100000)));
    ASSERT_TRUE(s.file_bytes(u"keep.bin", noise(10)));
    EXPECT_EQ(wv_tool_file_shred(s.path(u"real.bin").c_str(), 3), 1);
    EXPECT_FALSE(tfx::exists(s.path(u"real.bin")));
    EXPECT_EQ(tfx::list(s.root()), std::vector<u16>{u"keep.bin"});
}

TEST(Shred, NoPassesOrAnEmptyFileIsDeletedWithoutWriting) {
    struct tc {
        size_t size;
        int passes;
    };
    for (const tc& c : {tc{5000, 0}, tc{5000, -3}, tc{0, 3}}) {
        SCOPED_TRACE(testing::Message() << c.size << " bytes, " << c.passes << " passes");
        tfx::scratch s;
        const u16 f = s.path(u"f");
        ASSERT_TRUE(s.file_bytes(u"f", noise(c.size)));
        if (tfx::sim_backend()) ASSERT_TRUE(tfx::log_io(f));
        EXPECT_EQ(wv_tool_file_shred(f.c_str(), c.passes), 1);
        EXPECT_FALSE(tfx::exists(f));
        if (tfx::sim_backend())
            for (const tfx::io_event& e : tfx::io_log(f)) EXPECT_TRUE(e.flush);
    }
}

TEST(Shred, RefusedFilesStayAsTheyWere) {
    tfx::scratch s;
    const bytes content = noise(3000);
    ASSERT_TRUE(s.file_bytes(u"readonly", content, os::file_attribute_readonly));
    ASSERT_TRUE(s.file_bytes(u"inuse", content));
    ASSERT_TRUE(s.dir(u"folder"));
    std::vector<u16> refused = {s.path(u"readonly"), s.path(u"inuse"), s.path(u"folder"),
                                s.path(u"missing"), u"c:\\windows\\system32\\drivers\\etc\\hosts"};
    if (tfx::sim_backend()) {
        ASSERT_TRUE(s.file_bytes(u"denied", content));
        ASSERT_TRUE(tfx::inject(s.path(u"denied"), tfx::fault::open_denied));
        // Both names of a hard-linked file keep its contents: overwriting
        // one would ruin the other.
        ASSERT_TRUE(s.file_bytes(u"linked", content));
        ASSERT_TRUE(tfx::make_hard_link(s.path(u"second name"), s.path(u"linked")));
        // A link's target would be overwritten and only the link deleted.
        ASSERT_TRUE(s.file_bytes(u"target", content));
        ASSERT_TRUE(tfx::make_symlink(s.path(u"link"), s.path(u"target"), false));
        // A path that looks harmless but leads into a protected folder.
        ASSERT_TRUE(tfx::write_file(u"C:\\Program Files\\App\\app.exe", content));
        ASSERT_TRUE(tfx::make_junction(s.path(u"app"), u"C:\\Program Files\\App"));
        for (const char16_t* n : {u"denied", u"linked", u"second name", u"link"})
            refused.push_back(s.path(n));
        refused.push_back(s.path(u"app\\app.exe"));
    }
    std::vector<bytes> before;
    for (const u16& f : refused) before.push_back(tfx::read_all(f));
    // Held open without sharing by someone else.
    os::handle held =
        os::create_file(s.path(u"inuse").c_str(), os::generic_read, 0, os::open_existing, 0);
    ASSERT_NE(held, os::invalid_handle);
    for (size_t i = 0; i < refused.size(); ++i) {
        EXPECT_EQ(wv_tool_file_shred(refused[i].c_str(), 3), 0) << narrow(refused[i]);
        EXPECT_EQ(tfx::exists(refused[i]), !refused[i].ends_with(u"missing")) << narrow(refused[i]);
    }
    os::close_handle(held);
    for (size_t i = 0; i < refused.size(); ++i)
        EXPECT_EQ(tfx::read_all(refused[i]), before[i]) << narrow(refused[i]);
    EXPECT_EQ(tfx::read_all(s.path(u"readonly")), content);
    EXPECT_EQ(tfx::read_all(s.path(u"inuse")), content);
    EXPECT_EQ(wv_tool_file_shred(nullptr, 3), 0);
}

TEST(Shred, AFailedWriteEndsTheRunAndKeepsTheFile) {
    TFX_SIM_ONLY("injects a disk-full write");
    tfx::scratch s;
    const u16 f = s.path(u"f");
    ASSERT_TRUE(s.file_bytes(u"f", noise(100000)));
    ASSERT_TRUE(tfx::inject(f, tfx::fault::write_fails, 70000));
    ASSERT_TRUE(tfx::log_io(f));
    EXPECT_EQ(wv_tool_file_shred(f.c_str(), 3), 0);
    ASSERT_TRUE(tfx::exists(f));
    // The first pass got as far as the disk allowed, was flushed, and no
    // further pass followed.
    std::vector<tfx::io_event> log = tfx::io_log(f);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[1].offset, 65536u);
    EXPECT_EQ(log[1].bytes.size(), 70000u - 65536u);
    EXPECT_TRUE(log[2].flush);
    bytes now = tfx::read_all(f), old = noise(100000);
    EXPECT_TRUE(all_are(bytes(now.begin(), now.begin() + 70000), 0x00));
    EXPECT_EQ(bytes(now.begin() + 70000, now.end()), bytes(old.begin() + 70000, old.end()));
}

TEST(Shred, AFileThatCannotBeDeletedIsNotReportedShredded) {
    TFX_SIM_ONLY("injects a refused deletion");
    tfx::scratch s;
    const u16 f = s.path(u"f");
    ASSERT_TRUE(s.file_bytes(u"f", noise(5000)));
    ASSERT_TRUE(tfx::inject(f, tfx::fault::delete_denied));
    EXPECT_EQ(wv_tool_file_shred(f.c_str(), 1), 0);
    EXPECT_EQ(tfx::read_all(f), bytes(5000, 0x00)); // overwritten, but still there
    EXPECT_EQ(wv_tool_file_shred(f.c_str(), 0), 0);
    EXPECT_TRUE(tfx::exists(f));
}

TEST(Shred, FailedAllocationLeavesTheFileUntouched) {
    tfx::scratch s;
    const u16 f = s.path(u"f");
    ASSERT_TRUE(s.file_bytes(u"f", noise(5000)));
    wv::mem_set_fail_hook([](size_t) { return true; });
    int r = wv_tool_file_shred(f.c_str(), 3);
    wv::mem_set_fail_hook(nullptr);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(tfx::read_all(f), noise(5000));
}
