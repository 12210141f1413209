#include "base/text.h"
#include "bin_probe.h"
#include "os/sim/sim.h"

namespace bin {

bool holds(const tfx::u16& original) {
    for (const sim::recycled_item& item : sim::recycled())
        if (wv::str_equal_fold(item.original_path.c_str(), original.c_str())) return true;
    return false;
}

bool can_restore() {
    return false;
}

bool restore(const tfx::u16&) {
    return false;
}

bool disable(const tfx::u16&) {
    return false;
}

} // namespace bin
