#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "base/text.h"
#include "support/fixture.h"
#include "tools/tools.h"

using tfx::narrow;
using tfx::u16;

namespace {

const u16 k_run = u"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const u16 k_run_once = u"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

using bytes = std::vector<uint8_t>;

// Stores exactly `data`: Windows would count a terminator into string data
// that lacks one if a zero unit followed it in memory.
bool set_value(os::hkey root, const u16& key, const u16& name, uint32_t type, const bytes& data) {
    os::hkey k;
    if (os::reg_create_key_ex(root, key.c_str(), os::key_all_access | os::key_wow64_64key, &k))
        return false;
    bytes guarded = data;
    guarded.insert(guarded.end(), {0xFF, 0xFF});
    bool ok =
        os::reg_set_value_ex(k, name.c_str(), type, guarded.data(), uint32_t(data.size())) == 0;
    os::reg_close_key(k);
    return ok;
}

// The value's type and data, or type reg_none and no data when it is absent.
std::pair<uint32_t, bytes> get_value(os::hkey root, const u16& key, const u16& name) {
    os::hkey k;
    if (os::reg_open_key_ex(root, key.c_str(), 0, os::key_read | os::key_wow64_64key, &k))
        return {os::reg_none, {}};
    uint32_t type = 0, len = 0;
    bytes data;
    if (os::reg_query_value_ex(k, name.c_str(), &type, nullptr, &len) == 0) {
        data.resize(len);
        os::reg_query_value_ex(k, name.c_str(), &type, data.data(), &len);
    } else {
        type = os::reg_none;
    }
    os::reg_close_key(k);
    return {type, data};
}

bool value_exists(os::hkey root, const u16& key, const u16& name) {
    os::hkey k;
    if (os::reg_open_key_ex(root, key.c_str(), 0, os::key_read | os::key_wow64_64key, &k))
        return false;
    bool found = os::reg_query_value_ex(k, name.c_str(), nullptr, nullptr, nullptr) == 0;
    os::reg_close_key(k);
    return found;
}

// Values a test plants in the real Run keys, removed again when it ends (the
// Windows tier writes the throw-away prefix's own HKCU Run key).
class planted {
  public:
    ~planted() {
        for (const auto& [root, key, name] : values_) {
            os::hkey k;
            if (os::reg_open_key_ex(root, key.c_str(), 0, os::key_set_value | os::key_wow64_64key,
                                    &k) == 0) {
                os::reg_delete_value(k, name.c_str());
                os::reg_close_key(k);
            }
        }
    }
    bool set(os::hkey root, const u16& key, const u16& name, uint32_t type, const bytes& data) {
        values_.emplace_back(root, key, name);
        return set_value(root, key, name, type, data);
    }
    bool text(os::hkey root, const u16& key, const u16& name, const u16& s,
              uint32_t type = os::reg_sz) {
        return set(root, key, name, type, tfx::utf16_bytes(s));
    }

  private:
    std::vector<std::tuple<os::hkey, u16, u16>> values_;
};

struct listing {
    std::vector<wv_startup_item> items;
    uint32_t n = 0;
    explicit listing(uint32_t cap = 256) : items(cap) {
        n = wv_tool_startup_list(items.data(), cap);
    }
    wv_startup_item* find(const u16& name, os::hkey root) {
        for (uint32_t i = 0; i < n; ++i)
            if (items[i].name == name && items[i].root == root) return &items[i];
        return nullptr;
    }
    int position(const u16& name) const {
        for (uint32_t i = 0; i < n; ++i)
            if (items[i].name == name) return int(i);
        return -1;
    }
};

u16 startup_folder() {
    char16_t buf[260];
    return os::sh_get_folder_path(os::csidl_startup, buf) >= 0 ? u16(buf) : u16();
}

const os::hkey hkcu = os::hkey_current_user;
const os::hkey hklm = os::hkey_local_machine;

} // namespace

TEST(StartupList, ReadsRunKeysThenTheFolderKeepingTextsUnexpanded) {
    planted p;
    ASSERT_TRUE(p.text(hkcu, k_run, u"WelvoT sz", u"C:\\a.exe /x"));
    ASSERT_TRUE(
        p.text(hkcu, k_run, u"WelvoT exp", u"%ProgramFiles%\\App\\app.exe", os::reg_expand_sz));
    ASSERT_TRUE(p.set(hkcu, k_run, u"WelvoT bin", os::reg_binary, {1, 2, 3}));
    const u16 folder = startup_folder();
    ASSERT_FALSE(folder.empty());
    const bool folder_made = !tfx::exists(folder);
    ASSERT_TRUE(tfx::make_dirs(folder));
    ASSERT_TRUE(tfx::make_file(folder + u"\\welvo-test.lnk", 40));
    ASSERT_TRUE(tfx::make_dirs(folder + u"\\welvo-test-dir"));
    ASSERT_TRUE(tfx::make_file(folder + u"\\welvo-desktop.ini", 10, os::file_attribute_hidden));

    listing l;
    tfx::remove_tree(folder + u"\\welvo-test.lnk");
    tfx::remove_tree(folder + u"\\welvo-test-dir");
    tfx::remove_tree(folder + u"\\welvo-desktop.ini");
    if (folder_made) tfx::remove_tree(folder);

    wv_startup_item* sz = l.find(u"WelvoT sz", hkcu);
    wv_startup_item* exp = l.find(u"WelvoT exp", hkcu);
    wv_startup_item* bin = l.find(u"WelvoT bin", hkcu);
    ASSERT_TRUE(sz && exp && bin);
    EXPECT_EQ(narrow(sz->command), "C:\\a.exe /x");
    EXPECT_EQ(narrow(exp->command), "%ProgramFiles%\\App\\app.exe");
    EXPECT_EQ(exp->type, os::reg_expand_sz);
    EXPECT_EQ(narrow(bin->command), "");
    EXPECT_EQ(bin->type, os::reg_binary);
    EXPECT_EQ(bytes(bin->data, bin->data + bin->data_len), (bytes{1, 2, 3}));
    for (wv_startup_item* it : {sz, exp, bin}) {
        EXPECT_EQ(it->source, WV_STARTUP_RUN);
        EXPECT_EQ(it->enabled, 1u);
        EXPECT_EQ(it->restorable, 1u);
    }
    for (const char16_t* n : {u"welvo-test.lnk", u"welvo-test-dir", u"welvo-desktop.ini"}) {
        wv_startup_item* it = l.find(n, nullptr);
        ASSERT_TRUE(it) << narrow(n);
        EXPECT_EQ(it->source, WV_STARTUP_FOLDER);
        EXPECT_EQ(it->enabled, 1u);
        EXPECT_EQ(it->command, folder + u"\\" + n);
        EXPECT_LT(l.position(u"WelvoT bin"), l.position(n));
    }
    // Records come by source: HKCU Run, HKLM Run, HKCU RunOnce, the folder.
    auto rank = [](const wv_startup_item& it) {
        return it.source == WV_STARTUP_FOLDER    ? 3
               : it.source == WV_STARTUP_RUNONCE ? 2
               : it.root == hklm                 ? 1
                                                 : 0;
    };
    for (uint32_t i = 1; i < l.n; ++i) EXPECT_LE(rank(l.items[i - 1]), rank(l.items[i]));
}

TEST(StartupList, MachineKeyAndRunOnceOnTheStandardMachine) {
    TFX_SIM_ONLY("writes HKLM Run and needs to know which keys exist");
    planted p;
    ASSERT_TRUE(p.text(hklm, k_run, u"WelvoT machine", u"C:\\m.exe"));
    ASSERT_TRUE(p.text(hkcu, k_run, u"WelvoT user", u"C:\\u.exe"));
    // No RunOnce key at all: nothing from it, and no error.
    listing without;
    ASSERT_EQ(without.n, 2u);
    EXPECT_EQ(without.items[0].root, hkcu);
    EXPECT_EQ(without.items[1].root, hklm);
    EXPECT_EQ(narrow(without.items[1].command), "C:\\m.exe");

    ASSERT_TRUE(p.text(hkcu, k_run_once, u"WelvoT once", u"C:\\o.exe"));
    listing with;
    ASSERT_EQ(with.n, 3u);
    EXPECT_EQ(with.items[2].source, WV_STARTUP_RUNONCE);
    EXPECT_EQ(with.items[2].root, hkcu);
}

TEST(StartupList, CapacityEndsTheListing) {
    planted p;
    for (const char16_t* n : {u"WelvoT 1", u"WelvoT 2", u"WelvoT 3", u"WelvoT 4"})
        ASSERT_TRUE(p.text(hkcu, k_run, n, u"C:\\x.exe"));
    listing l(3);
    ASSERT_EQ(l.n, 3u);
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(l.items[i].root, hkcu);
        EXPECT_EQ(l.items[i].source, WV_STARTUP_RUN);
    }
    wv_startup_item one;
    EXPECT_EQ(wv_tool_startup_list(nullptr, 3), 0u);
    EXPECT_EQ(wv_tool_startup_list(&one, 0), 0u);
}

TEST(StartupList, OverlongNamesAreSkippedAndOverlongDataCannotBeDisabled) {
    tfx::reg_scratch r;
    ASSERT_TRUE(r.set_string(u"", u16(300, u'n').c_str(), u"C:\\long-name.exe"));
    ASSERT_TRUE(r.set_string(u"", u"after", u"C:\\after.exe"));
    // 2,048 units with no terminating zero: the data fits, the text is cut.
    ASSERT_TRUE(
        set_value(hkcu, r.key(), u"full", os::reg_sz, tfx::utf16_bytes(u16(2048, u'c'), false)));
    ASSERT_TRUE(r.set(u"", u"huge", os::reg_sz, tfx::utf16_bytes(u16(3000, u'h'))));
    std::vector<wv_startup_item> items(8);
    uint32_t n = 0;
    try_read_run_key(hkcu, r.key().c_str(), WV_STARTUP_RUN, items.data(), &n, 8);
    ASSERT_EQ(n, 3u);
    EXPECT_EQ(narrow(items[0].name), "after");
    EXPECT_EQ(narrow(items[0].command), "C:\\after.exe");
    EXPECT_EQ(narrow(items[1].name), "full");
    EXPECT_EQ(items[1].command, u16(2047, u'c'));
    EXPECT_EQ(items[1].restorable, 1u);
    EXPECT_EQ(items[1].data_len, 4096u);
    EXPECT_EQ(narrow(items[2].name), "huge");
    EXPECT_EQ(narrow(items[2].command), "");
    EXPECT_EQ(items[2].restorable, 0u);
    // A full array adds nothing more.
    try_read_run_key(hkcu, r.key().c_str(), WV_STARTUP_RUN, items.data(), &n, 3);
    EXPECT_EQ(n, 3u);
    // A missing key adds nothing.
    try_read_run_key(hkcu, r.key(u"missing").c_str(), WV_STARTUP_RUN, items.data(), &n, 8);
    EXPECT_EQ(n, 3u);
}

TEST(StartupToggle, DisableAndEnableRestoreTypeAndBytesExactly) {
    struct tc {
        const char16_t* name;
        uint32_t type;
        bytes data;
    };
    const tc cases[] = {
        {u"WelvoT sz", os::reg_sz, tfx::utf16_bytes(u"C:\\a.exe")},
        {u"WelvoT exp", os::reg_expand_sz, tfx::utf16_bytes(u"%ProgramFiles%\\App\\app.exe")},
        {u"WelvoT bin", os::reg_binary, {0, 1, 2, 0xFF}},
        {u"WelvoT dword", os::reg_dword, {1, 0, 0, 0}},
        {u"WelvoT multi", os::reg_multi_sz, tfx::utf16_bytes(u16(u"a\0b\0", 4))},
        {u"WelvoT unterminated", os::reg_sz, tfx::utf16_bytes(u"C:\\b.exe", false)},
        {u"WelvoT full", os::reg_sz, tfx::utf16_bytes(u16(2048, u'f'), false)},
    };
    planted p;
    for (const tc& c : cases) ASSERT_TRUE(p.set(hkcu, k_run, c.name, c.type, c.data));
    listing l;
    for (const tc& c : cases) {
        SCOPED_TRACE(narrow(c.name));
        wv_startup_item* it = l.find(c.name, hkcu);
        ASSERT_TRUE(it);
        EXPECT_EQ(wv_tool_startup_toggle(it), 1);
        EXPECT_EQ(it->enabled, 0u);
        EXPECT_FALSE(value_exists(hkcu, k_run, c.name));
        EXPECT_EQ(wv_tool_startup_toggle(it), 1);
        EXPECT_EQ(it->enabled, 1u);
        EXPECT_EQ(get_value(hkcu, k_run, c.name), std::make_pair(c.type, c.data));
    }
}

TEST(StartupToggle, ActsOnTheRootTheEntryWasListedFrom) {
    TFX_SIM_ONLY("writes HKLM Run, a key the test does not create");
    planted p;
    ASSERT_TRUE(p.text(hklm, k_run, u"WelvoT both", u"C:\\m.exe"));
    ASSERT_TRUE(p.text(hkcu, k_run, u"WelvoT both", u"C:\\u.exe"));
    ASSERT_TRUE(p.text(hklm, k_run, u"WelvoT machine", u"%SystemRoot%\\m.exe", os::reg_expand_sz));
    listing l;
    wv_startup_item* both = l.find(u"WelvoT both", hklm);
    wv_startup_item* machine = l.find(u"WelvoT machine", hklm);
    ASSERT_TRUE(both && machine);
    EXPECT_EQ(wv_tool_startup_toggle(both), 1);
    EXPECT_FALSE(value_exists(hklm, k_run, u"WelvoT both"));
    EXPECT_EQ(get_value(hkcu, k_run, u"WelvoT both").second, tfx::utf16_bytes(u"C:\\u.exe"));
    // No value of that name under HKCU: the HKLM value is still the one acted on.
    EXPECT_EQ(wv_tool_startup_toggle(machine), 1);
    EXPECT_FALSE(value_exists(hklm, k_run, u"WelvoT machine"));
    EXPECT_EQ(wv_tool_startup_toggle(machine), 1);
    EXPECT_EQ(get_value(hklm, k_run, u"WelvoT machine"),
              std::make_pair(os::reg_expand_sz, tfx::utf16_bytes(u"%SystemRoot%\\m.exe")));
    EXPECT_FALSE(value_exists(hkcu, k_run, u"WelvoT machine"));
}

TEST(StartupToggle, RefusalsChangeNeitherTheRecordNorTheRegistry) {
    planted p;
    ASSERT_TRUE(p.text(hkcu, k_run, u"WelvoT gone", u"C:\\g.exe"));
    ASSERT_TRUE(p.text(hkcu, k_run, u"WelvoT changed", u"C:\\old.exe"));
    ASSERT_TRUE(p.set(hkcu, k_run, u"WelvoT huge", os::reg_binary, bytes(5000, 7)));
    listing l;
    wv_startup_item* gone = l.find(u"WelvoT gone", hkcu);
    wv_startup_item* changed = l.find(u"WelvoT changed", hkcu);
    wv_startup_item* huge = l.find(u"WelvoT huge", hkcu);
    ASSERT_TRUE(gone && changed && huge);

    // Deleted by someone else since the listing.
    os::hkey k;
    ASSERT_EQ(
        os::reg_open_key_ex(hkcu, k_run.c_str(), 0, os::key_all_access | os::key_wow64_64key, &k),
        0);
    ASSERT_EQ(os::reg_delete_value(k, u"WelvoT gone"), 0);
    os::reg_close_key(k);
    EXPECT_EQ(wv_tool_startup_toggle(gone), 0);
    EXPECT_EQ(gone->enabled, 1u);

    // Rewritten since the listing: deleting it would lose the new command.
    ASSERT_TRUE(
        set_value(hkcu, k_run, u"WelvoT changed", os::reg_sz, tfx::utf16_bytes(u"C:\\new.exe")));
    EXPECT_EQ(wv_tool_startup_toggle(changed), 0);
    EXPECT_EQ(changed->enabled, 1u);
    EXPECT_EQ(get_value(hkcu, k_run, u"WelvoT changed").second, tfx::utf16_bytes(u"C:\\new.exe"));

    // Larger than a record holds: it could not be written back.
    EXPECT_EQ(huge->restorable, 0u);
    EXPECT_EQ(wv_tool_startup_toggle(huge), 0);
    EXPECT_EQ(huge->enabled, 1u);
    EXPECT_EQ(get_value(hkcu, k_run, u"WelvoT huge").second, bytes(5000, 7));

    // Records that name no registry entry.
    wv_startup_item folder_entry = *changed;
    folder_entry.source = WV_STARTUP_FOLDER;
    folder_entry.root = nullptr;
    wv_startup_item no_root = *changed;
    no_root.root = nullptr;
    wv_startup_item bad_source = *changed;
    bad_source.source = 7;
    for (wv_startup_item* it : {&folder_entry, &no_root, &bad_source}) {
        wv_startup_item before = *it;
        EXPECT_EQ(wv_tool_startup_toggle(it), 0);
        EXPECT_EQ(std::memcmp(&before, it, sizeof before), 0);
    }
    EXPECT_EQ(wv_tool_startup_toggle(nullptr), 0);
}

TEST(StartupToggle, AKeyThatCannotBeOpenedChangesNothing) {
    TFX_SIM_ONLY("Wine runs as an administrator whom no key refuses");
    planted p;
    ASSERT_TRUE(p.text(hkcu, k_run, u"WelvoT locked", u"C:\\l.exe"));
    listing l;
    wv_startup_item* it = l.find(u"WelvoT locked", hkcu);
    ASSERT_TRUE(it);
    wv_startup_item disabled = *it;
    ASSERT_EQ(wv_tool_startup_toggle(&disabled), 1);
    ASSERT_TRUE(tfx::reg_deny(hkcu, k_run));
    EXPECT_EQ(wv_tool_startup_toggle(it), 0);
    EXPECT_EQ(it->enabled, 1u);
    EXPECT_EQ(wv_tool_startup_toggle(&disabled), 0);
    EXPECT_EQ(disabled.enabled, 0u);
}
