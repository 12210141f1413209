// Control surface of the simulated Windows (host test tier only).
//
// The simulated backend implements os.h over an in-memory machine: drives with
// a case-insensitive, case-preserving tree (attributes, sizes, times, contents,
// junctions and symbolic links, hard links), the registry with its 64-bit and
// 32-bit views (WOW6432Node redirection under HKLM\SOFTWARE), the environment,
// the module path, the Recycle Bin and real host threads. Tests build the
// machine through this header and inject faults that Wine cannot show.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "os/os.h"

namespace sim {

// Restores the standard machine: drive C: with the usual Windows, ProgramData
// and Program Files folders, one user "Ann" with her profile folders, the
// environment a 64-bit process of hers sees, the ProfileList as a standard
// installation has it, empty Run keys, the module path
// C:\Tools\Welvo\welvo.exe, an empty Recycle Bin, no faults and no hooks.
void reset();

inline constexpr uint64_t default_time = 0x01DC7A1E2B400000ull; // 2026-01-01 UTC

struct file_spec {
    uint64_t size = 0;
    uint32_t attributes = 0; // besides the directory bit; 0 reads as archive
    uint64_t last_write = default_time;
    uint64_t seed = 0; // contents: 0 gives zero bytes, others a pseudo-random stream
};

// Tree builders. Missing parent folders are created. True on success.
bool make_dir(const std::u16string& path, uint32_t attributes = 0);
bool make_file(const std::u16string& path, const file_spec& spec = {});
bool make_file_bytes(const std::u16string& path, const std::vector<uint8_t>& bytes,
                     uint32_t attributes = 0);
// A junction (mount point) or a directory/file symbolic link at `path`
// pointing to the absolute `target`, which need not exist.
bool make_junction(const std::u16string& path, const std::u16string& target);
bool make_symlink(const std::u16string& path, const std::u16string& target, bool directory);
bool make_hard_link(const std::u16string& path, const std::u16string& existing);
// Removes an entry (a whole subtree for a directory; a link, not its target).
bool remove(const std::u16string& path);
// Overwrites bytes of a file's contents at an offset (growing it if needed).
bool patch(const std::u16string& path, uint64_t offset, const std::vector<uint8_t>& bytes);

bool exists(const std::u16string& path); // does not follow a final link
std::vector<uint8_t> contents(const std::u16string& path);
uint32_t attributes(const std::u16string& path);

// Faults, per entry (they stay with the entry if it is renamed).
enum class fault {
    list_denied,    // FindFirstFile on the directory: access denied
    open_denied,    // CreateFile on the entry: access denied
    create_denied,  // creating an entry inside this directory: access denied
    in_use,         // held open by another process without sharing
    delete_denied,  // DeleteFile / RemoveDirectory / disposition: access denied
    write_fails,    // writes past byte `param` fail with ERROR_DISK_FULL
    vanished,       // listed by its parent but gone when asked for
    recycle_fails,  // the Recycle Bin request answers `param` as its error
    recycle_lies,   // the Recycle Bin request answers success and keeps the file
    recycle_aborts, // the Recycle Bin request answers 0 with the aborted flag set
    set_attr_denied // SetFileAttributes: access denied
};
bool set_fault(const std::u16string& path, fault f, uint64_t param = 0);

// Called (outside the backend's lock) before FindFirstFile/FindNextFile hand
// out an entry: the listed directory and the entry's name. Lets a test act in
// the middle of a walk: set a stop flag, swap a folder for a junction.
using find_hook = std::function<void(const std::u16string& dir, const std::u16string& name)>;
void set_find_hook(find_hook hook);

// What the Recycle Bin holds, oldest first.
struct recycled_item {
    std::u16string original_path;
    bool directory;
    uint64_t size;
};
std::vector<recycled_item> recycled();

// I/O record of one file, when logging was asked for it with log_io.
struct io_event {
    enum kind_t { write, flush } kind;
    uint64_t offset;
    std::vector<uint8_t> bytes;
};
void log_io(const std::u16string& path);
std::vector<io_event> io_log(const std::u16string& path);

// Registry: views are 64 (the native one) and 32 (WOW6432Node under
// HKLM\SOFTWARE). Keys are created as needed.
bool reg_set(os::hkey root, const std::u16string& key, const char16_t* value_name, uint32_t type,
             const std::vector<uint8_t>& data, int view = 64);
bool reg_set_string(os::hkey root, const std::u16string& key, const char16_t* value_name,
                    const std::u16string& text, uint32_t type = os::reg_sz, int view = 64);
bool reg_make_key(os::hkey root, const std::u16string& key, int view = 64);
bool reg_remove_key(os::hkey root, const std::u16string& key, int view = 64);
bool reg_deny(os::hkey root, const std::u16string& key, int view = 64); // opens fail
bool reg_key_exists(os::hkey root, const std::u16string& key, int view = 64);
std::vector<uint8_t> reg_get(os::hkey root, const std::u16string& key, const char16_t* value_name,
                             uint32_t* type = nullptr, int view = 64);

void set_module_path(const std::u16string& path);

// Counters of platform calls since reset, for tests that bound the work done.
struct counters {
    uint64_t reg_open;
    uint64_t find_first;
    uint64_t get_attributes;
};
counters get_counters();

// Helpers for tests written with std::u16string.
std::vector<uint8_t> utf16_bytes(const std::u16string& s, bool with_zero = true);

} // namespace sim
