#!/usr/bin/env bash
# Runs clang-tidy (.clang-tidy at the root) over the product sources of a
# configured build: every file of its compile_commands.json but the tests,
# the benchmarks and the fuzz targets, in parallel. Any finding fails the run
# (the configuration makes every warning an error).
#
#   tools/tidy.sh [BUILD_DIR]        default: build
#
# The compile commands are GCC's; clang-tidy is told to ignore warning
# options it does not know rather than stop at them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
database="$build/compile_commands.json"
if [[ ! -f $database ]]; then
  echo "tidy: no $database; configure the build first (cmake -S . -B build ...)" >&2
  exit 2
fi
tidy=$(command -v clang-tidy-14 || command -v clang-tidy || true)
runner=$(command -v run-clang-tidy-14 || command -v run-clang-tidy || true)
if [[ -z $tidy || -z $runner ]]; then
  echo "tidy: clang-tidy not found; tools/install-deps.sh installs it" >&2
  exit 2
fi

# The product folders, as regular expressions on the source paths.
products='platform|sceneapi|scenefile|preview|host|convert|plugin|livelink|renderer|tools'
files="^$root/($products)/"
excluded="^$root/(tests|bench)/|/fuzz/"
# run-clang-tidy selects files by one regular expression: list them instead,
# so that the exclusions hold.
mapfile -t sources < <(python3 - "$database" "$files" "$excluded" <<'PY'
import json, re, sys
database, keep, drop = sys.argv[1], re.compile(sys.argv[2]), re.compile(sys.argv[3])
files = sorted({e["file"] for e in json.load(open(database))})
print("\n".join(f for f in files if keep.search(f) and not drop.search(f)))
PY
)
if ((${#sources[@]} == 0)); then
  echo "tidy: no product sources in $database" >&2
  exit 2
fi
echo "tidy: ${#sources[@]} product sources"
start=$SECONDS
patterns=()
for source in "${sources[@]}"; do patterns+=("^$source\$"); done
status=0
"$runner" -clang-tidy-binary "$tidy" -p "$build" -j "$(nproc)" -quiet \
  -extra-arg=-Wno-unknown-warning-option "${patterns[@]}" >"$build/tidy.log" 2>&1 || status=$?
grep -v -e "^$tidy " -e '^[0-9]* warnings\? generated' -e '^Suppressed ' \
  -e '^Use -header-filter' -e '^Running clang-tidy' "$build/tidy.log" || true
echo "tidy: $((SECONDS - start)) s"
if ((status != 0)); then
  echo "tidy: findings above (full log: $build/tidy.log)" >&2
  exit 1
fi
echo "tidy: no findings"
