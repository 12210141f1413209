// Startup entries: the Run and RunOnce values and the user's Startup folder,
// and disabling (deleting) or enabling (writing back) a registry entry.
//
// Invariant: a disable is done only when the record holds the value's type
// and whole data and the registry still holds exactly those, so an enable
// writes back the very value that was there; `enabled` follows the registry.
#include <cstring>

#include "base/text.h"
#include "fs/fs.h"
#include "tools/tools.h"

static const char16_t k_run[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
static const char16_t k_run_once[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

static constexpr size_t k_path = 1024;
static constexpr uint32_t k_name_cap = 256;
static constexpr size_t k_command_cap = sizeof(wv_startup_item::command) / sizeof(char16_t);

static bool is_dot(const char16_t* n) {
    return n[0] == u'.' && (n[1] == 0 || (n[1] == u'.' && n[2] == 0));
}

// The text of REG_SZ / REG_EXPAND_SZ data, up to its first zero, unexpanded.
// Registry data need not be terminated; the command is cut if it must be.
static void copy_text(char16_t* dst, size_t cap, const uint8_t* data, uint32_t len) {
    size_t n = 0;
    for (uint32_t i = 0; i + 1 < len && n + 1 < cap; i += 2) {
        char16_t ch = char16_t(data[i] | (data[i + 1] << 8));
        if (!ch) break;
        dst[n++] = ch;
    }
    dst[n] = 0;
}

void try_read_run_key(os::hkey root, const char16_t* key_path, uint32_t source,
                      wv_startup_item* records, uint32_t* count, uint32_t capacity) {
    if (!key_path || !records || !count) return;
    os::hkey key;
    if (os::reg_open_key_ex(root, key_path, 0, os::key_read | os::key_wow64_64key, &key) != 0)
        return;
    for (uint32_t index = 0; *count < capacity; ++index) {
        char16_t name[k_name_cap];
        uint32_t name_len = k_name_cap;
        int32_t r = os::reg_enum_value(key, index, name, &name_len, nullptr, nullptr, nullptr);
        // A longer name is passed over, never cut: a cut name would make a
        // toggle act on another value.
        if (r == int32_t(os::error_more_data)) continue;
        if (r != 0) break;
        wv_startup_item& it = records[*count];
        std::memset(&it, 0, sizeof it);
        wv::str_copy(it.name, k_name_cap, name);
        it.source = source;
        it.enabled = 1;
        it.root = root;
        uint32_t type = os::reg_none, len = WV_STARTUP_DATA_CAP;
        if (os::reg_query_value_ex(key, name, &type, it.data, &len) == 0) {
            it.restorable = 1;
            it.data_len = len;
            if (type == os::reg_sz || type == os::reg_expand_sz)
                copy_text(it.command, k_command_cap, it.data, len);
        } else {
            // Too large to keep (or gone): listed, but it cannot be disabled.
            std::memset(it.data, 0, sizeof it.data);
        }
        it.type = type;
        ++*count;
    }
    os::reg_close_key(key);
}

uint32_t wv_tool_startup_list(wv_startup_item* records, uint32_t capacity) {
    if (!records || capacity == 0) return 0;
    uint32_t count = 0;
    try_read_run_key(os::hkey_current_user, k_run, WV_STARTUP_RUN, records, &count, capacity);
    try_read_run_key(os::hkey_local_machine, k_run, WV_STARTUP_RUN, records, &count, capacity);
    try_read_run_key(os::hkey_current_user, k_run_once, WV_STARTUP_RUNONCE, records, &count,
                     capacity);

    char16_t folder[260];
    if (os::sh_get_folder_path(os::csidl_startup, folder) < 0) return count;
    char16_t pattern[k_path];
    if (!wv_path_join(pattern, k_path, folder, u"*")) return count;
    os::find_data fd;
    os::handle h = os::find_first_file(pattern, &fd);
    if (h == os::invalid_handle) return count;
    do {
        if (is_dot(fd.name)) continue;
        if (count >= capacity) break;
        wv_startup_item& it = records[count];
        std::memset(&it, 0, sizeof it);
        wv::str_copy(it.name, k_name_cap, fd.name);
        wv_path_join(it.command, k_command_cap, folder, fd.name);
        it.source = WV_STARTUP_FOLDER;
        it.enabled = 1;
        ++count;
    } while (os::find_next_file(h, &fd));
    os::find_close(h);
    return count;
}

// True when the open key still holds the value the record describes.
static bool value_unchanged(os::hkey key, const wv_startup_item& it) {
    uint8_t now[WV_STARTUP_DATA_CAP];
    uint32_t type = os::reg_none, len = sizeof now;
    if (os::reg_query_value_ex(key, it.name, &type, now, &len) != 0) return false;
    return type == it.type && len == it.data_len && std::memcmp(now, it.data, len) == 0;
}

// Writes the recorded value back. RegSetValueExW counts a terminator into
// string data that ends without one when the unit after the data is zero; a
// non-zero unit there keeps the bytes exactly as they were listed.
static bool write_back(os::hkey key, const wv_startup_item& it) {
    uint8_t buf[WV_STARTUP_DATA_CAP + 2];
    std::memcpy(buf, it.data, it.data_len);
    buf[it.data_len] = buf[it.data_len + 1] = 0xFF;
    return os::reg_set_value_ex(key, it.name, it.type, buf, it.data_len) == 0;
}

int wv_tool_startup_toggle(wv_startup_item* item) {
    if (!item) return 0;
    if (item->source != WV_STARTUP_RUN && item->source != WV_STARTUP_RUNONCE) return 0;
    if (item->root != os::hkey_current_user && item->root != os::hkey_local_machine) return 0;
    if (!item->restorable || item->data_len > WV_STARTUP_DATA_CAP) return 0;
    const char16_t* key_path = item->source == WV_STARTUP_RUN ? k_run : k_run_once;
    os::hkey key;
    if (os::reg_open_key_ex(item->root, key_path, 0,
                            os::key_query_value | os::key_set_value | os::key_wow64_64key,
                            &key) != 0)
        return 0;
    bool ok;
    if (item->enabled)
        ok = value_unchanged(key, *item) && os::reg_delete_value(key, item->name) == 0;
    else
        ok = write_back(key, *item);
    os::reg_close_key(key);
    if (!ok) return 0;
    item->enabled = item->enabled ? 0 : 1;
    return 1;
}
