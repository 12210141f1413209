#!/usr/bin/env bash
# Builds the Windows program with MinGW-w64 and starts it under Wine: on your
# display when $DISPLAY answers (close the window to end), otherwise on a
# virtual display, where it takes a screenshot, says where it went and ends
# the program. On Windows, build with the msvc or mingw preset and start
# welvo.exe directly.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j "${WELVO_JOBS:-$(nproc)}" --target welvo
. scripts/wine-gui.sh
wine_gui_env build/mingw/run
wine_gui_display
trap wine_gui_stop EXIT
wine_gui_prefix
dir="$WINEPREFIX/drive_c/Tools/Welvo"
mkdir -p "$dir"
cp build/mingw/src/ui/welvo.exe "$dir/welvo.exe"
if [ "$WINE_GUI_VIRTUAL" = 0 ]; then
  echo "Starting welvo.exe on $DISPLAY (prefix: $WINEPREFIX)"
  wine 'C:\Tools\Welvo\welvo.exe'
  exit 0
fi
echo "No display answers: starting welvo.exe on a virtual display ($DISPLAY)"
wine 'C:\Tools\Welvo\welvo.exe' &
id=$(timeout 60 xdotool search --sync --name '^Welvo v' | head -n1)
sleep 2
shot="$WINE_GUI_ROOT/welvo.png"
import -window "$id" "$shot"
echo "Screenshot of the window: $shot"
