#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "base/mem.h"
#include "base/text.h"
#include "scan/scan.h"
#include "scan_helpers.h"
#include "support/fixture.h"
#include "whitelist/ini_scope.h"

using scantest::catalogue;
using scantest::context;
using scantest::files_of;
using scantest::found;
using tfx::narrow;
using tfx::u16;

namespace {

int count(const std::vector<int>& codes, int code) {
    return int(std::count(codes.begin(), codes.end(), code));
}

// The category_count seen with each code 2 runs 1, 2, 3, ...: every record
// was committed before it was announced.
void expect_commits_announced_in_order(const std::vector<scantest::event>& events) {
    uint32_t next = 1;
    for (const auto& e : events)
        if (e.code == SCAN_EVENT_CATEGORY) EXPECT_EQ(e.category_count, next++);
}

catalogue::row row(const char16_t* id, std::vector<u16> paths, int32_t risk = 0) {
    catalogue::row r;
    r.id = id;
    r.name = u16(u"名称 ") + id;
    r.risk = risk;
    r.paths = std::move(paths);
    return r;
}

} // namespace

// The whole catalogue over the standard simulated machine with junk planted
// in many categories, some of it where the protected list or the whitelist
// must keep the scan out.
TEST(ScanWorker, PlantedMachineYieldsExactlyTheExpectedResults) {
    TFX_SIM_ONLY("the standard simulated machine's profile and system folders");
    wltest::ini_scope ini;
    struct plant {
        const char16_t* path;
        uint64_t size;
        uint32_t attributes;
    };
    const u16 temp = u"C:\\Users\\Ann\\AppData\\Local\\Temp";
    const u16 local = u"C:\\Users\\Ann\\AppData\\Local";
    const u16 edge = local + u"\\Microsoft\\Edge\\User Data";
    const u16 wechat = u"C:\\Users\\Ann\\Documents\\WeChat Files\\wxid_1\\FileStorage";
    struct expect {
        const char16_t* id;
        std::vector<found> files;
    };
    const std::vector<expect> expected = {
        {u"sys_temp_user",
         {{temp + u"\\a.tmp", 100, 1},
          {temp + u"\\h.tmp", 5, 1},
          {temp + u"\\sub\\b.tmp", 200, 1},
          {temp + u"\\缓存.tmp", 7, 1}}},
        {u"sys_temp_system", {{u"C:\\Windows\\Temp\\w.tmp", 300, 1}}},
        {u"sys_logs", {{u"C:\\Windows\\Logs\\CBS\\cbs.log", 400, 1}}},
        {u"sys_error_report", {{local + u"\\Microsoft\\Windows\\WER\\r.wer", 50, 1}}},
        {u"sys_recycle", {{u"C:\\$Recycle.Bin\\S-1-5-21\\$Rabc.txt", 70, 1}}},
        {u"sys_prefetch", {{u"C:\\Windows\\Prefetch\\APP.pf", 60, 0}}},
        {u"edge_cache",
         {{edge + u"\\Default\\Cache\\data_0", 1000, 1},
          {edge + u"\\Profile 1\\Code Cache\\js", 2000, 1}}},
        {u"edge_cookie", {{edge + u"\\Default\\Cookies", 4096, 0}}},
        {u"chrome_history", {{local + u"\\Google\\Chrome\\User Data\\Default\\History", 8192, 0}}},
        {u"wechat_cache", {{wechat + u"\\Cache\\c.dat", 10, 1}}},
        {u"wechat_recv", {{wechat + u"\\File\\doc.pdf", 20, 0}}},
        {u"vscode_cache", {{u"C:\\Users\\Ann\\AppData\\Roaming\\Code\\Cache\\v", 30, 1}}},
        {u"npm_cache", {{local + u"\\npm-cache\\_cacache\\x", 40, 0}}},
    };
    for (const expect& e : expected)
        for (const found& f : e.files)
            ASSERT_TRUE(tfx::make_file(f.path, f.size,
                                       f.path == temp + u"\\h.tmp" ? os::file_attribute_hidden : 0))
                << narrow(f.path);
    // Where nothing may be found: protected locations, the whitelist, a
    // junction inside a walk, and the Docker row.
    const u16 never[] = {
        u"C:\\Windows\\System32\\winevt\\Logs\\app.evtx",
        u"C:\\ProgramData\\Microsoft\\Windows\\WER\\x.wer",
        u"C:\\Program Files (x86)\\Steam\\steamapps\\shadercache\\s.bin",
        u"C:\\Program Files (x86)\\Steam\\downloading\\d.bin",
        temp + u"\\keep\\k.tmp",
        temp + u"\\listed.tmp",
        u"C:\\Users\\Ann\\Secret\\s.txt",
        local + u"\\Docker\\log\\d.log",
        local + u"\\Docker\\wsl\\ext4.vhdx",
    };
    for (const u16& p : never) ASSERT_TRUE(tfx::make_file(p, 999)) << narrow(p);
    ASSERT_TRUE(tfx::make_junction(temp + u"\\j", u"C:\\Users\\Ann\\Secret"));
    ASSERT_EQ(wv_whitelist_add((temp + u"\\keep").c_str()), 1);
    ASSERT_EQ(wv_whitelist_add((temp + u"\\LISTED.tmp").c_str()), 1);

    context s;
    s.run();

    std::vector<u16> want_ids;
    for (const expect& e : expected) want_ids.push_back(e.id);
    ASSERT_EQ(s.category_ids(), want_ids);
    for (const expect& e : expected) {
        const wv_category* c = s.find(e.id);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(files_of(c), e.files) << narrow(e.id);
        scantest::expect_consistent(c);
        EXPECT_EQ(c->installed, 1) << narrow(e.id);
        EXPECT_EQ(c->tag, 0);
        EXPECT_EQ(c->expanded, 0);
        const wv_app* app = wv_apps_find(e.id);
        EXPECT_EQ(u16(c->name), app->name);
        EXPECT_EQ(c->risk, app->risk);
    }
    EXPECT_EQ(s.find(u"docker_cache"), nullptr);

    // One progress event before each directory walked (12 here), one
    // category event per record, then "finished"; running cleared last.
    auto events = scantest::g_log.snapshot();
    auto codes = scantest::g_log.codes();
    EXPECT_EQ(count(codes, SCAN_EVENT_PROGRESS), 12);
    EXPECT_EQ(count(codes, SCAN_EVENT_CATEGORY), int(expected.size()));
    EXPECT_EQ(count(codes, SCAN_EVENT_FINISHED), 1);
    EXPECT_EQ(codes.back(), SCAN_EVENT_FINISHED);
    EXPECT_EQ(count(codes, 1) + count(codes, SCAN_EVENT_STOPPED), 0);
    expect_commits_announced_in_order(events);
    EXPECT_EQ(s->running.load(), 0);
}

// The same on whichever backend runs the test: the catalogue's variables
// point into a scratch folder, so the real Windows (under Wine) is scanned
// through its own file system.
TEST(ScanWorker, RedirectedProfileOnEitherBackend) {
    wltest::ini_scope ini;
    tfx::scratch s;
    const u16 temp = s.path(u"temp"), local = s.path(u"local"), roaming = s.path(u"roaming"),
              profile = s.path(u"profile");
    tfx::env_guard g1(u"TEMP", temp), g2(u"LOCALAPPDATA", local), g3(u"APPDATA", roaming),
        g4(u"USERPROFILE", profile), g5(u"WINDIR", s.path(u"windows")),
        g6(u"PROGRAMDATA", s.path(u"programdata")), g7(u"ProgramFiles(x86)", s.path(u"pf86"));
    const u16 edge = local + u"\\Microsoft\\Edge\\User Data";
    const std::vector<std::pair<const char16_t*, std::vector<found>>> expected = {
        {u"sys_temp_user", {{temp + u"\\a.tmp", 11, 1}, {temp + u"\\游戏\\缓存.dat", 22, 1}}},
        {u"edge_cache",
         {{edge + u"\\Default\\Cache\\f_000001", 33, 1},
          {edge + u"\\Profile 1\\GPUCache\\data_1", 44, 1}}},
        {u"edge_cookie", {{edge + u"\\Default\\Cookies", 55, 0}}},
        {u"wechat_recv", {{profile + u"\\Documents\\WeChat Files\\wx\\File\\a.doc", 66, 0}}},
        {u"npm_cache", {{roaming + u"\\npm-cache\\index", 77, 0}}},
    };
    for (const auto& e : expected)
        for (const found& f : e.second)
            ASSERT_TRUE(tfx::make_file(f.path, f.size)) << narrow(f.path);
    ASSERT_TRUE(tfx::make_file(temp + u"\\keep\\k.tmp", 1));
    ASSERT_TRUE(tfx::make_file(local + u"\\Docker\\log\\d.log", 1));
    ASSERT_EQ(wv_whitelist_add((temp + u"\\keep").c_str()), 1);

    context c;
    c.run();
    std::vector<u16> ids = c.category_ids();
    // C:\$Recycle.Bin is a fixed path and cannot be redirected.
    ids.erase(std::remove(ids.begin(), ids.end(), u16(u"sys_recycle")), ids.end());
    std::vector<u16> want;
    for (const auto& e : expected) want.push_back(e.first);
    ASSERT_EQ(ids, want);
    for (const auto& e : expected)
        EXPECT_EQ(files_of(c.find(e.first)), e.second) << narrow(e.first);
    EXPECT_EQ(scantest::g_log.codes().back(), SCAN_EVENT_FINISHED);
}

TEST(ScanWorker, FileNamedByATemplateIsRecordedEvenWhenWhitelisted) {
    wltest::ini_scope ini;
    tfx::scratch s;
    ASSERT_TRUE(s.file(u"named.bin", 1234, os::file_attribute_hidden));
    ASSERT_EQ(wv_whitelist_add(s.path(u"named.bin").c_str()), 1);
    os::file_attribute_data attrs{};
    ASSERT_TRUE(os::get_file_attributes_ex(s.path(u"named.bin").c_str(), &attrs));
    catalogue cat({row(u"direct", {s.path(u"named.bin")})});
    context c;
    c.run();
    const wv_category* r = c.find(u"direct");
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->file_count, 1u);
    EXPECT_EQ(r->head->size, 1234u);
    EXPECT_EQ(r->head->last_write, attrs.last_write_time);
    EXPECT_NE(r->head->last_write, 0u);
    EXPECT_EQ(r->installed, 1);
    // No walk, so no progress event.
    EXPECT_EQ(scantest::g_log.codes(),
              (std::vector<int>{SCAN_EVENT_CATEGORY, SCAN_EVENT_FINISHED}));
}

TEST(ScanWorker, WhitelistedDirectoriesAndFilesAreLeftOut) {
    wltest::ini_scope ini;
    tfx::scratch s;
    ASSERT_TRUE(s.file(u"t\\a.log", 1));
    ASSERT_TRUE(s.file(u"t\\skip.log", 2));
    ASSERT_TRUE(s.file(u"t\\keep\\deep\\b.log", 3));
    ASSERT_TRUE(s.file(u"w\\c.log", 4));
    ASSERT_EQ(wv_whitelist_add(s.path(u"t\\Keep").c_str()), 1);
    ASSERT_EQ(wv_whitelist_add(s.path(u"t\\skip.log").c_str()), 1);
    ASSERT_EQ(wv_whitelist_add(s.path(u"w").c_str()), 1);
    catalogue cat({row(u"walked", {s.path(u"t")}), row(u"listed_candidate", {s.path(u"w")})});
    context c;
    c.run();
    EXPECT_EQ(c.category_ids(), std::vector<u16>{u"walked"});
    EXPECT_EQ(files_of(c.find(u"walked")), (std::vector<found>{{s.path(u"t\\a.log"), 1, 1}}));
}

TEST(ScanWorker, RegistryInstallDirectory) {
    tfx::scratch s;
    tfx::reg_scratch reg;
    ASSERT_TRUE(s.file(u"install\\cache.bin", 10));
    ASSERT_TRUE(s.file(u"template\\t.bin", 20));
    const std::vector<found> from_install = {{s.path(u"install\\cache.bin"), 10, 1}};
    const std::vector<found> from_template = {{s.path(u"template\\t.bin"), 20, 1}};
    struct tc {
        const char* what;
        u16 value; // empty: not set
        u16 subkey;
        std::vector<found> files;
        int32_t installed;
        u16 status; // the last status text
    };
    const u16 key = reg.key(u"App");
    const tc cases[] = {
        {"value names a directory", s.path(u"install"), key, from_install, 1,
         u"正在扫描：" + s.path(u"install")},
        {"no value", u"", key, from_template, 1,
         u"正在扫描：名称 app (" + s.path(u"template") + u")"},
        {"value names nothing", s.path(u"missing"), key, from_template, 1, u""},
        {"value names a file", s.path(u"template\\t.bin"), key, from_template, 1, u""},
        {"no key", u"", reg.key(u"Absent"), from_template, 0, u""},
        {"protected directory", u"C:\\Windows\\System32", key, {}, 0, u""},
    };
    for (const tc& t : cases) {
        SCOPED_TRACE(t.what);
        os::reg_delete_tree(os::hkey_current_user, key.c_str());
        ASSERT_TRUE(reg.make(u"App"));
        if (!t.value.empty()) ASSERT_TRUE(reg.set_string(u"App", u"InstallDir", t.value));
        catalogue::row r = row(u"app", {s.path(u"template")});
        r.reg_root = os::hkey_current_user;
        r.reg_subkey = t.subkey;
        r.reg_value = u"InstallDir";
        catalogue cat({r});
        context c;
        c.run();
        const wv_category* got = c.find(u"app");
        EXPECT_EQ(files_of(got), t.files);
        if (!t.files.empty()) {
            ASSERT_NE(got, nullptr);
            EXPECT_EQ(got->installed, t.installed);
        }
        if (!t.status.empty()) {
            char16_t status[256];
            wv_scan_status(c.get(), status, 256);
            EXPECT_EQ(u16(status), t.status);
        }
    }
}

TEST(ScanWorker, DockerIsSkippedOnlyByIdAndRiskTogether) {
    tfx::scratch s;
    ASSERT_TRUE(s.file(u"d\\x", 1));
    catalogue cat({row(u"docker_cache", {s.path(u"d")}, 2), row(u"docker_cache", {s.path(u"d")}, 1),
                   row(u"docker_other", {s.path(u"d")}, 2)});
    context c;
    c.run();
    ASSERT_EQ(c->category_count.load(), 2u);
    EXPECT_EQ(c->categories[0].risk, 1);
    EXPECT_EQ(u16(c->categories[1].id), u"docker_other");
    EXPECT_EQ(c->categories[1].head->checked, 0);
}

TEST(ScanWorker, CandidatesThatYieldNothing) {
    tfx::scratch s;
    ASSERT_TRUE(s.dir(u"empty"));
    ASSERT_TRUE(s.file(u"root\\plain.txt", 1)); // root has no subdirectory for the '*'
    catalogue cat({
        row(u"empty_dir", {s.path(u"empty")}),
        row(u"missing", {s.path(u"missing\\deeper")}),
        row(u"star_without_match", {s.path(u"root\\*\\Cache")}),
        row(u"protected", {u"C:\\Windows\\System32", u"C:\\Program Files"}),
        row(u"no_templates", {}),
        row(u"undefined_variable", {u"%WELVO_UNDEFINED_VAR%\\x"}),
    });
    context c;
    c.run();
    EXPECT_EQ(c->category_count.load(), 0u);
    // Only the empty directory was walked; nothing was committed.
    EXPECT_EQ(scantest::g_log.codes(),
              (std::vector<int>{SCAN_EVENT_PROGRESS, SCAN_EVENT_FINISHED}));
}

TEST(ScanWorker, ProgressEvery128FilesOfAWalk) {
    tfx::scratch s;
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(s.file(u"many\\f" + tfx::u(std::to_string(i).c_str())));
    ASSERT_TRUE(s.file(u"few\\a"));
    catalogue cat({row(u"many", {s.path(u"many")}), row(u"few", {s.path(u"few")})});
    context c;
    c.run();
    EXPECT_EQ(c.find(u"many")->file_count, 300u);
    // Before the walk, after the 128th and the 256th; then the second walk's
    // own. The counter starts afresh for each walk.
    EXPECT_EQ(scantest::g_log.codes(),
              (std::vector<int>{0, 0, 0, SCAN_EVENT_CATEGORY, 0, SCAN_EVENT_CATEGORY,
                                SCAN_EVENT_FINISHED}));
}

TEST(ScanWorker, HiddenSystemAndLinkedFiles) {
    tfx::scratch s;
    ASSERT_TRUE(s.file(u"t\\h", 1, os::file_attribute_hidden));
    ASSERT_TRUE(s.file(u"t\\s", 2, os::file_attribute_system | os::file_attribute_hidden));
    ASSERT_TRUE(s.file(u"t\\r", 3, os::file_attribute_readonly));
    catalogue cat({row(u"t", {s.path(u"t")})});
    context c;
    c.run();
    EXPECT_EQ(files_of(c.find(u"t")),
              (std::vector<found>{
                  {s.path(u"t\\h"), 1, 1}, {s.path(u"t\\r"), 3, 1}, {s.path(u"t\\s"), 2, 1}}));
}

TEST(ScanWorker, JunctionsInsideAWalkAreNotFollowed) {
    TFX_SIM_ONLY("Wine cannot create junctions or symbolic links");
    tfx::scratch s;
    ASSERT_TRUE(s.file(u"target\\inside.bin", 5));
    ASSERT_TRUE(s.dir(u"t"));
    ASSERT_TRUE(tfx::make_junction(s.path(u"t\\j"), s.path(u"target")));
    ASSERT_TRUE(tfx::make_symlink(s.path(u"t\\link.bin"), s.path(u"target\\inside.bin"), false));
    ASSERT_TRUE(tfx::make_junction(s.path(u"start"), s.path(u"target")));
    catalogue cat({row(u"walk", {s.path(u"t")}), row(u"start_is_junction", {s.path(u"start")})});
    context c;
    c.run();
    // The symbolic link to a file is recorded like a file; the junction is
    // not entered; a candidate that is itself a junction is walked.
    ASSERT_EQ(c.category_ids(), (std::vector<u16>{u"walk", u"start_is_junction"}));
    ASSERT_EQ(c.find(u"walk")->file_count, 1u);
    EXPECT_EQ(u16(c.find(u"walk")->head->path), s.path(u"t\\link.bin"));
    EXPECT_EQ(u16(c.find(u"start_is_junction")->head->path), s.path(u"start\\inside.bin"));
}

TEST(ScanWorker, AtMost128CategoriesAreCommitted) {
    tfx::scratch s;
    std::vector<catalogue::row> rows;
    for (int i = 0; i < 130; ++i) {
        u16 n = tfx::u(std::to_string(i).c_str());
        ASSERT_TRUE(s.file(n + u"\\f", 1));
        rows.push_back(row((u"c" + n).c_str(), {s.path(n)}));
    }
    catalogue cat(rows);
    context c;
    c.run();
    EXPECT_EQ(c->category_count.load(), WV_MAX_CATEGORIES);
    EXPECT_EQ(u16(c->categories[127].id), u"c127");
    auto codes = scantest::g_log.codes();
    EXPECT_EQ(count(codes, SCAN_EVENT_CATEGORY), 128);
    // The 129th was walked, then dropped (its node freed), and the run ended.
    EXPECT_EQ(count(codes, SCAN_EVENT_PROGRESS), 129);
    EXPECT_EQ(codes.back(), SCAN_EVENT_FINISHED);
}

TEST(ScanWorker, WithoutACategoryArrayTheRunEndsAtTheFirstFind) {
    tfx::scratch s;
    ASSERT_TRUE(s.dir(u"empty"));
    ASSERT_TRUE(s.file(u"a\\f", 1));
    ASSERT_TRUE(s.file(u"b\\f", 1));
    catalogue cat(
        {row(u"e", {s.path(u"empty")}), row(u"a", {s.path(u"a")}), row(u"b", {s.path(u"b")})});
    scantest::g_log.clear();
    auto c = std::make_unique<wv_scan>();
    wv::mem_set_fail_hook([](size_t n) { return n == sizeof(wv_category) * WV_MAX_CATEGORIES; });
    wv_scan_init(c.get());
    wv::mem_set_fail_hook(nullptr);
    ASSERT_EQ(c->categories, nullptr);
    c->on_event = &scantest::record_event;
    ASSERT_EQ(wv_scan_start(c.get()), 1);
    wv_scan_wait(c.get());
    EXPECT_EQ(c->category_count.load(), 0u);
    // Walks of "e" and "a", then the end: "b" is never begun.
    EXPECT_EQ(scantest::g_log.codes(), (std::vector<int>{0, 0, SCAN_EVENT_FINISHED}));
    wv_scan_destroy(c.get());
}

TEST(ScanWorker, FilesFromWalksStopAt65536PerCategory) {
    TFX_SIM_ONLY("65,540 files: quick in memory, slow on a real disk");
    tfx::scratch s;
    const uint32_t total = WV_MAX_FILES_PER_CATEGORY + 4;
    for (uint32_t i = 0; i < total; ++i) {
        u16 p = s.path(u"big\\d" + tfx::u(std::to_string(i / 1000).c_str()) + u"\\f" +
                       tfx::u(std::to_string(i).c_str()));
        ASSERT_TRUE(tfx::make_file(p, 1));
    }
    ASSERT_TRUE(s.file(u"single.bin", 9));
    ASSERT_TRUE(s.file(u"next\\f", 2));
    std::atomic<uint32_t> handed{0};
    tfx::set_find_hook([&](const u16& dir, const u16& name) {
        if (dir.find(u"\\big") != u16::npos && name != u"." && name != u"..") ++handed;
    });
    // The limit binds walks only: a file named by a template still counts in.
    catalogue cat(
        {row(u"big", {s.path(u"big"), s.path(u"single.bin")}), row(u"next", {s.path(u"next")})});
    context c;
    c.run();
    tfx::set_find_hook(nullptr);
    const wv_category* big = c.find(u"big");
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->file_count, WV_MAX_FILES_PER_CATEGORY + 1);
    EXPECT_EQ(big->tail->size, 9u);
    scantest::expect_consistent(big);
    // The walk went on to the end of the tree: every file and folder of it
    // was handed out.
    EXPECT_EQ(handed.load(), total + total / 1000 + 1);
    ASSERT_NE(c.find(u"next"), nullptr);
    EXPECT_EQ(c.find(u"next")->file_count, 1u);
}

TEST(ScanWorker, DeepestTreeThePathLimitAllows) {
    TFX_SIM_ONLY("a path of 1,023 units: Windows refuses such folders without the \\\\?\\ form");
    tfx::scratch s;
    u16 deep = s.path(u"d");
    while (deep.size() + 2 + 6 <= 1023) deep += u"\\x";
    ASSERT_TRUE(tfx::make_file(deep + u"\\f.bin", 3));
    catalogue cat({row(u"deep", {s.path(u"d")})});
    context c;
    c.run();
    ASSERT_NE(c.find(u"deep"), nullptr);
    EXPECT_EQ(u16(c.find(u"deep")->head->path), deep + u"\\f.bin");
}
