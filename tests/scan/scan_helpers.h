// Helpers shared by the scan suites: an event log for on_event (a plain
// function pointer, so the log is global), a context that is destroyed
// whatever the test's outcome, and a stand-in catalogue built from scratch
// paths.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "catalogue/catalogue.h"
#include "scan/scan.h"
#include "support/fixture.h"

namespace scantest {

using tfx::u16;

struct event {
    int code;
    uint32_t category_count; // as the callback saw it
    std::thread::id thread;
};

struct event_log {
    std::mutex m;
    std::condition_variable cv;
    std::vector<event> events;
    // Optional hook run inside the callback (on the worker thread).
    void (*hook)(int code, wv_scan* scan) = nullptr;

    void clear() {
        std::lock_guard<std::mutex> g(m);
        events.clear();
        hook = nullptr;
    }
    std::vector<event> snapshot() {
        std::lock_guard<std::mutex> g(m);
        return events;
    }
    std::vector<int> codes() {
        std::vector<int> c;
        for (const event& e : snapshot()) c.push_back(e.code);
        return c;
    }
    // Waits until an event with this code arrived; false on timeout.
    bool wait_for(int code, int ms = 10000) {
        std::unique_lock<std::mutex> g(m);
        return cv.wait_for(g, std::chrono::milliseconds(ms), [&] {
            for (const event& e : events)
                if (e.code == code) return true;
            return false;
        });
    }
};

inline event_log g_log;

inline void record_event(int code, wv_scan* scan) {
    void (*hook)(int, wv_scan*) = nullptr;
    {
        std::lock_guard<std::mutex> g(g_log.m);
        g_log.events.push_back({code, scan->category_count.load(std::memory_order_acquire),
                                std::this_thread::get_id()});
        hook = g_log.hook;
    }
    g_log.cv.notify_all();
    if (hook) hook(code, scan);
}

// A scan context on the heap, initialised with the recording callback and
// destroyed (worker waited for) when the object goes.
class context {
  public:
    context() : s_(new wv_scan{}) {
        g_log.clear();
        wv_scan_init(s_.get());
        s_->on_event = &record_event;
    }
    ~context() { wv_scan_destroy(s_.get()); }
    context(const context&) = delete;
    context& operator=(const context&) = delete;

    wv_scan* get() { return s_.get(); }
    wv_scan* operator->() { return s_.get(); }

    // Runs a whole scan and waits for its end.
    void run() {
        ASSERT_EQ(wv_scan_start(s_.get()), 1);
        wv_scan_wait(s_.get());
    }
    std::vector<u16> category_ids() {
        std::vector<u16> ids;
        for (uint32_t i = 0; i < s_->category_count.load(); ++i)
            ids.push_back(s_->categories[i].id);
        return ids;
    }
    const wv_category* find(const char16_t* id) { return wv_scan_find_category(s_.get(), id); }

  private:
    std::unique_ptr<wv_scan> s_;
};

struct found {
    u16 path;
    uint64_t size;
    int32_t checked;
    bool operator==(const found& o) const {
        return path == o.path && size == o.size && checked == o.checked;
    }
};

inline std::vector<found> files_of(const wv_category* c) {
    std::vector<found> v;
    if (!c) return v;
    for (const wv_file* f = c->head; f; f = f->next) v.push_back({f->path, f->size, f->checked});
    std::sort(v.begin(), v.end(), [](const found& a, const found& b) { return a.path < b.path; });
    return v;
}

// Checks the list invariants of a record: count, sum and tail agree with the
// nodes.
inline void expect_consistent(const wv_category* c) {
    uint32_t n = 0;
    uint64_t sum = 0;
    const wv_file* last = nullptr;
    for (const wv_file* f = c->head; f; f = f->next) {
        ++n;
        sum += f->size;
        last = f;
    }
    EXPECT_EQ(c->file_count, n) << tfx::narrow(c->id);
    EXPECT_EQ(c->total_bytes, sum) << tfx::narrow(c->id);
    EXPECT_EQ(c->tail, last) << tfx::narrow(c->id);
}

// A stand-in catalogue for the worker, restored to the real one when the
// object goes.
class catalogue {
  public:
    struct row {
        u16 id;
        u16 name;
        int32_t risk = 0;
        int32_t default_unchecked = 0;
        std::vector<u16> paths;
        os::hkey reg_root = nullptr;
        u16 reg_subkey, reg_value; // empty: none
    };
    explicit catalogue(std::vector<row> rows) : rows_(std::move(rows)) {
        for (row& r : rows_) {
            auto& ptrs = paths_.emplace_back();
            for (const u16& p : r.paths) ptrs.push_back(p.c_str());
            ptrs.push_back(nullptr);
        }
        for (size_t i = 0; i < rows_.size(); ++i) {
            const row& r = rows_[i];
            apps_.push_back({r.id.c_str(), r.name.c_str(), r.risk, r.default_unchecked, r.reg_root,
                             r.reg_subkey.empty() ? nullptr : r.reg_subkey.c_str(),
                             r.reg_value.empty() ? nullptr : r.reg_value.c_str(),
                             paths_[i].data()});
        }
        wv_scan_use_catalogue(apps_.data(), uint32_t(apps_.size()));
    }
    ~catalogue() { wv_scan_use_catalogue(nullptr, 0); }
    catalogue(const catalogue&) = delete;
    catalogue& operator=(const catalogue&) = delete;

  private:
    std::vector<row> rows_;
    std::deque<std::vector<const char16_t*>> paths_;
    std::vector<wv_app> apps_;
};

// Waits until no worker is left (an abandoned one included); false on timeout.
inline bool wait_workers_gone(int ms = 10000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (wv_scan_workers_alive() != 0) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace scantest
