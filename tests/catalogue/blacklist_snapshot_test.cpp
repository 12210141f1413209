// The protected-path predicate keeps what the ProfileList yields for about a
// second: its answers must be those of reading the registry on every call.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "catalogue/catalogue.h"
#include "os/os.h"
#include "support/fixture.h"

using tfx::narrow;
using tfx::u16;

namespace {

const char16_t* const k_list = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

const char16_t* const k_paths[] = {
    u"c:\\users\\ann\\desktop\\x",
    u"C:\\Users\\Ann\\Documents",
    u"C:\\Users\\Ann\\AppData\\Roaming\\Tencent",
    u"C:\\Users\\Ann\\AppData\\Local\\Temp\\x",
    u"c:\\users\\ann\\desktopx",
    u"c:\\users\\ann\\\\desktop\\x",
    u"c:\\users\\bob\\music",
    u"C:\\Windows\\System32\\x",
    u"D:\\data",
    u"",
};

std::vector<int> answers() {
    std::vector<int> v;
    for (const char16_t* p : k_paths) v.push_back(wv_blacklist_match(p));
    return v;
}

// The answers with the snapshot and with a fresh registry read per call.
void expect_same_answers(const char* what) {
    SCOPED_TRACE(what);
    wv_blacklist_refresh();
    std::vector<int> with = answers();
    std::vector<int> again = answers(); // served from the snapshot
    wv_blacklist_use_snapshot(0);
    std::vector<int> without = answers();
    wv_blacklist_use_snapshot(1);
    EXPECT_EQ(with, without);
    EXPECT_EQ(again, without);
}

bool set_own_value(uint32_t type, const std::vector<uint8_t>& data) {
    os::hkey k;
    if (os::reg_open_key_ex(os::hkey_local_machine, k_list, 0,
                            os::key_all_access | os::key_wow64_64key, &k) != 0)
        return false;
    bool ok =
        os::reg_set_value_ex(k, u"ProfileImagePath", type, data.data(), uint32_t(data.size())) == 0;
    os::reg_close_key(k);
    return ok;
}

} // namespace

TEST(BlacklistSnapshot, StandardInstallationAnswersAsBefore) {
    expect_same_answers("this machine's ProfileList");
    wv_blacklist_refresh();
    EXPECT_EQ(answers(), (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 1, 0, 0}));
}

TEST(BlacklistSnapshot, EveryShapeOfProfileListAnswersAsBefore) {
    TFX_SIM_ONLY("writes the machine-wide ProfileList");
    struct tc {
        const char* what;
        uint32_t type;
        std::vector<uint8_t> data;
        bool drop_subkeys;
        std::vector<int> expected;
    };
    const auto ann = tfx::utf16_bytes(u"C:\\Users\\Ann");
    auto no_zero = tfx::utf16_bytes(u"C:\\Users\\Ann", false);
    auto odd = no_zero;
    odd.push_back(0x41);
    const tc cases[] = {
        {"own value", os::reg_expand_sz, ann, false, {1, 1, 1, 0, 0, 0, 0, 1, 0, 0}},
        {"own value with a trailing separator",
         os::reg_sz,
         tfx::utf16_bytes(u"C:\\USERS\\ANN\\"),
         false,
         {0, 0, 0, 0, 0, 1, 0, 1, 0, 0}},
        {"stored without its zero", os::reg_sz, no_zero, false, {1, 1, 1, 0, 0, 0, 0, 1, 0, 0}},
        {"odd number of bytes", os::reg_sz, odd, false, {1, 1, 1, 0, 0, 0, 0, 1, 0, 0}},
        {"too long for the buffer",
         os::reg_sz,
         tfx::utf16_bytes(u16(1100, u'c')),
         false,
         {0, 0, 0, 0, 0, 0, 0, 1, 0, 0}},
        {"own value but no subkeys", os::reg_sz, ann, true, {0, 0, 0, 0, 0, 0, 0, 1, 0, 0}},
    };
    for (const tc& c : cases) {
        SCOPED_TRACE(c.what);
        tfx::prepare_machine();
        if (c.drop_subkeys) {
            ASSERT_EQ(os::reg_delete_tree(os::hkey_local_machine, k_list), 0);
            os::hkey k;
            ASSERT_EQ(os::reg_create_key_ex(os::hkey_local_machine, k_list, os::key_all_access, &k),
                      0);
            os::reg_close_key(k);
        }
        ASSERT_TRUE(set_own_value(c.type, c.data));
        expect_same_answers(c.what);
        wv_blacklist_refresh();
        EXPECT_EQ(answers(), c.expected);
    }
}

TEST(BlacklistSnapshot, AChangeIsSeenOnceTheSnapshotIsASecondOld) {
    TFX_SIM_ONLY("writes the machine-wide ProfileList");
    EXPECT_EQ(wv_blacklist_match(u"c:\\users\\ann\\desktop\\x"), 0); // snapshot taken
    ASSERT_TRUE(set_own_value(os::reg_sz, tfx::utf16_bytes(u"C:\\Users\\Ann")));
    // Within the second the snapshot still answers (the registry is not read
    // for every path); after it, the change shows.
    EXPECT_EQ(wv_blacklist_match(u"c:\\users\\ann\\desktop\\x"), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    EXPECT_EQ(wv_blacklist_match(u"c:\\users\\ann\\desktop\\x"), 1);
    EXPECT_EQ(wv_blacklist_match(u"c:\\users\\ann\\appdata\\roaming"), 1);
}

// Callers on several threads (the scan worker, the clean worker) while the
// snapshot is refreshed under them.
TEST(BlacklistConcurrent, CallersOnManyThreads) {
    TFX_SIM_ONLY("writes the machine-wide ProfileList");
    std::atomic<bool> done{false};
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([&] {
            while (!done.load()) {
                if (wv_blacklist_match(u"C:\\Windows\\System32\\x") != 1) ++wrong;
                if (wv_blacklist_match(u"D:\\x") != 0) ++wrong;
                int r = wv_blacklist_match(u"c:\\users\\ann\\desktop\\x");
                if (r != 0 && r != 1) ++wrong;
            }
        });
    for (int i = 0; i < 200; ++i) {
        set_own_value(os::reg_sz, tfx::utf16_bytes(i % 2 ? u"C:\\Users\\Ann" : u"C:\\Other"));
        wv_blacklist_refresh();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    done = true;
    for (auto& t : threads) t.join();
    EXPECT_EQ(wrong.load(), 0);
}
