#!/usr/bin/env bash
# Fuzzes the scene file reader for a bounded time.
#
#   tools/fuzz-reader.sh [SECONDS]     (default 60)
#
# Configures a separate clang build (build-fuzz, or $VX_FUZZ_BUILD_DIR) with
# VX_FUZZ=ON, builds the libFuzzer target fuzz_scene_reader (address and
# undefined-behaviour sanitizers on) and runs it for SECONDS on a copy of the
# seed corpus in scenefile/fuzz/corpus, scene files made by the writer
# (regenerate them with the scenefile_seed_corpus program of a normal build).
# Inputs that crash or make the whole and chunked readings differ are kept in
# the build's fuzz-artifacts/ folder; the exit status is then non-zero.
set -euo pipefail
seconds=${1:-60}
[[ $seconds =~ ^[0-9]+$ ]] || { echo "usage: $0 [SECONDS]" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VX_FUZZ_BUILD_DIR:-$root/build-fuzz}
jobs=$(nproc)

command -v clang++ >/dev/null || { echo "fuzz-reader: clang++ is needed (tools/install-deps.sh)" >&2; exit 2; }
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DVX_FUZZ=ON -DVX_TESTS=OFF -DVX_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_scene_reader -j"$jobs"

corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
cp "$root"/scenefile/fuzz/corpus/* "$corpus"/
artifacts=$build/fuzz-artifacts
mkdir -p "$artifacts"
echo "fuzz-reader: $seconds s on $(ls "$corpus" | wc -l) seed files"
"$build/bin/fuzz_scene_reader" "$corpus" \
  -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
  -artifact_prefix="$artifacts/" -print_final_stats=1
