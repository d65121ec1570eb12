#!/usr/bin/env bash
# Fails (exit 1) when a tracked C++ file differs from what .clang-format
# makes of it, naming each such file. `tools/format-check.sh --fix` formats
# them instead.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [[ ${1:-} == --fix ]]; then
  clang-format -i "${files[@]}"
  exit 0
fi
# One run over every file; its warnings start with the file's name.
if ! report=$(clang-format --dry-run --Werror "${files[@]}" 2>&1); then
  grep -oE '^[^:]+:[0-9]+:[0-9]+: (warning|error)' <<<"$report" | cut -d: -f1 | sort -u |
    sed 's/^/format-check: not formatted as .clang-format asks: /' >&2
  echo "format-check: run tools/format-check.sh --fix" >&2
  exit 1
fi
echo "format-check: ${#files[@]} files formatted"
