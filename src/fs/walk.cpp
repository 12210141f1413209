#include "base/text.h"
#include "catalogue/catalogue.h"
#include "fs/fs.h"

static constexpr size_t k_path = 1024;

int wv_dir_exists(const char16_t* path) {
    if (!path || !*path) return 0;
    uint32_t a = os::get_file_attributes(path);
    return a != os::invalid_file_attributes && (a & os::file_attribute_directory) ? 1 : 0;
}

int wv_file_exists(const char16_t* path) {
    if (!path || !*path) return 0;
    uint32_t a = os::get_file_attributes(path);
    return a != os::invalid_file_attributes && !(a & os::file_attribute_directory) ? 1 : 0;
}

int wv_dir_accessible(const char16_t* dir) {
    if (!dir || !*dir) return 0;
    char16_t probe[k_path];
    // A cut name would be another file, and an existing file of the probe's
    // name is deleted: never probe under a cut name.
    if (!wv_path_join(probe, k_path, dir, u".welvo_access_test")) return 0;
    os::handle h =
        os::create_file(probe, 0, os::file_share_read, os::open_always, os::file_attribute_hidden);
    if (h == os::invalid_handle) return 0;
    os::close_handle(h);
    os::delete_file(probe);
    return 1;
}

static bool stopped(const std::atomic<int32_t>* stop) {
    return stop && stop->load(std::memory_order_acquire) != 0;
}

static bool is_dot(const char16_t* n) {
    return n[0] == u'.' && (n[1] == 0 || (n[1] == u'.' && n[2] == 0));
}

// Steps that open one directory level: the stop check, the attribute and
// protection tests, the enter callback and the enumeration. Returns the
// enumeration with its first entry in *fd, or invalid_handle.
static os::handle open_level(const char16_t* dir, wv_walk_enter_fn on_enter,
                             const std::atomic<int32_t>* stop, void* user, os::find_data* fd) {
    if (stopped(stop)) return os::invalid_handle;
    if (!dir || !*dir) return os::invalid_handle;
    uint32_t a = os::get_file_attributes(dir);
    if (a == os::invalid_file_attributes || !(a & os::file_attribute_directory))
        return os::invalid_handle;
    if (wv_blacklist_match(dir)) return os::invalid_handle;
    if (on_enter && !on_enter(dir, user)) return os::invalid_handle;
    char16_t pattern[k_path];
    if (!wv_path_join(pattern, k_path, dir, u"*")) return os::invalid_handle;
    return os::find_first_file_ex_basic(pattern, fd);
}

// Depth first, in the order a recursive walk would take, but with an explicit
// stack: one path buffer shared by all levels (each level remembers where its
// directory's path ends) and one small frame per level, so a tree as deep as
// the path limit allows needs only a few kilobytes of the caller's stack.
void wv_dir_walk(const char16_t* start, wv_walk_item_fn on_item, wv_walk_enter_fn on_enter,
                 const std::atomic<int32_t>* stop_flag, wv_walk_stats* stats, void* user) {
    struct frame {
        os::handle find;
        uint16_t dir_len; // the directory's path is path[0, dir_len)
        bool have_entry;  // fd holds this level's next entry, not yet handled
    };
    // Every level adds a separator and at least one unit to the path, so a
    // path of at most 1,023 units is at most 512 levels deep.
    frame frames[512];
    size_t depth = 0;
    char16_t path[k_path];
    os::find_data fd;

    if (stopped(stop_flag) || !start || !*start) return;
    if (!wv::str_copy(path, k_path, start)) return;
    os::handle h = open_level(path, on_enter, stop_flag, user, &fd);
    if (h == os::invalid_handle) return;
    frames[depth++] = {h, uint16_t(wv::str_len(path)), true};

    while (depth > 0) {
        frame& f = frames[depth - 1];
        path[f.dir_len] = 0;
        if (stopped(stop_flag)) {
            while (depth > 0) os::find_close(frames[--depth].find);
            return;
        }
        if (!f.have_entry && !os::find_next_file(f.find, &fd)) {
            os::find_close(f.find);
            --depth;
            continue;
        }
        f.have_entry = false;
        if (is_dot(fd.name)) continue;
        // An entry whose full path does not fit is skipped, never cut.
        if (!wv_path_join(path, k_path, path, fd.name)) continue;

        if (fd.attributes & os::file_attribute_reparse_point) {
            // Junctions and symbolic links are reported, never followed.
            if (on_item)
                on_item(path, &fd, (fd.attributes & os::file_attribute_directory) ? 1 : 0, user);
        } else if (fd.attributes & os::file_attribute_directory) {
            if (wv_blacklist_match(path)) continue;
            if (stats) ++stats->dir_count;
            if (on_item && !on_item(path, &fd, 1, user)) continue;
            if (depth == sizeof frames / sizeof frames[0]) continue;
            os::handle child = open_level(path, on_enter, stop_flag, user, &fd);
            if (child != os::invalid_handle)
                frames[depth++] = {child, uint16_t(wv::str_len(path)), true};
        } else {
            if (stats) {
                ++stats->file_count;
                stats->total_bytes += (uint64_t(fd.size_high) << 32) | fd.size_low;
            }
            if (on_item && !on_item(path, &fd, 0, user)) {
                // Ends this directory's listing; the parent goes on.
                os::find_close(f.find);
                --depth;
            }
        }
    }
}
