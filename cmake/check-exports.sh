#!/bin/sh
# check-exports.sh LIBRARY HEADER [OBJDUMP]
# Fails unless the shared library exports exactly the functions that HEADER
# declares (every vkc_* name followed by '('), by their plain names: nothing
# else (no C++ names, no runtime), nothing missing, and on Windows no @N
# decoration. An ELF library's names are read with nm -D, a DLL's export table
# with OBJDUMP -p (default: objdump).
set -e
library=$1
header=$2
objdump=${3:-objdump}
case "$library" in
  *.dll)
    # The export table's name lines: "[   0] vkc_dict_add" or "[   0] +base[...] name".
    exports=$("$objdump" -p "$library" |
      sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
      sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*\(+base\[[^]]*\][[:space:]]*\)\{0,1\}//p')
    ;;
  *)
    # Version nodes are absolute symbols (type A), not exports of code.
    exports=$(nm -D --defined-only --format=posix "$library" | awk '$2 != "A" { print $1 }' |
      sed 's/@.*//')
    ;;
esac
declared=$(grep -o 'vkc_[a-z_]*(' "$header" | tr -d '(' | sort -u)
exported=$(printf '%s\n' $exports | sort -u)
status=0
for name in $exported; do
  case "$name" in
    vkc_*@* | vkc_*) ;;
    *) echo "$library exports $name, which is not part of the C interface" >&2; status=1 ;;
  esac
  case "$name" in
    *@*) echo "$library exports the decorated name $name" >&2; status=1 ;;
  esac
done
missing=$(printf '%s\n' $declared $exported $exported | sort | uniq -u)
for name in $missing; do
  echo "$library does not export $name, which $header declares" >&2
  status=1
done
extra=$(printf '%s\n' $declared $declared $exported | sort | uniq -u)
for name in $extra; do
  echo "$library exports $name, which $header does not declare" >&2
  status=1
done
[ $status -ne 0 ] || echo "$library: exports the $(printf '%s\n' $exported | wc -l) functions of $header, nothing else"
exit $status
