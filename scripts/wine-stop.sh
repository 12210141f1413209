#!/usr/bin/env bash
# Ends the wineserver of a prefix made by wine-run.sh: wine-stop.sh <wine root>
root="$1"
[ -d "$root/prefix" ] || exit 0
WINEPREFIX="$root/prefix" wineserver -k 2>/dev/null
WINEPREFIX="$root/prefix" wineserver -w 2>/dev/null
exit 0
