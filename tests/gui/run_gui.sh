#!/usr/bin/env bash
# End-to-end test of welvo.exe under Wine on a virtual display.
#
#   run_gui.sh <welvo.exe> <gui_driver.exe> <work folder>
#
# Makes a fresh, throw-away Wine prefix in the work folder (scripts/wine-gui.sh:
# own HOME and XDG_DATA_HOME there, fonts mapped) and runs the driver in it,
# which plants the junk, drives the program and checks it. The screenshots
# end up as PNG files in <work folder>/shots.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/wine-gui.sh"
exe=$(realpath "$1")
driver=$(realpath "$2")
work="$3"

rm -rf "$work"
wine_gui_env "$work"
mkdir -p "$WINE_GUI_ROOT/shots"
wine_gui_display virtual
trap wine_gui_stop EXIT
echo "== preparing the Wine prefix in $WINEPREFIX"
wine_gui_prefix

mkdir -p "$WINEPREFIX/drive_c/Tools/Welvo"
cp "$exe" "$WINEPREFIX/drive_c/Tools/Welvo/welvo.exe"
# Only one directory up: the program looks beside itself first, then there.
cp "$here/../../src/ui/res/welvo.ico" "$WINEPREFIX/drive_c/Tools/icon.ico"
shots_w=$(winepath -w "$WINE_GUI_ROOT/shots" 2>/dev/null)
bin_w=$(winepath -w "$XDG_DATA_HOME/Trash" 2>/dev/null)

echo "== driving welvo.exe"
rc=0
wine "$driver" 'C:\Tools\Welvo\welvo.exe' "$shots_w" "$bin_w" || rc=$?

for bmp in "$WINE_GUI_ROOT"/shots/*.bmp; do
  [ -e "$bmp" ] || continue
  convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
echo "== screenshots: $WINE_GUI_ROOT/shots"
exit $rc
