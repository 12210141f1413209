#!/usr/bin/env bash
# Runs a Windows program under Wine, in a throw-away prefix inside the build
# tree, so that nothing reaches the real home folder: Wine links the profile's
# Documents, Desktop and the like to $HOME, and its Recycle Bin is
# $XDG_DATA_HOME/Trash, so both point into the build tree too.
#
#   wine-run.sh program.exe [arguments]
# WELVO_WINE_ROOT names the folder for the prefix; by default it is "wine" in
# the build tree that holds the program.
set -euo pipefail
exe="$1"
shift
root="${WELVO_WINE_ROOT:-}"
if [ -z "$root" ]; then
  d=$(cd "$(dirname "$exe")" && pwd)
  while [ "$d" != / ] && [ ! -f "$d/CMakeCache.txt" ]; do d=$(dirname "$d"); done
  root="$d/wine"
fi
mkdir -p "$root"
root=$(cd "$root" && pwd)
export WINEPREFIX="$root/prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export HOME="$root/home" XDG_DATA_HOME="$root/xdg-data" XDG_CONFIG_HOME="$root/xdg-config" XDG_CACHE_HOME="$root/xdg-cache"
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME"
# Create the prefix once, even when ctest starts several programs at a time.
(
  flock 9
  if [ ! -f "$WINEPREFIX/.welvo-ready" ]; then
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w || true
    touch "$WINEPREFIX/.welvo-ready"
  fi
) 9>"$root/.lock"
exec wine "$exe" "$@"
