// The clean engine against the bare platform call it wraps, in both modes:
// a permanent clean of N checked files against a loop of os::delete_file over
// an identical set, and a Recycle Bin clean against a loop of the bare
// Recycle Bin request. Both sets are built before either is timed, and the
// two runs of a mode are timed in both orders, so that neither side always
// gets the warmer caches.
//
//   bench_clean [files [files-per-folder]]     (default 20000, all in one folder)
//
// Under Wine the recycled files land in $XDG_DATA_HOME/Trash; the benchmark
// takes its own entries out again at the end.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/text.h"
#include "catalogue/catalogue.h"
#include "clean/clean.h"
#include "support/fixture.h"

using tfx::u16;

namespace {

using clock_type = std::chrono::steady_clock;

double seconds_since(clock_type::time_point t0) {
    return std::chrono::duration<double>(clock_type::now() - t0).count();
}

u16 number(uint64_t v) {
    char16_t buf[32];
    wv::format(buf, 32, u"%llu", v);
    return buf;
}

uint32_t g_per_folder = 0; // files per folder of a set; 0: all in one

// One set of files, named after the run so that recycled entries of
// different sets and runs never collide in the bin.
std::vector<u16> make_set(const tfx::scratch& s, const u16& tag, const u16& set, uint32_t n) {
    std::vector<u16> paths;
    paths.reserve(n);
    u16 dir;
    for (uint32_t i = 0; i < n; ++i) {
        if (i == 0 || (g_per_folder && i % g_per_folder == 0)) {
            dir = s.path(set + u"\\" + number(g_per_folder ? i / g_per_folder : 0));
            tfx::make_dirs(dir);
        }
        u16 path = dir + u"\\" + tag + u"-" + set + u"-" + number(i) + u".tmp";
        if (!tfx::make_file(path, 16)) {
            std::fprintf(stderr, "cannot create %s\n", tfx::narrow(path).c_str());
            std::exit(1);
        }
        paths.push_back(path);
    }
    return paths;
}

uint32_t count_left(const std::vector<u16>& paths) {
    uint32_t left = 0;
    for (const u16& p : paths) left += tfx::exists(p) ? 1 : 0;
    return left;
}

double bare_delete(const std::vector<u16>& paths) {
    auto t0 = clock_type::now();
    for (const u16& p : paths) os::delete_file(p.c_str());
    return seconds_since(t0);
}

double bare_recycle(const std::vector<u16>& paths) {
    auto t0 = clock_type::now();
    char16_t from[262];
    for (const u16& p : paths) {
        wv::str_copy(from, 261, p.c_str());
        from[p.size() + 1] = 0;
        os::sh_file_op op{os::fo_delete, from, nullptr,
                          uint16_t(os::fof_silent | os::fof_noconfirmation | os::fof_allowundo |
                                   os::fof_noerrorui),
                          0};
        os::sh_file_operation(&op);
    }
    return seconds_since(t0);
}

// The folder a path lies in.
u16 parent(const u16& p) {
    return p.substr(0, p.find_last_of(u'\\'));
}

// The engine as the clean worker runs it: one scan context, the files in
// one category, all checked, 256 result slots. Each file is tied to the walk
// root of its folder, as the scan records it, so the engine checks every
// file's real location.
double engine(const std::vector<u16>& paths, int mode, uint32_t* removed) {
    static wv_scan scan;
    wv_scan_init(&scan);
    const wv_app app{u"bench_junk", u"Bench", 0, 0, nullptr, nullptr, nullptr, nullptr};
    wv_category* c = wv_scan_add_category(&scan, &app, 0);
    const wv_walk_root* root = nullptr;
    u16 root_dir;
    for (const u16& p : paths) {
        if (!root || parent(p) != root_dir) {
            root_dir = parent(p);
            root = wv_scan_add_walk_root(c, root_dir.c_str(), 1);
        }
        wv_scan_add_file(&scan, c, p.c_str(), 16, nullptr, 0);
        c->tail->root = root;
        c->tail->attributes = os::file_attribute_archive;
    }
    static wv_clean_result results[256];
    auto t0 = clock_type::now();
    *removed = wv_clean_execute(&scan, mode, results, 256, nullptr);
    double t = seconds_since(t0);
    for (wv_clean_result& r : results) wv_clean_result_clear(&r);
    wv_scan_destroy(&scan);
    return t;
}

// What a permanent clean did per file before deletions went through a
// handle: the protected-path test on the path, the attributes, and a
// DeleteFileW by path. The baseline for the cost of the location checks.
double path_based(const std::vector<u16>& paths, uint32_t* removed) {
    auto t0 = clock_type::now();
    uint32_t n = 0;
    for (const u16& p : paths) {
        if (wv_blacklist_match(p.c_str())) continue;
        uint32_t a = os::get_file_attributes(p.c_str());
        if (a == os::invalid_file_attributes) continue;
        if (a &
            (os::file_attribute_readonly | os::file_attribute_hidden | os::file_attribute_system))
            os::set_file_attributes(p.c_str(), os::file_attribute_normal);
        n += os::delete_file(p.c_str()) ? 1 : 0;
    }
    *removed = n;
    return seconds_since(t0);
}

// The protected-path test alone over the same paths: the part of the
// engine's work that the bare loop does not do.
double predicate_only(const std::vector<u16>& paths) {
    auto t0 = clock_type::now();
    int hits = 0;
    for (const u16& p : paths) hits += wv_blacklist_match(p.c_str());
    double t = seconds_since(t0);
    if (hits) std::printf("  (unexpected: %d protected)\n", hits);
    return t;
}

// Takes this run's entries out of Wine's trash.
void empty_own_trash(const u16& tag) {
    char16_t xdg[1024];
    uint32_t n = os::expand_environment_strings(u"%XDG_DATA_HOME%", xdg, 1024);
    if (n == 0 || n > 1024 || xdg[0] != u'/') return; // not Wine
    u16 trash = u"Z:" + u16(xdg) + u"/Trash";
    for (char16_t& ch : trash)
        if (ch == u'/') ch = u'\\';
    uint32_t removed = 0;
    for (const u16& sub : {u16(u"\\files"), u16(u"\\info")}) {
        for (const u16& name : tfx::list(trash + sub)) {
            if (name.compare(0, tag.size(), tag) != 0) continue;
            os::delete_file((trash + sub + u"\\" + name).c_str());
            ++removed;
        }
    }
    std::printf("removed %u entries of this run from %s\n", removed, tfx::narrow(trash).c_str());
}

struct pair_times {
    double engine_s[2], bare_s[2];
};

void report(const char* mode, uint32_t n, const pair_times& t) {
    double e = t.engine_s[0] + t.engine_s[1], b = t.bare_s[0] + t.bare_s[1];
    std::printf("%s, %u files per run:\n", mode, n);
    std::printf("  round 1 (bare first):   bare %.3f s, engine %.3f s, ratio %.3f\n", t.bare_s[0],
                t.engine_s[0], t.engine_s[0] / t.bare_s[0]);
    std::printf("  round 2 (engine first): bare %.3f s, engine %.3f s, ratio %.3f\n", t.bare_s[1],
                t.engine_s[1], t.engine_s[1] / t.bare_s[1]);
    std::printf("  both rounds:            bare %.3f s, engine %.3f s, ratio %.3f"
                " (%.1f vs %.1f us per file)\n",
                b, e, e / b, 1e6 * b / (2.0 * n), 1e6 * e / (2.0 * n));
}

// Times one mode: two rounds, each over two fresh identical sets.
pair_times run_mode(const tfx::scratch& s, const u16& tag, int mode, uint32_t n) {
    pair_times t{};
    for (int round = 0; round < 2; ++round) {
        const u16 r = (mode ? u"p" : u"r") + number(uint64_t(round));
        std::vector<u16> bare_set = make_set(s, tag, r + u"bare", n);
        std::vector<u16> engine_set = make_set(s, tag, r + u"engine", n);
        uint32_t removed = 0;
        if (round == 0) {
            t.bare_s[0] = mode ? bare_delete(bare_set) : bare_recycle(bare_set);
            t.engine_s[0] = engine(engine_set, mode, &removed);
        } else {
            t.engine_s[1] = engine(engine_set, mode, &removed);
            t.bare_s[1] = mode ? bare_delete(bare_set) : bare_recycle(bare_set);
        }
        uint32_t bare_left = count_left(bare_set), engine_left = count_left(engine_set);
        if (removed != n || engine_left || bare_left) {
            std::printf("  round %d: engine removed %u, left %u; bare loop left %u\n", round + 1,
                        removed, engine_left, bare_left);
            std::exit(1);
        }
    }
    return t;
}

} // namespace

int main(int argc, char** argv) {
    tfx::prepare_machine();
    uint32_t n = argc > 1 ? uint32_t(std::strtoul(argv[1], nullptr, 10)) : 20000;
    if (n == 0) n = 20000;
    g_per_folder = argc > 2 ? uint32_t(std::strtoul(argv[2], nullptr, 10)) : 0;
    tfx::scratch s;
    const u16 tag = u"welvo-bench-" + s.root().substr(s.root().find_last_of(u'-') + 1) + u"-" +
                    number(uint64_t(clock_type::now().time_since_epoch().count() % 1000000007));

    {
        // What the engine does per file besides the platform call itself.
        std::vector<u16> probe = make_set(s, tag, u"probe", n);
        const uint32_t sample = n < 2000 ? n : 2000;
        std::printf("per-file parts of the engine's work, over folders of %u files:\n",
                    g_per_folder && g_per_folder < n ? g_per_folder : n);
        double t = predicate_only(probe);
        std::printf("  protected-path test:            %7.1f us per path (all %u)\n", 1e6 * t / n,
                    n);
        auto t0 = clock_type::now();
        for (const u16& p : probe) os::get_file_attributes(p.c_str());
        t = seconds_since(t0);
        std::printf("  attributes of an existing file: %7.1f us per path (all %u)\n", 1e6 * t / n,
                    n);
        t0 = clock_type::now();
        for (uint32_t i = 0; i < sample; ++i)
            os::get_file_attributes((probe[i] + u"-gone").c_str());
        t = seconds_since(t0);
        std::printf("  attributes of a missing file:   %7.1f us per path (first %u)\n",
                    1e6 * t / sample, sample);
    }
    report("permanent (os::delete_file loop vs wv_clean_execute mode 1)", n,
           run_mode(s, tag, 1, n));
    {
        // The location checks' cost: the engine against the path-based way
        // it deleted before, over identical sets, both orders.
        double before = 0, after = 0, bare = 0;
        for (int round = 0; round < 2; ++round) {
            const u16 r = u"c" + number(uint64_t(round));
            std::vector<u16> a = make_set(s, tag, r + u"path", n);
            std::vector<u16> b = make_set(s, tag, r + u"handle", n);
            std::vector<u16> c = make_set(s, tag, r + u"bare", n);
            uint32_t ra = 0, rb = 0;
            if (round == 0) {
                before += path_based(a, &ra);
                after += engine(b, 1, &rb);
                bare += bare_delete(c);
            } else {
                bare += bare_delete(c);
                after += engine(b, 1, &rb);
                before += path_based(a, &ra);
            }
            if (ra != n || rb != n || count_left(c)) {
                std::printf("  round %d: path-based removed %u, engine %u\n", round + 1, ra, rb);
                std::exit(1);
            }
        }
        std::printf("permanent, location checks (2 rounds of %u files):\n", n);
        std::printf("  bare delete loop %.3f s; path-based checks %.3f s; engine %.3f s\n", bare,
                    before, after);
        std::printf("  engine / path-based = %.3f; path-based / bare = %.3f; engine / bare = "
                    "%.3f (%.1f, %.1f, %.1f us per file)\n",
                    after / before, before / bare, after / bare, 1e6 * bare / (2.0 * n),
                    1e6 * before / (2.0 * n), 1e6 * after / (2.0 * n));
    }
    report("Recycle Bin (os::sh_file_operation loop vs wv_clean_execute mode 0)", n,
           run_mode(s, tag, 0, n));
    empty_own_trash(tag);
    return 0;
}
