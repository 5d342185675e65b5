#!/bin/sh
# Throughput of the three kinds of run on a large unit (about 50 MB: many
# functions of the shape gen_unit.sh writes), against a plain copy of the
# same bytes, with for each run:
#   - CPU time (best of RUNS, default 3, the three kinds of run taking
#     turns) as MB/s and as a multiple of the copy's CPU time, and per
#     function;
#   - instructions per input byte (callgrind, when valgrind is installed)
#     and heap allocations per record (an LD_PRELOAD counter built here
#     with cc), both on a small unit of 200 functions of 20 statements;
#   - peak memory, and its ratio to a unit with ten times fewer functions,
#     which should be about 1: a function's statements, blocks, graph and
#     trees are released (or kept for the next function) once it is written.
# Beside it, C of the same shape through LLVM's PGO instrumentation
# (clang -O0 -emit-llvm -c, then timed: opt -passes=pgo-instr-gen) and
# through gcc -fprofile-arcs -c, as CPU time per function, when clang, opt
# and gcc are installed.  Every figure is a ratio or a per-function time
# measured in this one run.
#
# Usage: bench/throughput.sh [BUILD_DIR] [FUNCTIONS] [IFS_PER_FUNCTION]
# CPU times come from perf stat when it works, else from GNU time
# (/usr/bin/time, Debian package "time"), which also gives peak memory.
set -e
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
n=${2:-4200}
s=${3:-100}
runs=${RUNS:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

counters_of() {  # counters of one function of S statements
    sh "$here/gen_unit.sh" 1 "$1" > one.txt
    "$build/icode" as one.txt -o one.ic
    "$build/icode" cfg one.ic | sed -n 's/.* \([0-9]*\) counters$/\1/p'
}
make_unit() {  # make_unit NAME FUNCTIONS STATEMENTS: the unit and its profile
    c=$(counters_of "$3")
    sh "$here/gen_unit.sh" "$2" "$3" > "$1.txt"
    "$build/icode" as "$1.txt" -o "$1.ic"
    rm "$1.txt"
    awk -v n="$2" -v c="$c" 'BEGIN {
        for (i = 0; i < n; i++) {
            printf "bench.c/f%d\n%d\n", i, c
            for (k = 0; k < c; k++) printf "%d ", (k == 0 ? 1000 : 10 + k % 7)
            printf "\n"
        }
    }' > "$1.prf"
}
make_c() {  # make_c NAME FUNCTIONS STATEMENTS: the same shape in C
    awk -v n="$2" -v s="$3" 'BEGIN {
        for (i = 0; i < n; i++) {
            printf "int f%d(int a) {\n    int p = a;\n    int x = 0;\n", i
            for (k = 0; k < s; k++)
                printf "    if (p < %d && x > %d)\n        x += 1;\n    else\n        x = %d;\n",
                       10 + k, k, 2 * k
            printf "    return x;\n}\n"
        }
    }' > "$1.c"
}

if perf stat -x, -e task-clock true >/dev/null 2>&1; then
    cpu_once() {  # CPU milliseconds of one run
        perf stat -x, -e task-clock -o cpu.txt "$@" >/dev/null 2>&1 || true
        sed -n 's/^\([0-9.]*\),msec,task-clock.*/\1/p' cpu.txt
    }
elif [ -x /usr/bin/time ]; then
    cpu_once() {
        /usr/bin/time -f "%U %S" -o cpu.txt "$@" >/dev/null 2>&1 || true
        awk '{ printf "%.1f\n", ($1 + $2) * 1000 }' cpu.txt
    }
else
    echo "neither perf nor GNU time: no CPU times"
    exit 1
fi
cpu_ms() {  # the least CPU time of RUNS runs
    i=0
    while [ "$i" -lt "$runs" ]; do cpu_once "$@"; i=$((i + 1)); done | sort -n | head -1
}
peak_kb() {  # least of three peaks: the resident size varies by some pages
    if [ -x /usr/bin/time ]; then
        for _ in 1 2 3; do /usr/bin/time -f "%M" "$@" 2>&1 >/dev/null | tail -1; done |
            sort -n | head -1
    else
        echo "n/a"
    fi
}
run_args() {  # the arguments of a kind of run on unit U
    case $1 in
        pass-through) echo "$2.ic out.ic" ;;
        instrument) echo "$2.ic out.ic --gen_profile_info" ;;
        "profile use") echo "$2.ic out.ic --use_profile_info=$2.prf" ;;
    esac
}

make_unit big "$n" "$s"
make_unit small $((n / 10)) "$s"
make_unit cg 200 20
bytes=$(wc -c < big.ic)
cg_bytes=$(wc -c < cg.ic)
cg_records=$("$build/icode" dis cg.ic | wc -l)
alloc_lib=""
if command -v cc >/dev/null 2>&1 &&
    cc -O2 -shared -fPIC -o alloc_count.so "$here/alloc_count.c" 2>/dev/null; then
    alloc_lib=$work/alloc_count.so
fi

copy=$(cpu_ms cp big.ic copy.ic)
echo "unit: $bytes bytes, $n functions of $s conditional statements;" \
    "small unit: 200 functions of 20 ($cg_bytes bytes, $cg_records records)"
printf "%-13s %9s %8s %8s %11s %10s %13s\n" run "CPU ms" "MB/s" "x copy" "ms/function" \
    "instr/byte" "allocs/record"
awk -v b="$bytes" -v c="$copy" 'BEGIN {
    printf "%-13s %9.0f %8.1f %8.1f %11s %10s %13s\n", "copy", c, b / 1048576 / (c / 1000), 1, "", "", ""
}'
# The three kinds of run take turns, RUNS rounds, and each keeps its least
# CPU time: the machine's speed drifts over the minutes this script takes
# (other jobs share it), and taking turns exposes the three kinds to the
# same drift, so that the ratios between them hold.
kind_file() { echo "ms.$(echo "$1" | tr -d ' ').txt"; }
round=0
while [ "$round" -lt "$runs" ]; do
    for run in pass-through instrument "profile use"; do
        # shellcheck disable=SC2046
        cpu_once "$build/trelv" $(run_args "$run" big) >> "$(kind_file "$run")"
    done
    round=$((round + 1))
done
for run in pass-through instrument "profile use"; do
    ms=$(sort -n "$(kind_file "$run")" | head -1)
    ipb="n/a"
    if command -v valgrind >/dev/null 2>&1; then
        # shellcheck disable=SC2046
        valgrind --tool=callgrind --callgrind-out-file=cg.out "$build/trelv" \
            $(run_args "$run" cg) >/dev/null 2>cg.err || true
        ir=$(sed -n 's/.*Collected : \([0-9]*\).*/\1/p' cg.err)
        [ -n "$ir" ] && ipb=$(awk -v i="$ir" -v b="$cg_bytes" 'BEGIN { printf "%.0f", i / b }')
    fi
    apr="n/a"
    if [ -n "$alloc_lib" ]; then
        rm -f allocs.txt
        # shellcheck disable=SC2046
        ALLOC_COUNT_FILE=$work/allocs.txt LD_PRELOAD=$alloc_lib "$build/trelv" \
            $(run_args "$run" cg) >/dev/null 2>&1 || true
        [ -s allocs.txt ] &&
            apr=$(awk -v a="$(cat allocs.txt)" -v r="$cg_records" 'BEGIN { printf "%.2f", a / r }')
    fi
    echo "$run" >> runs.txt
    echo "$ms" >> ms.txt
    awk -v r="$run" -v b="$bytes" -v c="$copy" -v m="$ms" -v n="$n" -v i="$ipb" -v a="$apr" 'BEGIN {
        printf "%-13s %9.0f %8.1f %8.1f %11.3f %10s %13s\n", r, m, b / 1048576 / (m / 1000), m / c, m / n, i, a
    }'
done
pass=$(sed -n 1p ms.txt)
awk -v p="$pass" -v g="$(sed -n 2p ms.txt)" -v u="$(sed -n 3p ms.txt)" 'BEGIN {
    printf "instrument / pass-through: %.2f, profile use / pass-through: %.2f\n", g / p, u / p
}'

for run in pass-through instrument "profile use"; do
    # shellcheck disable=SC2046
    pb=$(peak_kb "$build/trelv" $(run_args "$run" big))
    # shellcheck disable=SC2046
    ps=$(peak_kb "$build/trelv" $(run_args "$run" small))
    echo "peak memory $run: $pb KB ($n functions), $ps KB ($((n / 10)) functions)" |
        awk -v b="$pb" -v s="$ps" '{ if (s > 0) printf "%s, ratio %.2f\n", $0, b / s; else print }'
done

# The peers, on C of the same shape with ten times fewer functions.
m=$((n / 10))
make_c peer "$m" "$s"
echo "C of the same shape, $m functions: CPU time per function"
awk -v p="$pass" -v g="$(sed -n 2p ms.txt)" -v n="$n" 'BEGIN {
    printf "  %-40s %8.3f ms\n  %-40s %8.3f ms\n", "trelv pass-through", p / n, "trelv instrument", g / n
}'
if command -v clang >/dev/null 2>&1 && command -v opt >/dev/null 2>&1 &&
    clang -O0 -Xclang -disable-O0-optnone -emit-llvm -c peer.c -o peer.bc 2>/dev/null; then
    o=$(cpu_ms opt -passes=pgo-instr-gen peer.bc -o peer.instr.bc)
    awk -v o="$o" -v m="$m" 'BEGIN { printf "  %-40s %8.3f ms\n", "opt -passes=pgo-instr-gen (bitcode)", o / m }'
else
    echo "  clang or opt not installed: LLVM skipped"
fi
if command -v gcc >/dev/null 2>&1; then
    g=$(cpu_ms gcc -O0 -fprofile-arcs -c peer.c -o peer.o)
    awk -v g="$g" -v m="$m" 'BEGIN { printf "  %-40s %8.3f ms\n", "gcc -O0 -fprofile-arcs -c (source)", g / m }'
else
    echo "  gcc not installed: skipped"
fi
