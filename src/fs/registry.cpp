#include "base/text.h"
#include "fs/fs.h"

// Opens a key for reading in whichever view holds it: the 64-bit view, then
// the 32-bit view, then the default one.
static bool open_read(os::hkey root, const char16_t* subkey, os::hkey* out) {
    static const uint32_t masks[] = {0x20119, 0x20219, 0x20019};
    for (uint32_t sam : masks)
        if (os::reg_open_key_ex(root, subkey, 0, sam, out) == 0) return true;
    return false;
}

int wv_reg_read_string(os::hkey root, const char16_t* subkey, const char16_t* value_name,
                       char16_t* buf, uint32_t cap) {
    if (!root || !subkey || !buf || cap == 0) return 0;
    os::hkey key;
    if (!open_read(root, subkey, &key)) return 0;
    uint32_t type = 0;
    uint32_t bytes = cap > 0x7FFFFFFFu ? 0xFFFFFFFEu : cap * 2;
    int result = 0;
    if (os::reg_query_value_ex(key, value_name, &type, reinterpret_cast<uint8_t*>(buf), &bytes) ==
            0 &&
        (type == os::reg_sz || type == os::reg_expand_sz || type == os::reg_multi_sz)) {
        uint32_t units = bytes / 2;
        buf[units < cap ? units : cap - 1] = 0;
        result = 1;
        if (type == os::reg_expand_sz) {
            char16_t scratch[1024];
            uint32_t need = os::expand_environment_strings(buf, scratch, 1024);
            if (need >= 1 && need <= 1024) wv::str_copy(buf, cap, scratch);
        }
    }
    if (!result) buf[0] = 0; // a failed or refused read leaves no partial text
    os::reg_close_key(key);
    return result;
}

int wv_reg_key_exists(os::hkey root, const char16_t* subkey) {
    if (!root || !subkey) return 0;
    os::hkey key;
    if (!open_read(root, subkey, &key)) return 0;
    os::reg_close_key(key);
    return 1;
}

int wv_reg_value_exists(os::hkey root, const char16_t* subkey, const char16_t* value_name) {
    if (!root || !subkey) return 0;
    os::hkey key;
    if (!open_read(root, subkey, &key)) return 0;
    int32_t r = os::reg_query_value_ex(key, value_name, nullptr, nullptr, nullptr);
    os::reg_close_key(key);
    return r == 0 ? 1 : 0;
}

void wv_reg_enum_subkeys(os::hkey root, const char16_t* subkey, wv_reg_subkey_fn callback,
                         void* user) {
    if (!callback || !root || !subkey) return;
    os::hkey key;
    if (!open_read(root, subkey, &key)) return;
    for (uint32_t i = 0;; ++i) {
        char16_t name[256];
        uint32_t len = 256;
        if (os::reg_enum_key_ex(key, i, name, &len) != 0) break;
        if (!callback(name, user)) break;
    }
    os::reg_close_key(key);
}
