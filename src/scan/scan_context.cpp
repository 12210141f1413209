#include <new>

#include "base/mem.h"
#include "base/text.h"
#include "scan/scan.h"
#include "scan/scan_internal.h"

// The worker's stack. The walker keeps its own explicit stack, so what the
// worker needs is its 32 candidate buffers (64 KiB), template expansion (at
// most nine levels of about 8 KiB) and a few path buffers per call below it;
// half a megabyte leaves room for the sanitizers' larger frames.
static constexpr size_t k_worker_stack = 512 * 1024;
static constexpr uint32_t k_grace_ms = 2000;
static constexpr uint32_t k_after_detach_ms = 500;

std::atomic<uint32_t> g_scan_workers_alive{0};

uint32_t wv_scan_workers_alive() {
    return g_scan_workers_alive.load(std::memory_order_acquire);
}

// A context is "zero" after this: no array, no thread, the lock not live.
static void zero(wv_scan* s) {
    s->running.store(0, std::memory_order_relaxed);
    s->stop.store(0, std::memory_order_relaxed);
    s->paused.store(0, std::memory_order_relaxed);
    s->thread = nullptr;
    s->thread_id = 0;
    s->categories = nullptr;
    s->category_count.store(0, std::memory_order_relaxed);
    s->current_index.store(0, std::memory_order_relaxed);
    s->status_text[0] = 0;
    s->on_event = nullptr;
    s->lock_live = 0;
    s->link = nullptr;
}

void wv_scan_init(wv_scan* scan) {
    if (!scan) return;
    zero(scan);
    os::initialize_critical_section(&scan->lock);
    scan->categories =
        static_cast<wv_category*>(wv::mem_alloc_zero(sizeof(wv_category) * WV_MAX_CATEGORIES));
    scan->lock_live = 1;
}

void scan_free_list(wv_category* c) {
    wv_file* f = c->head;
    while (f) {
        wv_file* next = f->next;
        wv::mem_free(f);
        f = next;
    }
    c->head = c->tail = nullptr;
    c->file_count = 0;
    c->total_bytes = 0;
}

void scan_link_release(wv_scan_link* l) {
    if (l && l->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        l->~wv_scan_link();
        wv::mem_free(l);
    }
}

// The worker has not ended within the grace period. It is never ended by
// force: a thread killed while it holds the heap's lock or the context's lock
// leaves the process to hang at its next allocation. It is told to let go
// instead; from its next step on it touches only the link and what it built
// itself, frees that and ends.
static void detach_worker(wv_scan* scan) {
    wv_scan_link* l = scan->link;
    l->halt.store(1, std::memory_order_release);
    l->detached.store(1, std::memory_order_seq_cst);
    // A step of the worker's own on the context is short and never waits, so
    // it is waited for; the owner's callback gets at most the extra 500 ms.
    uint32_t start = os::get_tick_count();
    for (;;) {
        int32_t busy = l->busy.load(std::memory_order_seq_cst);
        if (busy == LINK_IDLE) break;
        if (busy == LINK_IN_EVENT && os::get_tick_count() - start >= k_after_detach_ms) break;
        os::sleep(1);
    }
    // Most workers notice within one pause poll and end here.
    uint32_t spent = os::get_tick_count() - start;
    if (spent < k_after_detach_ms)
        os::wait_for_single_object(scan->thread, k_after_detach_ms - spent);
}

void wv_scan_destroy(wv_scan* scan) {
    if (!scan) return;
    if (scan->thread) {
        if (os::wait_for_single_object(scan->thread, k_grace_ms) != os::wait_object_0 && scan->link)
            detach_worker(scan);
        os::close_handle(scan->thread);
        scan->thread = nullptr;
    }
    scan_link_release(scan->link);
    scan->link = nullptr;
    if (scan->categories) {
        uint32_t n = scan->category_count.load(std::memory_order_acquire);
        for (uint32_t i = 0; i < n && i < WV_MAX_CATEGORIES; ++i)
            scan_free_list(&scan->categories[i]);
        wv::mem_free(scan->categories);
    }
    if (scan->lock_live) os::delete_critical_section(&scan->lock);
    zero(scan);
}

wv_category* wv_scan_add_category(wv_scan* scan, const wv_app* app, int32_t tag) {
    if (!scan || !app || !scan->categories) return nullptr;
    uint32_t n = scan->category_count.load(std::memory_order_acquire);
    if (n >= WV_MAX_CATEGORIES) return nullptr;
    wv_category* c = &scan->categories[n];
    *c = wv_category{};
    c->risk = app->risk;
    c->default_unchecked = app->default_unchecked;
    c->tag = tag;
    wv::str_copy(c->id, 256, app->id);
    wv::str_copy(c->name, 256, app->name);
    scan->category_count.store(n + 1, std::memory_order_release);
    return c;
}

int wv_scan_start(wv_scan* scan) {
    if (!scan || scan->running.load(std::memory_order_acquire)) return 0;
    if (scan->thread) {
        // An earlier worker of this context: it must have ended before
        // another may use the context.
        if (os::wait_for_single_object(scan->thread, 0) != os::wait_object_0) return 0;
        os::close_handle(scan->thread);
        scan->thread = nullptr;
        scan_link_release(scan->link);
        scan->link = nullptr;
    }
    void* mem = wv::mem_alloc_zero(sizeof(wv_scan_link));
    if (!mem) return 0;
    auto* l = new (mem) wv_scan_link{};
    l->scan = scan;
    l->refs.store(2, std::memory_order_relaxed);
    scan->stop.store(0, std::memory_order_release);
    scan->running.store(1, std::memory_order_release);
    scan->link = l;
    g_scan_workers_alive.fetch_add(1, std::memory_order_acq_rel);
    uint32_t id = 0;
    os::handle t = os::create_thread(k_worker_stack, &scan_thread_proc, l, &id);
    if (!t) {
        g_scan_workers_alive.fetch_sub(1, std::memory_order_acq_rel);
        scan->link = nullptr;
        l->~wv_scan_link();
        wv::mem_free(l);
        // No worker will ever clear it.
        scan->running.store(0, std::memory_order_release);
        return 0;
    }
    scan->thread = t;
    scan->thread_id = id;
    return 1;
}

void wv_scan_stop(wv_scan* scan) {
    if (!scan) return;
    scan->stop.store(1, std::memory_order_release);
    // The walker watches the link's flag, so a walk in progress ends at once.
    if (scan->link) scan->link->halt.store(1, std::memory_order_release);
}

void wv_scan_wait(wv_scan* scan) {
    if (scan && scan->thread) os::wait_for_single_object(scan->thread, os::infinite);
}

// Starts checked only for a safe category that is not flagged as user files
// and is neither a cookie nor a history category.
static int32_t initially_checked(const wv_category* c, int32_t risk) {
    return risk == 0 && c->default_unchecked == 0 && !wv::str_contains(c->id, u"cookie") &&
                   !wv::str_contains(c->id, u"history")
               ? 1
               : 0;
}

bool scan_append(wv_category* c, const char16_t* path, uint64_t size, const uint64_t* last_write,
                 int32_t risk) {
    auto* f = static_cast<wv_file*>(wv::mem_alloc_zero(sizeof(wv_file)));
    if (!f) return false;
    wv::str_copy(f->path, 1024, path);
    f->size = size;
    if (last_write) f->last_write = *last_write;
    f->risk = risk;
    f->checked = initially_checked(c, risk);
    if (!c->head)
        c->head = f;
    else
        c->tail->next = f;
    c->tail = f;
    ++c->file_count;
    c->total_bytes += size;
    return true;
}

void wv_scan_add_file(wv_scan* scan, wv_category* category, const char16_t* path, uint64_t size,
                      const uint64_t* last_write, int32_t risk) {
    if (!scan || !category || !path || !scan->lock_live) return;
    os::enter_critical_section(&scan->lock);
    scan_append(category, path, size, last_write, risk);
    os::leave_critical_section(&scan->lock);
}

wv_category* wv_scan_find_category(wv_scan* scan, const char16_t* id) {
    if (!scan || !id || !scan->categories) return nullptr;
    uint32_t n = scan->category_count.load(std::memory_order_acquire);
    for (uint32_t i = 0; i < n; ++i)
        if (wv::str_equal(scan->categories[i].id, id)) return &scan->categories[i];
    return nullptr;
}

void wv_scan_status(wv_scan* scan, char16_t* out, uint32_t cap) {
    if (!out || cap == 0) return;
    out[0] = 0;
    if (!scan || !scan->lock_live) return;
    os::enter_critical_section(&scan->lock);
    wv::str_copy(out, cap, scan->status_text);
    os::leave_critical_section(&scan->lock);
}

void wv_scan_set_status(wv_scan* scan, const char16_t* text) {
    if (!scan || !scan->lock_live) return;
    os::enter_critical_section(&scan->lock);
    wv::str_copy(scan->status_text, 256, text ? text : u"");
    os::leave_critical_section(&scan->lock);
}
