#!/bin/sh
# Profile use on a unit of many functions, each with its record in one
# profile data file, against a pass-through run and a plain copy of the same
# bytes.  Reading every data file once per run (not once per function) is
# what keeps the profile-using run close to the pass-through run.
#
# Usage: bench/profile_use.sh [BUILD_DIR] [FUNCTIONS]
set -e
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
n=${2:-10000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
sh "$here/gen_unit.sh" "$n" > unit.txt
"$build/icode" as unit.txt -o unit.ic
# Every function has the same shape, so the same number of counters.
counters=$(sh "$here/gen_unit.sh" 1 > one.txt && "$build/icode" as one.txt -o one.ic &&
           "$build/icode" cfg one.ic | sed -n 's/.* \([0-9]*\) counters$/\1/p')
awk -v n="$n" -v c="$counters" 'BEGIN {
    for (i = 0; i < n; i++) {
        printf "bench.c/f%d\n%d\n", i, c
        for (k = 0; k < c; k++) printf "%d ", (k == 0 ? 100 : 50 - k)
        printf "\n"
    }
}' > trelvout.prf

now() { date +%s%N; }
best() {  # best of three wall-clock times of a command, in milliseconds
    b=""
    for _ in 1 2 3; do
        t0=$(now); "$@" >/dev/null 2>&1; t1=$(now)
        ms=$(( (t1 - t0) / 1000000 ))
        if [ -z "$b" ] || [ "$ms" -lt "$b" ]; then b=$ms; fi
    done
    echo "$b"
}
copy=$(best cp unit.ic copy.ic)
pass=$(best "$build/trelv" unit.ic out.ic)
use=$(best "$build/trelv" unit.ic out.ic --use_profile_info)
size=$(wc -c < unit.ic)
echo "functions: $n, unit: $size bytes, profile records: $n"
echo "copy: ${copy} ms, pass-through: ${pass} ms, profile use: ${use} ms"
awk -v p="$pass" -v u="$use" -v c="$copy" 'BEGIN {
    if (c < 1) c = 1
    printf "profile use / pass-through: %.2f\n", u / (p < 1 ? 1 : p)
    printf "pass-through / copy: %.1f\n", p / c
}'
