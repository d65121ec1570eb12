#!/usr/bin/env bash
# The installed layout works on its own: installs the build into a fresh
# temporary prefix, moves the prefix (the installed binaries find each other
# relative to themselves), and has the installed vxhost, with no option and
# no $VXHOST_PLUGIN, export the demo document and every example document;
# each scene file must equal the build tree's byte for byte.
#
# usage: install_test.sh BUILD_DIR SOURCE_DIR [CMAKE]
set -euo pipefail
build=$1
source=$2
cmake=${3:-cmake}

work=$(mktemp -d "${TMPDIR:-/tmp}/vxinstall-XXXXXX")
trap 'rm -rf "$work"' EXIT
# Nothing of the user's is read or written: home and temporary folders are ours.
mkdir -p "$work/home" "$work/tmp"
export HOME="$work/home" TMPDIR="$work/tmp" XDG_CONFIG_HOME="$work/home/.config"
export TALVIK_REGISTRY_USER="$work/registry/user.json"
export TALVIK_REGISTRY_MACHINE="$work/registry/machine.json"
export TALVIK_RUNTIME_DIR="$work/run" XDG_RUNTIME_DIR="$work/run"
unset VXHOST_PLUGIN
# This test is about the layout. Leaks of these same exports are the
# integration tests' concern; the leak checker's at-exit pass has been seen to
# crash in its own tracer under load, which would fail a sound install.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

fail() {
  echo "install_test: $*" >&2
  exit 1
}

"$cmake" --install "$build" --prefix "$work/prefix" >"$work/install.log" ||
  { cat "$work/install.log" >&2; fail "cmake --install failed"; }
mv "$work/prefix" "$work/moved"
prefix="$work/moved"

for file in bin/vxhost bin/vxs bin/vxrenderer bin/vxregister bin/talvantrixlive6_64.so \
  lib/libvxhost.so plugins/vantrix/vantrix_c4d.so plugins/vantrix/res/export.png \
  plugins/vantrix/res/render.png plugins/vantrix/res/update.png; do
  [[ -f "$prefix/$file" ]] || fail "the installed tree lacks $file"
done

# The installed plug-in is the one loaded: its icons are named from its folder.
"$prefix/bin/vxhost" commands >"$work/commands.txt" || fail "installed vxhost commands failed"
grep -q "$prefix/plugins/vantrix/res/export.png" "$work/commands.txt" ||
  fail "installed vxhost did not load the installed plug-in: $(cat "$work/commands.txt")"

mkdir "$work/built" "$work/installed"
documents=("" "$source"/examples/*.json)
for document in "${documents[@]}"; do
  name=$(basename "${document:-demo}" .json)
  args=(export ${document:+"$document"})
  "$build/bin/vxhost" "${args[@]}" -o "$work/built/$name.vxs" 2>/dev/null ||
    fail "build tree vxhost export of $name failed"
  "$prefix/bin/vxhost" "${args[@]}" -o "$work/installed/$name.vxs" 2>"$work/stderr.txt" ||
    fail "installed vxhost export of $name failed: $(cat "$work/stderr.txt")"
  cmp "$work/built/$name.vxs" "$work/installed/$name.vxs" ||
    fail "installed export of $name differs from the build tree's"
done
echo "install_test: ${#documents[@]} exports of the installed tree equal the build tree's"
