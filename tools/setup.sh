#!/usr/bin/env bash
# Installs the dependencies, builds everything into build/ and exports the
# built-in demo document to demo.vxs with the stand-in host.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"
build/bin/vxhost export -o demo.vxs
echo "setup: wrote $root/demo.vxs from the built-in demo document"
