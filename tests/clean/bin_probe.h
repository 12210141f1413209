// A look into the Recycle Bin for the clean tests: the simulated Windows
// records what it was given; under Wine the bin is the freedesktop trash in
// $XDG_DATA_HOME/Trash, reached through the Z: drive.
#pragma once

#include "support/fixture.h"

namespace bin {

// Whether the bin holds an entry that came from `original` (a full path).
bool holds(const tfx::u16& original);

// Whether restore() can work on this backend.
bool can_restore();
// Moves the entry that came from `original` back to its place.
bool restore(const tfx::u16& original);

// Makes the bin unusable for the rest of this process, keeping its stand-in
// in `dir`. Only where the platform allows it (Wine, before the process's
// first Recycle Bin request); false elsewhere.
bool disable(const tfx::u16& dir);

} // namespace bin
