#!/usr/bin/env bash
# Speed of vkcdict qa against the load it starts with, and of pofilter (Debian
# translate-toolkit) on the same records exported to PO, for the README's
# speed table. On the benchmark dictionary of RECORDS records (default
# 950,000, bench/gen_data.py) it times, RUNS times each (default 5), taking
# the median and the largest peak memory:
#   load      vkcsubst with a one-text script (the dictionary loaded, once);
#   qa        vkcdict qa with every check but reused, and a glossary of
#             5,000 terms whose first words are the dictionary's own words,
#             so that every word of every text is looked up and compared;
#   qa-nonum  the same without the numbers check, which finds every record
#             of this dictionary (its ENG texts end in a number that the
#             random translations lack), so that the pass is seen apart from
#             writing 950,000 findings;
#   qa-open   vkcdict qa with the encoding check alone: the dictionary
#             opened as every vkcdict command opens it, and one walk;
#   check     vkcdict check, for comparison;
#   pofilter  pofilter with its default checks on the PO export (once: about
#             100,000 records a minute; VKC_QA_POFILTER=0 leaves it out).
#
#   bench/qa.sh [BUILD_DIR] [RECORDS] [RUNS]
#
# BUILD_DIR (default build-bench) is built Release with vkcsubst and vkcdict.
# VKC_QA_DICT=path uses a dictionary gen_data.py made before (for RECORDS).
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-build-bench}"
records="${2:-950000}"
runs="${3:-5}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$build" -j2 --target vkcsubst vkcdict > /dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

if [ -n "${VKC_QA_DICT:-}" ]; then
  ln -s "$(realpath "$VKC_QA_DICT")" "$work/dict.txt"
else
  python3 bench/gen_data.py dict "$work/dict.txt" "$records"
fi
python3 - "$work/glossary.txt" << 'EOF2'
import sys
sys.path.insert(0, "bench")
from gen_data import WORDS
out = open(sys.argv[1], "wb")
out.write(b"glossary\r\n\r\n\r\n")
for i in range(5000):
    word = WORDS[i % len(WORDS)]
    term = (word.capitalize() if i % 2 else word) + b" zq%04d" % i
    out.write(b"\r\nmirok_res_No.%08d\r\nmirok_res_ENG_Start\r\n%s\r\nmirok_res_ENG_End\r\n"
              b"mirok_res_CHI_Start\r\n\xb5\xda%d\r\nmirok_res_CHI_End\r\n"
              b"mirok_res_Remark00_Start\r\n\r\nmirok_res_Remark00_End\r\n" % (i, term, i))
out.write(b"\r\n\r\n\r\nmirok_res_All_End\r\n")
EOF2
printf 'say "Start"\n' > "$work/one.txt"

# Median seconds and largest peak memory (MiB) of RUNS runs of a command.
measure() {
  local name="$1"
  shift
  for _ in $(seq "$runs"); do
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" > /dev/null 2>&1 || [ $? -le 1 ]
    tail -n 1 "$work/time"  # after "Command exited with non-zero status 1"
  done | sort -n | awk -v name="$name" -v runs="$runs" '
    { t[NR] = $1; if ($2 > m) m = $2 }
    END { printf "%-10s %7.3f s  %6.0f MiB\n", name, t[int((runs + 1) / 2)], m / 1024 }'
}

vkcdict="$build/vkcdict/vkcdict"
measure load "$build/vkcsubst" 2 "$work/one.txt" "$work/dict.txt" "$work/one.out"
measure qa "$vkcdict" qa "$work/dict.txt" --skip reused --glossary "$work/glossary.txt"
measure qa-nonum "$vkcdict" qa "$work/dict.txt" --skip reused,numbers --glossary "$work/glossary.txt"
measure qa-open "$vkcdict" qa "$work/dict.txt" --check encoding
measure check "$vkcdict" check "$work/dict.txt"
if [ "${VKC_QA_POFILTER:-1}" = 0 ]; then
  :
elif command -v pofilter > /dev/null; then
  "$vkcdict" po-export "$work/dict.txt" -o "$work/dict.po" --lossy  # random GBK has undefined codes
  runs=1 measure pofilter pofilter "$work/dict.po" "$work/filtered.po"
else
  echo "pofilter not found (Debian package translate-toolkit)"
fi
