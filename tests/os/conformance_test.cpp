// The platform layer's contract, checked on both backends: the simulated
// Windows must answer as the real one does (under Wine) wherever the engine
// depends on the answer.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "base/text.h"
#include "os/os.h"
#include "support/fixture.h"

using tfx::u16;

namespace {

struct Os : ::testing::Test {
    tfx::scratch s;
    const char16_t* p(const u16& rel) {
        held_.push_back(s.path(rel));
        return held_.back().c_str();
    }
    std::vector<u16> held_;
};

} // namespace

TEST_F(Os, AttributeErrors) {
    EXPECT_EQ(os::get_file_attributes(p(u"missing")), os::invalid_file_attributes);
    EXPECT_EQ(os::get_last_error(), os::error_file_not_found);
    EXPECT_EQ(os::get_file_attributes(p(u"missing\\x")), os::invalid_file_attributes);
    EXPECT_EQ(os::get_last_error(), os::error_path_not_found);
    ASSERT_TRUE(s.file(u"f", 5, os::file_attribute_hidden | os::file_attribute_readonly));
    uint32_t a = os::get_file_attributes(p(u"f"));
    EXPECT_EQ(a & 0x17u, os::file_attribute_hidden | os::file_attribute_readonly);
    os::file_attribute_data d;
    ASSERT_TRUE(os::get_file_attributes_ex(p(u"f"), &d));
    EXPECT_EQ(d.size_low, 5u);
    EXPECT_EQ(d.size_high, 0u);
    ASSERT_TRUE(os::set_file_attributes(p(u"f"), os::file_attribute_normal));
    EXPECT_EQ(os::get_file_attributes(p(u"f")) & 0x7u, 0u);
}

TEST_F(Os, DeleteAndRemoveErrors) {
    ASSERT_TRUE(s.file(u"d\\f", 1));
    ASSERT_TRUE(s.file(u"ro", 1, os::file_attribute_readonly));
    EXPECT_FALSE(os::delete_file(p(u"missing")));
    EXPECT_EQ(os::get_last_error(), os::error_file_not_found);
    EXPECT_FALSE(os::delete_file(p(u"d")));
    EXPECT_EQ(os::get_last_error(), os::error_access_denied);
    EXPECT_FALSE(os::delete_file(p(u"ro")));
    EXPECT_EQ(os::get_last_error(), os::error_access_denied);
    EXPECT_FALSE(os::remove_directory(p(u"d")));
    EXPECT_EQ(os::get_last_error(), os::error_dir_not_empty);
    EXPECT_FALSE(os::remove_directory(p(u"d\\f")));
    EXPECT_EQ(os::get_last_error(), os::error_directory);
    EXPECT_TRUE(os::delete_file(p(u"d\\f")));
    EXPECT_TRUE(os::remove_directory(p(u"d")));
    EXPECT_FALSE(os::create_directory(p(u"ro")));
    EXPECT_EQ(os::get_last_error(), os::error_already_exists);
    EXPECT_FALSE(os::create_directory(p(u"no\\such")));
    EXPECT_EQ(os::get_last_error(), os::error_path_not_found);
}

TEST_F(Os, FindListsDotsFirstThenEntries) {
    ASSERT_TRUE(s.file(u"l\\a.txt", 3));
    ASSERT_TRUE(s.dir(u"l\\sub"));
    os::find_data fd;
    os::handle h = os::find_first_file_ex_basic((s.path(u"l") + u"\\*").c_str(), &fd);
    ASSERT_NE(h, os::invalid_handle);
    std::vector<u16> names{fd.name};
    while (os::find_next_file(h, &fd)) names.push_back(fd.name);
    EXPECT_EQ(os::get_last_error(), os::error_no_more_files);
    os::find_close(h);
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[0], u".");
    EXPECT_EQ(names[1], u"..");

    h = os::find_first_file((s.path(u"missing") + u"\\*").c_str(), &fd);
    EXPECT_EQ(h, os::invalid_handle);
    EXPECT_EQ(os::get_last_error(), os::error_path_not_found);
    h = os::find_first_file((s.path(u"l") + u"\\zz*").c_str(), &fd);
    EXPECT_EQ(h, os::invalid_handle);
    EXPECT_EQ(os::get_last_error(), os::error_file_not_found);
    h = os::find_first_file((s.path(u"l") + u"\\A*").c_str(), &fd); // case-insensitive
    ASSERT_NE(h, os::invalid_handle);
    EXPECT_EQ(u16(fd.name), u"a.txt");
    EXPECT_EQ(fd.size_low, 3u);
    os::find_close(h);
}

TEST_F(Os, CreateFileDispositionsAndSharing) {
    os::handle h = os::create_file(p(u"n"), os::generic_write, 0, os::open_existing, 0);
    EXPECT_EQ(h, os::invalid_handle);
    EXPECT_EQ(os::get_last_error(), os::error_file_not_found);
    h = os::create_file(p(u"n"), os::generic_write | os::generic_read, 0, os::create_new, 0);
    ASSERT_NE(h, os::invalid_handle);
    uint32_t w = 0;
    ASSERT_TRUE(os::write_file(h, "hello", 5, &w));
    EXPECT_EQ(w, 5u);
    // Held without sharing: another open for writing is a sharing violation.
    os::handle h2 =
        os::create_file(p(u"n"), os::generic_write, os::file_share_read, os::open_existing, 0);
    EXPECT_EQ(h2, os::invalid_handle);
    EXPECT_EQ(os::get_last_error(), os::error_sharing_violation);
    EXPECT_FALSE(os::delete_file(p(u"n")));
    EXPECT_EQ(os::get_last_error(), os::error_sharing_violation);
    uint64_t size = 0, pos = 0;
    ASSERT_TRUE(os::get_file_size_ex(h, &size));
    EXPECT_EQ(size, 5u);
    ASSERT_TRUE(os::set_file_pointer_ex(h, 1, os::file_begin, &pos));
    char buf[8] = {};
    uint32_t r = 0;
    ASSERT_TRUE(os::read_file(h, buf, 8, &r));
    EXPECT_EQ(r, 4u);
    EXPECT_EQ(std::string(buf, 4), "ello");
    ASSERT_TRUE(os::flush_file_buffers(h));
    os::close_handle(h);

    h = os::create_file(p(u"n"), os::generic_write, 0, os::create_new, 0);
    EXPECT_EQ(h, os::invalid_handle);
    EXPECT_EQ(os::get_last_error(), os::error_file_exists);
    ASSERT_TRUE(os::set_file_attributes(p(u"n"), os::file_attribute_readonly));
    h = os::create_file(p(u"n"), os::generic_write, 0, os::open_existing, 0);
    if (tfx::sim_backend()) { // Wine as root opens a read-only file for writing
        EXPECT_EQ(h, os::invalid_handle);
        EXPECT_EQ(os::get_last_error(), os::error_access_denied);
    } else if (h != os::invalid_handle) {
        os::close_handle(h);
    }
    h = os::create_file(p(u"n"), 0, os::file_share_read, os::open_always, 0);
    ASSERT_NE(h, os::invalid_handle);
    EXPECT_EQ(os::get_last_error(), os::error_already_exists);
    os::close_handle(h);
}

TEST_F(Os, HandleInformationAndDeleteDisposition) {
    ASSERT_TRUE(s.file(u"sub\\Mixed.Case", 7));
    os::handle h =
        os::create_file(p(u"SUB\\mixed.case"),
                        os::delete_access | os::file_read_attributes | os::file_write_attributes,
                        os::file_share_read | os::file_share_delete, os::open_existing,
                        os::file_flag_open_reparse_point | os::file_flag_backup_semantics);
    ASSERT_NE(h, os::invalid_handle);
    char16_t final_path[1024];
    uint32_t n = os::get_final_path_name_by_handle(h, final_path, 1024);
    ASSERT_GT(n, 0u);
    ASSERT_LT(n, 1024u);
    u16 fp(final_path);
    EXPECT_EQ(fp.substr(0, 4), u"\\\\?\\");
    EXPECT_EQ(fp.substr(fp.size() - 14), u"sub\\Mixed.Case"); // the stored case
    os::file_information info;
    ASSERT_TRUE(os::get_file_information_by_handle(h, &info));
    EXPECT_EQ(info.size, 7u);
    EXPECT_EQ(info.number_of_links, 1u);
    uint32_t attributes = 0, tag = 1;
    ASSERT_TRUE(os::get_file_attribute_tag_info(h, &attributes, &tag));
    EXPECT_EQ(attributes, info.attributes);
    EXPECT_EQ(tag, 0u); // not a reparse point
    ASSERT_TRUE(os::set_file_delete_disposition(h, true));
    os::close_handle(h);
    EXPECT_FALSE(tfx::exists(s.path(u"sub\\Mixed.Case")));
}

TEST_F(Os, DeleteDispositionRefusesReadOnly) {
    ASSERT_TRUE(s.file(u"ro", 1, os::file_attribute_readonly));
    os::handle h = os::create_file(p(u"ro"), os::delete_access | os::file_write_attributes,
                                   os::file_share_read | os::file_share_delete, os::open_existing,
                                   os::file_flag_open_reparse_point);
    ASSERT_NE(h, os::invalid_handle);
    EXPECT_FALSE(os::set_file_delete_disposition(h, true));
    EXPECT_EQ(os::get_last_error(), os::error_access_denied);
    ASSERT_TRUE(os::set_file_attributes_by_handle(h, os::file_attribute_normal));
    EXPECT_TRUE(os::set_file_delete_disposition(h, true));
    os::close_handle(h);
    EXPECT_FALSE(tfx::exists(s.path(u"ro")));
}

TEST_F(Os, RecycleBinRequest) {
    ASSERT_TRUE(s.file(u"junk.tmp", 10));
    u16 from = s.path(u"junk.tmp");
    from.push_back(0);
    os::sh_file_op op{
        os::fo_delete, from.c_str(), nullptr,
        uint16_t(os::fof_silent | os::fof_noconfirmation | os::fof_allowundo | os::fof_noerrorui),
        -1};
    EXPECT_EQ(os::sh_file_operation(&op), 0);
    EXPECT_EQ(op.any_operations_aborted, 0);
    EXPECT_FALSE(tfx::exists(s.path(u"junk.tmp")));

    // A missing file: an error answer, nothing aborted.
    os::sh_file_op missing = op;
    missing.any_operations_aborted = -1;
    int32_t r = os::sh_file_operation(&missing);
    EXPECT_NE(r, 0);
    EXPECT_EQ(r, int32_t(os::error_file_not_found));

    // A path longer than MAX_PATH: refused, and the file stays.
    u16 deep = s.path(u16(200, u'd'));
    ASSERT_TRUE(tfx::make_dirs(deep));
    u16 longf = deep + u"\\" + u16(100, u'f');
    ASSERT_TRUE(tfx::make_file(longf, 1));
    u16 lfrom = longf;
    lfrom.push_back(0);
    os::sh_file_op lop = op;
    lop.from = lfrom.c_str();
    r = os::sh_file_operation(&lop);
    std::printf("Recycle Bin answer for a %zu-unit path: 0x%X, file %s\n", longf.size(),
                unsigned(r), tfx::exists(longf) ? "stays" : "gone");
    // Windows' shell refuses a source past MAX_PATH; Wine's takes it. The
    // simulated Windows answers as Windows does, and the clean engine never
    // hands the shell such a path, so both agree where it matters.
    if (tfx::sim_backend()) {
        EXPECT_NE(r, 0);
        EXPECT_TRUE(tfx::exists(longf));
    }
}

TEST_F(Os, ProfileStringsOfANewFileAreAnsi) {
    // Written by the profile functions themselves, a new file is ANSI: text
    // outside the code page does not survive.
    const u16 ini = s.path(u"a.ini");
    ASSERT_TRUE(
        os::write_private_profile_string(u"WHITELIST", u"path0", u"D:\\游戏\\Games", ini.c_str()));
    char16_t buf[64];
    os::get_private_profile_string(u"WHITELIST", u"path0", nullptr, buf, 64, ini.c_str());
    EXPECT_NE(u16(buf), u"D:\\游戏\\Games");
    auto bytes = tfx::read_all(ini);
    std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.substr(0, 13), "[WHITELIST]\r\n");
}

TEST_F(Os, ProfileStringsKeepUnicodeInAFileWithAMark) {
    const u16 ini = s.path(u"u.ini");
    ASSERT_TRUE(tfx::write_file(ini, {0xFF, 0xFE}));
    ASSERT_TRUE(
        os::write_private_profile_string(u"WHITELIST", u"path0", u"D:\\游戏\\Games", ini.c_str()));
    ASSERT_TRUE(os::write_private_profile_string(u"WHITELIST", u"path1", u"C:\\x", ini.c_str()));
    char16_t buf[64];
    EXPECT_EQ(os::get_private_profile_string(u"WHITELIST", u"path0", nullptr, buf, 64, ini.c_str()),
              11u);
    EXPECT_EQ(u16(buf), u"D:\\游戏\\Games");
    EXPECT_EQ(os::get_private_profile_string(u"whitelist", u"PATH1", nullptr, buf, 64, ini.c_str()),
              4u);
    EXPECT_EQ(u16(buf), u"C:\\x");
    // Cut to the buffer.
    EXPECT_EQ(os::get_private_profile_string(u"WHITELIST", u"path0", nullptr, buf, 4, ini.c_str()),
              3u);
    EXPECT_EQ(u16(buf), u"D:\\");
    // Removing the section, then a missing key reads as the default.
    ASSERT_TRUE(os::write_private_profile_section(u"WHITELIST", nullptr, ini.c_str()));
    EXPECT_EQ(os::get_private_profile_string(u"WHITELIST", u"path0", u"", buf, 64, ini.c_str()),
              0u);
    auto bytes = tfx::read_all(ini);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xFE);
}

TEST(OsEnv, ExpandEnvironmentStrings) {
    tfx::env_guard g(u"WELVO_E1", u"value");
    char16_t buf[64];
    EXPECT_EQ(os::expand_environment_strings(u"%WELVO_E1%-%NOPE_NOT_SET%-%", buf, 64), 23u);
    EXPECT_EQ(u16(buf), u"value-%NOPE_NOT_SET%-%");
    char16_t small[4];
    EXPECT_EQ(os::expand_environment_strings(u"%WELVO_E1%", small, 4), 6u); // needed size
}

TEST(OsRegistry, ErrorsAndEnumeration) {
    tfx::reg_scratch r;
    ASSERT_TRUE(r.make(u"b"));
    ASSERT_TRUE(r.make(u"a"));
    ASSERT_TRUE(r.set_string(u"", u"v", u"0123456789"));
    os::hkey k;
    ASSERT_EQ(os::reg_open_key_ex(os::hkey_current_user, r.key().c_str(), 0, os::key_read, &k), 0);
    char16_t name[8];
    uint32_t len = 8;
    ASSERT_EQ(os::reg_enum_key_ex(k, 0, name, &len), 0);
    EXPECT_EQ(u16(name), u"a"); // sorted
    len = 8;
    EXPECT_EQ(os::reg_enum_key_ex(k, 2, name, &len), int32_t(os::error_no_more_items));
    uint8_t data[8];
    uint32_t dl = sizeof data;
    EXPECT_EQ(os::reg_query_value_ex(k, u"v", nullptr, data, &dl), int32_t(os::error_more_data));
    EXPECT_EQ(dl, 22u);
    dl = 0;
    EXPECT_EQ(os::reg_query_value_ex(k, u"v", nullptr, nullptr, &dl), 0);
    EXPECT_EQ(dl, 22u);
    EXPECT_EQ(os::reg_query_value_ex(k, u"nope", nullptr, nullptr, nullptr),
              int32_t(os::error_file_not_found));
    // Opened for reading only: setting a value is refused.
    EXPECT_EQ(os::reg_set_value_ex(k, u"w", os::reg_sz, data, 2), int32_t(os::error_access_denied));
    os::reg_close_key(k);
    EXPECT_EQ(os::reg_open_key_ex(os::hkey_current_user, r.key(u"zz").c_str(), 0, os::key_read, &k),
              int32_t(os::error_file_not_found));
}

TEST(OsThreads, WaitTimesOutThenSucceeds) {
    struct ctx {
        std::atomic<int> go{0};
    } c;
    os::handle t = os::create_thread(
        0,
        [](void* u) -> uint32_t {
            while (!static_cast<ctx*>(u)->go.load()) os::sleep(1);
            return 42;
        },
        &c, nullptr);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(os::wait_for_single_object(t, 30), os::wait_timeout);
    c.go.store(1);
    EXPECT_EQ(os::wait_for_single_object(t, 5000), os::wait_object_0);
    uint32_t code = 0;
    EXPECT_TRUE(os::get_exit_code_thread(t, &code));
    EXPECT_EQ(code, 42u);
    os::close_handle(t);
}
