#!/usr/bin/env bash
# Installs every build and test dependency from Debian's packages.
# Idempotent: packages already present are left as they are.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config python3
  libtinyxml-dev          # the live link's XML answers
  nlohmann-json3-dev      # document files
  libcli11-dev            # command lines of vxhost and the tools
  libgtest-dev libgmock-dev
  libbenchmark-dev
  libtinygltf-dev         # glTF output of vxs convert
  assimp-utils            # reference counts of the glTF sample test
  clang libclang-rt-dev   # the scene reader's fuzz target (tools/fuzz-reader.sh)
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  as_root=()
  [[ $(id -u) -eq 0 ]] || as_root=(sudo)
  "${as_root[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
