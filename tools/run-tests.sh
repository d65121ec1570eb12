#!/usr/bin/env bash
# Runs every test: a release build and an address + undefined behaviour
# sanitizer build, each with its whole test suite, the layout check
# (tools/format-check.sh) and clang-tidy over the
# product sources of the release build (tools/tidy.sh; about two and a half
# minutes on two cores). Each suite runs under
# tools/check-hermetic.sh, which fails the run when a test left a program
# (a renderer) running or changed the user's or the machine's registry.
#
# The tests never use the user's registry, renderers, home or ports: every
# test program runs in a private world of its own (tests/support/test_world.h).
# The glTF sample tests run when VX_GLTF_SAMPLES names a folder of samples.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)

bash tools/install-deps.sh
# install-deps made a locale with a decimal comma: its test must not skip.
export VX_REQUIRE_COMMA_LOCALE=1
# The glTF samples are not part of the checkout. Where the project's shared
# data sits beside it, the sample tests use it; elsewhere they skip, saying so.
if [[ -z ${VX_GLTF_SAMPLES:-} && -d "$root/../shared/data/gltf" ]]; then
  export VX_GLTF_SAMPLES="$root/../shared/data/gltf"
fi
echo "run-tests: glTF samples: ${VX_GLTF_SAMPLES:-none (set VX_GLTF_SAMPLES to a folder of .gltf/.glb files to run them)}"

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$jobs"
bash tools/check-hermetic.sh ctest --test-dir build --output-on-failure -j"$jobs"

# Static checks: a file that is not laid out as .clang-format asks, or any
# clang-tidy finding, fails the run.
bash tools/format-check.sh
bash tools/tidy.sh build

# The scene reader under libFuzzer for a bounded time, seeded with writer output.
bash tools/fuzz-reader.sh "${VX_FUZZ_SECONDS:-60}"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVX_SANITIZE=ON -DVX_BENCH=OFF
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  bash tools/check-hermetic.sh ctest --test-dir build-asan --output-on-failure -j"$jobs"
