#include <gtest/gtest.h>

#include "base/mem.h"
#include "base/text.h"
#include "scan_builder.h"
#include "support/fixture.h"
#include "ui/layout.h"
#include "ui/texts.h"

using tfx::narrow;
using uitest::scan_builder;

namespace {

TEST(Texts, ConfirmationAndCompletion) {
    char16_t out[256];
    wv_confirm_text(12, 1536, out, 160);
    EXPECT_EQ(narrow(out), "已选中 12 个文件，共 1.5 KB");
    wv_confirm_text(1, 0, out, 160);
    EXPECT_EQ(narrow(out), "已选中 1 个文件，共 0 B");
    wv_confirm_text(3, 1048575, out, 160);
    EXPECT_EQ(narrow(out), "已选中 3 个文件，共 1024.0 KB");
    wv_clean_done_text(4294967295u, ~uint64_t(0), out, 256);
    EXPECT_EQ(narrow(out), "清理完成：4294967295 个文件，释放 16777216.0 TB。");
    wv_clean_done_text(0, 0, out, 256);
    EXPECT_EQ(narrow(out), "清理完成：0 个文件，释放 0 B。");
}

TEST(Texts, AboutTextFitsAndStartsWithTheElevenLines) {
    char16_t out[512];
    wv_about_text(out, 512);
    const std::string text = narrow(out);
    const std::string head = "Welvo (Welvo) v1.0.0\n"
                             "\n"
                             "一款纯本地运行、安全优先的\n"
                             "Windows 垃圾缓存清理工具。\n"
                             "\n"
                             "特性：\n"
                             "· 不上传任何用户数据\n"
                             "· 无广告、无后台静默清理\n"
                             "· 只扫描、预览，全部由您确认后再清理\n"
                             "· 高危项默认不勾选\n"
                             "· 支持移入回收站\n"
                             "\n";
    ASSERT_GT(text.size(), head.size());
    EXPECT_EQ(text.substr(0, head.size()), head);
    const std::string closing = text.substr(head.size());
    EXPECT_EQ(closing.find('\n'), std::string::npos); // one closing line
    EXPECT_LT(wv::str_len(out), 300u);                // well under 512: never cut
}

TEST(Texts, ExplorerParametersAndFileName) {
    char16_t out[1060];
    ASSERT_TRUE(wv_explorer_params(u"C:\\a b\\c.txt", out, 1057));
    EXPECT_EQ(narrow(out), "/select,\"C:\\a b\\c.txt\"");
    // A path that does not fit is refused rather than cut.
    EXPECT_FALSE(wv_explorer_params(u"C:\\abcdef", out, 12));

    EXPECT_EQ(narrow(wv_file_name_part(u"C:\\dir\\name.tmp")), "name.tmp");
    EXPECT_EQ(narrow(wv_file_name_part(u"plain")), "plain");
    EXPECT_EQ(narrow(wv_file_name_part(u"C:\\dir\\")), "");
}

TEST(Texts, CategoryPathsEachEndWithCrLf) {
    scan_builder b;
    wv_category* two = b.add(u"two", {{1, 1}, {2, 0}});
    char16_t* text = wv_category_paths_text(two);
    ASSERT_TRUE(text);
    EXPECT_EQ(narrow(text), "C:\\t\\two\\f0.bin\r\nC:\\t\\two\\f1.bin\r\n");
    wv::mem_free(text);

    wv_category* none = b.add(u"none", {});
    text = wv_category_paths_text(none);
    ASSERT_TRUE(text);
    EXPECT_EQ(text[0], 0);
    wv::mem_free(text);

    wv::mem_set_fail_hook([](size_t) { return true; });
    EXPECT_EQ(wv_category_paths_text(two), nullptr);
    wv::mem_set_fail_hook(nullptr);
}

TEST(Texts, StatusLineByState) {
    char16_t out[300];
    wv_status_line(STATE_SCANNING, u"正在扫描：临时文件 (C:\\t)", out, 300);
    EXPECT_EQ(narrow(out), "正在扫描：临时文件 (C:\\t)");
    wv_status_line(STATE_PAUSED, nullptr, out, 300);
    EXPECT_EQ(narrow(out), "正在扫描...");
    wv_status_line(STATE_DONE, u"ignored", out, 300);
    EXPECT_EQ(narrow(out), "扫描完成，勾选需要清理的项目后点击 [清理选中项]");
    wv_status_line(STATE_IDLE, u"ignored", out, 300);
    EXPECT_EQ(narrow(out), "纯本地运行 · 不上传任何数据 · 无广告 · 安全优先");
}

} // namespace
