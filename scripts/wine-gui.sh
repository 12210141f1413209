#!/usr/bin/env bash
# Windows GUI programs under Wine, set up the way the desktop program needs:
# a prefix below a folder of the build tree with its own HOME and XDG folders
# (Wine links Documents and the like to $HOME and keeps its Recycle Bin in
# $XDG_DATA_HOME/Trash, so nothing outside that folder is touched), the
# program's font "Microsoft YaHei" and the system's UI fonts mapped to
# WenQuanYi Micro Hei so that the Chinese texts render, and title bars drawn
# by Wine itself. The user's display is used when it answers, otherwise a
# virtual one (Xvfb, 1280 x 1024).
#
# As a command:  wine-gui.sh <folder> <program.exe> [arguments]
# Sourced, for scripts that do more (run.sh, the end-to-end test):
#   wine_gui_env <folder>        exports WINEPREFIX, HOME, XDG_*
#   wine_gui_display [virtual]   sets DISPLAY; WINE_GUI_VIRTUAL=1 on Xvfb
#   wine_gui_prefix              creates and configures the prefix once
#   wine_gui_stop                ends the prefix's wineserver and the Xvfb

wine_gui_env() {
  mkdir -p "$1"
  local root
  root=$(cd "$1" && pwd)
  WINE_GUI_ROOT="$root"
  export WINEPREFIX="$root/prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  export HOME="$root/home" XDG_DATA_HOME="$root/xdg-data" XDG_CONFIG_HOME="$root/xdg-config"
  export XDG_CACHE_HOME="$root/xdg-cache"
  mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME"
}

WINE_GUI_XVFB=
WINE_GUI_VIRTUAL=0
wine_gui_display() {
  if [ "${1:-}" != virtual ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    WINE_GUI_VIRTUAL=0
    return 0
  fi
  local fd_file="$WINE_GUI_ROOT/.display"
  rm -f "$fd_file"
  # -displayfd: Xvfb picks a free display number and writes it out.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fd_file" >/dev/null 2>&1 &
  WINE_GUI_XVFB=$!
  for _ in $(seq 100); do [ -s "$fd_file" ] && break; sleep 0.1; done
  if [ ! -s "$fd_file" ]; then
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$(head -n1 "$fd_file")"
  WINE_GUI_VIRTUAL=1
}

wine_gui_prefix() {
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.welvo-gui-ready" ]; then
      wineboot -i >/dev/null 2>&1 || true
      wineserver -w
      for face in 'Microsoft YaHei' 'Tahoma' 'MS Shell Dlg' 'MS Shell Dlg 2' 'MS Sans Serif' \
                  'SimSun'; do
        wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ \
          /d 'WenQuanYi Micro Hei' /f >/dev/null 2>&1
      done
      # Without a window manager Wine draws title bars only for windows it
      # does not hand to one.
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
      wineserver -w
      touch "$WINEPREFIX/.welvo-gui-ready"
    fi
  ) 9>"$WINE_GUI_ROOT/.lock"
}

wine_gui_stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$WINE_GUI_XVFB" ]; then
    kill "$WINE_GUI_XVFB" 2>/dev/null || true
    wait "$WINE_GUI_XVFB" 2>/dev/null || true
    WINE_GUI_XVFB=
  fi
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  [ $# -ge 2 ] || { echo "usage: wine-gui.sh <folder> <program.exe> [arguments]" >&2; exit 2; }
  folder="$1"
  exe=$(realpath "$2")
  shift 2
  wine_gui_env "$folder"
  wine_gui_display
  trap wine_gui_stop EXIT
  wine_gui_prefix
  wine "$exe" "$@"
fi
