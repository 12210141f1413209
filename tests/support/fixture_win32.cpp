// The real backend's side of the fixtures. Under Wine, junctions cannot be set
// (FSCTL_SET_REPARSE_POINT answers ERROR_NOT_SUPPORTED), CreateSymbolicLinkW
// answers success but creates nothing, and the process is an administrator
// for whom no access is denied: those abilities answer false here and the
// tests that need them say they are not applicable.
#include <windows.h>

#include "support/fixture.h"

namespace tfx {

void install_backend_listener() {}

uint32_t process_tag() {
    return GetCurrentProcessId();
}

void prepare_machine() {}

bool sim_backend() {
    return false;
}

bool make_hard_link(const u16& path, const u16& existing) {
    return CreateHardLinkW(reinterpret_cast<const wchar_t*>(path.c_str()),
                           reinterpret_cast<const wchar_t*>(existing.c_str()), nullptr) != 0;
}

bool make_seeded_file(const u16& path, uint64_t size, uint64_t seed) {
    size_t cut = path.find_last_of(u"\\/");
    if (cut != u16::npos && !make_dirs(path.substr(0, cut))) return false;
    HANDLE h = CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_WRITE, 0,
                           nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    std::vector<uint64_t> buf(8192);
    uint64_t state = seed, left = size;
    bool ok = true;
    while (ok && left) {
        for (uint64_t& w : buf) { // splitmix64
            uint64_t z = (state += 0x9E3779B97F4A7C15ull);
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
            w = z ^ (z >> 31);
        }
        DWORD chunk = DWORD(left < buf.size() * 8 ? left : buf.size() * 8), written = 0;
        ok = WriteFile(h, buf.data(), chunk, &written, nullptr) && written == chunk;
        left -= chunk;
    }
    CloseHandle(h);
    return ok;
}

bool make_junction(const u16&, const u16&) {
    return false;
}
bool make_symlink(const u16&, const u16&, bool) {
    return false;
}
bool inject(const u16&, fault, uint64_t) {
    return false;
}
bool log_io(const u16&) {
    return false;
}
std::vector<io_event> io_log(const u16&) {
    return {};
}
bool reg_deny(os::hkey, const u16&) {
    return false;
}
bool set_find_hook(std::function<void(const u16& dir, const u16& name)>) {
    return false;
}

bool start_io_log(const u16&) {
    return false;
}
int io_write_count(const u16&) {
    return -1;
}

} // namespace tfx
