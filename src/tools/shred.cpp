// The file shredder: overwrites a file in place, pass after pass, flushing
// each pass, then deletes it.
//
// Invariant: 1 means every pass reached the whole file and the file is gone.
// Anything that stops the shredder before its first write leaves the file as
// it was; a failure during the passes leaves it, partly overwritten, in place.
#include "base/mem.h"
#include "base/text.h"
#include "catalogue/catalogue.h"
#include "fs/fs.h"
#include "tools/tools.h"

static constexpr uint32_t k_block = 65536;
static constexpr size_t k_path = 1024;

// A small generator of our own (splitmix64): every random pass draws a fresh
// block, and calls on different threads share no state.
static uint64_t next_random(uint64_t* state) {
    uint64_t z = (*state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

static void fill_block(uint8_t* block, int pass, uint64_t* rng) {
    switch (pass % 3) {
        case 0:
            for (uint32_t i = 0; i < k_block; ++i) block[i] = 0x00;
            break;
        case 1:
            for (uint32_t i = 0; i < k_block; ++i) block[i] = 0xFF;
            break;
        default:
            for (uint32_t i = 0; i < k_block; i += 8) {
                uint64_t r = next_random(rng);
                for (int b = 0; b < 8; ++b) block[i + b] = uint8_t(r >> (8 * b));
            }
    }
}

// Refusals that need the open file. Another name (a hard link) would keep
// the overwritten contents after this one is deleted, and a path that leads
// through a junction may end in a protected folder whatever it looks like.
static bool safe_to_overwrite(os::handle h) {
    os::file_information info;
    if (!os::get_file_information_by_handle(h, &info) || info.number_of_links != 1) return false;
    char16_t final_path[k_path];
    uint32_t n = os::get_final_path_name_by_handle(h, final_path, k_path);
    if (n == 0 || n >= k_path) return false;
    const char16_t* p = final_path;
    if (p[0] == u'\\' && p[1] == u'\\' && p[2] == u'?' && p[3] == u'\\') p += 4;
    return !wv_blacklist_match(p);
}

// One pass: the block written from the start to the size, then a flush (also
// after a failed write, for what did get written).
static bool write_pass(os::handle h, const uint8_t* block, uint64_t size) {
    bool ok = os::set_file_pointer_ex(h, 0, os::file_begin, nullptr);
    for (uint64_t done = 0; ok && done < size;) {
        uint32_t chunk = size - done < k_block ? uint32_t(size - done) : k_block;
        uint32_t written = 0;
        ok = os::write_file(h, block, chunk, &written) && written > 0;
        done += written;
    }
    // A pass that may not have reached the disk was not done as asked.
    bool flushed = os::flush_file_buffers(h);
    return ok && flushed;
}

int wv_tool_file_shred(const char16_t* path, int passes) {
    if (!path || !wv_file_exists(path) || wv_blacklist_match(path)) return 0;
    // Read-only files are refused here as well as by the open below, which
    // not every platform enforces for an administrator. A symbolic link is
    // refused: its target would be overwritten and only the link deleted.
    uint32_t attrs = os::get_file_attributes(path);
    if (attrs & (os::file_attribute_readonly | os::file_attribute_reparse_point)) return 0;

    os::handle h =
        os::create_file(path, os::generic_write, 0, os::open_existing, os::file_attribute_normal);
    if (h == os::invalid_handle) return 0;
    uint64_t size = 0;
    uint8_t* block = nullptr;
    if (!safe_to_overwrite(h) || !os::get_file_size_ex(h, &size) ||
        !(block = static_cast<uint8_t*>(wv::mem_alloc_zero(k_block)))) {
        os::close_handle(h);
        return 0;
    }

    uint64_t rng = (uint64_t(os::get_tick_count()) << 32) ^ size ^ uint64_t(uintptr_t(block));
    bool ok = true;
    for (int pass = 0; pass < passes && ok; ++pass) {
        fill_block(block, pass, &rng);
        ok = write_pass(h, block, size);
    }
    os::close_handle(h);
    wv::mem_free(block);
    if (!ok) return 0;
    return os::delete_file(path) ? 1 : 0;
}
