#include "ui/model.h"

#include "base/mem.h"

static uint32_t used(const wv_scan* scan) {
    if (!scan || !scan->categories) return 0;
    uint32_t n = scan->category_count.load(std::memory_order_acquire);
    return n < WV_MAX_CATEGORIES ? n : WV_MAX_CATEGORIES;
}

wv_totals wv_footer_totals(const wv_scan* scan) {
    wv_totals t{};
    uint32_t n = used(scan);
    for (uint32_t i = 0; i < n; ++i) {
        for (const wv_file* f = scan->categories[i].head; f; f = f->next) {
            ++t.files;
            if (f->checked) {
                ++t.checked;
                t.checked_bytes += f->size;
            }
        }
    }
    t.all_checked = t.files > 0 && t.checked == t.files ? 1 : 0;
    return t;
}

int wv_all_files_checked(const wv_scan* scan) {
    uint32_t n = used(scan);
    int any = 0;
    for (uint32_t i = 0; i < n; ++i) {
        for (const wv_file* f = scan->categories[i].head; f; f = f->next) {
            if (!f->checked) return 0;
            any = 1;
        }
    }
    return any;
}

void wv_set_all_checked(wv_scan* scan, int32_t value) {
    uint32_t n = used(scan);
    for (uint32_t i = 0; i < n; ++i)
        for (wv_file* f = scan->categories[i].head; f; f = f->next) f->checked = value;
}

void wv_invert_all(wv_scan* scan) {
    uint32_t n = used(scan);
    for (uint32_t i = 0; i < n; ++i)
        for (wv_file* f = scan->categories[i].head; f; f = f->next) f->checked = f->checked ? 0 : 1;
}

int wv_category_all_checked(const wv_category* c) {
    if (!c || !c->head) return 0;
    for (const wv_file* f = c->head; f; f = f->next)
        if (!f->checked) return 0;
    return 1;
}

void wv_category_toggle_checks(wv_category* c) {
    if (!c || !c->head) return;
    int32_t value = wv_category_all_checked(c) ? 0 : 1;
    for (wv_file* f = c->head; f; f = f->next) f->checked = value;
}

wv_file* wv_category_file_at(wv_category* c, int32_t index) {
    if (!c || index < 0) return nullptr;
    wv_file* f = c->head;
    for (int32_t i = 0; f && i < index; ++i) f = f->next;
    return f;
}

void wv_compact_categories(wv_scan* scan) {
    uint32_t n = used(scan);
    uint32_t kept = 0;
    for (uint32_t i = 0; i < n; ++i) {
        if (scan->categories[i].file_count == 0) continue;
        if (kept != i) scan->categories[kept] = scan->categories[i];
        ++kept;
    }
    // Slots past the kept ones would otherwise still point at lists that now
    // belong to a moved record; clear them so nothing frees a list twice.
    for (uint32_t i = kept; i < n; ++i) scan->categories[i] = wv_category{};
    if (scan) scan->category_count.store(kept, std::memory_order_release);
}

void wv_prune_checked(wv_scan* scan) {
    uint32_t n = used(scan);
    for (uint32_t i = 0; i < n; ++i) {
        wv_category* c = &scan->categories[i];
        wv_file** link = &c->head;
        c->tail = nullptr;
        c->file_count = 0;
        c->total_bytes = 0;
        while (wv_file* f = *link) {
            if (f->checked) {
                *link = f->next;
                wv::mem_free(f);
                continue;
            }
            c->tail = f;
            ++c->file_count;
            c->total_bytes += f->size;
            link = &f->next;
        }
        if (c->file_count == 0) c->expanded = 0;
    }
}

wv_click_result wv_left_click(wv_scan* scan, int32_t scroll, int32_t r, int32_t b, int32_t x,
                              int32_t y, int cleaning) {
    if (y >= b - FOOTER_HEIGHT && y < b) {
        if (cleaning || wv_footer_totals(scan).files == 0) return WV_CLICK_IGNORED;
        if (x >= r - 149 && x <= r - 80) {
            wv_set_all_checked(scan, wv_all_files_checked(scan) ? 0 : 1);
            return WV_CLICK_FOOTER;
        }
        if (x >= r - 74 && x <= r - 10) {
            wv_invert_all(scan);
            return WV_CLICK_FOOTER;
        }
        return WV_CLICK_IGNORED;
    }
    if (y < HEADER_HEIGHT || y >= b - FOOTER_HEIGHT) return WV_CLICK_DEFAULT;
    wv_hit hit = wv_hit_test(scan, scroll, y);
    if (hit.category < 0) return WV_CLICK_DEFAULT;
    if (cleaning) return WV_CLICK_IGNORED;
    wv_category* c = &scan->categories[hit.category];
    if (hit.file < 0) {
        if (x >= r - 41 && x <= r - 14)
            wv_category_toggle_checks(c);
        else
            c->expanded = c->expanded ? 0 : 1;
    } else if (wv_file* f = wv_category_file_at(c, hit.file)) {
        f->checked = f->checked ? 0 : 1;
    }
    return WV_CLICK_LIST;
}

int32_t wv_wheel_scroll(int32_t scroll, int16_t delta) {
    return scroll - (delta / 120) * 60;
}

wv_event_action wv_scan_event_action(int code, uint32_t event_run, uint32_t run, uint32_t now,
                                     uint32_t* last_paint) {
    if (event_run != run) return WV_EVENT_NOTHING;
    if (code < SCAN_EVENT_CATEGORY) {
        // Unsigned difference: a wrap of the tick count is harmless.
        if (now - *last_paint < WV_PROGRESS_THROTTLE_MS) return WV_EVENT_NOTHING;
        *last_paint = now;
        return WV_EVENT_REPAINT;
    }
    if (code == SCAN_EVENT_CATEGORY) {
        *last_paint = now;
        return WV_EVENT_CATEGORY;
    }
    if (code == SCAN_EVENT_FINISHED || code == SCAN_EVENT_STOPPED) return WV_EVENT_END;
    return WV_EVENT_NOTHING;
}
