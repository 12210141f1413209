// Wine keeps the Recycle Bin as a freedesktop trash: the entry under
// Trash\files and a Trash\info\<name>.trashinfo whose "Path=" line holds the
// original Unix path. Wine's own exports translate between Unix and DOS
// names; on Windows they are absent and every probe answers false.
#include <windows.h>

#include <string>
#include <vector>

#include "bin_probe.h"

namespace bin {

using tfx::u16;

static const wchar_t* w(const u16& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

template <class F> static F wine_export(const char* name) {
    FARPROC p = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name);
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(p));
}

static std::string unix_name(const u16& dos) {
    auto fn = wine_export<char*(CDECL*)(LPCWSTR)>("wine_get_unix_file_name");
    if (!fn) return {};
    char* s = fn(w(dos));
    if (!s) return {};
    std::string out(s);
    HeapFree(GetProcessHeap(), 0, s);
    return out;
}

static u16 dos_name(const std::string& unix_path) {
    auto fn = wine_export<WCHAR*(CDECL*)(LPCSTR)>("wine_get_dos_file_name");
    if (!fn) return {};
    WCHAR* s = fn(unix_path.c_str());
    if (!s) return {};
    u16 out(reinterpret_cast<const char16_t*>(s));
    HeapFree(GetProcessHeap(), 0, s);
    return out;
}

static u16 trash_dir() {
    wchar_t v[1024];
    DWORD n = GetEnvironmentVariableW(L"XDG_DATA_HOME", v, 1024);
    if (n == 0 || n >= 1024) return {};
    std::string unix_path;
    for (DWORD i = 0; i < n; ++i) unix_path.push_back(char(v[i]));
    return dos_name(unix_path + "/Trash");
}

static std::string read_text(const u16& path) {
    std::vector<uint8_t> bytes = tfx::read_all(path);
    return std::string(bytes.begin(), bytes.end());
}

// "Path=" is percent-encoded.
static std::string decode(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            out.push_back(char(std::stoi(s.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

// The trash name ("name.ext" or a numbered variant) of the entry that came
// from `original`, or empty.
static u16 find_entry(const u16& trash, const u16& original) {
    std::string want = unix_name(original);
    if (trash.empty() || want.empty()) return {};
    for (const u16& info : tfx::list(trash + u"\\info")) {
        const u16 suffix = u".trashinfo";
        if (info.size() <= suffix.size() || info.substr(info.size() - suffix.size()) != suffix)
            continue;
        std::string text = read_text(trash + u"\\info\\" + info);
        size_t at = text.find("\nPath=");
        if (at == std::string::npos) continue;
        size_t end = text.find('\n', at + 6);
        if (decode(text.substr(at + 6, end - at - 6)) == want)
            return info.substr(0, info.size() - suffix.size());
    }
    return {};
}

bool holds(const u16& original) {
    u16 trash = trash_dir();
    u16 name = find_entry(trash, original);
    return !name.empty() && tfx::exists(trash + u"\\files\\" + name);
}

bool can_restore() {
    return !trash_dir().empty();
}

bool restore(const u16& original) {
    u16 trash = trash_dir();
    u16 name = find_entry(trash, original);
    if (name.empty()) return false;
    if (!MoveFileW(w(trash + u"\\files\\" + name), w(original))) return false;
    return DeleteFileW(w(trash + u"\\info\\" + name + u".trashinfo")) != 0;
}

bool disable(const u16& dir) {
    std::string unix_dir = unix_name(dir);
    if (unix_dir.empty() || !tfx::make_file(dir + u"\\Trash", 1)) return false;
    std::wstring value(unix_dir.begin(), unix_dir.end());
    return SetEnvironmentVariableW(L"XDG_DATA_HOME", value.c_str()) != 0;
}

} // namespace bin
