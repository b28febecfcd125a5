#!/usr/bin/env bash
# The speed benchmark: builds vkcsubst (Release) and vkc_bench, generates the
# inputs with fixed seeds, checks vkcsubst's output against the Python
# yardstick's, and prints a table of medians and ratios, then the lookup,
# load and rewrite benchmarks, then the Python package against vkcsubst
# (bench/python.py). Needs about 1 GB of disk in the data folder.
#
# bench/run.sh [DATA_DIR] [ROUNDS]   (DATA_DIR defaults to build-bench/data;
# it is removed at the end unless KEEP_DATA=1; VKC_BASELINE=path/to/vkcsubst
# adds an earlier build, run interleaved with this one)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-bench}
data=${1:-$build/data}
rounds=${2:-5}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target vkcsubst vkc_bench vkcstringdict_python >/dev/null
mkdir -p "$data"
[ "${KEEP_DATA:-0}" = 1 ] || trap 'rm -rf "$data"' EXIT

gen() { [ -s "$data/$1" ] || python3 bench/gen_data.py "$2" "$data/$1" "${@:3}"; }
gen big.txt dict 950000
gen small.txt dict 950000 100000
gen script.txt script 50 950000
gen plain.txt plain 95
printf 'say "Start"\n' >"$data/one.txt"
ls -l "$data" | awk 'NR > 1 {printf "  %-12s %5.1f MB\n", $9, $5 / 1e6}'

python3 bench/measure.py "$build/vkcsubst" "$data" "$rounds"
echo
"$build/vkc_bench" --benchmark_min_time=0.2 2>/dev/null
echo
/usr/bin/python3 bench/python.py "$build" "$data" "$rounds"
