// The scan context and its result model, and the scan worker that fills it.
#pragma once

#include <atomic>
#include <cstdint>

#include "catalogue/catalogue.h"
#include "os/os.h"

inline constexpr int SCAN_EVENT_PROGRESS = 0;
inline constexpr int SCAN_EVENT_CATEGORY = 2;
inline constexpr int SCAN_EVENT_FINISHED = 3;
inline constexpr int SCAN_EVENT_STOPPED = 4;

inline constexpr uint32_t WV_MAX_CATEGORIES = 128;
inline constexpr uint32_t WV_MAX_FILES_PER_CATEGORY = 65536;

// One found file.
struct wv_file {
    char16_t path[1024];
    uint64_t size;
    uint64_t last_write; // FILETIME; 0 when the finder gave none
    int32_t risk;
    int32_t checked;
    wv_file* next;
};

// One category's results: a singly linked list of files.
struct wv_category {
    char16_t name[256];
    char16_t id[256];
    int32_t risk;
    int32_t installed;
    int32_t default_unchecked;
    int32_t tag;
    int32_t expanded;
    wv_file* head;
    wv_file* tail;
    uint32_t file_count;
    uint64_t total_bytes;
    int32_t failed_count;
};

struct wv_scan;
using wv_scan_event_fn = void (*)(int code, wv_scan* scan);

// The worker's way into a context (scan_internal.h): shared by the context
// and its worker, freed by whichever lets go last.
struct wv_scan_link;

// One scan run. The flags and the count are read by one thread while another
// writes them: publish with release, read with acquire.
struct wv_scan {
    std::atomic<int32_t> running;
    std::atomic<int32_t> stop;
    std::atomic<int32_t> paused;
    os::handle thread;
    uint32_t thread_id;
    wv_category* categories; // 128 records, or null if the allocation failed
    std::atomic<uint32_t> category_count;
    std::atomic<int32_t> current_index;
    char16_t status_text[256]; // written under `lock`; read it with wv_scan_status
    os::critical_section lock;
    wv_scan_event_fn on_event;
    int32_t lock_live;  // 1 between wv_scan_init and wv_scan_destroy
    wv_scan_link* link; // set by wv_scan_start while a worker may still use the context
};

void wv_scan_init(wv_scan* scan);
void wv_scan_destroy(wv_scan* scan);
int wv_scan_start(wv_scan* scan);
void wv_scan_stop(wv_scan* scan);
void wv_scan_wait(wv_scan* scan);
wv_category* wv_scan_add_category(wv_scan* scan, const wv_app* app, int32_t tag);
void wv_scan_add_file(wv_scan* scan, wv_category* category, const char16_t* path, uint64_t size,
                      const uint64_t* last_write, int32_t risk);
wv_category* wv_scan_find_category(wv_scan* scan, const char16_t* id);

// A consistent copy of status_text for the window, taken under the lock.
void wv_scan_status(wv_scan* scan, char16_t* out, uint32_t cap);
void wv_scan_set_status(wv_scan* scan, const char16_t* text);

// Workers started and not yet ended, including any that wv_scan_destroy gave
// up waiting for. Lets a test see an abandoned worker finish.
uint32_t wv_scan_workers_alive();

// Tests only: the worker scans these rows instead of the catalogue (null
// restores the catalogue). Set only while no worker runs.
void wv_scan_use_catalogue(const wv_app* rows, uint32_t count);
