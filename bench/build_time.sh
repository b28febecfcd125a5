#!/usr/bin/env bash
# How long vkcdict takes to build against vkcsubst: for each source tree
# given (a checkout of this repository), a from-scratch Ninja build of the
# target vkcsubst, then another of vkcdict, each in a fresh folder and
# without a compiler cache. Run it on an idle machine; compare the two
# figures of one tree with each other, not across machines.
#
#   bench/build_time.sh TREE...
set -euo pipefail
build="$(mktemp -d)"
trap 'rm -rf "$build"' EXIT
for tree in "$@"; do
  for target in vkcsubst vkcdict; do
    rm -rf "$build/b"
    env -u CMAKE_CXX_COMPILER_LAUNCHER -u CMAKE_C_COMPILER_LAUNCHER cmake -S "$tree" -B "$build/b" -G Ninja > /dev/null
    /usr/bin/time -f "$tree $target: wall %e s, user %U s, sys %S s" ninja -C "$build/b" -j2 "$target" > /dev/null
  done
done
