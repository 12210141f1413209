// The maintenance tools: disk usage, large files, duplicate files, startup
// entries and the file shredder. Stand-alone operations over the file system
// and the registry; results go into arrays the caller supplies with a capacity.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "os/os.h"

// ------------------------------------------------------------ disk usage --

struct wv_disk_entry {
    char16_t path[1024];
    char16_t name[256];
    uint64_t size; // a directory: the files below it
};

// The directory's immediate entries with their sizes, largest first; equal
// sizes keep their listing order.
uint32_t wv_tool_disk_analyze(const char16_t* dir, wv_disk_entry* entries, uint32_t capacity);
// Total size of the files below `dir`, never following a junction or symbolic
// link below it and never entering a protected folder. A non-zero `stop`
// (which may be null) ends the count early.
uint64_t sum_dir_recursive(const char16_t* dir, const std::atomic<int32_t>* stop);

// ------------------------------------------------- large and duplicate files --

struct wv_large_file {
    char16_t path[1024];
    uint64_t size;
    uint64_t last_write; // FILETIME as listed
};

struct wv_dup_candidate {
    char16_t path[1024];
    uint64_t size;
};

inline constexpr uint64_t WV_DUP_MIN_SIZE = 1048576;

// Every file of at least `min_size` bytes below `root`, in walk order. The walk
// always runs to its end, also once the array is full.
uint32_t wv_tool_large_files(const char16_t* root, uint64_t min_size, wv_large_file* records,
                             uint32_t capacity);

// The large-file finder's context and walker callback (always answers 1).
struct wv_large_ctx {
    uint64_t min_size;
    wv_large_file* records;
    uint32_t* count;
    uint32_t capacity;
};
int large_on_item_v2(const char16_t* path, const os::find_data* fd, int is_dir, void* user);

// Every file of at least WV_DUP_MIN_SIZE bytes below `dir`, depth first; the
// search ends when the array is full.
uint32_t wv_tool_dup_files(const char16_t* dir, wv_dup_candidate* records, uint32_t capacity);

// One set of files with identical contents. Its members are candidate
// indices, stored at members[first .. first + count).
struct wv_dup_group {
    uint64_t size;
    uint32_t first;
    uint32_t count; // at least 2
};

// What the grouping read, for the curious and for the benchmark.
struct wv_dup_stats {
    uint64_t bytes_read;
    uint32_t files_opened;
    uint32_t files_dropped; // could not be opened or read, or changed size since listed
};

// Turns candidates into groups of files with identical contents: files are
// grouped by size, then by a hash of their first 4 KiB, of their last 4 KiB,
// and of their whole contents; only files whose whole contents hash alike
// form a group. A file whose size no other candidate shares is never opened;
// names of one file (hard links, or the same path twice) count once, the
// first met standing for it. Empty files are left out.
// Groups come largest size first, then by their first member; members in
// candidate order. When `groups` or `members` is full the search ends and
// the groups found so far are returned. `stats` may be null.
uint32_t wv_tool_dup_groups(const wv_dup_candidate* candidates, uint32_t candidate_count,
                            wv_dup_group* groups, uint32_t group_capacity, uint32_t* members,
                            uint32_t member_capacity, wv_dup_stats* stats);

// A fast 128-bit hash for comparing file contents (not for security). Data
// may be fed in pieces of any size; the result depends only on the bytes.
struct wv_hash128 {
    uint64_t lo, hi;
};
struct wv_hash128_state {
    uint64_t lane[4];
    uint64_t total;
    uint8_t buf[32];
    uint32_t buf_len;
};
void wv_hash128_init(wv_hash128_state* s);
void wv_hash128_update(wv_hash128_state* s, const void* data, size_t len);
wv_hash128 wv_hash128_final(const wv_hash128_state* s);

// -------------------------------------------------------- startup entries --

inline constexpr uint32_t WV_STARTUP_RUN = 0;
inline constexpr uint32_t WV_STARTUP_RUNONCE = 1;
inline constexpr uint32_t WV_STARTUP_FOLDER = 2;
inline constexpr uint32_t WV_STARTUP_DATA_CAP = 4096;

struct wv_startup_item {
    char16_t name[256];
    char16_t command[2048]; // a value's text unexpanded, or a folder entry's full path
    uint32_t source;        // WV_STARTUP_RUN, WV_STARTUP_RUNONCE or WV_STARTUP_FOLDER
    uint32_t enabled;
    // A registry entry remembers where it was listed from and what it held,
    // so that a disable can be undone exactly.
    os::hkey root;       // hkey_current_user or hkey_local_machine; null for a folder entry
    uint32_t type;       // the value's registry type
    uint32_t restorable; // 1 when data holds the value's whole data
    uint32_t data_len;
    uint8_t data[WV_STARTUP_DATA_CAP];
};

uint32_t wv_tool_startup_list(wv_startup_item* records, uint32_t capacity);
// Appends the values of one key (64-bit view) at records[*count] on.
void try_read_run_key(os::hkey root, const char16_t* key_path, uint32_t source,
                      wv_startup_item* records, uint32_t* count, uint32_t capacity);
// Disables an enabled registry entry (deletes its value, only while the value
// still holds what the record would restore) or enables a disabled one (writes
// the recorded type and data back), under the root it was listed from.
// 1 when the registry changed; `enabled` changes only then.
int wv_tool_startup_toggle(wv_startup_item* item);

// ------------------------------------------------------------- shredder --

// Overwrites the file in `passes` passes (0x00, 0xFF, pseudo-random, ...),
// each flushed, then deletes it. 1 only when the file was overwritten as asked
// and is gone.
int wv_tool_file_shred(const char16_t* path, int passes);
