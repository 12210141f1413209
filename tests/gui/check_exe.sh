#!/usr/bin/env bash
# Checks what welvo.exe carries, so that it runs on a clean Windows as one
# file: a GUI program that imports only system DLLs (the C and C++ runtimes
# are linked in), with the icon group and version block of its resources and
# no manifest.
#
#   check_exe.sh <objdump> <windres> <welvo.exe>
set -euo pipefail
objdump="$1" windres="$2" exe="$3"
fail=0
bad() { echo "FAIL: $*"; fail=1; }

headers=$("$objdump" -p "$exe")
grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$headers" || bad "not a Windows GUI program"
# System DLLs present on every 64-bit Windows. Anything else (libstdc++-6,
# libgcc_s_seh-1, libwinpthread-1, ...) would have to travel with the program.
allowed='^(kernel32|user32|gdi32|shell32|comdlg32|ole32|advapi32|msvcrt|ucrtbase|api-ms-win-crt-[a-z0-9-]+)\.dll$'
dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
[ -n "$dlls" ] || bad "no import table found"
for dll in $dlls; do
  if grep -Eiq "$allowed" <<<"$dll"; then echo "ok  : imports $dll"; else bad "imports $dll"; fi
done

rc=$("$windres" -i "$exe" -O rc)
grep -q '/\* RT_MANIFEST \*/' <<<"$rc" && bad "has a manifest"
group=$(sed -n '/^1 14 \/\* RT_GROUP_ICON \*\//,/^END/p' <<<"$rc")
grep -q 'Has 1 elements' <<<"$group" || bad "icon group 1 with one image missing"
grep -q '"\\040\\040\\000\\000", 1, 32,' <<<"$group" || bad "icon image is not 32 x 32 at 32 bits"
for want in 'FILEVERSION 1, 0, 0, 0' 'PRODUCTVERSION 1, 0, 0, 0' 'BLOCK "080404b0"' \
            'VALUE "InternalName", "welvo"' 'VALUE "OriginalFilename", "welvo.exe"' \
            'VALUE "FileVersion", "1.0.0.0"' 'VALUE "ProductVersion", "1.0.0.0"' \
            'VALUE "ProductName", ' 'VALUE "CompanyName", ' 'VALUE "FileDescription", ' \
            'VALUE "Translation", 0x804, 1200'; do
  grep -qF "$want" <<<"$rc" || bad "version resource lacks: $want"
done
[ $fail -eq 0 ] && echo "ok  : welvo.exe is a self-contained GUI program with its resources"
exit $fail
