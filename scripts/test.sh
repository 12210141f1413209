#!/usr/bin/env bash
# Builds and runs every test tier, ending with ctest's summary:
#   host  the engine suites on the simulated Windows, under AddressSanitizer
#         and UndefinedBehaviorSanitizer;
#   tsan  the concurrency suites on the simulated Windows, under ThreadSanitizer;
#   win   the same engine suites cross-compiled with MinGW-w64 and run under
#         Wine against the real Win32 backend, and the desktop program end to
#         end under Wine on a virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
jobs="${WELVO_JOBS:-$(nproc)}"
for preset in host-asan host-tsan mingw; do
  echo "== build $preset" >&2
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
# One ctest run over the three trees, so the output ends with one summary.
mkdir -p build/all
cat > build/all/CTestTestfile.cmake <<'CT'
subdirs("../host-asan" "../host-tsan" "../mingw")
CT
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}"
cd build/all
exec ctest --output-on-failure -j "$jobs" "$@"
