// Test fixtures that work on both backends.
//
// A scratch folder and a scratch registry key are built through the platform
// layer, so a test written with them runs unchanged against the simulated
// Windows (host tier) and the real one under Wine (Windows tier). What only the
// simulated Windows can do (junctions, symbolic links, fault injection) is
// offered here too and answers false on the real backend, where a test then
// marks itself not applicable instead of passing silently.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "os/os.h"

namespace tfx {

using u16 = std::u16string;

u16 u(const char* utf8);
std::string narrow(const u16& s);
std::string narrow(const char16_t* s);

bool sim_backend();

// Brings the machine to its starting state: the standard simulated machine,
// or nothing on the real one. Test programs get this before every test;
// benchmarks call it themselves.
void prepare_machine();

#define TFX_SIM_ONLY(why)                                                                          \
    do {                                                                                           \
        if (!tfx::sim_backend())                                                                   \
            GTEST_SKIP() << "not applicable on the real backend (Wine): " << (why);                \
    } while (0)

// A unique folder under %TEMP%, removed with all it holds when the object
// goes (read-only entries included; links are removed, never followed).
class scratch {
  public:
    scratch();
    ~scratch();
    scratch(const scratch&) = delete;
    scratch& operator=(const scratch&) = delete;

    const u16& root() const { return root_; }
    u16 path(const u16& rel) const;
    bool dir(const u16& rel, uint32_t attributes = 0) const;
    bool file(const u16& rel, uint64_t size = 0, uint32_t attributes = 0) const;
    bool file_bytes(const u16& rel, const std::vector<uint8_t>& bytes,
                    uint32_t attributes = 0) const;

  private:
    u16 root_;
};

// Creates missing folders on the way (absolute path).
bool make_dirs(const u16& path);
bool write_file(const u16& path, const std::vector<uint8_t>& bytes, uint32_t attributes = 0);
bool make_file(const u16& path, uint64_t size, uint32_t attributes = 0);
bool exists(const u16& path);
std::vector<uint8_t> read_all(const u16& path);
void remove_tree(const u16& path);
// Names of a folder's entries, sorted, without "." and "..".
std::vector<u16> list(const u16& dir);
// The same in the order the platform lists them.
std::vector<u16> list_unsorted(const u16& dir);

// Sets an environment variable for the life of the object.
class env_guard {
  public:
    env_guard(const char16_t* name, const u16& value);
    ~env_guard();
    env_guard(const env_guard&) = delete;
    env_guard& operator=(const env_guard&) = delete;

  private:
    u16 name_, old_;
    bool had_;
};

// A unique key under HKCU\Software\WelvoTest, deleted with its subtree.
class reg_scratch {
  public:
    reg_scratch();
    ~reg_scratch();
    reg_scratch(const reg_scratch&) = delete;
    reg_scratch& operator=(const reg_scratch&) = delete;

    // Path of the scratch key (or of a subkey of it) under HKCU.
    u16 key(const u16& rel = u16()) const;
    bool make(const u16& rel) const;
    bool set(const u16& rel, const char16_t* name, uint32_t type,
             const std::vector<uint8_t>& data) const;
    bool set_string(const u16& rel, const char16_t* name, const u16& text,
                    uint32_t type = os::reg_sz) const;
    bool set_dword(const u16& rel, const char16_t* name, uint32_t value) const;

  private:
    u16 key_;
};

std::vector<uint8_t> utf16_bytes(const u16& s, bool with_zero = true);

// A second name for an existing file (CreateHardLinkW on the real backend).
bool make_hard_link(const u16& path, const u16& existing);
// A file of `size` pseudo-random bytes drawn from `seed` (equal seeds, equal
// contents): free on the simulated backend, written out on the real one.
bool make_seeded_file(const u16& path, uint64_t size, uint64_t seed);
// Overwrites bytes of an existing file at an offset.
bool patch_file(const u16& path, uint64_t offset, const std::vector<uint8_t>& bytes);

// ---------------------------------------------------- simulated only --

bool make_junction(const u16& path, const u16& target);
bool make_symlink(const u16& path, const u16& target, bool directory);

enum class fault {
    list_denied,
    open_denied,
    create_denied,
    in_use,
    delete_denied,
    write_fails,
    vanished,
    recycle_fails,
    recycle_lies,
    recycle_aborts,
    set_attr_denied
};
bool inject(const u16& path, fault f, uint64_t param = 0);

// The writes and flushes made to a file from now on, kept after it is deleted.
struct io_event {
    bool flush; // else a write of `bytes` at `offset`
    uint64_t offset;
    std::vector<uint8_t> bytes;
};
bool log_io(const u16& path);
std::vector<io_event> io_log(const u16& path);

// Makes every later open of a registry key fail with access denied.
bool reg_deny(os::hkey root, const u16& key);

// Called before each entry a directory listing hands out.
bool set_find_hook(std::function<void(const u16& dir, const u16& name)> hook);

// Starts logging the writes to an existing file; false on the real backend.
bool start_io_log(const u16& path);
// Write calls to the file since start_io_log, or -1 on the real backend.
int io_write_count(const u16& path);

} // namespace tfx
