#!/usr/bin/env bash
# Speed of vkcdict's commands against the load they start with, and of
# pofilter (Debian translate-toolkit) on the same records exported to PO, for
# the README's speed table. On the benchmark dictionary of RECORDS records
# (default 950,000, bench/gen_data.py), a subset of 100,000 of its records,
# the 50 MB benchmark script and a glossary, bench/commands.py times, in RUNS
# interleaved rounds (default 5), medians and the largest peak memory:
#   load      vkcsubst with a one-text script (the dictionary loaded, once);
#   vkcsubst  a whole vkcsubst run on the script;
#   check, sort, merge (the dictionary and the subset);
#   qa        every check but reused, and a glossary of 5,000 terms whose
#             first words are the dictionary's own words, so that every word
#             of every text is looked up and compared;
#   qa-nonum  the same without the numbers check, which finds every record
#             of this dictionary (its ENG texts end in a number that the
#             random translations lack), so that the pass is seen apart from
#             writing 950,000 findings;
#   extract and stats, on the script.
# Then pofilter with its default checks on the PO export, once (about 100,000
# records a minute; VKC_POFILTER=0 leaves it out).
#
#   bench/commands.sh [BUILD_DIR] [RECORDS] [RUNS]
#
# BUILD_DIR (default build-bench) is built Release with vkcsubst and vkcdict.
# The data live in a temporary folder, removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-build-bench}"
records="${2:-950000}"
runs="${3:-5}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$build" -j2 --target vkcsubst vkcdict > /dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

python3 bench/gen_data.py dict "$work/big.txt" "$records"
python3 bench/gen_data.py dict "$work/small.txt" "$records" $((records < 100000 ? records : 100000))
python3 bench/gen_data.py script "$work/script.txt" 50 "$records"
printf 'say "Start"\n' > "$work/one.txt"
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

python3 bench/commands.py "$build" "$work" "$runs"

if [ "${VKC_POFILTER:-1}" = 0 ]; then
  exit 0
elif command -v pofilter > /dev/null; then
  # Random GBK has undefined codes, which --lossy replaces.
  "$build/vkcdict/vkcdict" po-export "$work/big.txt" -o "$work/big.po" --lossy 2> /dev/null
  /usr/bin/time -f "pofilter: %e s, %M KiB" pofilter "$work/big.po" "$work/filtered.po" > /dev/null
else
  echo "pofilter not found (Debian package translate-toolkit)"
fi
