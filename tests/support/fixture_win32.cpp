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

bool make_junction(const u16&, const u16&) {
    return false;
}
bool make_symlink(const u16&, const u16&, bool) {
    return false;
}
bool inject(const u16&, fault, uint64_t) {
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
