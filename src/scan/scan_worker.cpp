// The scan worker: goes through the catalogue in order, expands each
// category's templates, records plain files named directly and walks the
// directories, and commits every category that found something.
//
// Invariant: the worker builds a category in a record of its own and reaches
// the scan context only between scan_link_enter and scan_link_leave (see
// scan_internal.h), so the owner can always let go of a worker that does not
// end.
#include "base/text.h"
#include "catalogue/catalogue.h"
#include "fs/fs.h"
#include "scan/scan.h"
#include "scan/scan_internal.h"
#include "whitelist/whitelist.h"

static constexpr uint32_t k_path = 1024;
static constexpr uint32_t k_candidates = 32;
static constexpr uint32_t k_yield_every = 64;
static constexpr uint32_t k_progress_every = 128;
static constexpr uint32_t k_pause_poll_ms = 50;

static std::atomic<const wv_app*> g_rows{nullptr};
static std::atomic<uint32_t> g_row_count{0};

void wv_scan_use_catalogue(const wv_app* rows, uint32_t count) {
    g_row_count.store(rows ? count : 0, std::memory_order_release);
    g_rows.store(rows, std::memory_order_release);
}

static uint32_t rows_count() {
    return g_rows.load(std::memory_order_acquire) ? g_row_count.load(std::memory_order_acquire)
                                                  : wv_apps_count();
}

static const wv_app* rows_get(uint32_t i) {
    const wv_app* rows = g_rows.load(std::memory_order_acquire);
    if (!rows) return wv_apps_get(i);
    return i < g_row_count.load(std::memory_order_acquire) ? &rows[i] : nullptr;
}

// The user record of every walk.
struct scan_walk_ctx {
    wv_scan* scan;
    wv_category* category; // the category in hand
    uint32_t seen;         // entries since the last yield
    uint32_t added;        // files since the last progress event
    wv_scan_link* link;
    const wv_walk_root* root; // where this walk began
};

// What the worker reads of the owner's flags. `gone` is set once the owner
// has let go; the worker then leaves the context alone and ends.
struct flags {
    bool gone;
    bool stop;
    bool paused;
};

static flags look(wv_scan_link* l) {
    if (!scan_link_enter(l)) return {true, true, false};
    flags f{false, l->scan->stop.load(std::memory_order_acquire) != 0,
            l->scan->paused.load(std::memory_order_acquire) != 0};
    scan_link_leave(l);
    // The walker watches the link's flag: a stop seen here ends the walk too.
    if (f.stop) l->halt.store(1, std::memory_order_release);
    return f;
}

static bool stop_requested(wv_scan_link* l) {
    return look(l).stop;
}

// Waits while the owner pauses the scan, polling every 50 ms. True when the
// scan may go on.
static bool wait_while_paused(wv_scan_link* l) {
    for (;;) {
        flags f = look(l);
        if (f.stop) return false;
        if (!f.paused) return true;
        os::sleep(k_pause_poll_ms);
    }
}

// Sends an event to the owner's callback. False when the owner has let go.
static bool send_event(wv_scan_link* l, int code) {
    if (!scan_link_enter(l)) return false;
    wv_scan_event_fn fn = l->scan->on_event;
    if (fn) {
        l->busy.store(LINK_IN_EVENT, std::memory_order_seq_cst);
        fn(code, l->scan);
        // The owner may have given up on the callback meanwhile: from here on
        // only the link is touched.
    }
    scan_link_leave(l);
    return true;
}

static bool set_status(wv_scan_link* l, const char16_t* text) {
    if (!scan_link_enter(l)) return false;
    wv_scan_set_status(l->scan, text);
    scan_link_leave(l);
    return true;
}

static int scan_on_item(const char16_t* path, const os::find_data* fd, int is_dir, void* user) {
    auto* ctx = static_cast<scan_walk_ctx*>(user);
    if (!ctx || !ctx->scan) return 0;
    if (!wait_while_paused(ctx->link)) return 0;
    if (++ctx->seen >= k_yield_every) {
        ctx->seen = 0;
        // Leaves the processor to other threads without a timed wait: a 1 ms
        // sleep lasts a whole timer tick on Windows and would cap the scan.
        os::switch_to_thread();
        if (stop_requested(ctx->link)) return 0;
    }
    if (wv_blacklist_match(path)) return 1;
    if (wv_whitelist_match(path) || is_dir) return 1;
    if (ctx->category->file_count >= WV_MAX_FILES_PER_CATEGORY) return 1;
    uint64_t size = (uint64_t(fd->size_high) << 32) | fd->size_low;
    uint64_t when = fd->last_write_time;
    // The category in hand is the worker's own until it is committed.
    scan_append(ctx->category, path, size, &when, ctx->category->risk, ctx->root, fd->attributes);
    if (++ctx->added >= k_progress_every) {
        ctx->added = 0;
        if (!send_event(ctx->link, SCAN_EVENT_PROGRESS)) return 0;
    }
    return 1;
}

static int scan_on_enter(const char16_t* dir, void* user) {
    auto* ctx = static_cast<scan_walk_ctx*>(user);
    if (!ctx || !ctx->scan) return 0;
    if (!wait_while_paused(ctx->link)) return 0;
    if (wv_blacklist_match(dir) || wv_whitelist_match(dir)) return 0;
    return 1;
}

static void walk(wv_scan_link* l, wv_category* hand, const char16_t* dir) {
    // Every file found is tied to where this walk began, so a clean can tell
    // whether it is still there and not somewhere a link now points. Without
    // that record nothing is walked: nothing found could be removed safely.
    const wv_walk_root* root = wv_scan_add_walk_root(hand, dir, 1);
    if (!root) return;
    scan_walk_ctx ctx{l->scan, hand, 0, 0, l, root};
    wv_dir_walk(dir, &scan_on_item, &scan_on_enter, &l->halt, nullptr, &ctx);
}

// Copies a finished category into the context, then raises the count, then
// announces it. False when the run must end: the owner has let go, or the
// context has no room (the category's files are then dropped).
static bool commit(wv_scan_link* l, wv_category* hand) {
    if (hand->file_count == 0) {
        // Walks that found nothing still left their roots behind.
        scan_free_list(hand);
        return true;
    }
    if (!scan_link_enter(l)) return false;
    wv_scan* scan = l->scan;
    uint32_t n = scan->category_count.load(std::memory_order_acquire);
    if (!scan->categories || n >= WV_MAX_CATEGORIES) {
        scan_link_leave(l);
        return false;
    }
    scan->categories[n] = *hand;
    scan->category_count.store(n + 1, std::memory_order_release);
    scan_link_leave(l);
    // The nodes belong to the context now.
    *hand = wv_category{};
    send_event(l, SCAN_EVENT_CATEGORY);
    return true;
}

// The registry branch: true when it was taken (the templates are then not
// tried).
static bool scan_install_dir(wv_scan_link* l, const wv_app* app, wv_category* hand) {
    if (!app->reg_root || !app->reg_subkey || !app->reg_value) return false;
    char16_t dir[k_path];
    if (!wv_reg_read_string(app->reg_root, app->reg_subkey, app->reg_value, dir, k_path) ||
        !dir[0] || !wv_dir_exists(dir))
        return false;
    char16_t expanded[k_path];
    wv_path_expand(dir, expanded, k_path);
    if (wv_blacklist_match(expanded)) return true;
    hand->installed = wv_reg_key_exists(app->reg_root, app->reg_subkey);
    char16_t status[256];
    wv::format(status, 256, u"正在扫描：%s", expanded);
    if (!set_status(l, status)) return true;
    walk(l, hand, expanded);
    return true;
}

static void scan_candidate(wv_scan_link* l, wv_category* hand, const char16_t* path) {
    if (wv_blacklist_match(path)) return;
    if (wv_file_exists(path)) {
        // Named directly by a template: recorded without asking the
        // whitelist, and without the per-category limit of walks.
        os::file_attribute_data a;
        if (!os::get_file_attributes_ex(path, &a)) return;
        const wv_walk_root* root = wv_scan_add_walk_root(hand, path, 0);
        if (!root) return;
        uint64_t size = (uint64_t(a.size_high) << 32) | a.size_low;
        scan_append(hand, path, size, &a.last_write_time, hand->risk, root, a.attributes);
        hand->installed = 1;
    } else if (wv_dir_exists(path)) {
        char16_t status[256];
        wv::format(status, 256, u"正在扫描：%s (%s)", hand->name, path);
        if (!set_status(l, status) || !send_event(l, SCAN_EVENT_PROGRESS)) return;
        walk(l, hand, path);
    }
}

static void scan_templates(wv_scan_link* l, const wv_app* app, wv_category* hand) {
    if (!app->paths) return;
    char16_t buffers[k_candidates][k_path];
    char16_t* candidates[k_candidates];
    for (uint32_t k = 0; k < k_candidates; ++k) candidates[k] = buffers[k];
    for (uint32_t j = 0; app->paths[j]; ++j) {
        if (stop_requested(l)) return;
        uint32_t n = wv_path_expand_wildcard(app->paths[j], candidates, k_candidates);
        if (n == 0) {
            wv_path_expand(app->paths[j], buffers[0], k_path);
            n = 1;
        }
        if (j == 0)
            hand->installed = app->reg_root && app->reg_subkey
                                  ? wv_reg_key_exists(app->reg_root, app->reg_subkey)
                                  : 1;
        for (uint32_t k = 0; k < n; ++k) {
            if (stop_requested(l)) return;
            scan_candidate(l, hand, candidates[k]);
        }
    }
}

static bool is_docker(const wv_app* app) {
    return app->risk == 2 && wv::str_equal(app->id, u"docker_cache");
}

// Goes through the catalogue; false when the owner let go on the way.
static bool scan_catalogue(wv_scan_link* l) {
    wv_category hand{};
    for (uint32_t i = 0; i < rows_count(); ++i) {
        flags f = look(l);
        if (f.gone) return false;
        if (f.stop) break;
        const wv_app* app = rows_get(i);
        if (!app || is_docker(app)) continue;
        hand = wv_category{};
        hand.risk = app->risk;
        hand.default_unchecked = app->default_unchecked;
        wv::str_copy(hand.id, 256, app->id);
        wv::str_copy(hand.name, 256, app->name);
        if (!scan_link_enter(l)) return false;
        l->scan->current_index.store(int32_t(i), std::memory_order_release);
        scan_link_leave(l);

        if (!scan_install_dir(l, app, &hand)) scan_templates(l, app, &hand);

        if (!commit(l, &hand)) {
            scan_free_list(&hand);
            return !l->detached.load(std::memory_order_acquire);
        }
    }
    return true;
}

uint32_t scan_thread_proc(void* arg) {
    auto* l = static_cast<wv_scan_link*>(arg);
    if (!l || !l->scan) {
        scan_link_release(l);
        g_scan_workers_alive.fetch_sub(1, std::memory_order_acq_rel);
        return 1;
    }
    if (scan_link_enter(l)) {
        l->scan->running.store(1, std::memory_order_release);
        scan_link_leave(l);
        set_status(l, u"");
        if (scan_catalogue(l) && scan_link_enter(l)) {
            wv_scan* scan = l->scan;
            int code = scan->stop.load(std::memory_order_acquire) ? SCAN_EVENT_STOPPED
                                                                  : SCAN_EVENT_FINISHED;
            scan_link_leave(l);
            // Exactly one of the two final events, then `running` 0 as the
            // very last step on the context.
            if (send_event(l, code) && scan_link_enter(l)) {
                scan->running.store(0, std::memory_order_release);
                scan_link_leave(l);
            }
        }
    }
    scan_link_release(l);
    g_scan_workers_alive.fetch_sub(1, std::memory_order_acq_rel);
    return 0;
}
