// bench_scan: a full scan with the worker against a bare enumeration of the
// same tree with the platform's find calls, in one run.
//
// The tree (100,000 files in about 2,000 folders) is built in two halves, one
// where %TEMP% points for the run ("sys_temp_user") and one in the
// CrashDumps folder of the %LOCALAPPDATA% it names ("sys_crash_dumps"), so no
// category reaches its 65,536-file limit; the other profile variables point
// at an empty folder. Printed: the
// median of each measurement, the ratios against the bare enumeration, the
// same scan with the ProfileList read on every call (the predicate as it was
// before its snapshot), what allocating one node per file costs by itself,
// the cost of the worker's yield done as a 1 ms sleep and as a
// SwitchToThread, and the engine heap per recorded file.
//
//   bench_scan [reps [quick]]   (under Wine: scripts/wine-run.sh bench_scan.exe)
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "base/mem.h"
#include "base/text.h"
#include "catalogue/catalogue.h"
#include "os/os.h"
#include "scan/scan.h"
#include "support/fixture.h"

using tfx::u16;
using clock_type = std::chrono::steady_clock;

namespace {

// Per half: 20 folders of 50 folders of 50 files.
constexpr int k_top = 20, k_leaves = 50, k_files = 50;

std::atomic<uint64_t> g_heap_bytes{0};
bool count_allocation(size_t bytes) {
    g_heap_bytes += bytes;
    return false;
}

u16 num(int i) {
    return tfx::u(std::to_string(i).c_str());
}

bool build_tree(const u16& root) {
    for (int t = 0; t < k_top; ++t)
        for (int l = 0; l < k_leaves; ++l) {
            u16 dir = root + u"\\d" + num(t) + u"\\e" + num(l);
            if (!tfx::make_dirs(dir)) return false;
            for (int f = 0; f < k_files; ++f)
                if (!tfx::make_file(dir + u"\\cache_" + num(f) + u".tmp", 0)) return false;
        }
    return true;
}

// The bare enumeration: every folder listed with the same find calls the
// walker uses, one loop, nothing else. `every64` runs after each 64 entries.
uint64_t enumerate(const std::vector<u16>& roots, const std::function<void()>& every64 = nullptr) {
    uint64_t files = 0, seen = 0;
    std::vector<u16> stack(roots.rbegin(), roots.rend());
    os::find_data fd;
    while (!stack.empty()) {
        u16 dir = stack.back();
        stack.pop_back();
        os::handle h = os::find_first_file_ex_basic((dir + u"\\*").c_str(), &fd);
        if (h == os::invalid_handle) continue;
        do {
            if (every64 && ++seen % 64 == 0) every64();
            if (fd.name[0] == u'.' && (!fd.name[1] || (fd.name[1] == u'.' && !fd.name[2])))
                continue;
            if (fd.attributes & os::file_attribute_directory)
                stack.push_back(dir + u"\\" + fd.name);
            else
                ++files;
        } while (os::find_next_file(h, &fd));
        os::find_close(h);
    }
    return files;
}

struct scan_result {
    double ms;
    uint64_t files;
    uint64_t heap;
};

scan_result full_scan() {
    auto* s = new wv_scan{};
    wv_scan_init(s);
    g_heap_bytes = 0;
    wv::mem_set_fail_hook(&count_allocation);
    auto t0 = clock_type::now();
    wv_scan_start(s);
    wv_scan_wait(s);
    double ms = std::chrono::duration<double, std::milli>(clock_type::now() - t0).count();
    wv::mem_set_fail_hook(nullptr);
    uint64_t files = 0;
    for (uint32_t i = 0; i < s->category_count.load(); ++i) files += s->categories[i].file_count;
    scan_result r{ms, files, g_heap_bytes.load()};
    wv_scan_destroy(s);
    delete s;
    return r;
}

double time_ms(const std::function<void()>& f) {
    auto t0 = clock_type::now();
    f();
    return std::chrono::duration<double, std::milli>(clock_type::now() - t0).count();
}

std::string runs(const std::vector<double>& v) {
    std::string out;
    for (double x : v) {
        char buf[32];
        std::snprintf(buf, sizeof buf, out.empty() ? "%.0f" : " %.0f", x);
        out += buf;
    }
    return out;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    tfx::prepare_machine();
    int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    bool quick = argc > 2 && std::string(argv[2]) == "quick";
    std::printf("backend: %s\n", tfx::sim_backend() ? "simulated Windows" : "Win32 (real)");

    tfx::scratch s;
    const u16 temp = s.path(u"temp"), local = s.path(u"local"), empty = s.path(u"empty");
    const std::vector<u16> tree = {temp, local + u"\\CrashDumps"};
    tfx::make_dirs(empty);
    std::printf("building the tree...\n");
    std::fflush(stdout);
    for (const u16& half : tree) {
        if (!build_tree(half)) {
            std::printf("could not build the tree\n");
            return 1;
        }
    }
    tfx::env_guard g1(u"TEMP", temp), g2(u"LOCALAPPDATA", local), g3(u"APPDATA", empty),
        g4(u"USERPROFILE", empty);
    std::printf("tree: %d files in %d folders under %s\n", 2 * k_top * k_leaves * k_files,
                2 * (k_top * k_leaves + k_top), tfx::narrow(s.root()).c_str());

    enumerate(tree); // warm the caches
    std::vector<double> bare, nodes, scan;
    uint64_t enumerated = 0;
    scan_result last{};
    std::vector<void*> blocks(size_t(2) * k_top * k_leaves * k_files);
    for (int i = 0; i < reps; ++i) {
        bare.push_back(time_ms([&] { enumerated = enumerate(tree); }));
        // What the result model costs by itself: one zero-filled node of
        // sizeof(wv_file) per file, allocated one by one.
        nodes.push_back(time_ms([&] {
            for (void*& p : blocks) p = wv::mem_alloc_zero(sizeof(wv_file));
        }));
        for (void* p : blocks) wv::mem_free(p);
        last = full_scan();
        scan.push_back(last.ms);
    }
    double b = median(bare), m = median(nodes), a = median(scan);
    std::printf("(b) bare enumeration:     median %9.1f ms  (%llu files; runs %s)\n", b,
                (unsigned long long)enumerated, runs(bare).c_str());
    std::printf("(n) node allocations:     median %9.1f ms  (runs %s)  (b+n)/b = %.2f\n", m,
                runs(nodes).c_str(), (b + m) / b);
    std::printf("(a) full scan (worker):   median %9.1f ms  (%llu files recorded; runs %s)  "
                "a/b = %.2f\n",
                a, (unsigned long long)last.files, runs(scan).c_str(), a / b);

    // The predicate as it was: the ProfileList opened and enumerated for each
    // of the seven profile patterns on every call (slow: "quick" skips it).
    if (!quick) {
        wv_blacklist_use_snapshot(0);
        scan_result direct = full_scan();
        wv_blacklist_use_snapshot(1);
        std::printf("(a') full scan, ProfileList read on every call: %9.1f ms  a'/b = %.2f  "
                    "a'/a = %.2f\n",
                    direct.ms, direct.ms / b, direct.ms / a);
    }

    // The worker's yield every 64 entries, on the bare enumeration.
    double slept = time_ms([&] { enumerate(tree, [] { os::sleep(1); }); });
    double switched = time_ms([&] { enumerate(tree, [] { os::switch_to_thread(); }); });
    std::printf("(b+sleep) enumeration, 1 ms sleep every 64 entries:  %9.1f ms  /b = %.2f\n", slept,
                slept / b);
    std::printf("(b+switch) enumeration, SwitchToThread every 64:     %9.1f ms  /b = %.2f\n",
                switched, switched / b);

    std::printf("engine heap during the scan: %llu bytes, %.1f bytes per recorded file "
                "(sizeof(wv_file) = %zu)\n",
                (unsigned long long)last.heap, last.files ? double(last.heap) / last.files : 0.0,
                sizeof(wv_file));
    std::printf("removing the tree...\n");
    return 0;
}
