#!/usr/bin/env bash
# Installs the dependencies, builds everything into build/, registers the
# built stand-in renderer in the user registry root (drawing a preview of
# every scene it receives) and exports the built-in demo document to demo.vxs
# with the stand-in host, with a picture of it, demo.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"
# The built stand-in renderer becomes the user's Vantrix 8 installation, so
# that "build/bin/vxhost render" and "update" start it and stream to it.
# Setup only registers it and starts no renderer; the tests never read this
# registration (each test program runs in a private world of its own).
build/bin/vxregister --bin "$root/build/bin/vxrenderer" --resources "$root/build/resources" \
  --port 5000 --max-port 5010 --preview
build/bin/vxhost export -o demo.vxs
echo "setup: wrote $root/demo.vxs from the built-in demo document"
build/bin/vxs render demo.vxs -o demo.png
echo "setup: wrote $root/demo.png, a picture of demo.vxs"
