#include "ui/texts.h"

#include "base/mem.h"
#include "base/text.h"
#include "ui/layout.h"
#include "ui/theme.h"

void wv_confirm_text(uint32_t files, uint64_t bytes, char16_t* out, uint32_t cap) {
    char16_t size[64];
    wv_format_size(bytes, size, 64);
    wv::format(out, cap, u"已选中 %u 个文件，共 %s", files, size);
}

void wv_clean_done_text(uint32_t files, uint64_t freed, char16_t* out, uint32_t cap) {
    char16_t size[64];
    wv_format_size(freed, size, 64);
    wv::format(out, cap, u"清理完成：%u 个文件，释放 %s。", files, size);
}

void wv_status_line(int32_t state, const char16_t* status, char16_t* out, uint32_t cap) {
    if (wv_state_scanning(state))
        wv::format(out, cap, u"%s", status && status[0] ? status : u"正在扫描...");
    else if (state == STATE_DONE)
        wv::str_copy(out, cap, u"扫描完成，勾选需要清理的项目后点击 [清理选中项]");
    else
        wv::str_copy(out, cap, u"纯本地运行 · 不上传任何数据 · 无广告 · 安全优先");
}

void wv_about_text(char16_t* out, uint32_t cap) {
    wv::format(out, cap,
               u"Welvo (Welvo) v%s\n"
               u"\n"
               u"一款纯本地运行、安全优先的\n"
               u"Windows 垃圾缓存清理工具。\n"
               u"\n"
               u"特性：\n"
               u"· 不上传任何用户数据\n"
               u"· 无广告、无后台静默清理\n"
               u"· 只扫描、预览，全部由您确认后再清理\n"
               u"· 高危项默认不勾选\n"
               u"· 支持移入回收站\n"
               u"\n"
               u"您的文件无价：拿不准的项目，请保持不勾选。",
               u"" WV_VERSION_TEXT);
}

bool wv_explorer_params(const char16_t* path, char16_t* out, uint32_t cap) {
    if (!path || !out || cap == 0) return false;
    return wv::format(out, cap, u"/select,\"%s\"", path);
}

const char16_t* wv_file_name_part(const char16_t* path) {
    if (!path) return nullptr;
    const char16_t* slash = wv::str_rchr(path, u'\\');
    return slash ? slash + 1 : path;
}

char16_t* wv_category_paths_text(const wv_category* c) {
    if (!c) return nullptr;
    size_t units = 1;
    for (const wv_file* f = c->head; f; f = f->next) units += wv::str_len(f->path) + 2;
    auto* text = static_cast<char16_t*>(wv::mem_alloc_zero(units * sizeof(char16_t)));
    if (!text) return nullptr;
    // Appends at a running position: a category can hold 65,536 paths.
    size_t at = 0;
    for (const wv_file* f = c->head; f; f = f->next) {
        wv::str_copy(text + at, units - at, f->path);
        at += wv::str_len(text + at);
        wv::str_copy(text + at, units - at, u"\r\n");
        at += 2;
    }
    return text;
}
