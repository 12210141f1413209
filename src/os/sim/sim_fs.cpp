// Simulated Windows: the file system, the find calls, file handles and the
// Recycle Bin.
//
// Invariant: every call answers as the Win32 call of the same name would on an
// NTFS volume of a 64-bit Windows 10 (long paths accepted), with the same
// error codes; names compare case-insensitively and keep their case; listings
// come in NTFS order (by upcased name), with "." and ".." first below a root.
#include <algorithm>
#include <cstring>

#include "os/sim/sim_internal.h"

namespace sim::detail {

state& st() {
    static state s;
    return s;
}

thread_local uint32_t t_last_error = 0;
void set_error(uint32_t e) {
    t_last_error = e;
}

char16_t upcase(char16_t c) {
    if (c >= u'a' && c <= u'z') return char16_t(c - 0x20);
    // Latin-1 and Greek/Cyrillic basics, enough for the names tests use.
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return char16_t(c - 0x20);
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return char16_t(c - 0x20);
    if (c >= 0x430 && c <= 0x44F) return char16_t(c - 0x20);
    return c;
}

u16 upper(const u16& s) {
    u16 r(s);
    for (auto& c : r) c = upcase(c);
    return r;
}

uint32_t node::reported_attrs() const {
    uint32_t a = attrs;
    if (dir) a |= os::file_attribute_directory;
    if (is_link()) a |= os::file_attribute_reparse_point;
    if (a == 0) a = os::file_attribute_normal;
    return a;
}

bool split(const char16_t* path, char16_t* drive, std::vector<u16>* parts) {
    if (!path) return false;
    u16 p(path);
    if (p.rfind(u"\\\\?\\", 0) == 0) p = p.substr(4);
    if (p.size() < 2 || p[1] != u':') return false;
    char16_t d = upcase(p[0]);
    if (d < u'A' || d > u'Z') return false;
    if (p.size() > 2 && p[2] != u'\\' && p[2] != u'/') return false; // drive-relative
    *drive = d;
    parts->clear();
    u16 cur;
    auto flush = [&]() {
        // Windows drops trailing dots and blanks of a segment.
        while (!cur.empty() && (cur.back() == u' ' || cur.back() == u'.') && cur != u"." &&
               cur != u"..")
            cur.pop_back();
        if (cur.empty() || cur == u".") {
        } else if (cur == u"..") {
            if (!parts->empty()) parts->pop_back();
        } else {
            parts->push_back(cur);
        }
        cur.clear();
    };
    for (size_t i = 2; i < p.size(); ++i) {
        if (p[i] == u'\\' || p[i] == u'/')
            flush();
        else
            cur.push_back(p[i]);
    }
    flush();
    return true;
}

resolved resolve_parts(char16_t drive, const std::vector<u16>& parts, bool follow_final,
                       int depth) {
    state& s = st();
    resolved r;
    auto it = s.drives.find(drive);
    if (it == s.drives.end()) {
        r.error = os::error_path_not_found;
        return r;
    }
    node_ptr cur = it->second;
    r.canonical = u16(1, drive) + u":";
    if (parts.empty()) {
        r.n = cur;
        r.canonical += u"\\";
        return r;
    }
    for (size_t i = 0; i < parts.size(); ++i) {
        bool last = i + 1 == parts.size();
        if (!cur->dir) {
            r.parent = nullptr;
            r.error = os::error_path_not_found;
            return r;
        }
        u16 key = upper(parts[i]);
        auto c = cur->children.find(key);
        if (c == cur->children.end() || c->second->vanished) {
            if (last) {
                r.parent = cur;
                r.key = key;
                r.canonical += u"\\" + parts[i];
                r.error = os::error_file_not_found;
            } else {
                r.parent = nullptr;
                r.error = os::error_path_not_found;
            }
            return r;
        }
        node_ptr child = c->second;
        if (child->is_link() && (!last || follow_final)) {
            if (depth > 31) {
                r.error = os::error_cant_resolve_filename;
                return r;
            }
            char16_t td;
            std::vector<u16> tparts;
            if (!split(child->link_target.c_str(), &td, &tparts)) {
                r.error = os::error_path_not_found;
                return r;
            }
            for (size_t k = i + 1; k < parts.size(); ++k) tparts.push_back(parts[k]);
            resolved t = resolve_parts(td, tparts, follow_final, depth + 1);
            if (!t.n && !last && t.error == os::error_file_not_found)
                t.error = os::error_path_not_found;
            return t;
        }
        r.parent = cur;
        r.key = key;
        r.canonical += u"\\" + child->name;
        cur = child;
    }
    r.n = cur;
    return r;
}

resolved resolve(const char16_t* path, bool follow_final) {
    char16_t d;
    std::vector<u16> parts;
    if (!split(path, &d, &parts)) {
        resolved r;
        r.error = os::error_invalid_name;
        return r;
    }
    return resolve_parts(d, parts, follow_final, 0);
}

node_ptr new_node(const u16& name, bool dir) {
    auto n = std::make_shared<node>();
    n->name = name;
    n->dir = dir;
    n->attrs = dir ? 0 : os::file_attribute_archive;
    n->index = st().next_index++;
    return n;
}

static uint64_t mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

static void read_range(const node& n, uint64_t off, uint8_t* out, size_t len) {
    if (len == 0) return; // an empty file's buffer may be null
    if (n.seed == 0) {
        std::memset(out, 0, len);
    } else {
        for (size_t i = 0; i < len; ++i) {
            uint64_t o = off + i;
            out[i] = uint8_t(mix(n.seed ^ ((o >> 3) * 0x100000001B3ull)) >> ((o & 7) * 8));
        }
    }
    for (const auto& p : n.patches) {
        uint64_t b = std::max(off, p.first), e = std::min(off + len, p.first + p.second.size());
        for (uint64_t o = b; o < e; ++o) out[o - off] = p.second[o - p.first];
    }
}

uint8_t content_byte(const node& n, uint64_t offset) {
    uint8_t b;
    read_range(n, offset, &b, 1);
    return b;
}

void write_bytes(node& n, uint64_t offset, const uint8_t* data, size_t len) {
    if (len == 0) return;
    // Drop older patches that the new one covers completely.
    n.patches.erase(std::remove_if(n.patches.begin(), n.patches.end(),
                                   [&](const auto& p) {
                                       return p.first >= offset &&
                                              p.first + p.second.size() <= offset + len;
                                   }),
                    n.patches.end());
    n.patches.emplace_back(offset, std::vector<uint8_t>(data, data + len));
    if (offset + len > n.size) n.size = offset + len;
    if (n.patches.size() > 256 && n.size <= (64u << 20)) {
        std::vector<uint8_t> all(size_t(n.size));
        read_range(n, 0, all.data(), all.size());
        n.patches.clear();
        n.seed = 0;
        n.patches.emplace_back(0, std::move(all));
    }
    if (!n.log_key.empty())
        st().logs[n.log_key].push_back(
            {io_event::write, offset, std::vector<uint8_t>(data, data + len)});
}

// ------------------------------------------------------------- handles --

struct handle_table {
    std::map<uintptr_t, std::shared_ptr<handle_obj>> map;
    uintptr_t next = 0x1000;
};
static handle_table& table() {
    static handle_table t;
    return t;
}

os::handle add_handle(std::shared_ptr<handle_obj> obj) {
    std::lock_guard<std::recursive_mutex> g(st().lock);
    uintptr_t id = table().next;
    table().next += 4;
    table().map[id] = std::move(obj);
    return reinterpret_cast<os::handle>(id);
}

std::shared_ptr<handle_obj> get_handle(os::handle h, hkind kind) {
    std::lock_guard<std::recursive_mutex> g(st().lock);
    auto it = table().map.find(reinterpret_cast<uintptr_t>(h));
    if (it == table().map.end() || it->second->kind != kind) return nullptr;
    return it->second;
}

bool drop_handle(os::handle h) {
    std::shared_ptr<handle_obj> keep; // destroyed after the lock is released
    std::lock_guard<std::recursive_mutex> g(st().lock);
    auto it = table().map.find(reinterpret_cast<uintptr_t>(h));
    if (it == table().map.end()) return false;
    keep = std::move(it->second);
    table().map.erase(it);
    return true;
}

struct file_obj : handle_obj {
    node_ptr n;
    std::weak_ptr<node> parent;
    u16 key;
    u16 canonical;
    uint32_t access = 0, share = 0;
    uint64_t pos = 0;
    bool delete_on_close = false;
};

struct find_obj : handle_obj {
    std::vector<os::find_data> entries;
    size_t next = 0;
    u16 dir;
};

static bool wants_read(uint32_t a) {
    return a & (os::generic_read | 0x1u);
}
static bool wants_write(uint32_t a) {
    return a & (os::generic_write | 0x2u | 0x4u);
}
static bool wants_delete(uint32_t a) {
    return a & os::delete_access;
}

static bool share_ok(const node& n, uint32_t access, uint32_t share) {
    if (n.in_use && (wants_read(access) || wants_write(access) || wants_delete(access)))
        return false;
    for (const auto& e : n.opens) {
        if (wants_read(access) && !(e.share & os::file_share_read)) return false;
        if (wants_write(access) && !(e.share & os::file_share_write)) return false;
        if (wants_delete(access) && !(e.share & os::file_share_delete)) return false;
        if (wants_read(e.access) && !(share & os::file_share_read)) return false;
        if (wants_write(e.access) && !(share & os::file_share_write)) return false;
        if (wants_delete(e.access) && !(share & os::file_share_delete)) return false;
    }
    return true;
}

static bool others_block_delete(const node& n) {
    if (n.in_use) return true;
    for (const auto& e : n.opens)
        if (!(e.share & os::file_share_delete)) return true;
    return false;
}

static void unlink_entry(const node_ptr& parent, const u16& key) {
    auto it = parent->children.find(key);
    if (it == parent->children.end()) return;
    if (it->second->links) --it->second->links;
    parent->children.erase(it);
}

// Guards a call: takes the lock and starts with a clean error.
#define SIM_LOCK std::lock_guard<std::recursive_mutex> sim_guard_(sim::detail::st().lock)

} // namespace sim::detail

// ======================================================== os.h functions ==

namespace os {

using namespace sim::detail;

uint32_t get_last_error() {
    return t_last_error;
}
void set_last_error(uint32_t code) {
    t_last_error = code;
}

uint32_t get_file_attributes(const char16_t* path) {
    SIM_LOCK;
    ++st().count.get_attributes;
    resolved r = resolve(path, false);
    if (!r.n) {
        set_error(r.error);
        return invalid_file_attributes;
    }
    return r.n->reported_attrs();
}

bool get_file_attributes_ex(const char16_t* path, file_attribute_data* out) {
    SIM_LOCK;
    ++st().count.get_attributes;
    resolved r = resolve(path, false);
    if (!r.n) {
        set_error(r.error);
        return false;
    }
    out->attributes = r.n->reported_attrs();
    out->creation_time = r.n->creation;
    out->last_access_time = r.n->last_write;
    out->last_write_time = r.n->last_write;
    uint64_t size = (r.n->dir || r.n->is_link()) ? 0 : r.n->size;
    out->size_high = uint32_t(size >> 32);
    out->size_low = uint32_t(size);
    return true;
}

static constexpr uint32_t settable_attrs = 0x1 | 0x2 | 0x4 | 0x20 | 0x100 | 0x1000 | 0x2000;

bool set_file_attributes(const char16_t* path, uint32_t attributes) {
    SIM_LOCK;
    resolved r = resolve(path, false);
    if (!r.n) {
        set_error(r.error);
        return false;
    }
    if (r.n->set_attr_denied) {
        set_error(error_access_denied);
        return false;
    }
    r.n->attrs = attributes & settable_attrs;
    return true;
}

static bool name_matches(const u16& pat, const u16& name) {
    // DOS-style match: '*' any run, '?' one unit, case-insensitive; "*.*" is "*".
    u16 p = upper(pat == u"*.*" ? u16(u"*") : pat), n = upper(name);
    size_t pi = 0, ni = 0, star = u16::npos, mark = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == u'?' || p[pi] == n[ni])) {
            ++pi, ++ni;
        } else if (pi < p.size() && p[pi] == u'*') {
            star = pi++;
            mark = ni;
        } else if (star != u16::npos) {
            pi = star + 1;
            ni = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == u'*') ++pi;
    return pi == p.size();
}

static void fill_find(const node& n, const u16& name, find_data* d) {
    std::memset(d, 0, sizeof *d);
    d->attributes = n.reported_attrs();
    d->creation_time = n.creation;
    d->last_access_time = n.last_write;
    d->last_write_time = n.last_write;
    uint64_t size = (n.dir || n.is_link()) ? 0 : n.size;
    d->size_high = uint32_t(size >> 32);
    d->size_low = uint32_t(size);
    d->reserved0 = n.is_link() ? n.reparse_tag : 0;
    size_t len = std::min<size_t>(name.size(), 259);
    std::memcpy(d->name, name.data(), len * 2);
    d->name[len] = 0;
}

static handle find_first_impl(const char16_t* pattern, find_data* out) {
    std::shared_ptr<find_obj> f;
    {
        SIM_LOCK;
        ++st().count.find_first;
        if (!pattern) {
            set_error(error_invalid_parameter);
            return invalid_handle;
        }
        u16 p(pattern);
        size_t cut = p.find_last_of(u"\\/");
        if (cut == u16::npos) {
            set_error(error_invalid_name);
            return invalid_handle;
        }
        u16 dirpart = p.substr(0, cut), pat = p.substr(cut + 1);
        if (dirpart.size() == 2 && dirpart[1] == u':') dirpart += u"\\";
        if (pat.empty()) {
            set_error(error_file_not_found);
            return invalid_handle;
        }
        resolved r = resolve(dirpart.c_str(), true);
        if (!r.n || !r.n->dir) {
            set_error(r.n ? error_path_not_found
                          : (r.error == error_file_not_found ? error_path_not_found : r.error));
            return invalid_handle;
        }
        if (r.n->list_denied) {
            set_error(error_access_denied);
            return invalid_handle;
        }
        f = std::make_shared<find_obj>();
        f->kind = hkind::find;
        f->dir = r.canonical;
        bool is_root = r.canonical.size() == 3;
        if (!is_root) {
            for (const u16& dot : {u16(u"."), u16(u"..")}) {
                if (name_matches(pat, dot)) {
                    find_data d;
                    fill_find(*r.n, dot, &d);
                    f->entries.push_back(d);
                }
            }
        }
        for (const auto& kv : r.n->children) {
            if (!name_matches(pat, kv.second->name)) continue;
            find_data d;
            fill_find(*kv.second, kv.second->name, &d);
            f->entries.push_back(d);
        }
        if (f->entries.empty()) {
            set_error(error_file_not_found);
            return invalid_handle;
        }
    }
    sim::find_hook hook = st().hook;
    if (hook) hook(f->dir, f->entries[0].name);
    *out = f->entries[0];
    f->next = 1;
    return add_handle(f);
}

handle find_first_file(const char16_t* pattern, find_data* out) {
    handle h = find_first_impl(pattern, out);
    if (h != invalid_handle) {
        // FindFirstFileW fills the short name; the simulated volume has none,
        // like an NTFS volume with 8.3 names turned off.
        out->alternate_name[0] = 0;
    }
    return h;
}

handle find_first_file_ex_basic(const char16_t* pattern, find_data* out) {
    return find_first_impl(pattern, out);
}

bool find_next_file(handle find, find_data* out) {
    auto f = std::static_pointer_cast<find_obj>(get_handle(find, hkind::find));
    if (!f) {
        set_error(error_invalid_handle);
        return false;
    }
    if (f->next >= f->entries.size()) {
        set_error(error_no_more_files);
        return false;
    }
    const find_data& d = f->entries[f->next++];
    sim::find_hook hook;
    {
        SIM_LOCK;
        hook = st().hook;
    }
    if (hook) hook(f->dir, d.name);
    *out = d;
    return true;
}

bool find_close(handle find) {
    if (!get_handle(find, hkind::find)) {
        set_error(error_invalid_handle);
        return false;
    }
    return drop_handle(find);
}

handle create_file(const char16_t* path, uint32_t access, uint32_t share, uint32_t disposition,
                   uint32_t flags_and_attributes) {
    SIM_LOCK;
    bool follow = !(flags_and_attributes & file_flag_open_reparse_point);
    resolved r = resolve(path, follow);
    if (!r.n && !r.parent) {
        set_error(r.error ? r.error : error_path_not_found);
        return invalid_handle;
    }
    bool existed = r.n != nullptr;
    if (existed) {
        if (disposition == create_new) {
            set_error(error_file_exists);
            return invalid_handle;
        }
        if (r.n->open_denied) {
            set_error(error_access_denied);
            return invalid_handle;
        }
        if (r.n->dir && !(flags_and_attributes & file_flag_backup_semantics)) {
            set_error(error_access_denied);
            return invalid_handle;
        }
        if (r.n->delete_pending) {
            set_error(error_access_denied);
            return invalid_handle;
        }
        if ((r.n->attrs & file_attribute_readonly) && wants_write(access)) {
            set_error(error_access_denied);
            return invalid_handle;
        }
        if (!share_ok(*r.n, access, share)) {
            set_error(error_sharing_violation);
            return invalid_handle;
        }
        if (disposition == create_always && !r.n->dir) {
            if (!wants_write(access)) {
                set_error(error_access_denied);
                return invalid_handle;
            }
            r.n->size = 0;
            r.n->patches.clear();
            r.n->seed = 0;
        }
    } else {
        if (disposition == open_existing) {
            set_error(r.error ? r.error : error_file_not_found);
            return invalid_handle;
        }
        if (!r.parent || !r.parent->dir) {
            set_error(error_path_not_found);
            return invalid_handle;
        }
        if (r.parent->create_denied) {
            set_error(error_access_denied);
            return invalid_handle;
        }
        u16 p(path);
        size_t cut = p.find_last_of(u"\\/");
        u16 name = p.substr(cut + 1);
        if (name.size() > 255) {
            set_error(error_filename_exced_range);
            return invalid_handle;
        }
        node_ptr n = new_node(name, false);
        n->attrs = (flags_and_attributes & settable_attrs) ? (flags_and_attributes & settable_attrs)
                                                           : file_attribute_archive;
        r.parent->children[upper(name)] = n;
        r.n = n;
        r.key = upper(name);
    }
    auto f = std::make_shared<file_obj>();
    f->kind = hkind::file;
    f->n = r.n;
    f->parent = r.parent;
    f->key = r.key;
    f->canonical = r.canonical;
    f->access = access;
    f->share = share;
    r.n->opens.push_back({access, share});
    set_error(existed && (disposition == open_always || disposition == create_always)
                  ? error_already_exists
                  : error_success);
    return add_handle(f);
}

static std::shared_ptr<file_obj> file_of(handle h) {
    auto f = std::static_pointer_cast<file_obj>(get_handle(h, hkind::file));
    if (!f) set_error(error_invalid_handle);
    return f;
}

bool read_file(handle h, void* buffer, uint32_t bytes, uint32_t* read) {
    SIM_LOCK;
    auto f = file_of(h);
    if (read) *read = 0;
    if (!f) return false;
    if (!wants_read(f->access)) {
        set_error(error_access_denied);
        return false;
    }
    uint64_t avail = f->pos < f->n->size ? f->n->size - f->pos : 0;
    uint32_t n = uint32_t(std::min<uint64_t>(avail, bytes));
    read_range(*f->n, f->pos, static_cast<uint8_t*>(buffer), n);
    f->pos += n;
    if (read) *read = n;
    return true;
}

bool write_file(handle h, const void* buffer, uint32_t bytes, uint32_t* written) {
    SIM_LOCK;
    auto f = file_of(h);
    if (written) *written = 0;
    if (!f) return false;
    if (!wants_write(f->access)) {
        set_error(error_access_denied);
        return false;
    }
    uint32_t n = bytes;
    bool fail = false;
    if (f->n->write_fails && f->pos + bytes > f->n->write_limit) {
        n = f->pos < f->n->write_limit ? uint32_t(f->n->write_limit - f->pos) : 0;
        fail = true;
    }
    write_bytes(*f->n, f->pos, static_cast<const uint8_t*>(buffer), n);
    f->pos += n;
    if (written) *written = n;
    if (fail) {
        set_error(error_disk_full);
        return false;
    }
    return true;
}

bool flush_file_buffers(handle h) {
    SIM_LOCK;
    auto f = file_of(h);
    if (!f) return false;
    if (!wants_write(f->access)) {
        set_error(error_access_denied);
        return false;
    }
    if (!f->n->log_key.empty()) st().logs[f->n->log_key].push_back({sim::io_event::flush, 0, {}});
    return true;
}

bool get_file_size_ex(handle h, uint64_t* size) {
    SIM_LOCK;
    auto f = file_of(h);
    if (!f) return false;
    *size = f->n->dir ? 0 : f->n->size;
    return true;
}

bool set_file_pointer_ex(handle h, int64_t distance, uint32_t method, uint64_t* new_position) {
    SIM_LOCK;
    auto f = file_of(h);
    if (!f) return false;
    int64_t base = method == file_begin     ? 0
                   : method == file_current ? int64_t(f->pos)
                                            : int64_t(f->n->size);
    int64_t np = base + distance;
    if (np < 0 || method > file_end) {
        set_error(error_invalid_parameter);
        return false;
    }
    f->pos = uint64_t(np);
    if (new_position) *new_position = f->pos;
    return true;
}

bool get_file_information_by_handle(handle h, file_information* out) {
    SIM_LOCK;
    auto f = file_of(h);
    if (!f) return false;
    out->attributes = f->n->reported_attrs();
    out->last_write_time = f->n->last_write;
    out->volume_serial = 0x5EED0000u + uint32_t(f->canonical.empty() ? 0 : f->canonical[0]);
    out->number_of_links = f->n->links;
    out->file_index = f->n->index;
    out->size = (f->n->dir || f->n->is_link()) ? 0 : f->n->size;
    return true;
}

bool get_file_attribute_tag_info(handle h, uint32_t* attributes, uint32_t* reparse_tag) {
    SIM_LOCK;
    auto f = file_of(h);
    if (!f) return false;
    if (attributes) *attributes = f->n->reported_attrs();
    if (reparse_tag) *reparse_tag = f->n->is_link() ? f->n->reparse_tag : 0;
    return true;
}

uint32_t get_final_path_name_by_handle(handle h, char16_t* buffer, uint32_t cap) {
    SIM_LOCK;
    auto f = file_of(h);
    if (!f) return 0;
    u16 full = u"\\\\?\\" + f->canonical;
    if (cap <= full.size()) return uint32_t(full.size() + 1);
    std::memcpy(buffer, full.c_str(), (full.size() + 1) * 2);
    return uint32_t(full.size());
}

bool set_file_attributes_by_handle(handle h, uint32_t attributes) {
    SIM_LOCK;
    auto f = file_of(h);
    if (!f) return false;
    if (!(f->access & (file_write_attributes | generic_write)) || f->n->set_attr_denied) {
        set_error(error_access_denied);
        return false;
    }
    f->n->attrs = attributes & settable_attrs;
    return true;
}

bool set_file_delete_disposition(handle h, bool delete_file) {
    SIM_LOCK;
    auto f = file_of(h);
    if (!f) return false;
    if (!wants_delete(f->access) || f->n->delete_denied ||
        (delete_file && (f->n->attrs & file_attribute_readonly))) {
        set_error(error_access_denied);
        return false;
    }
    if (delete_file && f->n->dir && !f->n->is_link() && !f->n->children.empty()) {
        set_error(error_dir_not_empty);
        return false;
    }
    f->delete_on_close = delete_file;
    f->n->delete_pending = delete_file;
    return true;
}

bool close_handle(handle h) {
    SIM_LOCK;
    if (auto f = std::static_pointer_cast<file_obj>(get_handle(h, hkind::file))) {
        auto& ops = f->n->opens;
        for (auto it = ops.begin(); it != ops.end(); ++it) {
            if (it->access == f->access && it->share == f->share) {
                ops.erase(it);
                break;
            }
        }
        if (f->delete_on_close) {
            f->n->delete_pending = false;
            if (auto parent = f->parent.lock()) {
                auto it = parent->children.find(f->key);
                if (it != parent->children.end() && it->second == f->n)
                    unlink_entry(parent, f->key);
            }
        }
        return drop_handle(h);
    }
    if (get_handle(h, hkind::key)) {
        set_error(error_invalid_handle);
        return false;
    }
    if (get_handle(h, hkind::thread) || get_handle(h, hkind::find)) return drop_handle(h);
    set_error(error_invalid_handle);
    return false;
}

bool delete_file(const char16_t* path) {
    SIM_LOCK;
    resolved r = resolve(path, false);
    if (!r.n) {
        set_error(r.error);
        return false;
    }
    if (r.n->dir) {
        set_error(error_access_denied);
        return false;
    }
    if ((r.n->attrs & file_attribute_readonly) || r.n->delete_denied) {
        set_error(error_access_denied);
        return false;
    }
    if (others_block_delete(*r.n)) {
        set_error(error_sharing_violation);
        return false;
    }
    unlink_entry(r.parent, r.key);
    return true;
}

bool remove_directory(const char16_t* path) {
    SIM_LOCK;
    resolved r = resolve(path, false);
    if (!r.n) {
        set_error(r.error);
        return false;
    }
    if (!r.n->dir) {
        set_error(error_directory);
        return false;
    }
    if (!r.parent) { // a drive root
        set_error(error_access_denied);
        return false;
    }
    if ((r.n->attrs & file_attribute_readonly) || r.n->delete_denied) {
        set_error(error_access_denied);
        return false;
    }
    if (!r.n->is_link() && !r.n->children.empty()) {
        set_error(error_dir_not_empty);
        return false;
    }
    if (others_block_delete(*r.n)) {
        set_error(error_sharing_violation);
        return false;
    }
    unlink_entry(r.parent, r.key);
    return true;
}

bool create_directory(const char16_t* path) {
    SIM_LOCK;
    resolved r = resolve(path, true);
    if (r.n) {
        set_error(error_already_exists);
        return false;
    }
    if (!r.parent) {
        set_error(r.error == error_invalid_name ? r.error : error_path_not_found);
        return false;
    }
    if (r.parent->create_denied) {
        set_error(error_access_denied);
        return false;
    }
    u16 p(path);
    while (!p.empty() && (p.back() == u'\\' || p.back() == u'/')) p.pop_back();
    u16 name = p.substr(p.find_last_of(u"\\/") + 1);
    if (name.size() > 255) {
        set_error(error_filename_exced_range);
        return false;
    }
    r.parent->children[upper(name)] = new_node(name, true);
    return true;
}

// The shell's answers, as SHFileOperationW gives them on Windows 10 with
// FOF_NOERRORUI: Win32 codes for a missing or locked source, and the legacy
// DE_ value for a path longer than MAX_PATH.
static constexpr int32_t de_path_too_deep = 0x79;

int32_t sh_file_operation(sh_file_op* op) {
    SIM_LOCK;
    if (!op || op->func != fo_delete || !op->from) return error_invalid_parameter;
    op->any_operations_aborted = 0;
    for (const char16_t* p = op->from; *p; p += std::char_traits<char16_t>::length(p) + 1) {
        if (std::char_traits<char16_t>::length(p) >= 260) return de_path_too_deep;
        resolved r = resolve(p, false);
        if (!r.n) return int32_t(error_file_not_found);
        if (r.n->recycle_error) return r.n->recycle_error;
        if (r.n->recycle_lies) continue;
        if (r.n->recycle_aborts) {
            op->any_operations_aborted = 1;
            continue;
        }
        if (r.n->delete_denied || !r.parent) return int32_t(error_access_denied);
        if (others_block_delete(*r.n)) return int32_t(error_sharing_violation);
        node_ptr n = r.n;
        unlink_entry(r.parent, r.key);
        if (op->flags & fof_allowundo) {
            st().recycle.push_back({r.canonical, n->dir, n->dir ? 0 : n->size});
            st().recycle_nodes.push_back(n);
        }
    }
    return 0;
}

} // namespace os

// ======================================================== sim controls ==

namespace sim {

using namespace detail;

static node_ptr ensure_dir(char16_t drive, const std::vector<u16>& parts, size_t count) {
    state& s = st();
    node_ptr& root = s.drives[drive];
    if (!root) root = new_node(u"", true);
    node_ptr cur = root;
    for (size_t i = 0; i < count; ++i) {
        if (parts[i].size() > 255) return nullptr;
        u16 key = upper(parts[i]);
        auto it = cur->children.find(key);
        if (it == cur->children.end()) {
            node_ptr n = new_node(parts[i], true);
            cur->children[key] = n;
            cur = n;
            continue;
        }
        node_ptr c = it->second;
        if (c->is_link()) {
            resolved r = resolve(c->link_target.c_str(), true);
            if (!r.n || !r.n->dir) return nullptr;
            c = r.n;
        }
        if (!c->dir) return nullptr;
        cur = c;
    }
    return cur;
}

static bool place(const u16& path, const node_ptr& n) {
    char16_t d;
    std::vector<u16> parts;
    if (!split(path.c_str(), &d, &parts) || parts.empty() || parts.back().size() > 255)
        return false;
    node_ptr parent = ensure_dir(d, parts, parts.size() - 1);
    if (!parent) return false;
    n->name = parts.back();
    parent->children[upper(parts.back())] = n;
    return true;
}

bool make_dir(const std::u16string& path, uint32_t attributes) {
    SIM_LOCK;
    char16_t d;
    std::vector<u16> parts;
    if (!split(path.c_str(), &d, &parts)) return false;
    node_ptr n = ensure_dir(d, parts, parts.size());
    if (!n) return false;
    if (attributes) n->attrs = attributes & ~os::file_attribute_directory;
    return true;
}

bool make_file(const std::u16string& path, const file_spec& spec) {
    SIM_LOCK;
    node_ptr n = new_node(u"", false);
    n->size = spec.size;
    if (spec.attributes) n->attrs = spec.attributes;
    n->last_write = spec.last_write;
    n->seed = spec.seed;
    return place(path, n);
}

bool make_file_bytes(const std::u16string& path, const std::vector<uint8_t>& bytes,
                     uint32_t attributes) {
    SIM_LOCK;
    node_ptr n = new_node(u"", false);
    if (attributes) n->attrs = attributes;
    if (!bytes.empty()) n->patches.emplace_back(0, bytes);
    n->size = bytes.size();
    return place(path, n);
}

static bool make_link(const u16& path, const u16& target, bool dir, uint32_t tag) {
    SIM_LOCK;
    node_ptr n = new_node(u"", dir);
    n->link_target = target;
    n->reparse_tag = tag;
    return place(path, n);
}

bool make_junction(const std::u16string& path, const std::u16string& target) {
    return make_link(path, target, true, os::io_reparse_tag_mount_point);
}

bool make_symlink(const std::u16string& path, const std::u16string& target, bool directory) {
    return make_link(path, target, directory, os::io_reparse_tag_symlink);
}

bool make_hard_link(const std::u16string& path, const std::u16string& existing) {
    SIM_LOCK;
    resolved r = resolve(existing.c_str(), false);
    if (!r.n || r.n->dir) return false;
    char16_t d;
    std::vector<u16> parts;
    if (!split(path.c_str(), &d, &parts) || parts.empty()) return false;
    node_ptr parent = ensure_dir(d, parts, parts.size() - 1);
    if (!parent) return false;
    parent->children[upper(parts.back())] = r.n;
    ++r.n->links;
    return true;
}

bool remove(const std::u16string& path) {
    SIM_LOCK;
    resolved r = resolve(path.c_str(), false);
    if (!r.n || !r.parent) return false;
    unlink_entry(r.parent, r.key);
    return true;
}

bool patch(const std::u16string& path, uint64_t offset, const std::vector<uint8_t>& bytes) {
    SIM_LOCK;
    resolved r = resolve(path.c_str(), true);
    if (!r.n || r.n->dir) return false;
    u16 log_key;
    std::swap(log_key, r.n->log_key); // a test's own patch is not the program's I/O
    write_bytes(*r.n, offset, bytes.data(), bytes.size());
    std::swap(log_key, r.n->log_key);
    return true;
}

bool exists(const std::u16string& path) {
    SIM_LOCK;
    return resolve(path.c_str(), false).n != nullptr;
}

std::vector<uint8_t> contents(const std::u16string& path) {
    SIM_LOCK;
    resolved r = resolve(path.c_str(), true);
    if (!r.n || r.n->dir) return {};
    std::vector<uint8_t> out(size_t(r.n->size));
    read_range(*r.n, 0, out.data(), out.size());
    return out;
}

uint32_t attributes(const std::u16string& path) {
    return os::get_file_attributes(path.c_str());
}

bool set_fault(const std::u16string& path, fault f, uint64_t param) {
    SIM_LOCK;
    resolved r = resolve(path.c_str(), false);
    if (!r.n) return false;
    node& n = *r.n;
    switch (f) {
        case fault::list_denied:
            n.list_denied = true;
            break;
        case fault::open_denied:
            n.open_denied = true;
            break;
        case fault::create_denied:
            n.create_denied = true;
            break;
        case fault::in_use:
            n.in_use = true;
            break;
        case fault::delete_denied:
            n.delete_denied = true;
            break;
        case fault::write_fails:
            n.write_fails = true;
            n.write_limit = param;
            break;
        case fault::vanished:
            n.vanished = true;
            break;
        case fault::recycle_fails:
            n.recycle_error = int32_t(param ? param : 5);
            break;
        case fault::recycle_lies:
            n.recycle_lies = true;
            break;
        case fault::recycle_aborts:
            n.recycle_aborts = true;
            break;
        case fault::set_attr_denied:
            n.set_attr_denied = true;
            break;
    }
    return true;
}

void set_find_hook(find_hook hook) {
    SIM_LOCK;
    st().hook = std::move(hook);
}

std::vector<recycled_item> recycled() {
    SIM_LOCK;
    return st().recycle;
}

void log_io(const std::u16string& path) {
    SIM_LOCK;
    resolved r = resolve(path.c_str(), true);
    if (!r.n) return;
    r.n->log_key = upper(r.canonical);
    st().logs[r.n->log_key].clear();
}

std::vector<io_event> io_log(const std::u16string& path) {
    SIM_LOCK;
    // Kept by path, so the log outlives a file that was deleted.
    char16_t d;
    std::vector<u16> parts;
    if (!split(path.c_str(), &d, &parts)) return {};
    u16 key = u16(1, d) + u":";
    for (const auto& part : parts) key += u"\\" + part;
    if (parts.empty()) key += u"\\";
    auto it = st().logs.find(upper(key));
    return it == st().logs.end() ? std::vector<io_event>{} : it->second;
}

counters get_counters() {
    SIM_LOCK;
    return st().count;
}

std::vector<uint8_t> utf16_bytes(const std::u16string& s, bool with_zero) {
    std::vector<uint8_t> out;
    for (char16_t c : s) {
        out.push_back(uint8_t(c & 0xFF));
        out.push_back(uint8_t(c >> 8));
    }
    if (with_zero) out.insert(out.end(), {0, 0});
    return out;
}

static void add_std_dirs() {
    const char16_t* dirs[] = {
        u"C:\\Windows\\System32\\config",
        u"C:\\Windows\\System32\\drivers\\etc",
        u"C:\\Windows\\SysWOW64",
        u"C:\\Windows\\Fonts",
        u"C:\\Windows\\Temp",
        u"C:\\Windows\\Logs",
        u"C:\\Windows\\Prefetch",
        u"C:\\Windows\\Installer",
        u"C:\\ProgramData\\Microsoft\\Windows\\WER",
        u"C:\\Program Files\\Common Files",
        u"C:\\Program Files (x86)",
        u"C:\\Tools\\Welvo",
        u"C:\\Users\\Public",
        u"C:\\Users\\Ann\\Desktop",
        u"C:\\Users\\Ann\\Documents",
        u"C:\\Users\\Ann\\Downloads",
        u"C:\\Users\\Ann\\Music",
        u"C:\\Users\\Ann\\Pictures",
        u"C:\\Users\\Ann\\Videos",
        u"C:\\Users\\Ann\\AppData\\Local\\Temp",
        u"C:\\Users\\Ann\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup",
    };
    for (const char16_t* d : dirs) make_dir(d);
    make_dir(u"C:\\$Recycle.Bin", os::file_attribute_hidden | os::file_attribute_system);
    make_file(u"C:\\Windows\\System32\\drivers\\etc\\hosts", {824});
    make_file(u"C:\\Tools\\Welvo\\welvo.exe", {1 << 20});
}

void reset() {
    {
        SIM_LOCK;
        state& s = st();
        s.drives.clear();
        s.next_index = 1;
        s.recycle.clear();
        s.recycle_nodes.clear();
        s.hook = nullptr;
        s.count = {};
        s.logs.clear();
        s.module_path = u"C:\\Tools\\Welvo\\welvo.exe";
        s.drives[u'C'] = new_node(u"", true);
    }
    add_std_dirs();
    reset_registry();
    reset_environment();
    SIM_LOCK;
    st().count = {};
}

} // namespace sim
