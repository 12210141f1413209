#include "base/mem.h"
#include "base/text.h"
#include "scan/scan.h"

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
}

void wv_scan_init(wv_scan* scan) {
    if (!scan) return;
    zero(scan);
    os::initialize_critical_section(&scan->lock);
    scan->categories =
        static_cast<wv_category*>(wv::mem_alloc_zero(sizeof(wv_category) * WV_MAX_CATEGORIES));
    scan->lock_live = 1;
}

static void free_list(wv_category* c) {
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

void wv_scan_destroy(wv_scan* scan) {
    if (!scan) return;
    // TODO(scan worker): wait for and release a worker thread first.
    if (scan->categories) {
        uint32_t n = scan->category_count.load(std::memory_order_acquire);
        for (uint32_t i = 0; i < n && i < WV_MAX_CATEGORIES; ++i) free_list(&scan->categories[i]);
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

// Starts checked only for a safe category that is not flagged as user files
// and is neither a cookie nor a history category.
static int32_t initially_checked(const wv_category* c, int32_t risk) {
    return risk == 0 && c->default_unchecked == 0 && !wv::str_contains(c->id, u"cookie") &&
                   !wv::str_contains(c->id, u"history")
               ? 1
               : 0;
}

void wv_scan_add_file(wv_scan* scan, wv_category* category, const char16_t* path, uint64_t size,
                      const uint64_t* last_write, int32_t risk) {
    if (!scan || !category || !path) return;
    os::enter_critical_section(&scan->lock);
    auto* f = static_cast<wv_file*>(wv::mem_alloc_zero(sizeof(wv_file)));
    if (!f) {
        os::leave_critical_section(&scan->lock);
        return;
    }
    wv::str_copy(f->path, 1024, path);
    f->size = size;
    if (last_write) f->last_write = *last_write;
    f->risk = risk;
    f->checked = initially_checked(category, risk);
    if (!category->head)
        category->head = f;
    else
        category->tail->next = f;
    category->tail = f;
    ++category->file_count;
    category->total_bytes += size;
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
