// The simulated backend's side of the fixtures: every test starts on a fresh
// standard machine, and the simulated-only abilities are real.
#include "catalogue/catalogue.h"
#include "os/sim/sim.h"
#include "support/fixture.h"

namespace tfx {

namespace {
class reset_listener : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { prepare_machine(); }
};
} // namespace

void install_backend_listener() {
    testing::UnitTest::GetInstance()->listeners().Append(new reset_listener);
}

uint32_t process_tag() {
    return 1;
}

void prepare_machine() {
    sim::reset();
    // The protected-path predicate keeps what the ProfileList yields for about
    // a second; a fresh machine may have another.
    wv_blacklist_refresh();
}

bool sim_backend() {
    return true;
}

bool make_junction(const u16& path, const u16& target) {
    return sim::make_junction(path, target);
}

bool make_symlink(const u16& path, const u16& target, bool directory) {
    return sim::make_symlink(path, target, directory);
}

static_assert(int(fault::set_attr_denied) == int(sim::fault::set_attr_denied) &&
                  int(fault::recycle_fails) == int(sim::fault::recycle_fails) &&
                  int(fault::list_denied) == int(sim::fault::list_denied),
              "tfx::fault mirrors sim::fault");

bool make_hard_link(const u16& path, const u16& existing) {
    return sim::make_hard_link(path, existing);
}

bool make_seeded_file(const u16& path, uint64_t size, uint64_t seed) {
    sim::file_spec spec;
    spec.size = size;
    spec.seed = seed ? seed : 1; // a zero seed would give zero bytes
    return sim::make_file(path, spec);
}

bool inject(const u16& path, fault f, uint64_t param) {
    return sim::set_fault(path, static_cast<sim::fault>(f), param);
}

bool log_io(const u16& path) {
    sim::log_io(path);
    return true;
}

std::vector<io_event> io_log(const u16& path) {
    std::vector<io_event> out;
    for (const sim::io_event& e : sim::io_log(path))
        out.push_back({e.kind == sim::io_event::flush, e.offset, e.bytes});
    return out;
}

bool reg_deny(os::hkey root, const u16& key) {
    return sim::reg_deny(root, key);
}

bool set_find_hook(std::function<void(const u16& dir, const u16& name)> hook) {
    sim::set_find_hook(std::move(hook));
    return true;
}

bool start_io_log(const u16& path) {
    if (!sim::exists(path)) return false;
    sim::log_io(path);
    return true;
}

int io_write_count(const u16& path) {
    int n = 0;
    for (const auto& e : sim::io_log(path)) n += e.kind == sim::io_event::write;
    return n;
}

} // namespace tfx
