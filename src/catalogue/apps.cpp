#include "base/text.h"
#include "catalogue/catalogue.h"

// Path templates, one list per category, in scan order.

static const char16_t* const sys_temp_user[] = {
    u"%TEMP%",
    nullptr,
};

static const char16_t* const sys_temp_system[] = {
    u"%WINDIR%\\Temp",
    nullptr,
};

static const char16_t* const sys_thumbnails[] = {
    u"%LOCALAPPDATA%\\Microsoft\\Windows\\Explorer",
    nullptr,
};

static const char16_t* const sys_logs[] = {
    u"%WINDIR%\\Logs",
    u"%WINDIR%\\System32\\winevt\\Logs",
    nullptr,
};

static const char16_t* const sys_error_report[] = {
    u"%LOCALAPPDATA%\\Microsoft\\Windows\\WER",
    u"%PROGRAMDATA%\\Microsoft\\Windows\\WER",
    nullptr,
};

static const char16_t* const sys_recycle[] = {
    u"C:\\$Recycle.Bin",
    nullptr,
};

static const char16_t* const sys_crash_dumps[] = {
    u"%LOCALAPPDATA%\\CrashDumps",
    nullptr,
};

static const char16_t* const sys_inet_cache[] = {
    u"%LOCALAPPDATA%\\Microsoft\\Windows\\INetCache",
    nullptr,
};

static const char16_t* const sys_delivery_opt[] = {
    u"%WINDIR%\\SoftwareDistribution\\DeliveryOptimization",
    nullptr,
};

static const char16_t* const sys_prefetch[] = {
    u"%WINDIR%\\Prefetch",
    nullptr,
};

static const char16_t* const edge_cache[] = {
    u"%LOCALAPPDATA%\\Microsoft\\Edge\\User Data\\*\\Cache",
    u"%LOCALAPPDATA%\\Microsoft\\Edge\\User Data\\*\\Code Cache",
    u"%LOCALAPPDATA%\\Microsoft\\Edge\\User Data\\*\\GPUCache",
    nullptr,
};

static const char16_t* const edge_cookie[] = {
    u"%LOCALAPPDATA%\\Microsoft\\Edge\\User Data\\*\\Cookies",
    nullptr,
};

static const char16_t* const edge_history[] = {
    u"%LOCALAPPDATA%\\Microsoft\\Edge\\User Data\\*\\History",
    nullptr,
};

static const char16_t* const chrome_cache[] = {
    u"%LOCALAPPDATA%\\Google\\Chrome\\User Data\\*\\Cache",
    u"%LOCALAPPDATA%\\Google\\Chrome\\User Data\\*\\Code Cache",
    u"%LOCALAPPDATA%\\Google\\Chrome\\User Data\\*\\GPUCache",
    nullptr,
};

static const char16_t* const chrome_cookie[] = {
    u"%LOCALAPPDATA%\\Google\\Chrome\\User Data\\*\\Cookies",
    nullptr,
};

static const char16_t* const chrome_history[] = {
    u"%LOCALAPPDATA%\\Google\\Chrome\\User Data\\*\\History",
    nullptr,
};

static const char16_t* const browser360_cache[] = {
    u"%LOCALAPPDATA%\\360Chrome\\Chrome\\User Data\\*\\Cache",
    u"%LOCALAPPDATA%\\360Chrome\\Chrome\\User Data\\*\\GPUCache",
    nullptr,
};

static const char16_t* const qqbrowser_cache[] = {
    u"%LOCALAPPDATA%\\Tencent\\QQBrowser\\User Data\\*\\Cache",
    u"%LOCALAPPDATA%\\Tencent\\QQBrowser\\User Data\\*\\GPUCache",
    nullptr,
};

static const char16_t* const wechat_cache[] = {
    u"%USERPROFILE%\\Documents\\WeChat Files\\*\\FileStorage\\Cache",
    u"%USERPROFILE%\\Documents\\WeChat Files\\*\\FileStorage\\Image",
    u"%USERPROFILE%\\Documents\\WeChat Files\\*\\FileStorage\\Video",
    u"%USERPROFILE%\\Documents\\WeChat Files\\*\\FileStorage\\CustomEmotion",
    u"%USERPROFILE%\\Documents\\WeChat Files\\*\\FileStorage\\MsgAttach",
    u"%USERPROFILE%\\Documents\\WeChat Files\\*\\FileStorage\\Temp",
    u"%USERPROFILE%\\Documents\\WeChat Files\\*\\FileStorage\\TempFromPhone",
    u"%USERPROFILE%\\Documents\\WeChat Files\\*\\FileStorage\\Sns",
    u"%USERPROFILE%\\Documents\\WeChat Files\\*\\FileStorage\\XEditor",
    u"%USERPROFILE%\\Documents\\WeChat Files\\*\\Cache",
    u"%USERPROFILE%\\Documents\\WeChat Files\\*\\Image",
    u"%USERPROFILE%\\Documents\\WeChat Files\\*\\Video",
    u"%USERPROFILE%\\Documents\\xwechat_files\\*\\msg\\attach",
    u"%USERPROFILE%\\Documents\\xwechat_files\\*\\cache",
    u"%USERPROFILE%\\Documents\\xwechat_files\\*\\temp",
    u"%APPDATA%\\Tencent\\WeChat\\*\\Caches",
    nullptr,
};

static const char16_t* const wechat_recv[] = {
    u"%USERPROFILE%\\Documents\\WeChat Files\\*\\FileStorage\\File",
    u"%USERPROFILE%\\Documents\\WeChat Files\\*\\File",
    u"%USERPROFILE%\\Documents\\WeChat Files\\*\\Msg\\*\\File",
    u"%USERPROFILE%\\Documents\\xwechat_files\\*\\msg\\file",
    nullptr,
};

static const char16_t* const qq_cache[] = {
    u"%USERPROFILE%\\Documents\\Tencent Files\\*\\Image",
    u"%USERPROFILE%\\Documents\\Tencent Files\\*\\Video",
    u"%APPDATA%\\Tencent\\QQ\\*\\Caches",
    nullptr,
};

static const char16_t* const qq_recv[] = {
    u"%USERPROFILE%\\Documents\\Tencent Files\\*\\FileRecv",
    nullptr,
};

static const char16_t* const dingtalk_cache[] = {
    u"%USERPROFILE%\\Documents\\DingTalk\\*\\cache",
    u"%APPDATA%\\DingDing\\main\\cache",
    nullptr,
};

static const char16_t* const wxwork_cache[] = {
    u"%USERPROFILE%\\Documents\\WXWork\\*\\Cache",
    u"%APPDATA%\\WXWork\\*\\Cache",
    nullptr,
};

static const char16_t* const bili_cache[] = {
    u"%LOCALAPPDATA%\\bilibili\\*\\Cache",
    nullptr,
};

static const char16_t* const tencent_video[] = {
    u"%LOCALAPPDATA%\\Tencent\\QQVideo\\*\\cache",
    u"%LOCALAPPDATA%\\TencentVideo\\cache",
    nullptr,
};

static const char16_t* const iqiyi_cache[] = {
    u"%LOCALAPPDATA%\\iqiyi\\*\\cache",
    u"%LOCALAPPDATA%\\IqiyiVideo\\Cache",
    nullptr,
};

static const char16_t* const youku_cache[] = {
    u"%LOCALAPPDATA%\\Youku\\cache",
    nullptr,
};

static const char16_t* const netease_cache[] = {
    u"%LOCALAPPDATA%\\NetEase\\CloudMusic\\*\\cache",
    nullptr,
};

static const char16_t* const qqmusic_cache[] = {
    u"%LOCALAPPDATA%\\Tencent\\QQMusic\\cache",
    u"%LOCALAPPDATA%\\Tencent\\QQMusic\\*\\Image\\qqmusic",
    nullptr,
};

static const char16_t* const jianying_cache[] = {
    u"%LOCALAPPDATA%\\JianyingPro\\*\\Cache",
    u"%LOCALAPPDATA%\\JianyingPro\\*\\Temp",
    u"%USERPROFILE%\\Videos\\JianyingPro\\*\\Cache",
    nullptr,
};

static const char16_t* const adobe_media_cache[] = {
    u"%USERPROFILE%\\AppData\\Local\\Adobe\\Media Cache",
    u"%USERPROFILE%\\AppData\\Roaming\\Adobe\\Common\\Media Cache",
    u"%USERPROFILE%\\AppData\\Roaming\\Adobe\\Common\\Media Cache Files",
    nullptr,
};

static const char16_t* const steam_shader[] = {
    u"%PROGRAMFILES(X86)%\\Steam\\steamapps\\shadercache",
    u"%PROGRAMFILES(X86)%\\Steam\\steamapps\\*\\shadercache",
    nullptr,
};

static const char16_t* const steam_download[] = {
    u"%PROGRAMFILES(X86)%\\Steam\\downloading",
    u"%PROGRAMFILES(X86)%\\Steam\\steamapps\\downloading",
    nullptr,
};

static const char16_t* const vscode_cache[] = {
    u"%APPDATA%\\Code\\Cache",
    u"%APPDATA%\\Code\\CachedData",
    u"%APPDATA%\\Code\\CachedExtensions",
    u"%APPDATA%\\Code\\GPUCache",
    u"%APPDATA%\\Code\\Service Worker\\CacheStorage",
    nullptr,
};

static const char16_t* const jetbrains_cache[] = {
    u"%LOCALAPPDATA%\\JetBrains\\*\\caches",
    u"%LOCALAPPDATA%\\JetBrains\\*\\index",
    nullptr,
};

static const char16_t* const npm_cache[] = {
    u"%APPDATA%\\npm-cache",
    u"%LOCALAPPDATA%\\npm-cache",
    nullptr,
};

static const char16_t* const pip_cache[] = {
    u"%LOCALAPPDATA%\\pip\\cache",
    nullptr,
};

static const char16_t* const docker_cache[] = {
    u"%LOCALAPPDATA%\\Docker\\wsl",
    u"%LOCALAPPDATA%\\Docker\\log",
    nullptr,
};

// Fields: id, name, risk, default_unchecked, reg_root, reg_subkey, reg_value,
// templates. No row names an install location: all are scanned through their
// templates.
static const wv_app g_apps[] = {
    {u"sys_temp_user", u"用户临时文件 %TEMP%", 0, 0, nullptr, nullptr, nullptr, sys_temp_user},
    {u"sys_temp_system", u"系统临时文件 C:\\Windows\\Temp", 0, 0, nullptr, nullptr, nullptr,
     sys_temp_system},
    {u"sys_thumbnails", u"缩略图缓存", 0, 0, nullptr, nullptr, nullptr, sys_thumbnails},
    {u"sys_logs", u"系统日志文件", 0, 0, nullptr, nullptr, nullptr, sys_logs},
    {u"sys_error_report", u"Windows 错误报告 WER", 0, 0, nullptr, nullptr, nullptr,
     sys_error_report},
    {u"sys_recycle", u"回收站", 0, 0, nullptr, nullptr, nullptr, sys_recycle},
    {u"sys_crash_dumps", u"程序崩溃转储 CrashDumps", 0, 0, nullptr, nullptr, nullptr,
     sys_crash_dumps},
    {u"sys_inet_cache", u"系统网络缓存 INetCache", 0, 0, nullptr, nullptr, nullptr, sys_inet_cache},
    {u"sys_delivery_opt", u"Windows 更新分发作缓存", 1, 0, nullptr, nullptr, nullptr,
     sys_delivery_opt},
    {u"sys_prefetch", u"系统预读取 Prefetch（谨慎）", 1, 0, nullptr, nullptr, nullptr,
     sys_prefetch},
    {u"edge_cache", u"Edge 缓存", 0, 0, nullptr, nullptr, nullptr, edge_cache},
    {u"edge_cookie", u"Edge Cookie（默认不勾选）", 0, 0, nullptr, nullptr, nullptr, edge_cookie},
    {u"edge_history", u"Edge 历史记录（默认不勾选）", 0, 0, nullptr, nullptr, nullptr,
     edge_history},
    {u"chrome_cache", u"Chrome 缓存", 0, 0, nullptr, nullptr, nullptr, chrome_cache},
    {u"chrome_cookie", u"Chrome Cookie（默认不勾选）", 0, 0, nullptr, nullptr, nullptr,
     chrome_cookie},
    {u"chrome_history", u"Chrome 历史记录（默认不勾选）", 0, 0, nullptr, nullptr, nullptr,
     chrome_history},
    {u"360_cache", u"360 浏览器缓存", 0, 0, nullptr, nullptr, nullptr, browser360_cache},
    {u"qqbrowser_cache", u"QQ 浏览器缓存", 0, 0, nullptr, nullptr, nullptr, qqbrowser_cache},
    {u"wechat_cache", u"微信 图片视频缓存/日志", 0, 0, nullptr, nullptr, nullptr, wechat_cache},
    {u"wechat_recv", u"微信 用户接收文件目录（默认不勾选）", 0, 1, nullptr, nullptr, nullptr,
     wechat_recv},
    {u"qq_cache", u"QQ 图片视频缓存/日志", 0, 0, nullptr, nullptr, nullptr, qq_cache},
    {u"qq_recv", u"QQ 用户接收文件目录（默认不勾选）", 0, 1, nullptr, nullptr, nullptr, qq_recv},
    {u"dingtalk_cache", u"钉钉 临时文件/表情缓存", 0, 0, nullptr, nullptr, nullptr, dingtalk_cache},
    {u"wxwork_cache", u"企业微信 缓存", 0, 0, nullptr, nullptr, nullptr, wxwork_cache},
    {u"bili_cache", u"B 站客户端 视频分片缓存", 0, 0, nullptr, nullptr, nullptr, bili_cache},
    {u"tencent_video", u"腾讯视频 预加载缓存", 0, 0, nullptr, nullptr, nullptr, tencent_video},
    {u"iqiyi_cache", u"爱奇艺 预加载缓存", 0, 0, nullptr, nullptr, nullptr, iqiyi_cache},
    {u"youku_cache", u"优酷 预加载缓存", 0, 0, nullptr, nullptr, nullptr, youku_cache},
    {u"netease_cache", u"网易云音乐 缓存", 0, 0, nullptr, nullptr, nullptr, netease_cache},
    {u"qqmusic_cache", u"QQ 音乐 缓存", 0, 0, nullptr, nullptr, nullptr, qqmusic_cache},
    {u"jianying_cache", u"剪映 PC 渲染/预览缓存（谨慎）", 1, 0, nullptr, nullptr, nullptr,
     jianying_cache},
    {u"adobe_media_cache", u"Adobe 媒体缓存（谨慎，重建耗时久）", 1, 0, nullptr, nullptr, nullptr,
     adobe_media_cache},
    {u"steam_shader", u"Steam 着色器缓存（谨慎）", 1, 0, nullptr, nullptr, nullptr, steam_shader},
    {u"steam_download", u"Steam 下载残留缓存（谨慎）", 1, 0, nullptr, nullptr, nullptr,
     steam_download},
    {u"vscode_cache", u"VS Code 缓存/GPU缓存", 0, 0, nullptr, nullptr, nullptr, vscode_cache},
    {u"jetbrains_cache", u"JetBrains IDE 索引缓存（谨慎，重建耗时很长）", 1, 0, nullptr, nullptr,
     nullptr, jetbrains_cache},
    {u"npm_cache", u"npm 包缓存（谨慎，默认关闭）", 1, 0, nullptr, nullptr, nullptr, npm_cache},
    {u"pip_cache", u"pip 包缓存（谨慎，默认关闭）", 1, 0, nullptr, nullptr, nullptr, pip_cache},
    {u"docker_cache", u"Docker 镜像/容器缓存（高危，默认关闭）", 2, 0, nullptr, nullptr, nullptr,
     docker_cache},
};

uint32_t wv_apps_count() {
    return uint32_t(sizeof g_apps / sizeof g_apps[0]);
}

const wv_app* wv_apps_get(uint32_t index) {
    return index < wv_apps_count() ? &g_apps[index] : nullptr;
}

const wv_app* wv_apps_find(const char16_t* id) {
    if (!id) return nullptr;
    for (const wv_app& a : g_apps)
        if (wv::str_equal(a.id, id)) return &a;
    return nullptr;
}
