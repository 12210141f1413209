#include "catalogue/catalogue.h"

// Windows' own space-freeing commands. Only the table exists: nothing in the
// program runs them.
static const wv_syscmd g_syscmds[] = {
    {u"dism_winsxs", u"WinSxS 组件存储清理（系统命令 DISM）", 1,
     u"dism.exe /Online /Cleanup-Image /StartComponentCleanup",
     u"将调用 DISM 命令，运行时间较长，期间请勿关闭电脑。"},
    {u"cleanmgr", u"Windows 更新缓存清理（系统磁盘清理）", 0, u"cleanmgr.exe /verylowdisk",
     u"将启动系统磁盘清理工具的无人值守模式。"},
    {u"windows_old", u"Windows.old 旧系统备份清理（高危）", 2,
     u"dism.exe /Online /Remove-OSUninstall",
     u"删除后将无法回滚到上一版本 Windows。建议确认无需回滚后再操作。"},
};

uint32_t wv_syscmd_count() {
    return uint32_t(sizeof g_syscmds / sizeof g_syscmds[0]);
}

const wv_syscmd* wv_syscmd_get(uint32_t index) {
    return index < wv_syscmd_count() ? &g_syscmds[index] : nullptr;
}
