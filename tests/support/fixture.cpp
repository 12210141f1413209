#include "support/fixture.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "base/text.h"

namespace tfx {

// Defined per backend.
void install_backend_listener();
uint32_t process_tag();

u16 u(const char* utf8) {
    size_t n = std::strlen(utf8);
    std::vector<char16_t> buf(n + 2);
    if (!wv::utf8_to_utf16(utf8, n, buf.data(), buf.size())) return u16();
    return u16(buf.data());
}

std::string narrow(const char16_t* s) {
    if (!s) return "(null)";
    size_t n = wv::str_len(s);
    std::vector<char> buf(n * 4 + 1);
    if (!wv::utf16_to_utf8(s, buf.data(), buf.size())) return "(invalid UTF-16)";
    return std::string(buf.data());
}

std::string narrow(const u16& s) {
    return narrow(s.c_str());
}

static std::atomic<uint32_t> g_counter{0};

static u16 number(uint64_t v) {
    char16_t buf[32];
    wv::format(buf, 32, u"%llu", v);
    return buf;
}

bool make_dirs(const u16& path) {
    if (os::get_file_attributes(path.c_str()) != os::invalid_file_attributes) return true;
    size_t cut = path.find_last_of(u"\\/");
    if (cut != u16::npos && cut > 2 && !make_dirs(path.substr(0, cut))) return false;
    return os::create_directory(path.c_str()) || os::get_last_error() == os::error_already_exists;
}

bool write_file(const u16& path, const std::vector<uint8_t>& bytes, uint32_t attributes) {
    size_t cut = path.find_last_of(u"\\/");
    if (cut != u16::npos && !make_dirs(path.substr(0, cut))) return false;
    os::handle h = os::create_file(path.c_str(), os::generic_write, 0, os::create_always,
                                   os::file_attribute_normal);
    if (h == os::invalid_handle) return false;
    bool ok = true;
    size_t off = 0;
    while (ok && off < bytes.size()) {
        uint32_t chunk = uint32_t(std::min<size_t>(bytes.size() - off, 1u << 20));
        uint32_t written = 0;
        ok = os::write_file(h, bytes.data() + off, chunk, &written) && written == chunk;
        off += chunk;
    }
    os::close_handle(h);
    if (ok && attributes) ok = os::set_file_attributes(path.c_str(), attributes);
    return ok;
}

bool make_file(const u16& path, uint64_t size, uint32_t attributes) {
    size_t cut = path.find_last_of(u"\\/");
    if (cut != u16::npos && !make_dirs(path.substr(0, cut))) return false;
    os::handle h = os::create_file(path.c_str(), os::generic_write, 0, os::create_always,
                                   os::file_attribute_normal);
    if (h == os::invalid_handle) return false;
    static const std::vector<uint8_t> zeros(1 << 16);
    bool ok = true;
    uint64_t left = size;
    while (ok && left) {
        uint32_t chunk = uint32_t(std::min<uint64_t>(left, zeros.size()));
        uint32_t written = 0;
        ok = os::write_file(h, zeros.data(), chunk, &written) && written == chunk;
        left -= chunk;
    }
    os::close_handle(h);
    if (ok && attributes) ok = os::set_file_attributes(path.c_str(), attributes);
    return ok;
}

bool exists(const u16& path) {
    return os::get_file_attributes(path.c_str()) != os::invalid_file_attributes;
}

std::vector<uint8_t> read_all(const u16& path) {
    std::vector<uint8_t> out;
    os::handle h =
        os::create_file(path.c_str(), os::generic_read, os::file_share_read, os::open_existing, 0);
    if (h == os::invalid_handle) return out;
    uint8_t buf[65536];
    uint32_t n = 0;
    while (os::read_file(h, buf, sizeof buf, &n) && n > 0) out.insert(out.end(), buf, buf + n);
    os::close_handle(h);
    return out;
}

std::vector<u16> list_unsorted(const u16& dir) {
    std::vector<u16> names;
    os::find_data fd;
    os::handle h = os::find_first_file((dir + u"\\*").c_str(), &fd);
    if (h == os::invalid_handle) return names;
    do {
        u16 n(fd.name);
        if (n != u"." && n != u"..") names.push_back(n);
    } while (os::find_next_file(h, &fd));
    os::find_close(h);
    return names;
}

std::vector<u16> list(const u16& dir) {
    std::vector<u16> names = list_unsorted(dir);
    std::sort(names.begin(), names.end());
    return names;
}

void remove_tree(const u16& path) {
    uint32_t a = os::get_file_attributes(path.c_str());
    if (a == os::invalid_file_attributes) return;
    if (a & os::file_attribute_readonly)
        os::set_file_attributes(path.c_str(), a & ~os::file_attribute_readonly);
    if ((a & os::file_attribute_directory) && !(a & os::file_attribute_reparse_point)) {
        for (const u16& n : list(path)) remove_tree(path + u"\\" + n);
        os::remove_directory(path.c_str());
    } else if (a & os::file_attribute_directory) {
        os::remove_directory(path.c_str()); // a link: never follow it
    } else {
        os::delete_file(path.c_str());
    }
}

scratch::scratch() {
    char16_t temp[1024];
    uint32_t n = os::expand_environment_strings(u"%TEMP%", temp, 1024);
    u16 base = (n && n <= 1024) ? u16(temp) : u16(u"C:\\Temp");
    root_ = base + u"\\welvo-test-" + number(process_tag()) + u"-" + number(++g_counter);
    remove_tree(root_);
    make_dirs(root_);
}

scratch::~scratch() {
    remove_tree(root_);
}

u16 scratch::path(const u16& rel) const {
    return rel.empty() ? root_ : root_ + u"\\" + rel;
}

bool scratch::dir(const u16& rel, uint32_t attributes) const {
    if (!make_dirs(path(rel))) return false;
    return !attributes || os::set_file_attributes(path(rel).c_str(), attributes);
}

bool scratch::file(const u16& rel, uint64_t size, uint32_t attributes) const {
    return make_file(path(rel), size, attributes);
}

bool scratch::file_bytes(const u16& rel, const std::vector<uint8_t>& bytes,
                         uint32_t attributes) const {
    return write_file(path(rel), bytes, attributes);
}

env_guard::env_guard(const char16_t* name, const u16& value) : name_(name) {
    char16_t buf[32768];
    u16 ref = u"%" + name_ + u"%";
    uint32_t n = os::expand_environment_strings(ref.c_str(), buf, 32768);
    had_ = n && n <= 32768 && ref != buf;
    if (had_) old_ = buf;
    os::set_environment_variable(name, value.c_str());
}

env_guard::~env_guard() {
    os::set_environment_variable(name_.c_str(), had_ ? old_.c_str() : nullptr);
}

std::vector<uint8_t> utf16_bytes(const u16& s, bool with_zero) {
    std::vector<uint8_t> out;
    for (char16_t c : s) {
        out.push_back(uint8_t(c & 0xFF));
        out.push_back(uint8_t(c >> 8));
    }
    if (with_zero) out.insert(out.end(), {0, 0});
    return out;
}

bool patch_file(const u16& path, uint64_t offset, const std::vector<uint8_t>& bytes) {
    os::handle h = os::create_file(path.c_str(), os::generic_write, 0, os::open_existing, 0);
    if (h == os::invalid_handle) return false;
    uint32_t written = 0;
    bool ok = os::set_file_pointer_ex(h, int64_t(offset), os::file_begin, nullptr) &&
              os::write_file(h, bytes.data(), uint32_t(bytes.size()), &written) &&
              written == bytes.size();
    os::close_handle(h);
    return ok;
}

reg_scratch::reg_scratch() {
    key_ = u"Software\\WelvoTest\\" + number(process_tag()) + u"-" + number(++g_counter);
    os::reg_delete_tree(os::hkey_current_user, key_.c_str());
    make(u16());
}

reg_scratch::~reg_scratch() {
    os::reg_delete_tree(os::hkey_current_user, key_.c_str());
}

u16 reg_scratch::key(const u16& rel) const {
    return rel.empty() ? key_ : key_ + u"\\" + rel;
}

bool reg_scratch::make(const u16& rel) const {
    os::hkey k;
    if (os::reg_create_key_ex(os::hkey_current_user, key(rel).c_str(), os::key_all_access, &k) != 0)
        return false;
    os::reg_close_key(k);
    return true;
}

bool reg_scratch::set(const u16& rel, const char16_t* name, uint32_t type,
                      const std::vector<uint8_t>& data) const {
    os::hkey k;
    if (os::reg_create_key_ex(os::hkey_current_user, key(rel).c_str(), os::key_all_access, &k) != 0)
        return false;
    bool ok = os::reg_set_value_ex(k, name, type, data.data(), uint32_t(data.size())) == 0;
    os::reg_close_key(k);
    return ok;
}

bool reg_scratch::set_string(const u16& rel, const char16_t* name, const u16& text,
                             uint32_t type) const {
    return set(rel, name, type, utf16_bytes(text));
}

bool reg_scratch::set_dword(const u16& rel, const char16_t* name, uint32_t value) const {
    std::vector<uint8_t> d = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16),
                              uint8_t(value >> 24)};
    return set(rel, name, os::reg_dword, d);
}

} // namespace tfx
