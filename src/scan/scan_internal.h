// What the scan context and its worker share, and nothing else includes.
//
// The worker reaches its context only through a link on the heap. Every time
// it reads or writes the context it first marks the link busy and checks that
// the owner has not let go; wv_scan_destroy, when a worker does not end in
// time, marks the link detached instead of ending the thread. From then on the
// worker touches neither the context nor its lock: it frees what it built
// itself and ends, and the last of the two to let go frees the link. So a
// worker stuck anywhere (in the heap, in a platform call, in a callback)
// cannot corrupt a context that was destroyed and initialised again.
#pragma once

#include <atomic>
#include <cstdint>

#include "scan/scan.h"

inline constexpr int32_t LINK_IDLE = 0;
inline constexpr int32_t LINK_BUSY = 1;     // the worker's own short step on the context
inline constexpr int32_t LINK_IN_EVENT = 2; // inside the owner's on_event

struct wv_scan_link {
    wv_scan* scan;
    std::atomic<int32_t> refs;     // the context's and the worker's
    std::atomic<int32_t> detached; // set once by the owner, never cleared
    std::atomic<int32_t> busy;     // LINK_IDLE, LINK_BUSY or LINK_IN_EVENT
    std::atomic<int32_t> halt;     // the walker's stop flag: stop requested or detached
};

// Takes the worker's side of the link; false when the owner has let go (the
// worker must then leave the context alone). Pair a true answer with
// scan_link_leave.
inline bool scan_link_enter(wv_scan_link* l) {
    l->busy.store(LINK_BUSY, std::memory_order_seq_cst);
    if (l->detached.load(std::memory_order_seq_cst)) {
        l->busy.store(LINK_IDLE, std::memory_order_release);
        return false;
    }
    return true;
}
inline void scan_link_leave(wv_scan_link* l) {
    l->busy.store(LINK_IDLE, std::memory_order_release);
}

void scan_link_release(wv_scan_link* l);

// The worker's thread procedure; its argument is the link.
uint32_t scan_thread_proc(void* arg);

// Appends a node to a category's list (the shared part of wv_scan_add_file).
// False when the node could not be allocated.
bool scan_append(wv_category* c, const char16_t* path, uint64_t size, const uint64_t* last_write,
                 int32_t risk);
void scan_free_list(wv_category* c);

extern std::atomic<uint32_t> g_scan_workers_alive;
