#!/usr/bin/env bash
# Fails when a C++ source file differs from what clang-format (with the tree's .clang-format) makes of it,
# naming each such file. Run `clang-format -i FILE` to mend one.
set -euo pipefail
root=$(cd "${1:-$(dirname "$0")/..}" && pwd)
cd "$root"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.c')
else
  mapfile -t files < <(find . -path ./build -prune -o -path './build-*' -prune -o -path ./out -prune -o \
    \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print)
fi
# One clang-format run over all files; each difference it reports starts with "FILE:LINE:COL: error:".
report=$(clang-format --dry-run -Werror "${files[@]}" 2>&1) && status=0 || status=$?
if [ "$status" -ne 0 ]; then
  echo "not formatted (clang-format -i FILE to mend):" >&2
  grep -oE '^[^: ]+:[0-9]+:[0-9]+: (error|warning)' <<<"$report" | cut -d: -f1 | sort -u >&2 ||
    echo "$report" >&2
  exit 1
fi
echo "format: ${#files[@]} files formatted"
