#include <gtest/gtest.h>

#include <random>
#include <string>

#include "catalogue/catalogue.h"
#include "os/os.h"
#include "support/fixture.h"

using tfx::narrow;
using tfx::u16;

TEST(Blacklist, WholeTableMatches) {
    const char16_t* expected[] = {
        u"c:\\windows\\system32",
        u"c:\\windows\\syswow64",
        u"c:\\windows\\boot",
        u"c:\\windows\\fonts",
        u"c:\\windows\\system32\\config",
        u"c:\\program files",
        u"c:\\program files (x86)",
        u"c:\\programdata",
        u"c:\\users\\*\\desktop",
        u"c:\\users\\*\\documents",
        u"c:\\users\\*\\pictures",
        u"c:\\users\\*\\videos",
        u"c:\\users\\*\\music",
        u"c:\\users\\*\\downloads",
        u"c:\\efi",
        u"c:\\boot",
        u"c:\\users\\*\\appdata\\roaming",
        u"c:\\windows\\installer",
    };
    ASSERT_EQ(wv_blacklist_count(), 18u);
    for (uint32_t i = 0; i < 18; ++i) EXPECT_EQ(u16(wv_blacklist_get(i)), expected[i]) << i;
    EXPECT_EQ(wv_blacklist_get(18), nullptr);
}

TEST(Blacklist, PlainPatterns) {
    struct tc {
        const char16_t* path;
        int protected_;
    };
    const tc cases[] = {
        {u"C:\\Windows\\System32", 1},
        {u"c:\\windows\\system32\\drivers\\etc\\hosts", 1},
        {u"C:\\WINDOWS\\SYSTEM32/x", 1}, // a slash right after the pattern is a boundary
        {u"c:\\windows\\system32x", 0},
        {u"c:/windows/system32", 0}, // separators inside the pattern compare literally
        {u"D:\\Windows\\System32", 0},
        {u"c:\\program files (x86)\\steam", 1},
        {u"c:\\program files", 1},
        {u"c:\\program filesx", 0},
        {u"c:\\programdata\\microsoft\\windows\\wer\\x", 1},
        {u"c:\\windows\\installer\\x.msi", 1},
        {u"c:\\windows\\temp\\x", 0},
        {u"c:\\windows\\prefetch\\x", 0},
        {u"c:\\efi", 1},
        {u"c:\\boot\\bcd", 1},
        {u"c:\\bootmgr", 0},
        {u"c:\\windows", 0},
        {u"C:\\$Recycle.Bin", 0},
        {u"", 0},
        // Only A..Z fold: a non-ASCII capital does not become its small form.
        {u"c:\\windows\\fonts\\\u00C9", 1},
        {u"c:\\w\u0130ndows\\fonts", 0},
    };
    for (const tc& c : cases) EXPECT_EQ(wv_blacklist_match(c.path), c.protected_) << narrow(c.path);
    EXPECT_EQ(wv_blacklist_match(nullptr), 0);
}

TEST(Blacklist, ProfileFoldersPassOnAStandardInstallation) {
    // The ProfileList key has subkeys but no ProfileImagePath of its own (as on
    // Windows and under Wine), so the profile patterns match nothing.
    char16_t profile[1024];
    ASSERT_GT(os::expand_environment_strings(u"%USERPROFILE%", profile, 1024), 0u);
    const char16_t* rel[] = {u"\\Documents\\a.txt", u"\\AppData\\Roaming\\x", u"\\Desktop",
                             u"\\Videos\\v.mp4"};
    for (const char16_t* r : rel) {
        u16 p = u16(profile) + r;
        EXPECT_EQ(wv_blacklist_match(p.c_str()), 0) << narrow(p);
    }
    EXPECT_EQ(wv_blacklist_match(u"c:\\users\\ann\\documents\\a.txt"), 0);
    EXPECT_EQ(wv_blacklist_match(u"c:\\users\\ann\\appdata\\roaming\\x"), 0);
}

TEST(Blacklist, ProfileListValueOfItsOwnProtectsProfileFolders) {
    TFX_SIM_ONLY("writing the machine-wide ProfileList would change what parallel suites see");
    const u16 list = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
    ASSERT_TRUE(tfx::sim_backend());
    // With a value on the key itself, every profile pattern's suffix is joined
    // to it (once per subkey, as the predicate enumerates them).
    os::hkey k;
    ASSERT_EQ(os::reg_open_key_ex(os::hkey_local_machine, list.c_str(), 0,
                                  os::key_all_access | os::key_wow64_64key, &k),
              0);
    auto data = tfx::utf16_bytes(u"C:\\Users\\Ann");
    ASSERT_EQ(os::reg_set_value_ex(k, u"ProfileImagePath", os::reg_expand_sz, data.data(),
                                   uint32_t(data.size())),
              0);
    os::reg_close_key(k);
    EXPECT_EQ(wv_blacklist_match(u"c:\\users\\ann\\desktop\\x"), 1);
    EXPECT_EQ(wv_blacklist_match(u"C:\\Users\\Ann\\AppData\\Roaming"), 1);
    EXPECT_EQ(wv_blacklist_match(u"c:\\users\\ann\\desktopx"), 0);
    EXPECT_EQ(wv_blacklist_match(u"c:\\users\\bob\\desktop\\x"), 0);
    EXPECT_EQ(wv_blacklist_match(u"c:\\users\\ann\\appdata\\local\\temp"), 0);
}

TEST(Blacklist, ProfileListWithoutSubkeysProtectsNothing) {
    TFX_SIM_ONLY("replacing the machine-wide ProfileList would change what parallel suites see");
    const u16 list = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
    ASSERT_EQ(os::reg_delete_tree(os::hkey_local_machine, list.c_str()), 0);
    os::hkey k;
    ASSERT_EQ(os::reg_create_key_ex(os::hkey_local_machine, list.c_str(), os::key_all_access, &k),
              0);
    auto data = tfx::utf16_bytes(u"C:\\Users\\Ann");
    os::reg_set_value_ex(k, u"ProfileImagePath", os::reg_sz, data.data(), uint32_t(data.size()));
    os::reg_close_key(k);
    EXPECT_EQ(wv_blacklist_match(u"c:\\users\\ann\\desktop\\x"), 0);
}

TEST(Blacklist, OverLongPathIsTreatedAsProtected) {
    u16 p = u"D:\\" + u16(1100, u'a');
    EXPECT_EQ(wv_blacklist_match(p.c_str()), 1);
    u16 q = u"D:\\" + u16(1020, u'a'); // 1,023 units: judged normally
    EXPECT_EQ(wv_blacklist_match(q.c_str()), 0);
}

// Random inputs built from the characters that matter to the matcher. The
// answers must not depend on ASCII letter case, and a path below a protected
// one is protected too.
TEST(Blacklist, FuzzInvariants) {
    std::mt19937 rng(1234);
    const char16_t alphabet[] = u"cC:\\/wWiInNdDoOsSyYtTeEmM3 2xX()86.\u00C9\u6E38*?%";
    const size_t an = sizeof alphabet / sizeof alphabet[0] - 1;
    const char16_t* seeds[] = {u"c:\\windows\\system32",
                               u"C:\\Program Files (x86)",
                               u"c:\\programdata",
                               u"c:\\users\\ann",
                               u"d:\\x",
                               u""};
    for (int iter = 0; iter < 4000; ++iter) {
        u16 p = seeds[rng() % 6];
        size_t extra = rng() % 12;
        for (size_t i = 0; i < extra; ++i) p.push_back(alphabet[rng() % an]);
        if (rng() % 50 == 0) p += u16(rng() % 1200, u'a');
        int r = wv_blacklist_match(p.c_str());
        ASSERT_TRUE(r == 0 || r == 1);
        u16 swapped = p;
        for (auto& c : swapped)
            if (c >= u'a' && c <= u'z')
                c = char16_t(c - 0x20);
            else if (c >= u'A' && c <= u'Z')
                c = char16_t(c + 0x20);
        ASSERT_EQ(wv_blacklist_match(swapped.c_str()), r) << narrow(p);
        if (r && p.size() < 1000) {
            ASSERT_EQ(wv_blacklist_match((p + u"\\child").c_str()), 1) << narrow(p);
        }
    }
}
