#!/usr/bin/env bash
# Makes sure the Debian packages the build and the tests need are installed.
# As root it installs what is missing with apt-get; otherwise it prints the
# exact apt-get line and fails.
#   deps.sh build   compilers, CMake, Ninja, Wine (enough to build and run)
#   deps.sh test    the above plus what the test tiers use
set -euo pipefail
what="${1:-test}"
pkgs=(cmake ninja-build g++ googletest
      g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
      wine wine64 xvfb xdotool x11-utils imagemagick fonts-wqy-microhei)
if [ "$what" = test ]; then
  pkgs+=(clang-format)
fi
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
line="apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages. Run as root:" >&2
  echo "  apt-get update && $line" >&2
  exit 1
fi
echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq >/dev/null
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
