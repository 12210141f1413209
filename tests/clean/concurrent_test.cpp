// The window sets the stop flag from its own thread while the clean worker
// runs. These tests stop a clean from another thread at a known point and
// run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "base/mem.h"
#include "clean/clean.h"
#include "clean_support.h"
#include "support/fixture.h"

using tfx::u16;

namespace {

// The worker reaches a known point between two files when it records a
// failed path: the allocation hook tells the test and holds the worker until
// the test has set the stop flag.
std::atomic<int> g_phase{0}; // 1: worker waiting, 2: stop set
bool hold_worker(size_t) {
    g_phase.store(1, std::memory_order_release);
    while (g_phase.load(std::memory_order_acquire) != 2) std::this_thread::yield();
    return false;
}

TEST(CleanConcurrent, StopFromAnotherThreadEndsTheRunBetweenFiles) {
    struct tc {
        size_t failing; // index in category A of the missing file that holds the worker
        uint32_t removed;
    };
    // Stop in the middle of A, and after A's last file: B is never started.
    for (const tc& c : {tc{1, 1}, tc{3, 3}}) {
        SCOPED_TRACE(c.failing);
        tfx::scratch s;
        ct::scan_ctx sc;
        wv_category* a = sc.category(u"A");
        for (size_t i = 0; i < 4; ++i) {
            const u16 path = s.path(u"a" + tfx::u(std::to_string(i).c_str()));
            if (i != c.failing) ASSERT_TRUE(tfx::make_file(path, 1));
            sc.file(a, path, 1);
        }
        ASSERT_TRUE(s.file(u"b0", 1));
        sc.file(sc.category(u"B"), s.path(u"b0"), 1);
        ct::slots out(2);
        std::atomic<int32_t> stop{0};
        std::atomic<uint32_t> total{0};

        g_phase = 0;
        wv::mem_set_fail_hook(hold_worker);
        std::thread worker([&] { total = wv_clean_execute(&sc.scan, 1, out.r.data(), 2, &stop); });
        while (g_phase.load(std::memory_order_acquire) != 1) std::this_thread::yield();
        stop.store(1, std::memory_order_release);
        g_phase.store(2, std::memory_order_release);
        worker.join();
        wv::mem_set_fail_hook(nullptr);

        EXPECT_EQ(total.load(), c.removed);
        EXPECT_EQ(out.r[0].cleaned_count, c.removed);
        EXPECT_EQ(out.r[0].failed_count, 1u);
        for (size_t i = 0; i < 4; ++i) {
            const u16 path = s.path(u"a" + tfx::u(std::to_string(i).c_str()));
            EXPECT_EQ(tfx::exists(path), i > c.failing) << i;
        }
        EXPECT_TRUE(tfx::exists(s.path(u"b0")));
        EXPECT_TRUE(out.untouched(1));
    }
}

} // namespace
