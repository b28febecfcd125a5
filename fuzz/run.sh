#!/usr/bin/env bash
# Builds the fuzz targets with clang into build-fuzz/ and runs each of them,
# one after another, for SECONDS (default 30) from its seed corpus in
# fuzz/corpus/<target>/, with the format's markers as the fuzzer's dictionary.
#
#   fuzz/run.sh [SECONDS]
#
# Fails when clang or libFuzzer is missing, when the build fails, or when a
# target stops on a finding: a crash, a sanitizer report, a leak, a hang
# (an input running longer than 25 s), running out of memory, or a failed
# check. The input that found it is kept in build-fuzz/findings/, the log in
# build-fuzz/logs/; inputs the fuzzer found interesting grow
# build-fuzz/corpus/<target>/ from run to run.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-30}"
case "$seconds" in
  '' | *[!0-9]*)
    echo "usage: fuzz/run.sh [SECONDS]" >&2
    exit 2
    ;;
esac

# Each target with the longest input it is given: enough for a few records,
# an image of a few dozen, and, for the rewriter, texts around the 2048-byte
# limit of its text buffers.
targets=(load_text:4096 load_binary:4096 rewrite:8192 edit:2048 match:1024 po:8192 check:4096 qa:8192
         edit_request:2048)
build=build-fuzz

scratch=""
probe=""
cleanup() { rm -rf "$probe" "$scratch"; }
trap cleanup EXIT

if ! command -v clang++ > /dev/null; then
  echo "fuzz/run.sh: clang++ not found; install the packages clang and libclang-rt-14-dev" >&2
  exit 1
fi
# On Debian libFuzzer comes apart from clang (libclang-rt-*-dev): try it.
probe="$(mktemp -d)"
cat > "$probe/probe.cpp" << 'EOF'
#include <cstddef>
#include <cstdint>
extern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }
EOF
if ! clang++ -fsanitize=fuzzer,address,undefined "$probe/probe.cpp" -o "$probe/probe" \
  2> "$probe/log"; then
  cat "$probe/log" >&2
  echo "fuzz/run.sh: clang++ cannot link libFuzzer with the sanitizers;" \
    "install the package libclang-rt-14-dev (or the one that matches clang)" >&2
  exit 1
fi

generator=()
if command -v ninja > /dev/null; then generator=(-G Ninja); fi
echo "== building the fuzz targets in $build"
cmake -S . -B "$build" "${generator[@]}" -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVKC_FUZZ=ON -DVKC_TESTS=OFF -DVKC_BENCHMARKS=OFF
cmake --build "$build"

# The targets write their files into a folder of their own under this one,
# in memory-backed storage where there is some.
scratch="$(mktemp -d /dev/shm/vkc-fuzz-run.XXXXXX 2> /dev/null || mktemp -d)"
export VKC_FUZZ_TMPDIR="$scratch"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
mkdir -p "$build/findings" "$build/logs"

failed=()
for entry in "${targets[@]}"; do
  name="${entry%%:*}"
  max_len="${entry##*:}"
  log="$build/logs/$name.log"
  mkdir -p "$build/corpus/$name"
  echo "== fuzz_$name for ${seconds}s (max_len $max_len)"
  # The first folder receives what the fuzzer finds; the seeds stay as they are.
  if "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -max_len="$max_len" -timeout=25 \
    -rss_limit_mb=2048 -dict=fuzz/markers.dict -print_final_stats=1 \
    -artifact_prefix="$build/findings/$name-" \
    "$build/corpus/$name" "fuzz/corpus/$name" > "$log" 2>&1; then
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log" || true
    grep -E '^#[0-9]+.*(DONE|pulse)' "$log" | tail -n 1 || true
  else
    tail -n 80 "$log"
    echo "fuzz_$name: FINDING (log $log, input in $build/findings/)" >&2
    failed+=("$name")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz/run.sh: findings in: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz/run.sh: no findings"
