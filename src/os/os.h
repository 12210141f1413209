// The platform layer: the operating-system operations the engine uses, in the
// project's own types.
//
// Each function stands for the Win32 operation it is named after and keeps its
// meaning: the same inputs, the same outcomes and the same error codes (read
// with os::get_last_error after a failure, Win32 numbering). Two backends
// implement this header and CMake links exactly one of them:
//   win32/  the real API, for welvo.exe and the Windows test tier;
//   sim/    an in-memory Windows, for the host test tier.
// No logic lives here: no catalogue, no protected paths, no walking.
#pragma once

#include <cstddef>
#include <cstdint>

namespace os {

// ---------------------------------------------------------------- handles --

using handle = void*; // file, find and thread handles
inline handle const invalid_handle = reinterpret_cast<handle>(~uintptr_t(0));

struct hkey_tag;
using hkey = hkey_tag*; // registry key: a predefined root or an opened key
inline hkey const hkey_current_user = reinterpret_cast<hkey>(uintptr_t(0x80000001u));
inline hkey const hkey_local_machine = reinterpret_cast<hkey>(uintptr_t(0x80000002u));

// ------------------------------------------------------------ error codes --

inline constexpr uint32_t error_success = 0;
inline constexpr uint32_t error_file_not_found = 2;
inline constexpr uint32_t error_path_not_found = 3;
inline constexpr uint32_t error_access_denied = 5;
inline constexpr uint32_t error_invalid_handle = 6;
inline constexpr uint32_t error_not_enough_memory = 8;
inline constexpr uint32_t error_no_more_files = 18;
inline constexpr uint32_t error_sharing_violation = 32;
inline constexpr uint32_t error_not_supported = 50;
inline constexpr uint32_t error_file_exists = 80;
inline constexpr uint32_t error_invalid_parameter = 87;
inline constexpr uint32_t error_disk_full = 112;
inline constexpr uint32_t error_insufficient_buffer = 122;
inline constexpr uint32_t error_invalid_name = 123;
inline constexpr uint32_t error_dir_not_empty = 145;
inline constexpr uint32_t error_already_exists = 183;
inline constexpr uint32_t error_filename_exced_range = 206;
inline constexpr uint32_t error_more_data = 234;
inline constexpr uint32_t error_no_more_items = 259;
inline constexpr uint32_t error_directory = 267;
inline constexpr uint32_t error_key_deleted = 1018;
inline constexpr uint32_t error_cant_access_file = 1920;
inline constexpr uint32_t error_cant_resolve_filename = 1921;

// ---------------------------------------------------------------- files --

inline constexpr uint32_t file_attribute_readonly = 0x1;
inline constexpr uint32_t file_attribute_hidden = 0x2;
inline constexpr uint32_t file_attribute_system = 0x4;
inline constexpr uint32_t file_attribute_directory = 0x10;
inline constexpr uint32_t file_attribute_archive = 0x20;
inline constexpr uint32_t file_attribute_normal = 0x80;
inline constexpr uint32_t file_attribute_reparse_point = 0x400;
inline constexpr uint32_t invalid_file_attributes = 0xFFFFFFFFu;

inline constexpr uint32_t io_reparse_tag_mount_point = 0xA0000003u; // junction
inline constexpr uint32_t io_reparse_tag_symlink = 0xA000000Cu;

// The find record, as WIN32_FIND_DATAW carries it. Times are FILETIME values
// (100-nanosecond intervals since 1601-01-01 UTC).
struct find_data {
    uint32_t attributes;
    uint64_t creation_time;
    uint64_t last_access_time;
    uint64_t last_write_time;
    uint32_t size_high;
    uint32_t size_low;
    uint32_t reserved0; // the reparse tag when attributes carry reparse_point
    uint32_t reserved1;
    char16_t name[260];
    char16_t alternate_name[14];
};

// GetFileAttributesExW, standard information level.
struct file_attribute_data {
    uint32_t attributes;
    uint64_t creation_time;
    uint64_t last_access_time;
    uint64_t last_write_time;
    uint32_t size_high;
    uint32_t size_low;
};

// GetFileInformationByHandle.
struct file_information {
    uint32_t attributes;
    uint64_t last_write_time;
    uint32_t volume_serial;
    uint32_t number_of_links;
    uint64_t file_index;
    uint64_t size;
};

uint32_t get_file_attributes(const char16_t* path);
bool get_file_attributes_ex(const char16_t* path, file_attribute_data* out);
bool set_file_attributes(const char16_t* path, uint32_t attributes);

// FindFirstFileW: full information, short names included.
handle find_first_file(const char16_t* pattern, find_data* out);
// FindFirstFileExW with FindExInfoBasic, FindExSearchNameMatch, no filter and
// no additional flags (no short names are looked up).
handle find_first_file_ex_basic(const char16_t* pattern, find_data* out);
bool find_next_file(handle find, find_data* out);
bool find_close(handle find);

// Access rights, sharing, dispositions and flags of CreateFileW.
inline constexpr uint32_t generic_read = 0x80000000u;
inline constexpr uint32_t generic_write = 0x40000000u;
inline constexpr uint32_t delete_access = 0x00010000u;
inline constexpr uint32_t file_read_attributes = 0x80u;
inline constexpr uint32_t file_write_attributes = 0x100u;
inline constexpr uint32_t file_share_read = 0x1;
inline constexpr uint32_t file_share_write = 0x2;
inline constexpr uint32_t file_share_delete = 0x4;
inline constexpr uint32_t create_new = 1;
inline constexpr uint32_t create_always = 2;
inline constexpr uint32_t open_existing = 3;
inline constexpr uint32_t open_always = 4;
inline constexpr uint32_t file_flag_backup_semantics = 0x02000000u;
inline constexpr uint32_t file_flag_open_reparse_point = 0x00200000u;
inline constexpr uint32_t file_begin = 0;
inline constexpr uint32_t file_current = 1;
inline constexpr uint32_t file_end = 2;

// CreateFileW without security attributes or template. invalid_handle on failure.
handle create_file(const char16_t* path, uint32_t access, uint32_t share, uint32_t disposition,
                   uint32_t flags_and_attributes);
bool close_handle(handle h);
bool read_file(handle h, void* buffer, uint32_t bytes, uint32_t* read);
bool write_file(handle h, const void* buffer, uint32_t bytes, uint32_t* written);
bool flush_file_buffers(handle h);
bool get_file_size_ex(handle h, uint64_t* size);
bool set_file_pointer_ex(handle h, int64_t distance, uint32_t method, uint64_t* new_position);
bool get_file_information_by_handle(handle h, file_information* out);
// GetFileInformationByHandleEx with FileAttributeTagInfo: the attributes and,
// for a reparse point, its tag. Far cheaper than the full information where
// only the attributes are wanted.
bool get_file_attribute_tag_info(handle h, uint32_t* attributes, uint32_t* reparse_tag);
// GetFinalPathNameByHandleW with FILE_NAME_NORMALIZED | VOLUME_NAME_DOS: the
// length written (without the zero), the size needed when cap is too small,
// or 0 on failure. The text starts with \\?\ as on Windows.
uint32_t get_final_path_name_by_handle(handle h, char16_t* buffer, uint32_t cap);
// SetFileInformationByHandle with FileBasicInfo, changing only the attributes.
bool set_file_attributes_by_handle(handle h, uint32_t attributes);
// SetFileInformationByHandle with FileDispositionInfo.
bool set_file_delete_disposition(handle h, bool delete_file);

bool delete_file(const char16_t* path);
bool remove_directory(const char16_t* path);
bool create_directory(const char16_t* path);

uint32_t get_last_error();
void set_last_error(uint32_t code);

// ---------------------------------------------------------- Recycle Bin --

inline constexpr uint32_t fo_delete = 3;
inline constexpr uint16_t fof_silent = 0x0004;
inline constexpr uint16_t fof_noconfirmation = 0x0010;
inline constexpr uint16_t fof_allowundo = 0x0040;
inline constexpr uint16_t fof_noerrorui = 0x0400;

// The fields of SHFILEOPSTRUCTW that the engine sets or reads; the others are
// zero (no owner window, no progress title).
struct sh_file_op {
    uint32_t func;
    const char16_t* from; // double-zero-terminated list
    const char16_t* to;
    uint16_t flags;
    int32_t any_operations_aborted; // written by the call
};
// SHFileOperationW: 0 on success, else the shell's error value.
int32_t sh_file_operation(sh_file_op* op);

// ---------------------------------------------------------- environment --

// ExpandEnvironmentStringsW: the size needed including the zero (larger than
// cap when it did not fit), 0 on failure.
uint32_t expand_environment_strings(const char16_t* src, char16_t* dst, uint32_t cap);
bool set_environment_variable(const char16_t* name, const char16_t* value);

// GetModuleFileNameW for the executable: the length written, 0 on failure.
uint32_t get_module_file_name(char16_t* buffer, uint32_t cap);

// SHGetFolderPathW with the current path type and no token; buffer of 260.
inline constexpr int32_t csidl_startup = 7;
int32_t sh_get_folder_path(int32_t csidl, char16_t* buffer);

// ------------------------------------------------------ profile strings --

uint32_t get_private_profile_string(const char16_t* section, const char16_t* key,
                                    const char16_t* default_value, char16_t* buffer, uint32_t cap,
                                    const char16_t* file);
// A null `data` removes the section.
bool write_private_profile_section(const char16_t* section, const char16_t* data,
                                   const char16_t* file);
// A null `value` removes the key; a null `key` removes the section.
bool write_private_profile_string(const char16_t* section, const char16_t* key,
                                  const char16_t* value, const char16_t* file);

// ------------------------------------------------------------- registry --

inline constexpr uint32_t key_query_value = 0x0001;
inline constexpr uint32_t key_set_value = 0x0002;
inline constexpr uint32_t key_create_sub_key = 0x0004;
inline constexpr uint32_t key_enumerate_sub_keys = 0x0008;
inline constexpr uint32_t key_read = 0x20019;
inline constexpr uint32_t key_write = 0x20006;
inline constexpr uint32_t key_all_access = 0xF003F;
inline constexpr uint32_t key_wow64_64key = 0x0100;
inline constexpr uint32_t key_wow64_32key = 0x0200;

inline constexpr uint32_t reg_none = 0;
inline constexpr uint32_t reg_sz = 1;
inline constexpr uint32_t reg_expand_sz = 2;
inline constexpr uint32_t reg_binary = 3;
inline constexpr uint32_t reg_dword = 4;
inline constexpr uint32_t reg_multi_sz = 7;
inline constexpr uint32_t reg_qword = 11;

// All return a Win32 error code (0 on success), like the LONG of the API.
int32_t reg_open_key_ex(hkey root, const char16_t* subkey, uint32_t options, uint32_t sam,
                        hkey* out);
int32_t reg_create_key_ex(hkey root, const char16_t* subkey, uint32_t sam, hkey* out);
// name_len: in, the buffer's size in units; out, the name's length without zero.
int32_t reg_enum_key_ex(hkey key, uint32_t index, char16_t* name, uint32_t* name_len);
int32_t reg_enum_value(hkey key, uint32_t index, char16_t* name, uint32_t* name_len, uint32_t* type,
                       uint8_t* data, uint32_t* data_len);
// A null value name reads the default value. `type`, `data` and `data_len`
// may each be null; data_len is in bytes.
int32_t reg_query_value_ex(hkey key, const char16_t* value_name, uint32_t* type, uint8_t* data,
                           uint32_t* data_len);
int32_t reg_set_value_ex(hkey key, const char16_t* value_name, uint32_t type, const uint8_t* data,
                         uint32_t data_len);
int32_t reg_delete_value(hkey key, const char16_t* value_name);
int32_t reg_delete_tree(hkey root, const char16_t* subkey);
int32_t reg_close_key(hkey key);

// -------------------------------------------------------------- threads --

using thread_proc = uint32_t (*)(void* arg);
inline constexpr uint32_t wait_object_0 = 0;
inline constexpr uint32_t wait_timeout = 0x102;
inline constexpr uint32_t wait_failed = 0xFFFFFFFFu;
inline constexpr uint32_t infinite = 0xFFFFFFFFu;

// CreateThread, started at once; a stack_size of 0 takes the default.
// Null on failure.
handle create_thread(size_t stack_size, thread_proc proc, void* arg, uint32_t* thread_id);
uint32_t wait_for_single_object(handle h, uint32_t timeout_ms);
bool get_exit_code_thread(handle h, uint32_t* code);
void sleep(uint32_t ms);
// SwitchToThread: gives up the rest of the time slice without a timed wait.
void switch_to_thread();
uint32_t get_tick_count();

// A critical section: storage large enough for the platform's record.
struct critical_section {
    alignas(16) unsigned char opaque[64];
};
void initialize_critical_section(critical_section* cs);
void enter_critical_section(critical_section* cs);
void leave_critical_section(critical_section* cs);
void delete_critical_section(critical_section* cs);

} // namespace os
