#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/text.h"
#include "os/os.h"
#include "support/fixture.h"
#include "whitelist/ini_scope.h"
#include "whitelist/whitelist.h"

using tfx::narrow;
using tfx::u16;
using bytes = std::vector<uint8_t>;

namespace {

std::vector<u16> list() {
    std::vector<u16> v;
    for (uint32_t i = 0; i < wv_whitelist_count(); ++i) v.push_back(wv_whitelist_get(i));
    return v;
}

bytes utf8(const u16& s) {
    std::vector<char> buf(s.size() * 4 + 1);
    EXPECT_TRUE(wv::utf16_to_utf8(s.c_str(), buf.data(), buf.size()));
    return bytes(buf.data(), buf.data() + std::char_traits<char>::length(buf.data()));
}

bytes cat(std::initializer_list<bytes> parts) {
    bytes out;
    for (const bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

const bytes bom8 = {0xEF, 0xBB, 0xBF}, bom16le = {0xFF, 0xFE}, bom16be = {0xFE, 0xFF};

bytes utf16le(const u16& s) {
    return tfx::utf16_bytes(s, false);
}
bytes utf16be(const u16& s) {
    bytes b;
    for (char16_t c : s) b.insert(b.end(), {uint8_t(c >> 8), uint8_t(c & 0xFF)});
    return b;
}

// The settings file's text, decoded by its byte-order mark (UTF-16LE, UTF-8,
// or single bytes).
u16 ini_text(const u16& path, bool* unicode = nullptr) {
    bytes b = tfx::read_all(path);
    u16 t;
    bool wide = b.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE;
    if (unicode) *unicode = wide;
    if (wide) {
        for (size_t i = 2; i + 1 < b.size(); i += 2) t.push_back(char16_t(b[i] | (b[i + 1] << 8)));
    } else {
        for (uint8_t c : b) t.push_back(c);
    }
    return t;
}

// The covering rule, spelled out for the fuzzer's check.
bool covers(const u16& entry, const u16& path) {
    if (path.size() < entry.size()) return false;
    for (size_t i = 0; i < entry.size(); ++i)
        if (wv::fold_ascii(entry[i]) != wv::fold_ascii(path[i])) return false;
    return path.size() == entry.size() || path[entry.size()] == u'\\' || path[entry.size()] == u'/';
}

// Lines of a text without the empty ones.
std::vector<u16> lines(const u16& t) {
    std::vector<u16> v;
    size_t i = 0;
    while (i < t.size()) {
        size_t e = t.find(u"\r\n", i);
        u16 l = t.substr(i, e == u16::npos ? u16::npos : e - i);
        if (!l.empty()) v.push_back(l);
        i = e == u16::npos ? t.size() : e + 2;
    }
    return v;
}

} // namespace

TEST(Whitelist, MatchCoversTheEntryAndWhatLiesBelowIt) {
    wltest::ini_scope ini;
    ASSERT_EQ(wv_whitelist_add(u"D:\\Games"), 1);
    ASSERT_EQ(wv_whitelist_add(u"C:\\"), 1);
    ASSERT_EQ(wv_whitelist_add(u"E:\\游戏\\Ä"), 1);
    struct tc {
        const char16_t* path;
        int covered;
    };
    const tc cases[] = {
        {u"D:\\Games", 1},
        {u"d:\\games", 1},
        {u"D:\\GAMES\\x.iso", 1},
        {u"D:\\Games/x", 1},
        {u"D:\\Games2", 0},
        {u"D:\\Game", 0},
        {u"D:/Games", 0},
        {u"C:\\Windows", 0},
        {u"C:\\", 1},
        {u"C:\\\\x", 1},
        {u"C:", 0},
        {u"e:\\游戏\\Ä\\a", 1},
        {u"E:\\游戏\\ä", 0}, // only A..Z fold
        {u"", 0},
    };
    for (const tc& c : cases) EXPECT_EQ(wv_whitelist_match(c.path), c.covered) << narrow(c.path);
    EXPECT_EQ(wv_whitelist_match(nullptr), 0);
    // Paths longer than an entry are judged whole.
    u16 long_path = u"D:\\Games\\" + u16(2000, u'x');
    EXPECT_EQ(wv_whitelist_match(long_path.c_str()), 1);
}

TEST(Whitelist, AddAndRemove) {
    wltest::ini_scope ini;
    EXPECT_EQ(wv_whitelist_add(nullptr), 0);
    EXPECT_EQ(wv_whitelist_add(u""), 0);
    EXPECT_EQ(wv_whitelist_add(u"D:\\Games"), 1);
    EXPECT_EQ(wv_whitelist_add(u"D:\\Games\\Saves"), 0); // already covered
    EXPECT_EQ(wv_whitelist_add(u"d:\\GAMES"), 0);        // differs in case only
    EXPECT_EQ(wv_whitelist_add(u"D:\\"), 1);             // covers the first, both kept
    EXPECT_EQ(wv_whitelist_add(u"E:\\Music"), 1);
    // A line break would split the settings file's line; a text of blanks
    // would come back from it empty and hide every later entry.
    for (const char16_t* bad : {u"D:\\a\rb", u"D:\\a\nb", u" ", u"\t\u3000", u" \"\" "})
        EXPECT_EQ(wv_whitelist_add(bad), 0) << narrow(bad);
    u16 too_long = u"F:\\" + u16(1021, u'x'); // 1,024 units
    EXPECT_EQ(wv_whitelist_add(too_long.c_str()), 0);
    u16 longest = u"F:\\" + u16(1020, u'x'); // 1,023 units
    EXPECT_EQ(wv_whitelist_add(longest.c_str()), 1);
    EXPECT_EQ(list(), (std::vector<u16>{u"D:\\Games", u"D:\\", u"E:\\Music", longest}));
    EXPECT_EQ(wv_whitelist_get(4), nullptr);
    EXPECT_EQ(wv_whitelist_get(0xFFFFFFFFu), nullptr);

    EXPECT_EQ(wv_whitelist_remove(nullptr), 0);
    EXPECT_EQ(wv_whitelist_remove(u"d:\\games"), 0); // removal compares exactly
    EXPECT_EQ(wv_whitelist_remove(u"D:\\"), 1);
    EXPECT_EQ(list(), (std::vector<u16>{u"D:\\Games", u"E:\\Music", longest}));
    wv_whitelist_init(); // every change was saved
    EXPECT_EQ(list(), (std::vector<u16>{u"D:\\Games", u"E:\\Music", longest}));

    wv_whitelist_close(); // saves, then empties
    EXPECT_EQ(wv_whitelist_count(), 0u);
    EXPECT_EQ(wv_whitelist_remove(u"D:\\Games"), 0); // empty list
    wv_whitelist_init();
    EXPECT_EQ(wv_whitelist_count(), 3u);
}

// The settings file on the real platform (under Wine) and the simulated one:
// a Unicode file with CR LF lines, [WHITELIST] and path0, path1, ...; Chinese
// text and characters beyond the basic plane survive.
TEST(Whitelist, SettingsFileRoundTripKeepsUnicode) {
    wltest::ini_scope ini;
    const std::vector<u16> entries = {u"D:\\游戏\\Games", u"C:\\Users\\Ann\\Projects",
                                      u"E:\\音乐\\\U0001F3B5", u"F:\\日本語 フォルダ"};
    for (const u16& e : entries) ASSERT_EQ(wv_whitelist_add(e.c_str()), 1);
    bool unicode = false;
    u16 text = ini_text(ini.path(), &unicode);
    EXPECT_TRUE(unicode);
    EXPECT_EQ(lines(text),
              (std::vector<u16>{u"[WHITELIST]", u"path0=" + entries[0], u"path1=" + entries[1],
                                u"path2=" + entries[2], u"path3=" + entries[3]}));
    for (size_t i = text.find(u'\n'); i != u16::npos; i = text.find(u'\n', i + 1))
        EXPECT_TRUE(i > 0 && text[i - 1] == u'\r') << "a line ends without CR at " << i;
    wv_whitelist_init();
    EXPECT_EQ(list(), entries);
    EXPECT_EQ(wv_whitelist_match(u"d:\\游戏\\Games\\save.dat"), 1);

    // A save of the emptied list leaves the section out.
    for (const u16& e : entries) ASSERT_EQ(wv_whitelist_remove(e.c_str()), 1);
    for (const u16& l : lines(ini_text(ini.path()))) EXPECT_EQ(l.find(u"path"), u16::npos);
}

// Files that already exist keep being read as they are; the first save makes
// them Unicode where that loses nothing.
TEST(Whitelist, ExistingSettingsFilesOfEveryEncoding) {
    struct tc {
        const char* what;
        bool exists;
        bytes content;
        bool unicode_after; // the file is UTF-16LE after the save
    };
    const u16 other = u"[Other]\r\nkey=value\r\n";
    const tc cases[] = {
        {"missing", false, {}, true},
        {"empty", true, {}, true},
        {"ASCII, made by hand", true, utf8(other + u"[WHITELIST]\r\npath0=D:\\Old\r\n"), true},
        {"UTF-16LE", true, cat({bom16le, utf16le(other + u"[WHITELIST]\r\npath0=D:\\旧\r\n")}),
         true},
        {"UTF-8 with a mark", true, cat({bom8, utf8(other + u"[WHITELIST]\r\npath0=D:\\旧\r\n")}),
         false},
    };
    for (const tc& c : cases) {
        SCOPED_TRACE(c.what);
        wltest::ini_scope ini;
        if (c.exists) ASSERT_TRUE(tfx::write_file(ini.path(), c.content));
        wv_whitelist_init();
        std::vector<u16> before = list();
        ASSERT_EQ(wv_whitelist_add(u"G:\\新文件夹"), 1);
        bool unicode = false;
        u16 text = ini_text(ini.path(), &unicode);
        EXPECT_EQ(unicode, c.unicode_after);
        wv_whitelist_init();
        before.push_back(u"G:\\新文件夹");
        EXPECT_EQ(list(), before);
        if (c.exists && !c.content.empty()) {
            // The other section is left as it was.
            char16_t value[64];
            os::get_private_profile_string(u"Other", u"key", u"", value, 64, ini.path().c_str());
            EXPECT_EQ(u16(value), u"value");
        }
    }
}

TEST(Whitelist, LoadStopsAtTheFirstGapAndTheSaveRenumbers) {
    wltest::ini_scope ini;
    const u16 text = u"[WHITELIST]\r\npath0=D:\\A\r\npath1=D:\\B\r\npath3=D:\\D\r\nother=x\r\n"
                     u"[Keep]\r\nk=v\r\n";
    ASSERT_TRUE(tfx::write_file(ini.path(), cat({bom16le, utf16le(text)})));
    wv_whitelist_init();
    EXPECT_EQ(list(), (std::vector<u16>{u"D:\\A", u"D:\\B"}));
    wv_whitelist_close();
    std::vector<u16> got = lines(ini_text(ini.path()));
    std::vector<u16> whitelist_lines;
    bool in_section = false;
    for (const u16& l : got) {
        if (l[0] == u'[')
            in_section = l == u"[WHITELIST]";
        else if (in_section)
            whitelist_lines.push_back(l);
    }
    EXPECT_EQ(whitelist_lines, (std::vector<u16>{u"path0=D:\\A", u"path1=D:\\B"}));
    char16_t v[8];
    os::get_private_profile_string(u"Keep", u"k", u"", v, 8, ini.path().c_str());
    EXPECT_EQ(u16(v), u"v");
}

TEST(Whitelist, BadSettingsFilesLoadWhatIsValid) {
    std::mt19937 rng(7);
    bytes binary(4096);
    for (auto& b : binary) b = uint8_t(rng());
    u16 many_lines = u"[WHITELIST]\r\npath0=D:\\A\r\npath1=D:\\B\r\n";
    for (int i = 0; i < 100000; ++i) many_lines += u"junk line\r\n";
    u16 over_capacity = u"[WHITELIST]\r\n";
    for (int i = 0; i < 1100; ++i)
        over_capacity += u"path" + tfx::u(std::to_string(i).c_str()) + u"=D:\\" +
                         tfx::u(std::to_string(i).c_str()) + u"\r\n";
    struct tc {
        const char* what;
        bytes content;
        std::vector<u16> expected; // empty with `count` for the large ones
        uint32_t count;
    };
    const tc cases[] = {
        {"not an ini", utf8(u"hello\r\nworld = yes\r\n"), {}, 0},
        {"binary", binary, {}, uint32_t(-1)},
        {"empty first value", utf8(u"[WHITELIST]\r\npath0=\r\npath1=D:\\B\r\n"), {}, 0},
        {"100,000 lines", utf8(many_lines), {u"D:\\A", u"D:\\B"}, 2},
        {"more keys than entries", utf8(over_capacity), {}, WV_WHITELIST_CAPACITY},
        {"long value",
         cat({bom16le, utf16le(u"[WHITELIST]\r\npath0=D:\\" + u16(1500, u'x'))}),
         {u"D:\\" + u16(1020, u'x')},
         1},
    };
    for (const tc& c : cases) {
        SCOPED_TRACE(c.what);
        wltest::ini_scope ini;
        ASSERT_TRUE(tfx::write_file(ini.path(), c.content));
        wv_whitelist_init();
        if (c.count != uint32_t(-1)) EXPECT_EQ(wv_whitelist_count(), c.count);
        if (!c.expected.empty()) EXPECT_EQ(list(), c.expected);
        for (uint32_t i = 0; i < wv_whitelist_count(); ++i) {
            ASSERT_NE(wv_whitelist_get(i)[0], 0);
            ASSERT_LE(wv::str_len(wv_whitelist_get(i)), 1023u);
        }
    }
    wltest::ini_scope missing;
    EXPECT_EQ(wv_whitelist_count(), 0u);
}

TEST(Whitelist, ExportWritesUtf8WithAMark) {
    wltest::ini_scope ini;
    tfx::scratch s;
    const u16 out = s.path(u"export.txt");
    // An empty list leaves an empty file, truncating what was there.
    ASSERT_TRUE(s.file(u"export.txt", 100));
    EXPECT_EQ(wv_whitelist_export(out.c_str()), 1);
    EXPECT_TRUE(tfx::read_all(out).empty());
    EXPECT_TRUE(tfx::exists(out));

    ASSERT_EQ(wv_whitelist_add(u"D:\\Games"), 1);
    ASSERT_EQ(wv_whitelist_add(u"D:\\游戏"), 1);
    ASSERT_EQ(wv_whitelist_add(u"E:\\\U0001F3B5 x"), 1);
    EXPECT_EQ(wv_whitelist_export(out.c_str()), 1);
    EXPECT_EQ(tfx::read_all(out),
              cat({bom8, utf8(u"D:\\Games\r\nD:\\游戏\r\nE:\\\U0001F3B5 x\r\n")}));

    EXPECT_EQ(wv_whitelist_export(nullptr), 0);
    EXPECT_EQ(wv_whitelist_export(s.path(u"no\\such\\folder\\x.txt").c_str()), 0);
    ASSERT_TRUE(s.dir(u"a_folder"));
    EXPECT_EQ(wv_whitelist_export(s.path(u"a_folder").c_str()), 0);

    // What was exported comes back whole.
    wltest::ini_scope fresh;
    EXPECT_EQ(wv_whitelist_import(out.c_str()), 1);
    EXPECT_EQ(list(), (std::vector<u16>{u"D:\\Games", u"D:\\游戏", u"E:\\\U0001F3B5 x"}));
}

TEST(Whitelist, ImportReadsEveryEncodingAndSkipsBadLines) {
    const u16 body = u"D:\\A\r\nD:\\游戏\n#comment\n;comment\n\nD:\\\U0001F3B5\r\nD:\\last";
    const std::vector<u16> good = {u"D:\\A", u"D:\\游戏", u"D:\\\U0001F3B5", u"D:\\last"};
    const u16 longest = u"E:\\" + u16(1020, u'y');
    struct tc {
        const char* what;
        bytes content;
        std::vector<u16> expected;
    };
    const tc cases[] = {
        {"UTF-8 with a mark", cat({bom8, utf8(body)}), good},
        {"UTF-8 without a mark", utf8(body), good},
        {"UTF-16LE", cat({bom16le, utf16le(body)}), good},
        {"UTF-16BE", cat({bom16be, utf16be(body)}), good},
        {"invalid UTF-8 line",
         cat({utf8(u"D:\\A\n"), {'D', ':', 0xC3, 0x28, '\n'}, utf8(u"D:\\B")}),
         {u"D:\\A", u"D:\\B"}},
        {"unpaired surrogate",
         cat({bom16le, utf16le(u"D:\\A\n"), {0x00, 0xD8, '\n', 0}, utf16le(u"D:\\B")}),
         {u"D:\\A", u"D:\\B"}},
        {"zero inside a line",
         cat({utf8(u"D:\\A\n"), {'D', 0, 'x', '\n'}, utf8(u"D:\\B")}),
         {u"D:\\A", u"D:\\B"}},
        {"half a unit at the end", cat({bom16le, utf16le(u"D:\\A\nD:\\B"), {'x'}}), {u"D:\\A"}},
        {"lines too long are skipped, never cut",
         utf8(u"E:\\" + u16(1021, u'z') + u"\n" + longest + u"\r\n" + u16(5000, u'w') + u"\nD:\\B"),
         {longest, u"D:\\B"}},
        {"cut at the last carriage return",
         utf8(u"D:\\A\rjunk\r\nD:\\B\r\r\n\rD:\\C\rx\nD:\\D"),
         {u"D:\\A", u"D:\\B", u"D:\\D"}},
        {"empty file", {}, {}},
        {"only a mark", bom16le, {}},
    };
    for (const tc& c : cases) {
        SCOPED_TRACE(c.what);
        wltest::ini_scope ini;
        tfx::scratch s;
        ASSERT_TRUE(s.file_bytes(u"in.txt", c.content));
        EXPECT_EQ(wv_whitelist_import(s.path(u"in.txt").c_str()), 1);
        EXPECT_EQ(list(), c.expected);
    }
}

TEST(Whitelist, ImportSkipsCoveredLinesAndSavesOncePerAddedLine) {
    TFX_SIM_ONLY("counts the writes to the settings file through the I/O log");
    wltest::ini_scope ini;
    tfx::scratch s;
    ASSERT_EQ(wv_whitelist_add(u"X:\\seed"), 1); // the settings file exists
    ASSERT_TRUE(tfx::start_io_log(ini.path()));
    ASSERT_TRUE(
        s.file_bytes(u"in.txt", utf8(u"#c\n\nD:\\Games\nD:\\Games\\Sub\nD:\\Games\n D:\\Music\n")));
    EXPECT_EQ(wv_whitelist_import(s.path(u"in.txt").c_str()), 1);
    EXPECT_EQ(list(), (std::vector<u16>{u"X:\\seed", u"D:\\Games", u" D:\\Music"}));
    EXPECT_EQ(tfx::io_write_count(ini.path()), 2);
}

TEST(Whitelist, AFullListRefusesMoreAndLeavesTheFileAlone) {
    wltest::ini_scope ini;
    for (uint32_t i = 0; i < WV_WHITELIST_CAPACITY; ++i) {
        u16 p = u"D:\\" + tfx::u(std::to_string(i).c_str()) + u"\\";
        ASSERT_EQ(wv_whitelist_add(p.c_str()), 1) << i;
    }
    bytes before = tfx::read_all(ini.path());
    EXPECT_EQ(wv_whitelist_add(u"E:\\one more"), 0);
    tfx::scratch s;
    ASSERT_TRUE(s.file_bytes(u"in.txt", utf8(u"E:\\a\nE:\\b\n")));
    EXPECT_EQ(wv_whitelist_import(s.path(u"in.txt").c_str()), 1); // read to its end
    EXPECT_EQ(wv_whitelist_count(), WV_WHITELIST_CAPACITY);
    EXPECT_EQ(tfx::read_all(ini.path()), before);
    wv_whitelist_init();
    EXPECT_EQ(wv_whitelist_count(), WV_WHITELIST_CAPACITY);
    EXPECT_EQ(u16(wv_whitelist_get(1023)), u"D:\\1023\\");
}

TEST(Whitelist, ImportOfAFileThatCannotBeOpened) {
    wltest::ini_scope ini;
    tfx::scratch s;
    ASSERT_EQ(wv_whitelist_add(u"D:\\A"), 1);
    EXPECT_EQ(wv_whitelist_import(nullptr), 0);
    EXPECT_EQ(wv_whitelist_import(s.path(u"missing.txt").c_str()), 0);
    EXPECT_EQ(list(), std::vector<u16>{u"D:\\A"});
}

// Random files through the import reader: whatever comes in, the list holds
// only whole, valid, uncovered entries, and nothing crashes.
TEST(Whitelist, FuzzImport) {
    TFX_SIM_ONLY("hundreds of random files; the reader is the same on both backends");
    std::mt19937 rng(20260101);
    const u16 alphabet[] = {u"D", u":", u"\\", u"/",  u"a",  u"Z",         u"#",
                            u";", u" ", u"\r", u"\n", u"游", u"\U0001F3B5"};
    const size_t an = sizeof alphabet / sizeof alphabet[0];
    tfx::scratch s;
    for (int iter = 0; iter < 300; ++iter) {
        wltest::ini_scope ini;
        bytes content;
        int kind = int(rng() % 4);
        if (kind == 0) {
            content.resize(rng() % 3000);
            for (auto& b : content) b = uint8_t(rng());
        } else {
            u16 text;
            size_t n = rng() % 400;
            for (size_t i = 0; i < n; ++i) text += alphabet[rng() % an];
            if (rng() % 10 == 0) text += u16(rng() % 3000, u'q');
            content = kind == 1   ? cat({bom8, utf8(text)})
                      : kind == 2 ? cat({bom16le, utf16le(text)})
                                  : cat({bom16be, utf16be(text)});
            if (rng() % 4 == 0 && !content.empty())
                content[rng() % content.size()] = uint8_t(rng());
        }
        ASSERT_TRUE(s.file_bytes(u"fuzz.txt", content));
        ASSERT_EQ(wv_whitelist_import(s.path(u"fuzz.txt").c_str()), 1);
        std::vector<u16> got = list();
        for (size_t i = 0; i < got.size(); ++i) {
            const u16& e = got[i];
            ASSERT_FALSE(e.empty());
            ASSERT_LE(e.size(), 1023u);
            ASSERT_TRUE(e[0] != u'#' && e[0] != u';');
            ASSERT_EQ(e.find_first_of(u"\r\n"), u16::npos);
            ASSERT_TRUE(wv::utf16_valid(e.c_str()));
            for (size_t j = 0; j < i; ++j) ASSERT_FALSE(covers(got[j], e)) << j << " covers " << i;
        }
        // The settings file gives every entry back, without its outer blanks
        // (the profile functions drop them).
        wv_whitelist_init();
        for (u16& e : got) {
            e.erase(0, e.find_first_not_of(u' '));
            e.erase(e.find_last_not_of(u' ') + 1);
        }
        ASSERT_EQ(list(), got);
    }
}

// Random settings files through the loader.
TEST(Whitelist, FuzzSettingsLoader) {
    TFX_SIM_ONLY("hundreds of random files; the profile functions are the platform's");
    std::mt19937 rng(99);
    const char16_t alphabet[] = u"[]=pathWHITELIST0123 \r\n;D:\\游";
    const size_t an = sizeof alphabet / sizeof alphabet[0] - 1;
    for (int iter = 0; iter < 300; ++iter) {
        wltest::ini_scope ini;
        u16 text = rng() % 2 ? u"[WHITELIST]\r\n" : u"";
        size_t n = rng() % 600;
        for (size_t i = 0; i < n; ++i) text.push_back(alphabet[rng() % an]);
        bytes content = rng() % 2 ? cat({bom16le, utf16le(text)}) : utf8(text);
        if (rng() % 3 == 0 && !content.empty()) content[rng() % content.size()] = uint8_t(rng());
        ASSERT_TRUE(tfx::write_file(ini.path(), content));
        wv_whitelist_init();
        std::vector<u16> got = list();
        ASSERT_LE(got.size(), WV_WHITELIST_CAPACITY);
        for (const u16& e : got) {
            ASSERT_FALSE(e.empty());
            ASSERT_LE(e.size(), 1023u);
        }
        // A save and a load give the same list back.
        wv_whitelist_save();
        wv_whitelist_init();
        ASSERT_EQ(list(), got);
    }
}
