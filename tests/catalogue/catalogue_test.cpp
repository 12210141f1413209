#include <gtest/gtest.h>

#include <string>

#include "base/text.h"
#include "catalogue/catalogue.h"
#include "support/fixture.h"

using tfx::narrow;

namespace {

struct expected_app {
    uint32_t index;
    const char16_t* id;
    const char16_t* name;
    int32_t risk;
    int32_t default_unchecked;
    const char16_t* templates; // joined with ';'
};

// The whole table as it must be, row by row.
const expected_app k_expected[] = {
    {0, u"sys_temp_user", u"用户临时文件 %TEMP%", 0, 0, u"%TEMP%"},
    {1, u"sys_temp_system", u"系统临时文件 C:\\Windows\\Temp", 0, 0, u"%WINDIR%\\Temp"},
    {2, u"sys_thumbnails", u"缩略图缓存", 0, 0, u"%LOCALAPPDATA%\\Microsoft\\Windows\\Explorer"},
    {3, u"sys_logs", u"系统日志文件", 0, 0, u"%WINDIR%\\Logs;%WINDIR%\\System32\\winevt\\Logs"},
    {4, u"sys_error_report", u"Windows 错误报告 WER", 0, 0,
     u"%LOCALAPPDATA%\\Microsoft\\Windows\\WER;%PROGRAMDATA%\\Microsoft\\Windows\\WER"},
    {5, u"sys_recycle", u"回收站", 0, 0, u"C:\\$Recycle.Bin"},
    {6, u"sys_crash_dumps", u"程序崩溃转储 CrashDumps", 0, 0, u"%LOCALAPPDATA%\\CrashDumps"},
    {7, u"sys_inet_cache", u"系统网络缓存 INetCache", 0, 0,
     u"%LOCALAPPDATA%\\Microsoft\\Windows\\INetCache"},
    {8, u"sys_delivery_opt", u"Windows 更新分发作缓存", 1, 0,
     u"%WINDIR%\\SoftwareDistribution\\DeliveryOptimization"},
    {9, u"sys_prefetch", u"系统预读取 Prefetch（谨慎）", 1, 0, u"%WINDIR%\\Prefetch"},
    {10, u"edge_cache", u"Edge 缓存", 0, 0,
     u"%LOCALAPPDATA%\\Microsoft\\Edge\\User Data\\*\\Cache;%LOCALAPPDATA%\\Microsoft\\Edge\\User "
     u"Data\\*\\Code Cache;%LOCALAPPDATA%\\Microsoft\\Edge\\User Data\\*\\GPUCache"},
    {11, u"edge_cookie", u"Edge Cookie（默认不勾选）", 0, 0,
     u"%LOCALAPPDATA%\\Microsoft\\Edge\\User Data\\*\\Cookies"},
    {12, u"edge_history", u"Edge 历史记录（默认不勾选）", 0, 0,
     u"%LOCALAPPDATA%\\Microsoft\\Edge\\User Data\\*\\History"},
    {13, u"chrome_cache", u"Chrome 缓存", 0, 0,
     u"%LOCALAPPDATA%\\Google\\Chrome\\User Data\\*\\Cache;%LOCALAPPDATA%\\Google\\Chrome\\User "
     u"Data\\*\\Code Cache;%LOCALAPPDATA%\\Google\\Chrome\\User Data\\*\\GPUCache"},
    {14, u"chrome_cookie", u"Chrome Cookie（默认不勾选）", 0, 0,
     u"%LOCALAPPDATA%\\Google\\Chrome\\User Data\\*\\Cookies"},
    {15, u"chrome_history", u"Chrome 历史记录（默认不勾选）", 0, 0,
     u"%LOCALAPPDATA%\\Google\\Chrome\\User Data\\*\\History"},
    {16, u"360_cache", u"360 浏览器缓存", 0, 0,
     u"%LOCALAPPDATA%\\360Chrome\\Chrome\\User "
     u"Data\\*\\Cache;%LOCALAPPDATA%\\360Chrome\\Chrome\\User Data\\*\\GPUCache"},
    {17, u"qqbrowser_cache", u"QQ 浏览器缓存", 0, 0,
     u"%LOCALAPPDATA%\\Tencent\\QQBrowser\\User "
     u"Data\\*\\Cache;%LOCALAPPDATA%\\Tencent\\QQBrowser\\User Data\\*\\GPUCache"},
    {18, u"wechat_cache", u"微信 图片视频缓存/日志", 0, 0,
     u"%USERPROFILE%\\Documents\\WeChat "
     u"Files\\*\\FileStorage\\Cache;%USERPROFILE%\\Documents\\WeChat "
     u"Files\\*\\FileStorage\\Image;%USERPROFILE%\\Documents\\WeChat "
     u"Files\\*\\FileStorage\\Video;%USERPROFILE%\\Documents\\WeChat "
     u"Files\\*\\FileStorage\\CustomEmotion;%USERPROFILE%\\Documents\\WeChat "
     u"Files\\*\\FileStorage\\MsgAttach;%USERPROFILE%\\Documents\\WeChat "
     u"Files\\*\\FileStorage\\Temp;%USERPROFILE%\\Documents\\WeChat "
     u"Files\\*\\FileStorage\\TempFromPhone;%USERPROFILE%\\Documents\\WeChat "
     u"Files\\*\\FileStorage\\Sns;%USERPROFILE%\\Documents\\WeChat "
     u"Files\\*\\FileStorage\\XEditor;%USERPROFILE%\\Documents\\WeChat "
     u"Files\\*\\Cache;%USERPROFILE%\\Documents\\WeChat "
     u"Files\\*\\Image;%USERPROFILE%\\Documents\\WeChat "
     u"Files\\*\\Video;%USERPROFILE%\\Documents\\xwechat_files\\*\\msg\\attach;%USERPROFILE%"
     u"\\Documents\\xwechat_files\\*\\cache;%USERPROFILE%\\Documents\\xwechat_files\\*\\temp;%"
     u"APPDATA%\\Tencent\\WeChat\\*\\Caches"},
    {19, u"wechat_recv", u"微信 用户接收文件目录（默认不勾选）", 0, 1,
     u"%USERPROFILE%\\Documents\\WeChat "
     u"Files\\*\\FileStorage\\File;%USERPROFILE%\\Documents\\WeChat "
     u"Files\\*\\File;%USERPROFILE%\\Documents\\WeChat "
     u"Files\\*\\Msg\\*\\File;%USERPROFILE%\\Documents\\xwechat_files\\*\\msg\\file"},
    {20, u"qq_cache", u"QQ 图片视频缓存/日志", 0, 0,
     u"%USERPROFILE%\\Documents\\Tencent Files\\*\\Image;%USERPROFILE%\\Documents\\Tencent "
     u"Files\\*\\Video;%APPDATA%\\Tencent\\QQ\\*\\Caches"},
    {21, u"qq_recv", u"QQ 用户接收文件目录（默认不勾选）", 0, 1,
     u"%USERPROFILE%\\Documents\\Tencent Files\\*\\FileRecv"},
    {22, u"dingtalk_cache", u"钉钉 临时文件/表情缓存", 0, 0,
     u"%USERPROFILE%\\Documents\\DingTalk\\*\\cache;%APPDATA%\\DingDing\\main\\cache"},
    {23, u"wxwork_cache", u"企业微信 缓存", 0, 0,
     u"%USERPROFILE%\\Documents\\WXWork\\*\\Cache;%APPDATA%\\WXWork\\*\\Cache"},
    {24, u"bili_cache", u"B 站客户端 视频分片缓存", 0, 0, u"%LOCALAPPDATA%\\bilibili\\*\\Cache"},
    {25, u"tencent_video", u"腾讯视频 预加载缓存", 0, 0,
     u"%LOCALAPPDATA%\\Tencent\\QQVideo\\*\\cache;%LOCALAPPDATA%\\TencentVideo\\cache"},
    {26, u"iqiyi_cache", u"爱奇艺 预加载缓存", 0, 0,
     u"%LOCALAPPDATA%\\iqiyi\\*\\cache;%LOCALAPPDATA%\\IqiyiVideo\\Cache"},
    {27, u"youku_cache", u"优酷 预加载缓存", 0, 0, u"%LOCALAPPDATA%\\Youku\\cache"},
    {28, u"netease_cache", u"网易云音乐 缓存", 0, 0,
     u"%LOCALAPPDATA%\\NetEase\\CloudMusic\\*\\cache"},
    {29, u"qqmusic_cache", u"QQ 音乐 缓存", 0, 0,
     u"%LOCALAPPDATA%\\Tencent\\QQMusic\\cache;%LOCALAPPDATA%\\Tencent\\QQMusic\\*"
     u"\\Image\\qqmusic"},
    {30, u"jianying_cache", u"剪映 PC 渲染/预览缓存（谨慎）", 1, 0,
     u"%LOCALAPPDATA%\\JianyingPro\\*\\Cache;%LOCALAPPDATA%\\JianyingPro\\*\\Temp;%USERPROFILE%"
     u"\\Videos\\JianyingPro\\*\\Cache"},
    {31, u"adobe_media_cache", u"Adobe 媒体缓存（谨慎，重建耗时久）", 1, 0,
     u"%USERPROFILE%\\AppData\\Local\\Adobe\\Media "
     u"Cache;%USERPROFILE%\\AppData\\Roaming\\Adobe\\Common\\Media "
     u"Cache;%USERPROFILE%\\AppData\\Roaming\\Adobe\\Common\\Media Cache Files"},
    {32, u"steam_shader", u"Steam 着色器缓存（谨慎）", 1, 0,
     u"%PROGRAMFILES(X86)%\\Steam\\steamapps\\shadercache;%PROGRAMFILES(X86)%\\Steam\\steamapps\\*"
     u"\\shadercache"},
    {33, u"steam_download", u"Steam 下载残留缓存（谨慎）", 1, 0,
     u"%PROGRAMFILES(X86)%\\Steam\\downloading;%PROGRAMFILES(X86)%\\Steam\\steamapps\\downloading"},
    {34, u"vscode_cache", u"VS Code 缓存/GPU缓存", 0, 0,
     u"%APPDATA%\\Code\\Cache;%APPDATA%\\Code\\CachedData;%APPDATA%\\Code\\CachedExtensions;%"
     u"APPDATA%\\Code\\GPUCache;%APPDATA%\\Code\\Service Worker\\CacheStorage"},
    {35, u"jetbrains_cache", u"JetBrains IDE 索引缓存（谨慎，重建耗时很长）", 1, 0,
     u"%LOCALAPPDATA%\\JetBrains\\*\\caches;%LOCALAPPDATA%\\JetBrains\\*\\index"},
    {36, u"npm_cache", u"npm 包缓存（谨慎，默认关闭）", 1, 0,
     u"%APPDATA%\\npm-cache;%LOCALAPPDATA%\\npm-cache"},
    {37, u"pip_cache", u"pip 包缓存（谨慎，默认关闭）", 1, 0, u"%LOCALAPPDATA%\\pip\\cache"},
    {38, u"docker_cache", u"Docker 镜像/容器缓存（高危，默认关闭）", 2, 0,
     u"%LOCALAPPDATA%\\Docker\\wsl;%LOCALAPPDATA%\\Docker\\log"},
};

std::u16string joined(const char16_t* const* paths) {
    std::u16string out;
    for (const char16_t* const* p = paths; *p; ++p) {
        if (!out.empty()) out += u";";
        out += *p;
    }
    return out;
}

} // namespace

TEST(Catalogue, WholeTableMatches) {
    ASSERT_EQ(wv_apps_count(), 39u);
    ASSERT_EQ(sizeof k_expected / sizeof k_expected[0], 39u);
    size_t templates = 0;
    for (const expected_app& e : k_expected) {
        const wv_app* a = wv_apps_get(e.index);
        ASSERT_NE(a, nullptr) << e.index;
        SCOPED_TRACE(narrow(e.id));
        EXPECT_EQ(std::u16string(a->id), e.id);
        EXPECT_EQ(std::u16string(a->name), e.name);
        EXPECT_EQ(a->risk, e.risk);
        EXPECT_EQ(a->default_unchecked, e.default_unchecked);
        EXPECT_EQ(a->reg_root, nullptr);
        EXPECT_EQ(a->reg_subkey, nullptr);
        EXPECT_EQ(a->reg_value, nullptr);
        EXPECT_EQ(joined(a->paths), e.templates);
        for (const char16_t* const* p = a->paths; *p; ++p) ++templates;
    }
    EXPECT_EQ(templates, 85u);
}

TEST(Catalogue, GetterBounds) {
    ASSERT_NE(wv_apps_get(38), nullptr);
    EXPECT_EQ(std::u16string(wv_apps_get(38)->id), u"docker_cache");
    EXPECT_EQ(wv_apps_get(39), nullptr);
    EXPECT_EQ(wv_apps_get(0xFFFFFFFFu), nullptr);
}

TEST(Catalogue, FindIsExactAndCaseSensitive) {
    EXPECT_EQ(wv_apps_find(u"wechat_recv"), wv_apps_get(19));
    EXPECT_EQ(wv_apps_find(u"360_cache"), wv_apps_get(16));
    EXPECT_EQ(wv_apps_find(u"WeChat_recv"), nullptr);
    EXPECT_EQ(wv_apps_find(u"wechat_rec"), nullptr);
    EXPECT_EQ(wv_apps_find(u""), nullptr);
    EXPECT_EQ(wv_apps_find(nullptr), nullptr);
}

TEST(Catalogue, IdsAreUniqueAndPlain) {
    for (uint32_t i = 0; i < wv_apps_count(); ++i) {
        const char16_t* id = wv_apps_get(i)->id;
        for (const char16_t* c = id; *c; ++c)
            EXPECT_TRUE((*c >= u'a' && *c <= u'z') || (*c >= u'0' && *c <= u'9') || *c == u'_')
                << narrow(id);
        for (uint32_t j = 0; j < i; ++j) EXPECT_FALSE(wv::str_equal(id, wv_apps_get(j)->id));
    }
}

TEST(SystemCommands, WholeTableMatches) {
    struct row {
        const char16_t *id, *name;
        int32_t risk;
        const char16_t *command, *warning;
    };
    const row expected[] = {
        {u"dism_winsxs", u"WinSxS 组件存储清理（系统命令 DISM）", 1,
         u"dism.exe /Online /Cleanup-Image /StartComponentCleanup",
         u"将调用 DISM 命令，运行时间较长，期间请勿关闭电脑。"},
        {u"cleanmgr", u"Windows 更新缓存清理（系统磁盘清理）", 0, u"cleanmgr.exe /verylowdisk",
         u"将启动系统磁盘清理工具的无人值守模式。"},
        {u"windows_old", u"Windows.old 旧系统备份清理（高危）", 2,
         u"dism.exe /Online /Remove-OSUninstall",
         u"删除后将无法回滚到上一版本 Windows。建议确认无需回滚后再操作。"},
    };
    ASSERT_EQ(wv_syscmd_count(), 3u);
    for (uint32_t i = 0; i < 3; ++i) {
        const wv_syscmd* c = wv_syscmd_get(i);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(std::u16string(c->id), expected[i].id);
        EXPECT_EQ(std::u16string(c->name), expected[i].name);
        EXPECT_EQ(c->risk, expected[i].risk);
        EXPECT_EQ(std::u16string(c->command), expected[i].command);
        EXPECT_EQ(std::u16string(c->warning), expected[i].warning);
    }
    EXPECT_EQ(wv_syscmd_get(3), nullptr);
}
