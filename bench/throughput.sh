#!/bin/sh
# Throughput and peak memory of the three kinds of run on a large unit
# (about 50 MB: many functions of the shape gen_unit.sh writes), against a
# plain copy of the same bytes; and peak memory on a unit with ten times
# fewer functions of the same shape, which should be about the same, since
# a function's statements, blocks, graph and trees are released once it is
# written.
#
# Usage: bench/throughput.sh [BUILD_DIR] [FUNCTIONS] [IFS_PER_FUNCTION]
# Peak memory needs GNU time (/usr/bin/time, Debian package "time").
set -e
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
n=${2:-4200}
s=${3:-100}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

counters_of() {  # counters of one function of the shape
    sh "$here/gen_unit.sh" 1 "$s" > one.txt
    "$build/icode" as one.txt -o one.ic
    "$build/icode" cfg one.ic | sed -n 's/.* \([0-9]*\) counters$/\1/p'
}
make_unit() {  # make_unit NAME FUNCTIONS
    sh "$here/gen_unit.sh" "$2" "$s" > "$1.txt"
    "$build/icode" as "$1.txt" -o "$1.ic"
    rm "$1.txt"
    awk -v n="$2" -v c="$counters" 'BEGIN {
        for (i = 0; i < n; i++) {
            printf "bench.c/f%d\n%d\n", i, c
            for (k = 0; k < c; k++) printf "%d ", (k == 0 ? 1000 : 10 + k % 7)
            printf "\n"
        }
    }' > "$1.prf"
}
now() { date +%s%N; }
ms_of() {  # best of three wall-clock times, in milliseconds
    b=""
    for _ in 1 2 3; do
        t0=$(now); "$@" >/dev/null 2>&1 || true; t1=$(now)
        ms=$(( (t1 - t0) / 1000000 ))
        if [ -z "$b" ] || [ "$ms" -lt "$b" ]; then b=$ms; fi
    done
    echo "$b"
}
peak_kb() {  # least of three peaks: the resident size varies by some pages
    if [ -x /usr/bin/time ]; then
        for _ in 1 2 3; do /usr/bin/time -f "%M" "$@" 2>&1 >/dev/null | tail -1; done | sort -n | head -1
    else
        echo "n/a"
    fi
}

counters=$(counters_of)
make_unit big "$n"
make_unit small $(( n / 10 ))
bytes=$(wc -c < big.ic)
copy=$(ms_of cp big.ic copy.ic)
pass=$(ms_of "$build/trelv" big.ic out.ic)
gen=$(ms_of "$build/trelv" big.ic out.ic --gen_profile_info)
use=$(ms_of "$build/trelv" big.ic out.ic --use_profile_info=big.prf)
echo "unit: $bytes bytes, $n functions of $s conditional statements ($counters counters each)"
awk -v b="$bytes" -v c="$copy" -v p="$pass" -v g="$gen" -v u="$use" 'BEGIN {
    if (c < 1) c = 1
    mb = b / 1048576
    printf "%-14s %8s %10s %14s\n", "run", "ms", "MB/s", "time / copy"
    printf "%-14s %8d %10.1f %14.1f\n", "copy", c, mb / (c / 1000), 1
    printf "%-14s %8d %10.1f %14.1f\n", "pass-through", p, mb / (p / 1000), p / c
    printf "%-14s %8d %10.1f %14.1f\n", "instrument", g, mb / (g / 1000), g / c
    printf "%-14s %8d %10.1f %14.1f\n", "profile use", u, mb / (u / 1000), u / c
}'
for run in "" "--gen_profile_info" "--use_profile_info=PRF"; do
    big_args=$(echo "$run" | sed 's/PRF/big.prf/')
    small_args=$(echo "$run" | sed 's/PRF/small.prf/')
    # shellcheck disable=SC2086
    pb=$(peak_kb "$build/trelv" big.ic out.ic $big_args)
    # shellcheck disable=SC2086
    ps=$(peak_kb "$build/trelv" small.ic out.ic $small_args)
    echo "peak memory ${run:-pass-through}: $pb KB ($n functions), $ps KB ($(( n / 10 )) functions)" |
        awk -v b="$pb" -v s="$ps" '{ if (s > 0) printf "%s, ratio %.2f\n", $0, b / s; else print }'
done
