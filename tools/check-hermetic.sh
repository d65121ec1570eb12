#!/usr/bin/env bash
# Runs a command (a test suite) and proves that it kept to itself: fails when
# a program it started is still running afterwards (a vxrenderer above all),
# or when the user's or the machine's registry file changed.
#
#   tools/check-hermetic.sh ctest --test-dir build --output-on-failure
#
# Everything the command starts inherits VX_TEST_RUN, a value unique to this
# run, in its environment; what still carries it once the command has ended
# (after a few seconds' grace) was left running: it is named and stopped.
# Exit status: the command's when it failed, else 1 when a check failed,
# else 0.
set -uo pipefail

if (($# == 0)); then
  echo "usage: $0 COMMAND [ARGUMENT...]" >&2
  exit 2
fi

registries=("${TALVIK_REGISTRY_USER:-$HOME/.config/talvik/registry.json}"
            "${TALVIK_REGISTRY_MACHINE:-/etc/talvik/registry.json}")

digest() {
  if [[ -e $1 ]]; then sha256sum <"$1" | cut -d' ' -f1; else echo absent; fi
}

# Process ids whose starting environment holds VX_TEST_RUN=$token.
marked() {
  grep -lzxF "VX_TEST_RUN=$token" /proc/[0-9]*/environ 2>/dev/null |
    sed -e 's|^/proc/||' -e 's|/environ$||' | grep -vx -e "$$" -e "$BASHPID" || true
}

# Running vxrenderer processes (zombies that only wait to be reaped are not).
renderers() {
  local pid
  for pid in $(pgrep -x vxrenderer); do
    [[ $(sed -e 's/.*) //' "/proc/$pid/stat" 2>/dev/null | cut -c1) =~ ^[RSDT]$ ]] && echo "$pid"
  done | sort
}

before=()
for r in "${registries[@]}"; do before+=("$(digest "$r")"); done
renderers_before=$(renderers)
token="$$-$(od -An -N8 -tx8 /dev/urandom | tr -d ' ')"

VX_TEST_RUN=$token "$@"
status=$?

failed=0
left=$(marked)
for _ in $(seq 25); do
  [[ -z $left ]] && break
  sleep 0.2
  left=$(marked)
done
for pid in $left; do
  echo "check-hermetic: $(cat "/proc/$pid/comm" 2>/dev/null) (pid $pid) was left running; stopping it" >&2
  kill -TERM "$pid" 2>/dev/null
  failed=1
done
[[ -n $left ]] && sleep 2 && for pid in $left; do kill -KILL "$pid" 2>/dev/null; done

new_renderers=$(comm -13 <(echo "$renderers_before") <(renderers) | grep . || true)
if [[ -n $new_renderers ]]; then
  echo "check-hermetic: vxrenderer running since the command started: pid $(echo $new_renderers)" >&2
  failed=1
fi

for i in "${!registries[@]}"; do
  if [[ $(digest "${registries[$i]}") != "${before[$i]}" ]]; then
    echo "check-hermetic: ${registries[$i]} changed while the command ran" >&2
    failed=1
  fi
done

if ((status != 0)); then exit "$status"; fi
if ((failed)); then exit 1; fi
echo "check-hermetic: nothing left running, registries unchanged"
