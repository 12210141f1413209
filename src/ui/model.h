// What the main window does to the scan results, and how it reads them:
// totals for the footer, check marks, the compaction at the end of a scan,
// the pruning after a clean, the meaning of a left click and the filter of
// the scan worker's events. Window-free, so the host build tests it on real
// scan contexts.
#pragma once

#include <cstdint>

#include "scan/scan.h"
#include "ui/layout.h"

// Footer figures in one walk over all files.
struct wv_totals {
    uint32_t checked;       // files with their check mark set
    uint64_t checked_bytes; // and their sizes added up
    uint32_t files;         // all files, checked or not
    int all_checked;        // 1 when there is a file and every one is checked
};
wv_totals wv_footer_totals(const wv_scan* scan);

int wv_all_files_checked(const wv_scan* scan);
void wv_set_all_checked(wv_scan* scan, int32_t value);
void wv_invert_all(wv_scan* scan);
// 1 when the category has a file and every one of them is checked.
int wv_category_all_checked(const wv_category* c);
// A click on a category's check box: check all its files if any is
// unchecked, otherwise uncheck them all. A category without files is left alone.
void wv_category_toggle_checks(wv_category* c);
wv_file* wv_category_file_at(wv_category* c, int32_t index);

// End of a scan: drop every category without files, keep the order of the
// others, and lower category_count to the number kept.
void wv_compact_categories(wv_scan* scan);
// After a clean: free every checked file node, recompute each category's
// file_count, total_bytes and tail, and collapse categories left empty.
void wv_prune_checked(wv_scan* scan);

// A left click in the main window, as the window must answer it.
enum wv_click_result {
    WV_CLICK_DEFAULT, // not ours: default handling
    WV_CLICK_IGNORED, // ours, nothing changed
    WV_CLICK_FOOTER,  // select-all or invert applied: update buttons, repaint
    WV_CLICK_LIST,    // a row changed: clamp the scroll, update buttons, repaint
};
// Applies the click at client (x, y) of an R x B client area to the scan.
// While a clean runs (`cleaning` 1) the clean worker reads the check marks
// without a lock, so nothing is changed then.
wv_click_result wv_left_click(wv_scan* scan, int32_t scroll, int32_t r, int32_t b, int32_t x,
                              int32_t y, int cleaning);

// The scroll offset after a wheel delta: one notch (120) is 60 pixels, a
// partial notch nothing; the result is not yet clamped.
int32_t wv_wheel_scroll(int32_t scroll, int16_t delta);

// Filter of WM_SCAN_EVENT. `event_run` is the run that sent the event, `run`
// the current one; events of an older run are stale and are dropped, so a
// queued end of a replaced run cannot end (and compact) the new one.
enum wv_event_action {
    WV_EVENT_NOTHING,
    WV_EVENT_REPAINT,  // progress: repaint
    WV_EVENT_CATEGORY, // a category arrived: clamp the scroll, repaint
    WV_EVENT_END,      // the run ended: state done, compact, scroll to top
};
inline constexpr uint32_t WV_PROGRESS_THROTTLE_MS = 150;
wv_event_action wv_scan_event_action(int code, uint32_t event_run, uint32_t run, uint32_t now,
                                     uint32_t* last_paint);
