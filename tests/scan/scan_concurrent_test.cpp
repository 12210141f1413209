// Stop, pause and the end of a worker, with the window's thread and the
// worker running at once. Named ScanConcurrent.* so the ThreadSanitizer tier
// runs them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "base/mem.h"
#include "base/text.h"
#include "scan/scan.h"
#include "scan_helpers.h"
#include "support/fixture.h"

using scantest::catalogue;
using scantest::context;
using tfx::u16;
using namespace std::chrono;

namespace {

catalogue::row row(const char16_t* id, std::vector<u16> paths) {
    catalogue::row r;
    r.id = id;
    r.name = id;
    r.paths = std::move(paths);
    return r;
}

// `n` files of one byte in each of the named scratch folders, and one
// catalogue row per folder (its id is the folder's name).
std::vector<catalogue::row> plant(const tfx::scratch& s,
                                  std::initializer_list<const char16_t*> dirs, int n) {
    std::vector<catalogue::row> rows;
    for (const char16_t* d : dirs) {
        for (int i = 0; i < n; ++i)
            EXPECT_TRUE(s.file(u16(d) + u"\\f" + tfx::u(std::to_string(i).c_str()), 1));
        rows.push_back(row(d, {s.path(d)}));
    }
    return rows;
}

bool wait_until(const std::function<bool()>& pred, int ms = 10000) {
    auto end = steady_clock::now() + milliseconds(ms);
    while (!pred()) {
        if (steady_clock::now() > end) return false;
        std::this_thread::sleep_for(milliseconds(1));
    }
    return true;
}

long long ms_since(steady_clock::time_point t) {
    return duration_cast<milliseconds>(steady_clock::now() - t).count();
}

} // namespace

TEST(ScanConcurrent, StopRightAfterStartScansNothing) {
    TFX_SIM_ONLY("holds the worker at its first listing through the find hook");
    tfx::scratch s;
    catalogue cat(plant(s, {u"a", u"b"}, 3));
    context c;
    wv_scan* raw = c.get();
    // Whatever the worker reaches first waits until the stop request is in.
    tfx::set_find_hook([raw](const u16&, const u16&) {
        while (!raw->stop.load()) std::this_thread::yield();
    });
    ASSERT_EQ(wv_scan_start(raw), 1);
    wv_scan_stop(raw);
    wv_scan_wait(raw);
    tfx::set_find_hook(nullptr);
    EXPECT_EQ(c->category_count.load(), 0u);
    auto codes = scantest::g_log.codes();
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.back(), SCAN_EVENT_STOPPED);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), SCAN_EVENT_CATEGORY), 0);
    EXPECT_EQ(c->running.load(), 0);
}

TEST(ScanConcurrent, StopDuringAWalkCommitsWhatWasFound) {
    TFX_SIM_ONLY("acts in the middle of a listing through the find hook");
    tfx::scratch s;
    catalogue cat(plant(s, {u"a", u"b"}, 200));
    context c;
    wv_scan* raw = c.get();
    std::atomic<int> entries{0};
    std::atomic<bool> reached{false};
    tfx::set_find_hook([&](const u16& dir, const u16&) {
        if (dir.size() >= 2 && dir.substr(dir.size() - 2) == u"\\a" && ++entries == 100) {
            reached = true;
            while (!raw->stop.load()) std::this_thread::yield(); // the window's stop
        }
    });
    ASSERT_EQ(wv_scan_start(raw), 1);
    ASSERT_TRUE(wait_until([&] { return reached.load(); }));
    wv_scan_stop(raw);
    wv_scan_wait(raw);
    tfx::set_find_hook(nullptr);
    ASSERT_EQ(c.category_ids(), std::vector<u16>{u"a"});
    const wv_category* a = c.find(u"a");
    EXPECT_GT(a->file_count, 0u);
    EXPECT_LT(a->file_count, 100u);
    scantest::expect_consistent(a);
    auto codes = scantest::g_log.codes();
    EXPECT_EQ(codes, (std::vector<int>{0, SCAN_EVENT_CATEGORY, SCAN_EVENT_STOPPED}));
}

TEST(ScanConcurrent, PauseHoldsWalksButNotFileCandidates) {
    tfx::scratch s;
    std::vector<catalogue::row> rows = plant(s, {u"walked"}, 5);
    ASSERT_TRUE(s.file(u"named.bin", 4));
    rows.insert(rows.begin(), row(u"named", {s.path(u"named.bin")}));
    catalogue cat(rows);
    context c;
    c->paused.store(1);
    ASSERT_EQ(wv_scan_start(c.get()), 1);
    // The file named by a template is recorded and committed while paused;
    // the walk of the next category waits in its first callback.
    ASSERT_TRUE(scantest::g_log.wait_for(SCAN_EVENT_CATEGORY));
    std::this_thread::sleep_for(milliseconds(200));
    EXPECT_EQ(c->category_count.load(), 1u);
    EXPECT_EQ(c->running.load(), 1);
    c->paused.store(0);
    wv_scan_wait(c.get());
    EXPECT_EQ(c.category_ids(), (std::vector<u16>{u"named", u"walked"}));
    EXPECT_EQ(c.find(u"walked")->file_count, 5u);
    EXPECT_EQ(scantest::g_log.codes().back(), SCAN_EVENT_FINISHED);
}

TEST(ScanConcurrent, StopWhilePausedEndsWithinAPoll) {
    tfx::scratch s;
    catalogue cat(plant(s, {u"walked"}, 5));
    context c;
    c->paused.store(1);
    ASSERT_EQ(wv_scan_start(c.get()), 1);
    ASSERT_TRUE(scantest::g_log.wait_for(SCAN_EVENT_PROGRESS)); // about to walk
    std::this_thread::sleep_for(milliseconds(100));
    auto t = steady_clock::now();
    wv_scan_stop(c.get());
    wv_scan_wait(c.get());
    // One 50 ms poll, with room for a loaded machine.
    EXPECT_LT(ms_since(t), 1000);
    EXPECT_EQ(c->category_count.load(), 0u);
    EXPECT_EQ(scantest::g_log.codes().back(), SCAN_EVENT_STOPPED);
    EXPECT_EQ(c->paused.load(), 1); // the worker never clears it
}

TEST(ScanConcurrent, StartWhileRunningIsRefused) {
    tfx::scratch s;
    catalogue cat(plant(s, {u"walked"}, 2));
    context c;
    c->paused.store(1);
    ASSERT_EQ(wv_scan_start(c.get()), 1);
    os::handle first = c->thread;
    EXPECT_EQ(wv_scan_start(c.get()), 0);
    EXPECT_EQ(c->thread, first);
    EXPECT_EQ(wv_scan_workers_alive(), 1u);
    c->paused.store(0);
    wv_scan_wait(c.get());
}

TEST(ScanConcurrent, DestroyRightAfterStopDoesNotWaitOutTheGrace) {
    tfx::scratch s;
    catalogue cat(plant(s, {u"walked"}, 2));
    auto c = std::make_unique<wv_scan>();
    wv_scan_init(c.get());
    c->paused.store(1); // held in the walk until stopped
    ASSERT_EQ(wv_scan_start(c.get()), 1);
    std::this_thread::sleep_for(milliseconds(50));
    auto t = steady_clock::now();
    wv_scan_stop(c.get());
    wv_scan_destroy(c.get());
    EXPECT_LT(ms_since(t), 1000);
    EXPECT_EQ(c->categories, nullptr);
    EXPECT_EQ(c->thread, nullptr);
    EXPECT_EQ(wv_scan_workers_alive(), 0u);
    wv_scan_init(c.get());
    EXPECT_NE(c->categories, nullptr);
    wv_scan_destroy(c.get());
}

TEST(ScanConcurrent, StatusAndResultsReadWhileScanning) {
    tfx::scratch s;
    catalogue cat(plant(s, {u"a", u"b", u"c"}, 150));
    context c;
    ASSERT_EQ(wv_scan_start(c.get()), 1);
    // The window's reads: the status under the lock, the committed records
    // below the published count.
    uint64_t seen_bytes = 0;
    int reads = 0;
    do {
        char16_t status[256];
        wv_scan_status(c.get(), status, 256);
        EXPECT_LT(wv::str_len(status), 256u);
        uint32_t n = c->category_count.load(std::memory_order_acquire);
        for (uint32_t i = 0; i < n; ++i) seen_bytes += c->categories[i].total_bytes;
        ++reads;
    } while (c->running.load(std::memory_order_acquire));
    wv_scan_wait(c.get());
    EXPECT_GT(reads, 0);
    EXPECT_EQ(c->category_count.load(), 3u);
    for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(c->categories[i].total_bytes, 150u);
    (void)seen_bytes;
}

// A worker that never sees a stop (paused, and the owner forgot to stop it)
// is let go after 2,000 ms instead of being killed; it notices within a poll,
// ends, and the same context serves the next scan.
TEST(ScanConcurrent, DestroyLetsGoOfAPausedWorker) {
    tfx::scratch s;
    catalogue cat(plant(s, {u"walked"}, 3));
    context c;
    c->paused.store(1);
    ASSERT_EQ(wv_scan_start(c.get()), 1);
    ASSERT_TRUE(scantest::g_log.wait_for(SCAN_EVENT_PROGRESS));
    auto t = steady_clock::now();
    wv_scan_destroy(c.get());
    long long took = ms_since(t);
    EXPECT_GE(took, 1990);
    EXPECT_LT(took, 4000);
    EXPECT_EQ(c->categories, nullptr);
    EXPECT_EQ(c->link, nullptr);
    EXPECT_TRUE(scantest::wait_workers_gone());
    auto codes = scantest::g_log.codes();
    EXPECT_EQ(codes, std::vector<int>{SCAN_EVENT_PROGRESS}); // no end event from it

    scantest::g_log.clear();
    wv_scan_init(c.get());
    c->on_event = &scantest::record_event;
    c.run();
    EXPECT_EQ(c.find(u"walked")->file_count, 3u);
    EXPECT_EQ(scantest::g_log.codes().back(), SCAN_EVENT_FINISHED);
}

namespace {
// Holds the first file node's allocation: the worker's, inside its item
// callback (the start's own allocation is of another size).
std::atomic<bool> g_hold_armed{false};
std::atomic<bool> g_holding{false};
std::atomic<bool> g_release{false};
std::atomic<std::thread::id*> g_held_thread{nullptr};
std::thread::id g_held_id;

bool hold_allocation(size_t bytes) {
    bool expected = true;
    if (bytes == sizeof(wv_file) && g_hold_armed.compare_exchange_strong(expected, false)) {
        g_held_id = std::this_thread::get_id();
        g_held_thread.store(&g_held_id);
        g_holding = true;
        while (!g_release.load()) std::this_thread::sleep_for(milliseconds(1));
    }
    return false;
}
} // namespace

// The case: a worker stuck inside the heap, in the middle of a walk
// callback. Destroy must neither kill it nor wait for ever; the context is
// initialised again and scanned by a new worker while the old one is still
// stuck; once released, the old one frees what it made and ends without
// touching the new run.
TEST(ScanConcurrent, WorkerStuckInAnAllocationIsLetGo) {
    tfx::scratch s;
    catalogue cat(plant(s, {u"walked"}, 4));
    context c;
    g_release = false;
    g_holding = false;
    g_held_thread = nullptr;
    g_hold_armed = true;
    wv::mem_set_fail_hook(&hold_allocation);
    ASSERT_EQ(wv_scan_start(c.get()), 1);
    ASSERT_TRUE(wait_until([] { return g_holding.load(); }));
    wv_scan_stop(c.get()); // even a stop cannot reach a thread inside the heap
    auto t = steady_clock::now();
    wv_scan_destroy(c.get());
    long long took = ms_since(t);
    EXPECT_GE(took, 1990);
    EXPECT_LT(took, 4000);
    EXPECT_EQ(wv_scan_workers_alive(), 1u); // still stuck

    scantest::g_log.clear();
    wv_scan_init(c.get());
    c->on_event = &scantest::record_event;
    ASSERT_EQ(wv_scan_start(c.get()), 1);
    std::this_thread::sleep_for(milliseconds(20));
    g_release = true; // the old worker wakes while the new one runs
    wv_scan_wait(c.get());
    wv::mem_set_fail_hook(nullptr);
    EXPECT_TRUE(scantest::wait_workers_gone());

    ASSERT_EQ(c.category_ids(), std::vector<u16>{u"walked"});
    EXPECT_EQ(c.find(u"walked")->file_count, 4u);
    scantest::expect_consistent(c.find(u"walked"));
    const std::thread::id old_worker = *g_held_thread.load();
    for (const auto& e : scantest::g_log.snapshot()) EXPECT_NE(e.thread, old_worker);
    EXPECT_EQ(scantest::g_log.codes().back(), SCAN_EVENT_FINISHED);
}
