#!/usr/bin/env bash
# Installs every build and test dependency from Debian's packages, and makes
# the de_DE.UTF-8 locale the numeric-locale test runs under (a decimal comma).
# Idempotent: packages already present and a locale already made are left as
# they are.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config python3
  libtinyxml-dev          # the live link's XML answers
  nlohmann-json3-dev      # document files
  libcli11-dev            # command lines of vxhost and the tools
  libgtest-dev libgmock-dev
  libbenchmark-dev
  libtinygltf-dev         # glTF output of vxs convert
  libembree-dev           # the preview renderer's ray tracing
  libstb-dev              # the preview's texture decoding and PNG output
  libassimp-dev           # OBJ, FBX, COLLADA, PLY, STL, 3DS, ... import (host/assimp)
  assimp-utils            # reference counts of the glTF sample and asset import tests
  clang libclang-rt-dev   # the scene reader's fuzz target (tools/fuzz-reader.sh)
  clang-tidy              # static checks of the product sources (tools/tidy.sh)
  clang-format            # the layout check (tools/format-check.sh)
  locales                 # locale-gen, for the comma locale below
)

as_root=()
[[ $(id -u) -eq 0 ]] || as_root=(sudo)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  "${as_root[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# A locale with a decimal comma: enabled in /etc/locale.gen, so that a later
# locale-gen keeps it, then generated.
comma_locale="de_DE.UTF-8"
if ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
  if grep -q "^# *${comma_locale} UTF-8" /etc/locale.gen 2>/dev/null; then
    "${as_root[@]}" sed -i "s/^# *${comma_locale} UTF-8/${comma_locale} UTF-8/" /etc/locale.gen
  elif ! grep -q "^${comma_locale} UTF-8" /etc/locale.gen 2>/dev/null; then
    echo "${comma_locale} UTF-8" | "${as_root[@]}" tee -a /etc/locale.gen >/dev/null
  fi
  "${as_root[@]}" locale-gen
fi
