// Shared pieces of the clean tests: a scan context built by hand, result
// slots with a recognisable caller value, and the error sentinel.
#pragma once

#include <string>
#include <vector>

#include "clean/clean.h"
#include "support/fixture.h"

namespace ct {

using tfx::u16;

// Stands for "not written" in an error out-parameter.
inline constexpr uint32_t k_unwritten = 0xDEADBEEFu;

// A scan context with categories and files added the way the worker adds
// them; files of a safe category start checked.
class scan_ctx {
  public:
    scan_ctx() { wv_scan_init(&scan); }
    ~scan_ctx() { wv_scan_destroy(&scan); }
    scan_ctx(const scan_ctx&) = delete;
    scan_ctx& operator=(const scan_ctx&) = delete;

    wv_category* category(const char16_t* name) {
        const wv_app app{u"test_junk", name, 0, 0, nullptr, nullptr, nullptr, nullptr};
        return wv_scan_add_category(&scan, &app, 0);
    }
    wv_file* file(wv_category* c, const u16& path, uint64_t size = 0, bool checked = true) {
        wv_scan_add_file(&scan, c, path.c_str(), size, nullptr, 0);
        c->tail->checked = checked ? 1 : 0;
        return c->tail;
    }

    wv_scan scan{};
};

// Result slots holding a caller value that the engine must leave alone.
struct slots {
    explicit slots(size_t n) : r(n) {
        for (wv_clean_result& x : r) {
            x.name[0] = u'#';
            x.cleaned_count = 77;
            x.failed_count = 77;
        }
    }
    ~slots() {
        for (wv_clean_result& x : r) wv_clean_result_clear(&x);
    }
    bool untouched(size_t i) const {
        return r[i].name[0] == u'#' && r[i].name[1] == 0 && r[i].cleaned_count == 77 &&
               r[i].failed_count == 77 && r[i].freed_bytes == 0 && !r[i].failed_paths;
    }
    std::vector<wv_clean_result> r;
};

inline u16 text(const char16_t* s) {
    return s ? u16(s) : u16(u"(null)");
}

} // namespace ct
