// Shared state of the simulated Windows. One recursive lock guards all of it;
// hooks are called with the lock released.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "os/os.h"
#include "os/sim/sim.h"

namespace sim::detail {

using u16 = std::u16string;

char16_t upcase(char16_t c);
u16 upper(const u16& s);

struct upcase_less {
    bool operator()(const u16& a, const u16& b) const { return a < b; } // keys are upcased
};

struct node;
using node_ptr = std::shared_ptr<node>;

struct open_ref {
    uint32_t access;
    uint32_t share;
};

struct node {
    u16 name; // as created, case preserved
    bool dir = false;
    uint32_t attrs = 0; // without the directory and reparse bits
    uint64_t size = 0;
    uint64_t last_write = default_time;
    uint64_t creation = default_time;
    uint64_t seed = 0;
    std::vector<std::pair<uint64_t, std::vector<uint8_t>>> patches;
    u16 link_target; // non-empty for junctions and symbolic links
    uint32_t reparse_tag = 0;
    uint64_t index = 0;
    uint32_t links = 1;
    std::map<u16, node_ptr, upcase_less> children; // keyed by upcased name
    // faults
    bool list_denied = false, open_denied = false, create_denied = false, in_use = false,
         delete_denied = false, vanished = false, recycle_lies = false, recycle_aborts = false,
         set_attr_denied = false;
    bool write_fails = false;
    uint64_t write_limit = 0;
    int32_t recycle_error = 0;
    u16 log_key; // non-empty while its I/O is logged (see sim::log_io)
    std::vector<open_ref> opens;
    bool delete_pending = false;

    bool is_link() const { return !link_target.empty(); }
    uint32_t reported_attrs() const;
};

// The outcome of resolving a path.
struct resolved {
    node_ptr n;      // the entry, or null
    node_ptr parent; // its directory, or null when the parent is missing too
    u16 key;         // upcased name of the entry inside parent
    u16 canonical;   // drive-rooted path with the names as stored, links resolved
    uint32_t error = 0;
};

struct reg_key;
using reg_ptr = std::shared_ptr<reg_key>;
struct reg_value {
    u16 name;
    uint32_t type;
    std::vector<uint8_t> data;
};
struct reg_key {
    u16 name;
    std::map<u16, reg_ptr, upcase_less> subkeys;
    std::vector<reg_value> values;
    bool deleted = false;
    bool denied = false;
};

struct env_entry {
    u16 name;
    u16 value;
};

struct state {
    std::recursive_mutex lock;
    std::map<char16_t, node_ptr> drives; // upcased letter
    uint64_t next_index = 1;
    reg_ptr hkcu, hklm;
    std::map<u16, env_entry> env; // keyed by upcased name
    u16 module_path;
    std::vector<recycled_item> recycle;
    std::vector<node_ptr> recycle_nodes;
    find_hook hook;
    counters count{};
    std::map<u16, std::vector<io_event>> logs; // by upcased canonical path
};

state& st();

// Path parsing: splits "C:\a\b" into drive and components, accepting \ and /,
// a \\?\ prefix, "." and ".." segments. False for a path that is not absolute.
bool split(const char16_t* path, char16_t* drive, std::vector<u16>* parts);

// Resolves a path under the lock. Links in the middle are always followed;
// a final link is followed only when follow_final is set.
resolved resolve(const char16_t* path, bool follow_final);
resolved resolve_parts(char16_t drive, const std::vector<u16>& parts, bool follow_final, int depth);

node_ptr new_node(const u16& name, bool dir);
uint8_t content_byte(const node& n, uint64_t offset);
void write_bytes(node& n, uint64_t offset, const uint8_t* data, size_t len);

void set_error(uint32_t e);

// Handle table.
enum class hkind { file, find, key, thread };
struct handle_obj {
    hkind kind;
    virtual ~handle_obj() = default;
};
os::handle add_handle(std::shared_ptr<handle_obj> obj);
std::shared_ptr<handle_obj> get_handle(os::handle h, hkind kind);
bool drop_handle(os::handle h);

void reset_registry();
void reset_environment();

} // namespace sim::detail
