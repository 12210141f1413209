// Duplicate grouping against the naive way: hash every candidate in full and
// group by size and hash. Both run over the same generated tree in the same
// run; the figures are bytes read and wall time, with their ratios.
//
// The tree: files of sizes nobody else has, pairs that differ in the first
// block, pairs that differ in the last block, pairs that differ only in the
// middle, triples of true duplicates, and one hard link to a duplicate.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "base/text.h"
#include "support/fixture.h"
#include "tools/tools.h"

using tfx::u16;

namespace {

constexpr uint64_t k_mib = 1048576;
constexpr uint32_t k_unique = 1000, k_pairs = 200, k_middle = 50, k_triples = 50;

u16 name(const char16_t* kind, uint32_t i, uint32_t copy) {
    char16_t buf[64];
    wv::format(buf, 64, u"%s\\%u-%u.bin", kind, i, copy);
    return buf;
}

const std::vector<uint8_t> k_mark = {0xDE, 0xAD, 0xBE, 0xEF, 0x01, 0x23, 0x45, 0x67};

bool build(const tfx::scratch& s) {
    bool ok = true;
    uint64_t seed = 1;
    for (uint32_t i = 0; i < k_unique; ++i)
        ok = ok && tfx::make_seeded_file(s.path(name(u"unique", i, 0)), k_mib + 1 + i * 7, seed++);
    struct kind {
        const char16_t* dir;
        uint64_t base;
        uint32_t count;
        int where; // 0 first block, 1 last block, 2 middle
    };
    for (const kind& k : {kind{u"first", k_mib + k_mib / 4, k_pairs, 0},
                          kind{u"last", k_mib + k_mib / 2, k_pairs, 1},
                          kind{u"middle", k_mib + 3 * k_mib / 4, k_middle, 2}}) {
        for (uint32_t i = 0; i < k.count && ok; ++i) {
            uint64_t size = k.base + i * 8, at = k.where == 0   ? 0
                                                 : k.where == 1 ? size - 8
                                                                : size / 2;
            ok = tfx::make_seeded_file(s.path(name(k.dir, i, 0)), size, seed) &&
                 tfx::make_seeded_file(s.path(name(k.dir, i, 1)), size, seed) &&
                 tfx::patch_file(s.path(name(k.dir, i, 1)), at, k_mark);
            ++seed;
        }
    }
    for (uint32_t i = 0; i < k_triples && ok; ++i, ++seed)
        for (uint32_t c = 0; c < 3 && ok; ++c)
            ok = tfx::make_seeded_file(s.path(name(u"dup", i, c)), 2 * k_mib + i * 8, seed);
    return ok && tfx::make_hard_link(s.path(u"dup\\link.bin"), s.path(name(u"dup", 0, 0)));
}

struct naive_result {
    uint64_t bytes = 0;
    uint32_t groups = 0;
};

naive_result naive(const std::vector<wv_dup_candidate>& c) {
    naive_result r;
    struct keyed {
        uint64_t size, lo, hi;
    };
    std::vector<keyed> keys;
    std::vector<uint8_t> buf(65536);
    for (const wv_dup_candidate& f : c) {
        os::handle h =
            os::create_file(f.path, os::generic_read, os::file_share_read, os::open_existing, 0);
        if (h == os::invalid_handle) continue;
        wv_hash128_state st;
        wv_hash128_init(&st);
        uint32_t got = 0;
        while (os::read_file(h, buf.data(), uint32_t(buf.size()), &got) && got) {
            r.bytes += got;
            wv_hash128_update(&st, buf.data(), got);
        }
        os::close_handle(h);
        wv_hash128 hv = wv_hash128_final(&st);
        keys.push_back({f.size, hv.lo, hv.hi});
    }
    std::sort(keys.begin(), keys.end(), [](const keyed& a, const keyed& b) {
        return a.size != b.size ? a.size < b.size : a.lo != b.lo ? a.lo < b.lo : a.hi < b.hi;
    });
    for (size_t i = 0; i < keys.size();) {
        size_t j = i + 1;
        while (j < keys.size() && keys[j].size == keys[i].size && keys[j].lo == keys[i].lo &&
               keys[j].hi == keys[i].hi)
            ++j;
        if (j - i >= 2) ++r.groups;
        i = j;
    }
    return r;
}

double seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

} // namespace

int main() {
    tfx::prepare_machine();
    tfx::scratch s;
    auto t0 = std::chrono::steady_clock::now();
    if (!build(s)) {
        std::printf("could not build the tree\n");
        return 1;
    }
    std::printf("tree built in %.1f s\n", seconds_since(t0));

    std::vector<wv_dup_candidate> c(8192);
    c.resize(wv_tool_dup_files(s.root().c_str(), c.data(), uint32_t(c.size())));
    uint64_t total = 0;
    for (const wv_dup_candidate& f : c) total += f.size;
    std::printf("candidates: %zu, %.1f MiB in all\n", c.size(), double(total) / k_mib);

    std::vector<wv_dup_group> groups(c.size());
    std::vector<uint32_t> members(c.size());
    // Each way three times, alternately; the best time of each counts, so
    // both read a tree that is equally warm and a busy machine weighs less.
    double t_group = 1e9, t_naive = 1e9;
    wv_dup_stats st{};
    uint32_t n_groups = 0;
    naive_result nv;
    for (int round = 0; round < 3; ++round) {
        t0 = std::chrono::steady_clock::now();
        n_groups =
            wv_tool_dup_groups(c.data(), uint32_t(c.size()), groups.data(), uint32_t(groups.size()),
                               members.data(), uint32_t(members.size()), &st);
        t_group = std::min(t_group, seconds_since(t0));
        t0 = std::chrono::steady_clock::now();
        nv = naive(c);
        t_naive = std::min(t_naive, seconds_since(t0));
    }
    uint32_t n_members = 0;
    for (uint32_t g = 0; g < n_groups; ++g) n_members += groups[g].count;

    std::printf("grouping: %10.1f MiB read, %5u files opened, %.3f s, %u groups of %u files\n",
                double(st.bytes_read) / k_mib, st.files_opened, t_group, n_groups, n_members);
    std::printf("naive:    %10.1f MiB read, %5zu files opened, %.3f s, %u groups\n",
                double(nv.bytes) / k_mib, c.size(), t_naive, nv.groups);
    std::printf("naive / grouping: bytes %.2fx, time %.2fx\n",
                double(nv.bytes) / double(st.bytes_read ? st.bytes_read : 1),
                t_naive / (t_group > 0 ? t_group : 1e-9));
    bool agree = n_groups == k_triples && nv.groups == k_triples && n_members == 3 * k_triples;
    std::printf("%s\n", agree ? "both found the 50 true triples (the link counted once)"
                              : "MISMATCH: the two ways disagree");
    return agree ? 0 : 1;
}
