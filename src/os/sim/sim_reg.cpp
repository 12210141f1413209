// Simulated Windows: the registry.
//
// Invariant: two roots (HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE); a 32-bit view
// of HKLM\SOFTWARE is its WOW6432Node subkey, as on 64-bit Windows; subkeys
// enumerate in sorted order, values in creation order; access rights asked for
// at open are enforced on later calls.
#include <cstring>

#include "os/sim/sim_internal.h"

namespace sim::detail {

struct key_obj : handle_obj {
    reg_ptr k;
    uint32_t sam = 0;
    int view = 64;
    bool is_hklm = false;
    std::vector<u16> path; // from the root, for redirecting relative opens
};

static std::shared_ptr<key_obj> key_of(os::hkey h) {
    return std::static_pointer_cast<key_obj>(
        get_handle(reinterpret_cast<os::handle>(h), hkind::key));
}

static std::vector<u16> split_key(const char16_t* sub) {
    std::vector<u16> parts;
    u16 cur;
    if (sub) {
        for (const char16_t* p = sub; *p; ++p) {
            if (*p == u'\\') {
                if (!cur.empty()) parts.push_back(cur);
                cur.clear();
            } else {
                cur.push_back(*p);
            }
        }
    }
    if (!cur.empty()) parts.push_back(cur);
    return parts;
}

// Applies WOW64 redirection to a path under HKLM.
static std::vector<u16> redirect(std::vector<u16> parts, int view) {
    if (view == 32 && !parts.empty() && upper(parts[0]) == u"SOFTWARE" &&
        (parts.size() < 2 || upper(parts[1]) != u"WOW6432NODE"))
        parts.insert(parts.begin() + 1, u"WOW6432Node");
    return parts;
}

struct target {
    reg_ptr root;
    std::vector<u16> parts; // full path from the root, redirected
    bool is_hklm;
    int view;
    uint32_t error = 0;
};

static target locate(os::hkey base, const char16_t* subkey, uint32_t sam) {
    target t;
    int flag_view = (sam & os::key_wow64_32key) ? 32 : (sam & os::key_wow64_64key) ? 64 : 0;
    std::vector<u16> rel = split_key(subkey);
    state& s = st();
    if (base == os::hkey_current_user || base == os::hkey_local_machine) {
        t.is_hklm = base == os::hkey_local_machine;
        t.root = t.is_hklm ? s.hklm : s.hkcu;
        t.view = flag_view ? flag_view : 64;
        t.parts = rel;
    } else {
        auto k = key_of(base);
        if (!k) {
            t.error = os::error_invalid_handle;
            return t;
        }
        if (k->k->deleted) {
            t.error = os::error_key_deleted;
            return t;
        }
        t.is_hklm = k->is_hklm;
        t.root = t.is_hklm ? s.hklm : s.hkcu;
        t.view = flag_view ? flag_view : k->view;
        t.parts = k->path;
        t.parts.insert(t.parts.end(), rel.begin(), rel.end());
    }
    if (t.is_hklm) t.parts = redirect(t.parts, t.view);
    return t;
}

static reg_ptr walk(const target& t, bool create, uint32_t* error) {
    reg_ptr cur = t.root;
    for (const u16& p : t.parts) {
        auto it = cur->subkeys.find(upper(p));
        if (it == cur->subkeys.end()) {
            if (!create) {
                *error = os::error_file_not_found;
                return nullptr;
            }
            auto k = std::make_shared<reg_key>();
            k->name = p;
            cur->subkeys[upper(p)] = k;
            cur = k;
        } else {
            cur = it->second;
        }
    }
    return cur;
}

static os::hkey add_key(const reg_ptr& k, const target& t, uint32_t sam) {
    auto o = std::make_shared<key_obj>();
    o->kind = hkind::key;
    o->k = k;
    o->sam = sam;
    o->view = t.view;
    o->is_hklm = t.is_hklm;
    o->path = t.parts;
    return reinterpret_cast<os::hkey>(add_handle(o));
}

static bool can(const key_obj& k, uint32_t right) {
    uint32_t sam = k.sam;
    if (sam & 0x10000000u) sam |= os::key_all_access; // GENERIC_ALL
    if (sam & 0x80000000u) sam |= os::key_read;       // GENERIC_READ
    if (sam & 0x40000000u) sam |= os::key_write;      // GENERIC_WRITE
    return (sam & right) == right;
}

void reset_registry() {
    std::lock_guard<std::recursive_mutex> g(st().lock);
    st().hkcu = std::make_shared<reg_key>();
    st().hklm = std::make_shared<reg_key>();
    const char16_t* profiles = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
    // A standard installation: every profile's folder is a value of its own
    // subkey; the ProfileList key itself carries no ProfileImagePath.
    reg_set_string(os::hkey_local_machine, u16(profiles) + u"\\S-1-5-18", u"ProfileImagePath",
                   u"%systemroot%\\system32\\config\\systemprofile", os::reg_expand_sz);
    reg_set_string(os::hkey_local_machine, u16(profiles) + u"\\S-1-5-21-1004336348-1177238915-1001",
                   u"ProfileImagePath", u"C:\\Users\\Ann", os::reg_expand_sz);
    reg_set_string(os::hkey_local_machine, profiles, u"ProgramData", u"%SystemDrive%\\ProgramData",
                   os::reg_expand_sz);
    reg_make_key(os::hkey_current_user, u"Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    reg_make_key(os::hkey_local_machine, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
    reg_make_key(os::hkey_local_machine, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", 32);
}

} // namespace sim::detail

namespace os {

using namespace sim::detail;

#define SIM_LOCK std::lock_guard<std::recursive_mutex> sim_guard_(sim::detail::st().lock)

int32_t reg_open_key_ex(hkey root, const char16_t* subkey, uint32_t options, uint32_t sam,
                        hkey* out) {
    SIM_LOCK;
    (void)options;
    ++st().count.reg_open;
    if (!out) return error_invalid_parameter;
    target t = locate(root, subkey, sam);
    if (t.error) return int32_t(t.error);
    uint32_t err = 0;
    reg_ptr k = walk(t, false, &err);
    if (!k) return int32_t(err);
    if (k->denied) return error_access_denied;
    *out = add_key(k, t, sam);
    return 0;
}

int32_t reg_create_key_ex(hkey root, const char16_t* subkey, uint32_t sam, hkey* out) {
    SIM_LOCK;
    if (!out) return error_invalid_parameter;
    target t = locate(root, subkey, sam);
    if (t.error) return int32_t(t.error);
    uint32_t err = 0;
    reg_ptr k = walk(t, true, &err);
    if (k->denied) return error_access_denied;
    *out = add_key(k, t, sam);
    return 0;
}

int32_t reg_enum_key_ex(hkey key, uint32_t index, char16_t* name, uint32_t* name_len) {
    SIM_LOCK;
    auto k = key_of(key);
    if (!k) return error_invalid_handle;
    if (k->k->deleted) return error_key_deleted;
    if (!can(*k, key_enumerate_sub_keys)) return error_access_denied;
    if (!name || !name_len) return error_invalid_parameter;
    if (index >= k->k->subkeys.size()) return error_no_more_items;
    auto it = k->k->subkeys.begin();
    std::advance(it, index);
    const u16& n = it->second->name;
    if (*name_len <= n.size()) return error_more_data;
    std::memcpy(name, n.c_str(), (n.size() + 1) * 2);
    *name_len = uint32_t(n.size());
    return 0;
}

static const reg_value* find_value(const reg_key& k, const char16_t* name) {
    u16 want = upper(name ? u16(name) : u16());
    for (const auto& v : k.values)
        if (upper(v.name) == want) return &v;
    return nullptr;
}

static int32_t copy_data(const reg_value& v, uint32_t* type, uint8_t* data, uint32_t* data_len) {
    if (type) *type = v.type;
    if (data && !data_len) return error_invalid_parameter;
    if (!data_len) return 0;
    uint32_t need = uint32_t(v.data.size());
    if (data && *data_len < need) {
        *data_len = need;
        return error_more_data;
    }
    if (data && need) std::memcpy(data, v.data.data(), need);
    *data_len = need;
    return 0;
}

int32_t reg_enum_value(hkey key, uint32_t index, char16_t* name, uint32_t* name_len, uint32_t* type,
                       uint8_t* data, uint32_t* data_len) {
    SIM_LOCK;
    auto k = key_of(key);
    if (!k) return error_invalid_handle;
    if (k->k->deleted) return error_key_deleted;
    if (!can(*k, key_query_value)) return error_access_denied;
    if (!name || !name_len) return error_invalid_parameter;
    if (index >= k->k->values.size()) return error_no_more_items;
    const reg_value& v = k->k->values[index];
    if (*name_len <= v.name.size()) return error_more_data;
    std::memcpy(name, v.name.c_str(), (v.name.size() + 1) * 2);
    *name_len = uint32_t(v.name.size());
    return copy_data(v, type, data, data_len);
}

int32_t reg_query_value_ex(hkey key, const char16_t* value_name, uint32_t* type, uint8_t* data,
                           uint32_t* data_len) {
    SIM_LOCK;
    auto k = key_of(key);
    if (!k) return error_invalid_handle;
    if (k->k->deleted) return error_key_deleted;
    if (!can(*k, key_query_value)) return error_access_denied;
    const reg_value* v = find_value(*k->k, value_name);
    if (!v) return error_file_not_found;
    return copy_data(*v, type, data, data_len);
}

int32_t reg_set_value_ex(hkey key, const char16_t* value_name, uint32_t type, const uint8_t* data,
                         uint32_t data_len) {
    SIM_LOCK;
    auto k = key_of(key);
    if (!k) return error_invalid_handle;
    if (k->k->deleted) return error_key_deleted;
    if (!can(*k, key_set_value)) return error_access_denied;
    std::vector<uint8_t> bytes(data, data + (data ? data_len : 0));
    for (auto& v : k->k->values) {
        if (upper(v.name) == upper(value_name ? u16(value_name) : u16())) {
            v.type = type;
            v.data = bytes;
            return 0;
        }
    }
    k->k->values.push_back({value_name ? u16(value_name) : u16(), type, bytes});
    return 0;
}

int32_t reg_delete_value(hkey key, const char16_t* value_name) {
    SIM_LOCK;
    auto k = key_of(key);
    if (!k) return error_invalid_handle;
    if (k->k->deleted) return error_key_deleted;
    if (!can(*k, key_set_value)) return error_access_denied;
    u16 want = upper(value_name ? u16(value_name) : u16());
    auto& vals = k->k->values;
    for (auto it = vals.begin(); it != vals.end(); ++it) {
        if (upper(it->name) == want) {
            vals.erase(it);
            return 0;
        }
    }
    return error_file_not_found;
}

static void mark_deleted(const reg_ptr& k) {
    k->deleted = true;
    for (auto& kv : k->subkeys) mark_deleted(kv.second);
}

static int32_t delete_tree_at(const target& t) {
    if (t.error) return int32_t(t.error);
    if (t.parts.empty()) return error_access_denied;
    std::vector<u16> parent_parts(t.parts.begin(), t.parts.end() - 1);
    target pt = t;
    pt.parts = parent_parts;
    uint32_t err = 0;
    reg_ptr parent = walk(pt, false, &err);
    if (!parent) return int32_t(err);
    auto it = parent->subkeys.find(upper(t.parts.back()));
    if (it == parent->subkeys.end()) return error_file_not_found;
    mark_deleted(it->second);
    parent->subkeys.erase(it);
    return 0;
}

int32_t reg_delete_tree(hkey root, const char16_t* subkey) {
    SIM_LOCK;
    return delete_tree_at(locate(root, subkey, 0));
}

int32_t reg_close_key(hkey key) {
    if (key == hkey_current_user || key == hkey_local_machine) return 0;
    if (!key_of(key)) return error_invalid_handle;
    drop_handle(reinterpret_cast<handle>(key));
    return 0;
}

} // namespace os

namespace sim {

using namespace detail;

static reg_ptr key_at(os::hkey root, const std::u16string& key, int view, bool create) {
    target t = locate(root, key.c_str(), view == 32 ? os::key_wow64_32key : os::key_wow64_64key);
    uint32_t err = 0;
    return walk(t, create, &err);
}

bool reg_set(os::hkey root, const std::u16string& key, const char16_t* value_name, uint32_t type,
             const std::vector<uint8_t>& data, int view) {
    SIM_LOCK;
    reg_ptr k = key_at(root, key, view, true);
    if (!k) return false;
    u16 want = upper(value_name ? u16(value_name) : u16());
    for (auto& v : k->values) {
        if (upper(v.name) == want) {
            v.type = type;
            v.data = data;
            return true;
        }
    }
    k->values.push_back({value_name ? u16(value_name) : u16(), type, data});
    return true;
}

bool reg_set_string(os::hkey root, const std::u16string& key, const char16_t* value_name,
                    const std::u16string& text, uint32_t type, int view) {
    return reg_set(root, key, value_name, type, utf16_bytes(text, true), view);
}

bool reg_make_key(os::hkey root, const std::u16string& key, int view) {
    SIM_LOCK;
    return key_at(root, key, view, true) != nullptr;
}

bool reg_remove_key(os::hkey root, const std::u16string& key, int view) {
    SIM_LOCK;
    return os::delete_tree_at(locate(root, key.c_str(),
                                     view == 32 ? os::key_wow64_32key : os::key_wow64_64key)) == 0;
}

bool reg_deny(os::hkey root, const std::u16string& key, int view) {
    SIM_LOCK;
    reg_ptr k = key_at(root, key, view, false);
    if (!k) return false;
    k->denied = true;
    return true;
}

bool reg_key_exists(os::hkey root, const std::u16string& key, int view) {
    SIM_LOCK;
    return key_at(root, key, view, false) != nullptr;
}

std::vector<uint8_t> reg_get(os::hkey root, const std::u16string& key, const char16_t* value_name,
                             uint32_t* type, int view) {
    SIM_LOCK;
    reg_ptr k = key_at(root, key, view, false);
    if (!k) return {};
    u16 want = upper(value_name ? u16(value_name) : u16());
    for (auto& v : k->values) {
        if (upper(v.name) == want) {
            if (type) *type = v.type;
            return v.data;
        }
    }
    return {};
}

} // namespace sim
