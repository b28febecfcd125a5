#!/usr/bin/env bash
# Everything vkcdict writes, for comparing two builds byte for byte after a
# change that must not alter behaviour: about 120 command lines (every
# command's help and usage errors, and every command on examples/ and on a
# benchmark dictionary), each leaving N.out, N.err and N.rc (exit status and
# arguments) in OUTDIR, with the files the commands write. Compare two runs
# with diff -r, ignoring the time in written headers:
#   diff -r -I 'SaveToTXTFileA Ver' -I 'POT-Creation-Date\|PO-Revision-Date' A B
#
#   bench/compare_outputs.sh VKCDICT OUTDIR DICT
# DICT: a large dictionary, e.g. from bench/gen_data.py dict DICT 300000.
set -u
v=$(realpath "$1"); out=$2; big=$(realpath "$3"); ex=$(realpath "$(dirname "$0")/../examples")
rm -rf "$out"; mkdir -p "$out"; cd "$out"
n=0
run() { n=$((n+1)); "$v" "$@" >"$n.out" 2>"$n.err"; echo "$? $*" >"$n.rc"; }
run --help; run --version; run
for c in check extract merge sort stats subst compile decompile lookup match po-export po-import qa edit; do run $c --help; run $c; done
run bogus; run qa --check=codes $ex/dict.txt; run qa --max-bytes=-1 $ex/dict.txt; run merge --prefer=middle a b -o c
for d in $ex/dict.txt $big; do
  b=$(basename $d .txt)
  run check $d; run check --strict --list-untranslated $d
  run sort $d -o $b.sorted.txt; run merge $d $ex/dict.txt -o $b.merged.txt; run merge --prefer last $ex/dict.txt $d -o $b.merged2.txt
  run compile $b.sorted.txt -o $b.img; run decompile $b.img -o $b.decomp.txt
  run stats $d $ex/script.txt; run stats --csv $d $ex/script.txt
  run subst $d $ex/script.txt -o $b.subst.txt
  run lookup $d "A traveller. May I come in?" "nothing"
  printf 'The kettle\nwhistled softly.\n' | "$v" match $d > $b.match.out 2>&1; echo $? >> $b.match.out
  run po-export $d -o $b.po --lossy; run po-export --template --context $d -o $b.pot --lossy
  run po-import $b.po -o $b.back.txt; run po-import $b.po --base $d -o $b.based.txt --fuzzy
  run qa $d; run qa $d --format json --skip numbers; run qa $d --check codes,length --max-bytes 40 --code '@[A-Z]+@'
  run qa --glossary $ex/dict.txt --script $ex/script.txt --max-ratio 3 $d
  run extract $ex/script.txt --dict $d -o $b.extract.txt
done
run qa --list-checks
