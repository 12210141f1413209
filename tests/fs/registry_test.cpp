#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "fs/fs.h"
#include "support/fixture.h"

using tfx::u16;

namespace {
const os::hkey HKCU = os::hkey_current_user;

struct RegRead : ::testing::Test {
    tfx::reg_scratch r;
    u16 read(const char16_t* name, int* ok, uint32_t cap = 1024) {
        std::vector<char16_t> buf(cap + 1, u'#');
        *ok = wv_reg_read_string(HKCU, r.key().c_str(), name, buf.data(), cap);
        return buf.data();
    }
};
} // namespace

TEST_F(RegRead, StringTypes) {
    tfx::env_guard g(u"WELVO_RT", u"C:\\Expanded");
    ASSERT_TRUE(r.set_string(u"", u"sz", u"D:\\Games\\游戏"));
    ASSERT_TRUE(r.set_string(u"", u"exp", u"%WELVO_RT%\\sub", os::reg_expand_sz));
    ASSERT_TRUE(r.set_string(u"", u"expbad", u"%WELVO_UNDEFINED_9%\\x", os::reg_expand_sz));
    std::vector<uint8_t> multi = tfx::utf16_bytes(u"first");
    auto second = tfx::utf16_bytes(u"second");
    multi.insert(multi.end(), second.begin(), second.end());
    multi.insert(multi.end(), {0, 0});
    ASSERT_TRUE(r.set(u"", u"multi", os::reg_multi_sz, multi));
    ASSERT_TRUE(r.set(u"", u"nozero", os::reg_sz, tfx::utf16_bytes(u"abc", false)));
    ASSERT_TRUE(r.set_string(u"", nullptr, u"default value"));
    ASSERT_TRUE(r.set_dword(u"", u"dw", 7));
    ASSERT_TRUE(r.set(u"", u"bin", os::reg_binary, {1, 2, 3, 4}));

    struct tc {
        const char16_t* name;
        int ok;
        const char16_t* text;
    };
    const tc cases[] = {
        {u"sz", 1, u"D:\\Games\\游戏"},
        {u"exp", 1, u"C:\\Expanded\\sub"},
        {u"expbad", 1, u"%WELVO_UNDEFINED_9%\\x"},
        {u"multi", 1, u"first"},
        {u"nozero", 1, u"abc"}, // terminated right after the data
        {nullptr, 1, u"default value"},
        {u"dw", 0, u""},
        {u"bin", 0, u""},
        {u"missing", 0, u""},
    };
    for (const tc& c : cases) {
        int ok = -1;
        u16 got = read(c.name, &ok);
        EXPECT_EQ(ok, c.ok) << tfx::narrow(c.name);
        if (c.ok) EXPECT_EQ(got, c.text) << tfx::narrow(c.name);
    }
}

TEST_F(RegRead, TooLongForTheBuffer) {
    ASSERT_TRUE(r.set_string(u"", u"long", u16(2000, u'x')));
    int ok = -1;
    read(u"long", &ok, 1024);
    EXPECT_EQ(ok, 0);
    // Data that fills the buffer exactly, without a zero: cut in the last unit.
    ASSERT_TRUE(r.set(u"", u"exact", os::reg_sz, tfx::utf16_bytes(u16(16, u'y'), false)));
    u16 got = read(u"exact", &ok, 16);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(got, u16(15, u'y'));
}

TEST_F(RegRead, AbsentArgumentsTouchNothing) {
    char16_t buf[8] = u"keep";
    EXPECT_EQ(wv_reg_read_string(nullptr, r.key().c_str(), u"v", buf, 8), 0);
    EXPECT_EQ(wv_reg_read_string(HKCU, nullptr, u"v", buf, 8), 0);
    EXPECT_EQ(wv_reg_read_string(HKCU, r.key().c_str(), u"v", buf, 0), 0);
    EXPECT_EQ(wv_reg_read_string(HKCU, r.key().c_str(), u"v", nullptr, 8), 0);
    EXPECT_EQ(u16(buf), u"keep");
    EXPECT_EQ(wv_reg_read_string(HKCU, (r.key() + u"\\missing").c_str(), u"v", buf, 8), 0);
}

TEST_F(RegRead, KeyAndValueExistence) {
    ASSERT_TRUE(r.set_dword(u"sub", u"v", 1));
    EXPECT_EQ(wv_reg_key_exists(HKCU, r.key(u"sub").c_str()), 1);
    EXPECT_EQ(wv_reg_key_exists(HKCU, r.key(u"nope").c_str()), 0);
    EXPECT_EQ(wv_reg_key_exists(nullptr, r.key().c_str()), 0);
    EXPECT_EQ(wv_reg_value_exists(HKCU, r.key(u"sub").c_str(), u"v"), 1);
    EXPECT_EQ(wv_reg_value_exists(HKCU, r.key(u"sub").c_str(), u"w"), 0);
    EXPECT_EQ(wv_reg_value_exists(HKCU, r.key(u"nope").c_str(), u"v"), 0);
}

TEST_F(RegRead, EnumerationStopsWhenTheCallbackSaysSo) {
    ASSERT_TRUE(r.make(u"three\\a"));
    ASSERT_TRUE(r.make(u"three\\b"));
    ASSERT_TRUE(r.make(u"three\\c"));
    ASSERT_TRUE(r.make(u"none"));
    struct ctx {
        std::vector<u16> names;
        size_t stop_after;
    };
    auto cb = [](const char16_t* n, void* u) {
        auto* c = static_cast<ctx*>(u);
        c->names.push_back(n);
        return c->names.size() < c->stop_after ? 1 : 0;
    };
    ctx all{{}, 99}, two{{}, 2}, none{{}, 99};
    wv_reg_enum_subkeys(HKCU, r.key(u"three").c_str(), cb, &all);
    EXPECT_EQ(all.names, (std::vector<u16>{u"a", u"b", u"c"}));
    wv_reg_enum_subkeys(HKCU, r.key(u"three").c_str(), cb, &two);
    EXPECT_EQ(two.names.size(), 2u);
    wv_reg_enum_subkeys(HKCU, r.key(u"none").c_str(), cb, &none);
    EXPECT_TRUE(none.names.empty());
    wv_reg_enum_subkeys(HKCU, r.key(u"missing").c_str(), cb, &none);
    wv_reg_enum_subkeys(HKCU, r.key(u"three").c_str(), nullptr, &none);
    EXPECT_TRUE(none.names.empty());
}

// A key written only to the 32-bit view (WOW6432Node) is found by all four
// readers, which try the 64-bit view first.
TEST(RegViews, KeyOnlyInThe32BitViewIsFound) {
    char16_t tag[64];
    wv::format(tag, 64, u"SOFTWARE\\WelvoTest32-%u", uint32_t(os::get_tick_count()));
    const u16 key = tag;
    os::hkey k;
    ASSERT_EQ(os::reg_create_key_ex(os::hkey_local_machine, (key + u"\\child").c_str(),
                                    os::key_all_access | os::key_wow64_32key, &k),
              0);
    os::reg_close_key(k);
    ASSERT_EQ(os::reg_create_key_ex(os::hkey_local_machine, key.c_str(),
                                    os::key_all_access | os::key_wow64_32key, &k),
              0);
    auto data = tfx::utf16_bytes(u"C:\\Program Files (x86)\\App");
    ASSERT_EQ(
        os::reg_set_value_ex(k, u"InstallDir", os::reg_sz, data.data(), uint32_t(data.size())), 0);
    os::reg_close_key(k);

    os::hkey probe;
    EXPECT_NE(os::reg_open_key_ex(os::hkey_local_machine, key.c_str(), 0,
                                  os::key_read | os::key_wow64_64key, &probe),
              0);
    char16_t buf[1024];
    EXPECT_EQ(wv_reg_read_string(os::hkey_local_machine, key.c_str(), u"InstallDir", buf, 1024), 1);
    EXPECT_EQ(u16(buf), u"C:\\Program Files (x86)\\App");
    EXPECT_EQ(wv_reg_key_exists(os::hkey_local_machine, key.c_str()), 1);
    EXPECT_EQ(wv_reg_value_exists(os::hkey_local_machine, key.c_str(), u"InstallDir"), 1);
    int n = 0;
    wv_reg_enum_subkeys(
        os::hkey_local_machine, key.c_str(),
        [](const char16_t*, void* u) {
            ++*static_cast<int*>(u);
            return 1;
        },
        &n);
    EXPECT_EQ(n, 1);

    os::hkey base;
    ASSERT_EQ(os::reg_open_key_ex(os::hkey_local_machine, u"SOFTWARE", 0,
                                  os::key_all_access | os::key_wow64_32key, &base),
              0);
    os::reg_close_key(base);
    EXPECT_EQ(os::reg_delete_tree(os::hkey_local_machine,
                                  (u"SOFTWARE\\WOW6432Node\\" + key.substr(9)).c_str()),
              0);
}
