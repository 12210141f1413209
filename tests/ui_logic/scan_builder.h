// Scan contexts with chosen results, built through the scan module's own
// operations, for the window logic's tests.
#pragma once

#include <initializer_list>
#include <string>

#include "scan/scan.h"

namespace uitest {

struct file_spec {
    uint64_t size;
    int32_t checked;
};

class scan_builder {
  public:
    scan_builder() { wv_scan_init(&scan); }
    ~scan_builder() { wv_scan_destroy(&scan); }
    scan_builder(const scan_builder&) = delete;
    scan_builder& operator=(const scan_builder&) = delete;

    // A category named after `name` with one file per entry of `files`, paths
    // C:\t\<name>\f<i>.bin.
    wv_category* add(const char16_t* name, std::initializer_list<file_spec> files, int32_t risk = 0,
                     int32_t expanded = 0) {
        wv_app app{name, name, risk, 0, nullptr, nullptr, nullptr, nullptr};
        wv_category* c = wv_scan_add_category(&scan, &app, 0);
        c->installed = 1;
        c->expanded = expanded;
        int i = 0;
        for (const file_spec& f : files) {
            std::u16string path = u"C:\\t\\" + std::u16string(name) + u"\\f" +
                                  std::u16string(1, char16_t(u'0' + i % 10)) + u".bin";
            wv_scan_add_file(&scan, c, path.c_str(), f.size, nullptr, risk);
            c->tail->checked = f.checked;
            ++i;
        }
        return c;
    }
    // n files of `size` bytes, all with the same check mark.
    wv_category* add_many(const char16_t* name, uint32_t n, uint64_t size, int32_t checked,
                          int32_t expanded = 0) {
        wv_category* c = add(name, {});
        c->expanded = expanded;
        for (uint32_t i = 0; i < n; ++i) {
            std::u16string path = u"C:\\t\\" + std::u16string(name) + u"\\" +
                                  std::u16string(1, char16_t(u'a' + i % 26));
            wv_scan_add_file(&scan, c, path.c_str(), size, nullptr, 0);
            c->tail->checked = checked;
        }
        return c;
    }

    wv_scan scan{};
};

} // namespace uitest
