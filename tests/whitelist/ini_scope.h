// The settings file beside the test program (under Wine the program's own
// folder, so suites running side by side never share one): removed and the
// list emptied when the scope starts and again when it ends.
#pragma once

#include <string>

#include "os/os.h"
#include "support/fixture.h"
#include "whitelist/whitelist.h"

namespace wltest {

inline tfx::u16 ini_path() {
    char16_t module[1024];
    uint32_t n = os::get_module_file_name(module, 1024);
    tfx::u16 p(module, n < 1024 ? n : 0);
    return p.substr(0, p.find_last_of(u'\\') + 1) + u"welvo.ini";
}

class ini_scope {
  public:
    ini_scope() { reset(); }
    ~ini_scope() { reset(); }
    ini_scope(const ini_scope&) = delete;
    ini_scope& operator=(const ini_scope&) = delete;
    const tfx::u16& path() const { return path_; }

  private:
    void reset() {
        os::set_file_attributes(path_.c_str(), os::file_attribute_normal);
        os::delete_file(path_.c_str());
        wv_whitelist_init();
    }
    tfx::u16 path_ = ini_path();
};

} // namespace wltest
