// The real backend: each function calls the Win32 operation it is named after.
//
// Invariant: nothing here adds behaviour. The casts between char16_t and
// wchar_t (both UTF-16 on Windows) and between the project's handle types and
// the API's live here and nowhere else in the engine.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <new>

#include "os/os.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t expected");
static_assert(sizeof(CRITICAL_SECTION) <= sizeof(os::critical_section::opaque),
              "critical_section storage too small");

namespace os {

namespace {

const wchar_t* w(const char16_t* s) {
    return reinterpret_cast<const wchar_t*>(s);
}
wchar_t* w(char16_t* s) {
    return reinterpret_cast<wchar_t*>(s);
}
HKEY hk(hkey k) {
    return reinterpret_cast<HKEY>(k);
}
uint64_t ft(const FILETIME& t) {
    return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

void copy_find(const WIN32_FIND_DATAW& in, find_data* out) {
    out->attributes = in.dwFileAttributes;
    out->creation_time = ft(in.ftCreationTime);
    out->last_access_time = ft(in.ftLastAccessTime);
    out->last_write_time = ft(in.ftLastWriteTime);
    out->size_high = in.nFileSizeHigh;
    out->size_low = in.nFileSizeLow;
    out->reserved0 = in.dwReserved0;
    out->reserved1 = in.dwReserved1;
    static_assert(sizeof(out->name) == sizeof(in.cFileName), "name size");
    static_assert(sizeof(out->alternate_name) == sizeof(in.cAlternateFileName), "alt size");
    std::memcpy(out->name, in.cFileName, sizeof(out->name));
    std::memcpy(out->alternate_name, in.cAlternateFileName, sizeof(out->alternate_name));
}

handle h_or_invalid(HANDLE h) {
    return h == INVALID_HANDLE_VALUE ? invalid_handle : static_cast<handle>(h);
}

} // namespace

uint32_t get_file_attributes(const char16_t* path) {
    return GetFileAttributesW(w(path));
}

bool get_file_attributes_ex(const char16_t* path, file_attribute_data* out) {
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!GetFileAttributesExW(w(path), GetFileExInfoStandard, &d)) return false;
    out->attributes = d.dwFileAttributes;
    out->creation_time = ft(d.ftCreationTime);
    out->last_access_time = ft(d.ftLastAccessTime);
    out->last_write_time = ft(d.ftLastWriteTime);
    out->size_high = d.nFileSizeHigh;
    out->size_low = d.nFileSizeLow;
    return true;
}

bool set_file_attributes(const char16_t* path, uint32_t attributes) {
    return SetFileAttributesW(w(path), attributes) != 0;
}

handle find_first_file(const char16_t* pattern, find_data* out) {
    WIN32_FIND_DATAW d;
    HANDLE h = FindFirstFileW(w(pattern), &d);
    if (h != INVALID_HANDLE_VALUE) copy_find(d, out);
    return h_or_invalid(h);
}

handle find_first_file_ex_basic(const char16_t* pattern, find_data* out) {
    WIN32_FIND_DATAW d;
    HANDLE h = FindFirstFileExW(w(pattern), FindExInfoBasic, &d, FindExSearchNameMatch, nullptr, 0);
    if (h != INVALID_HANDLE_VALUE) copy_find(d, out);
    return h_or_invalid(h);
}

bool find_next_file(handle find, find_data* out) {
    WIN32_FIND_DATAW d;
    if (!FindNextFileW(static_cast<HANDLE>(find), &d)) return false;
    copy_find(d, out);
    return true;
}

bool find_close(handle find) {
    return FindClose(static_cast<HANDLE>(find)) != 0;
}

handle create_file(const char16_t* path, uint32_t access, uint32_t share, uint32_t disposition,
                   uint32_t flags_and_attributes) {
    return h_or_invalid(
        CreateFileW(w(path), access, share, nullptr, disposition, flags_and_attributes, nullptr));
}

bool close_handle(handle h) {
    return CloseHandle(static_cast<HANDLE>(h)) != 0;
}

bool read_file(handle h, void* buffer, uint32_t bytes, uint32_t* read) {
    DWORD n = 0;
    BOOL ok = ReadFile(static_cast<HANDLE>(h), buffer, bytes, &n, nullptr);
    if (read) *read = n;
    return ok != 0;
}

bool write_file(handle h, const void* buffer, uint32_t bytes, uint32_t* written) {
    DWORD n = 0;
    BOOL ok = WriteFile(static_cast<HANDLE>(h), buffer, bytes, &n, nullptr);
    if (written) *written = n;
    return ok != 0;
}

bool flush_file_buffers(handle h) {
    return FlushFileBuffers(static_cast<HANDLE>(h)) != 0;
}

bool get_file_size_ex(handle h, uint64_t* size) {
    LARGE_INTEGER li;
    if (!GetFileSizeEx(static_cast<HANDLE>(h), &li)) return false;
    *size = uint64_t(li.QuadPart);
    return true;
}

bool set_file_pointer_ex(handle h, int64_t distance, uint32_t method, uint64_t* new_position) {
    LARGE_INTEGER d, np;
    d.QuadPart = distance;
    if (!SetFilePointerEx(static_cast<HANDLE>(h), d, &np, method)) return false;
    if (new_position) *new_position = uint64_t(np.QuadPart);
    return true;
}

bool get_file_information_by_handle(handle h, file_information* out) {
    BY_HANDLE_FILE_INFORMATION i;
    if (!GetFileInformationByHandle(static_cast<HANDLE>(h), &i)) return false;
    out->attributes = i.dwFileAttributes;
    out->last_write_time = ft(i.ftLastWriteTime);
    out->volume_serial = i.dwVolumeSerialNumber;
    out->number_of_links = i.nNumberOfLinks;
    out->file_index = (uint64_t(i.nFileIndexHigh) << 32) | i.nFileIndexLow;
    out->size = (uint64_t(i.nFileSizeHigh) << 32) | i.nFileSizeLow;
    return true;
}

bool get_file_attribute_tag_info(handle h, uint32_t* attributes, uint32_t* reparse_tag) {
    FILE_ATTRIBUTE_TAG_INFO info;
    if (!GetFileInformationByHandleEx(static_cast<HANDLE>(h), FileAttributeTagInfo, &info,
                                      sizeof info))
        return false;
    if (attributes) *attributes = info.FileAttributes;
    if (reparse_tag) *reparse_tag = info.ReparseTag;
    return true;
}

uint32_t get_final_path_name_by_handle(handle h, char16_t* buffer, uint32_t cap) {
    return GetFinalPathNameByHandleW(static_cast<HANDLE>(h), w(buffer), cap,
                                     FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
}

bool set_file_attributes_by_handle(handle h, uint32_t attributes) {
    FILE_BASIC_INFO info;
    std::memset(&info, 0, sizeof info); // zero times mean "leave unchanged"
    info.FileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(static_cast<HANDLE>(h), FileBasicInfo, &info, sizeof info) !=
           0;
}

bool set_file_delete_disposition(handle h, bool delete_file) {
    FILE_DISPOSITION_INFO info;
    info.DeleteFile = delete_file ? TRUE : FALSE;
    return SetFileInformationByHandle(static_cast<HANDLE>(h), FileDispositionInfo, &info,
                                      sizeof info) != 0;
}

bool delete_file(const char16_t* path) {
    return DeleteFileW(w(path)) != 0;
}
bool remove_directory(const char16_t* path) {
    return RemoveDirectoryW(w(path)) != 0;
}
bool create_directory(const char16_t* path) {
    return CreateDirectoryW(w(path), nullptr) != 0;
}

uint32_t get_last_error() {
    return GetLastError();
}
void set_last_error(uint32_t code) {
    SetLastError(code);
}

int32_t sh_file_operation(sh_file_op* op) {
    SHFILEOPSTRUCTW s;
    std::memset(&s, 0, sizeof s);
    s.wFunc = op->func;
    s.pFrom = w(op->from);
    s.pTo = w(op->to);
    s.fFlags = op->flags;
    int r = SHFileOperationW(&s);
    op->any_operations_aborted = s.fAnyOperationsAborted ? 1 : 0;
    return r;
}

uint32_t expand_environment_strings(const char16_t* src, char16_t* dst, uint32_t cap) {
    return ExpandEnvironmentStringsW(w(src), w(dst), cap);
}

bool set_environment_variable(const char16_t* name, const char16_t* value) {
    return SetEnvironmentVariableW(w(name), w(value)) != 0;
}

uint32_t get_module_file_name(char16_t* buffer, uint32_t cap) {
    return GetModuleFileNameW(nullptr, w(buffer), cap);
}

int32_t sh_get_folder_path(int32_t csidl, char16_t* buffer) {
    return SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, w(buffer));
}

uint32_t get_private_profile_string(const char16_t* section, const char16_t* key,
                                    const char16_t* default_value, char16_t* buffer, uint32_t cap,
                                    const char16_t* file) {
    return GetPrivateProfileStringW(w(section), w(key), w(default_value), w(buffer), cap, w(file));
}

bool write_private_profile_section(const char16_t* section, const char16_t* data,
                                   const char16_t* file) {
    return WritePrivateProfileSectionW(w(section), w(data), w(file)) != 0;
}

bool write_private_profile_string(const char16_t* section, const char16_t* key,
                                  const char16_t* value, const char16_t* file) {
    return WritePrivateProfileStringW(w(section), w(key), w(value), w(file)) != 0;
}

int32_t reg_open_key_ex(hkey root, const char16_t* subkey, uint32_t options, uint32_t sam,
                        hkey* out) {
    HKEY k = nullptr;
    LONG r = RegOpenKeyExW(hk(root), w(subkey), options, sam, &k);
    if (r == ERROR_SUCCESS) *out = reinterpret_cast<hkey>(k);
    return r;
}

int32_t reg_create_key_ex(hkey root, const char16_t* subkey, uint32_t sam, hkey* out) {
    HKEY k = nullptr;
    LONG r = RegCreateKeyExW(hk(root), w(subkey), 0, nullptr, 0, sam, nullptr, &k, nullptr);
    if (r == ERROR_SUCCESS) *out = reinterpret_cast<hkey>(k);
    return r;
}

int32_t reg_enum_key_ex(hkey key, uint32_t index, char16_t* name, uint32_t* name_len) {
    DWORD n = *name_len;
    LONG r = RegEnumKeyExW(hk(key), index, w(name), &n, nullptr, nullptr, nullptr, nullptr);
    *name_len = n;
    return r;
}

int32_t reg_enum_value(hkey key, uint32_t index, char16_t* name, uint32_t* name_len, uint32_t* type,
                       uint8_t* data, uint32_t* data_len) {
    DWORD n = *name_len, t = 0, dl = data_len ? *data_len : 0;
    LONG r = RegEnumValueW(hk(key), index, w(name), &n, nullptr, type ? &t : nullptr, data,
                           data_len ? &dl : nullptr);
    *name_len = n;
    if (type) *type = t;
    if (data_len) *data_len = dl;
    return r;
}

int32_t reg_query_value_ex(hkey key, const char16_t* value_name, uint32_t* type, uint8_t* data,
                           uint32_t* data_len) {
    DWORD t = 0, dl = data_len ? *data_len : 0;
    LONG r = RegQueryValueExW(hk(key), w(value_name), nullptr, type ? &t : nullptr, data,
                              data_len ? &dl : nullptr);
    if (type) *type = t;
    if (data_len) *data_len = dl;
    return r;
}

int32_t reg_set_value_ex(hkey key, const char16_t* value_name, uint32_t type, const uint8_t* data,
                         uint32_t data_len) {
    return RegSetValueExW(hk(key), w(value_name), 0, type, data, data_len);
}

int32_t reg_delete_value(hkey key, const char16_t* value_name) {
    return RegDeleteValueW(hk(key), w(value_name));
}

int32_t reg_delete_tree(hkey root, const char16_t* subkey) {
    return RegDeleteTreeW(hk(root), w(subkey));
}

int32_t reg_close_key(hkey key) {
    return RegCloseKey(hk(key));
}

namespace {
struct thread_start {
    thread_proc proc;
    void* arg;
};
DWORD WINAPI thread_trampoline(LPVOID p) {
    thread_start s = *static_cast<thread_start*>(p);
    delete static_cast<thread_start*>(p);
    return s.proc(s.arg);
}
} // namespace

handle create_thread(size_t stack_size, thread_proc proc, void* arg, uint32_t* thread_id) {
    auto* s = new (std::nothrow) thread_start{proc, arg};
    if (!s) return nullptr;
    DWORD id = 0;
    // STACK_SIZE_PARAM_IS_A_RESERVATION: the size reserves address space; the
    // stack is committed only as it grows.
    HANDLE h = CreateThread(nullptr, stack_size, thread_trampoline, s,
                            stack_size ? STACK_SIZE_PARAM_IS_A_RESERVATION : 0, &id);
    if (!h) {
        delete s;
        return nullptr;
    }
    if (thread_id) *thread_id = id;
    return h;
}

uint32_t wait_for_single_object(handle h, uint32_t timeout_ms) {
    return WaitForSingleObject(static_cast<HANDLE>(h), timeout_ms);
}

bool get_exit_code_thread(handle h, uint32_t* code) {
    DWORD c = 0;
    if (!GetExitCodeThread(static_cast<HANDLE>(h), &c)) return false;
    *code = c;
    return true;
}

void sleep(uint32_t ms) {
    Sleep(ms);
}
void switch_to_thread() {
    SwitchToThread();
}
uint32_t get_tick_count() {
    return GetTickCount();
}

void initialize_critical_section(critical_section* cs) {
    InitializeCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(cs->opaque));
}
void enter_critical_section(critical_section* cs) {
    EnterCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(cs->opaque));
}
void leave_critical_section(critical_section* cs) {
    LeaveCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(cs->opaque));
}
void delete_critical_section(critical_section* cs) {
    DeleteCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(cs->opaque));
}

} // namespace os
