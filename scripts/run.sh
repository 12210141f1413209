#!/usr/bin/env bash
# Builds the Windows program with MinGW-w64 and starts it under Wine (on
# Windows, build with the msvc or mingw preset and start the .exe directly).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j "$(nproc)" --target welvo_probe
export WELVO_WINE_ROOT="$PWD/build/mingw/wine-run"
exec scripts/wine-run.sh build/mingw/welvo_probe.exe "$@"
