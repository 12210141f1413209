#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what clang-format makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find src tests bench tools -name '*.cpp' -o -name '*.h')
bad=0
for f in $files; do
  if ! clang-format --dry-run -Werror "$f" >/dev/null 2>&1; then
    echo "not formatted: $f"
    bad=1
  fi
done
[ $bad -eq 0 ] && echo "all $(echo "$files" | wc -w) C++ files formatted"
exit $bad
