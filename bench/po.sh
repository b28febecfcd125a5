#!/usr/bin/env bash
# Speed of the PO bridge: vkcdict po-export and po-import of a dictionary of
# RECORDS records (default 950,000, about 190 MB), each against msgfmt's time
# to compile the PO file that po-export writes. Each program runs RUNS times
# (default 3); the best time counts. The target is at most twice msgfmt's
# time for each; the script fails when it is missed.
#
#   bench/po.sh [BUILD_DIR] [RECORDS] [RUNS]
#
# BUILD_DIR (default build) holds a built vkcdict/vkcdict. Needs python3 and
# gettext's msgfmt. The files live in a temporary folder, removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-build}"
records="${2:-950000}"
runs="${3:-3}"
vkcdict="$build/vkcdict/vkcdict"
[ -x "$vkcdict" ] || { echo "bench/po.sh: $vkcdict not built" >&2; exit 2; }
command -v msgfmt > /dev/null || { echo "bench/po.sh: msgfmt not found (gettext)" >&2; exit 2; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Sorted distinct ENG texts of a few words; CHI texts of 4 to 15 GBK
# characters (all defined), a tenth of them on two lines; a third with a remark.
python3 - "$work/dict.txt" "$records" << 'EOF'
import random, sys
path, records = sys.argv[1], int(sys.argv[2])
rng = random.Random(936)
words = (b"the a of to and in that is was he for it with as his on be at by had not are but "
         b"from or have an they which one you were all her she there would their we him").split()
keys = set()
while len(keys) < records:
    keys.add(b" ".join(rng.sample(words, rng.randint(2, 4))).capitalize()
             + b" %d" % rng.randrange(10000000))
def chi():
    text = bytes(b for _ in range(rng.randint(4, 15))
                 for b in (rng.randint(0xB0, 0xD6), rng.randint(0xA1, 0xFE)))
    return text[:8] + b"\r\n" + text[8:] if rng.random() < 0.1 else text
with open(path, "wb") as out:
    out.write(b"Veskaloran VKCStringDict::SaveToTXTFileA Ver.0.19 2026-12-08 20:09:46\r\n\r\n\r\n")
    for n, eng in enumerate(sorted(keys)):
        remark = b"note %d" % n if rng.random() < 0.3 else b""
        out.write(b"\r\nmirok_res_No.%08d\r\nmirok_res_ENG_Start\r\n%s\r\nmirok_res_ENG_End\r\n"
                  b"mirok_res_CHI_Start\r\n%s\r\nmirok_res_CHI_End\r\n"
                  b"mirok_res_Remark00_Start\r\n%s\r\nmirok_res_Remark00_End\r\n"
                  % (n, eng, chi(), remark))
    out.write(b"\r\n\r\n\r\nmirok_res_All_End\r\n")
EOF

# The best wall-clock time of RUNS runs of a command, in seconds.
best() {
  local best="" t
  for _ in $(seq "$runs"); do
    local start end
    start=$(date +%s.%N)
    "$@" > /dev/null 2> "$work/err" || { cat "$work/err" >&2; echo "bench/po.sh: failed: $*" >&2; exit 1; }
    end=$(date +%s.%N)
    t=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
    if [ -z "$best" ] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$t; fi
  done
  echo "$best"
}

size=$(stat -c %s "$work/dict.txt")
echo "dictionary: $records records, $size bytes"
export_time=$(best "$vkcdict" po-export "$work/dict.txt" -o "$work/dict.po")
echo "PO file: $(stat -c %s "$work/dict.po") bytes"
msgfmt_time=$(best msgfmt -o "$work/dict.mo" "$work/dict.po")
import_time=$(best "$vkcdict" po-import "$work/dict.po" -o "$work/back.txt")
cmp -s <(tail -c +76 "$work/dict.txt") <(tail -c +76 "$work/back.txt") ||
  { echo "bench/po.sh: the import differs from the dictionary" >&2; exit 1; }

failed=0
report() {
  local ratio
  ratio=$(awk -v t="$2" -v m="$msgfmt_time" 'BEGIN { printf "%.2f", t / m }')
  printf '%-10s %7.2f s  %5sx msgfmt\n' "$1" "$2" "$ratio"
  if awk -v r="$ratio" 'BEGIN { exit !(r > 2) }'; then failed=1; fi
}
printf '%-10s %7.2f s\n' msgfmt "$msgfmt_time"
report po-export "$export_time"
report po-import "$import_time"
if [ "$failed" = 1 ]; then
  echo "bench/po.sh: slower than twice msgfmt" >&2
  exit 1
fi
echo "bench/po.sh: each within twice msgfmt's time"
