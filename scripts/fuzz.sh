#!/bin/sh
# Fuzzes one target with libFuzzer:
#
#   sh scripts/fuzz.sh TARGET SECONDS     TARGET: reader instrument profile text table run
#
# Builds the fuzz binaries with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in build-fuzz/ (TRELV_FUZZ_BUILD overrides),
# seeds the corpus from the units, profile data files and tables of the
# black-box tests and the examples, and fuzzes for SECONDS at low priority.
# The corpus grows in build-fuzz/corpus/TARGET/ from run to run; inputs that
# crash, hang or allocate too much are kept in fuzz/crashes/TARGET/, which
# the test suite replays (fuzz.replay.TARGET).  Without clang's libFuzzer
# the script says so and stops with status 0.
set -eu

if [ $# -ne 2 ]; then
    echo "usage: sh scripts/fuzz.sh TARGET SECONDS" >&2
    exit 2
fi
target=$1
seconds=$2
case $target in
    reader | instrument | profile | text | table | run) ;;
    *)
        echo "fuzz.sh: unknown target $target (reader instrument profile text table run)" >&2
        exit 2
        ;;
esac

root=$(cd "$(dirname "$0")/.." && pwd)
build=${TRELV_FUZZ_BUILD:-$root/build-fuzz}

# libFuzzer comes with clang's runtime libraries; without them there is
# nothing to build.
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' \
    >"$probe/p.cpp"
if ! command -v clang++ >/dev/null 2>&1 ||
    ! clang++ -fsanitize=fuzzer "$probe/p.cpp" -o "$probe/p" >/dev/null 2>&1; then
    echo "fuzz.sh: clang++ with libFuzzer is not installed; skipped"
    exit 0
fi

launcher=""
command -v ccache >/dev/null 2>&1 && launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTRELV_FUZZ=ON -DTRELV_SANITIZE=ON -DTRELV_TESTS=OFF \
        -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link $launcher >/dev/null
fi
cmake --build "$build" -j2 --target "fuzz_$target" icode >/dev/null

# Seeds: every section of the black-box tests that holds a unit (assembled),
# a profile data file or a table, and the examples.
seeds=$build/seeds/$target
rm -rf "$seeds"
mkdir -p "$seeds" "$build/corpus/$target" "$root/fuzz/crashes/$target"
sections=$build/seeds/sections
rm -rf "$sections"
mkdir -p "$sections"
find "$root/tests/blackbox" -name '*.test' | sort | while read -r test; do
    awk -v dir="$sections" -v tdir="$(dirname "$test")" -v base="$(basename "$(dirname "$test")")-$(basename "$test" .test)" '
        # A shared text the test includes goes on in the section it stands in.
        /^%% include / {
            if (out != "") {
                while ((getline line < (tdir "/" $3)) > 0) print line > out
                close(tdir "/" $3)
            }
            next
        }
        /^%%/ {
            if (out != "") close(out)
            out = ""
            n++
            unit = $2 == "unit"
            if (unit) out = dir "/" base "-" n ".unit.txt"
            else if ($2 == "file" && $3 ~ /\.prf$/) out = dir "/" base "-" n ".prf"
            else if ($2 == "file" && $3 ~ /\.csv$/) out = dir "/" base "-" n ".csv"
            heading = 1
            next
        }
        heading && /^#/ { next }
        { heading = 0 }
        out != "" { sub(/^\\%%/, "%%"); if (unit) gsub(/ \/ /, "\n"); print > out }
    ' "$test"
done
cp "$root"/examples/*.icode.txt "$sections/" 2>/dev/null || true
cp "$root"/examples/*.prf "$sections/" 2>/dev/null || true

case $target in
    reader | instrument | run)
        for t in "$sections"/*.txt; do
            "$build/icode" as "$t" -o "$seeds/$(basename "$t" .txt).icode" 2>/dev/null || true
        done
        dict=unit
        ;;
    text)
        cp "$sections"/*.txt "$seeds/"
        dict=text
        ;;
    profile)
        cp "$sections"/*.prf "$seeds/" 2>/dev/null || true
        dict=profile
        ;;
    table)
        cp "$sections"/*.csv "$seeds/" 2>/dev/null || true
        dict=table
        ;;
esac

# Limits: an input of at most 64 KiB may take 10 s and 256 MiB in one
# allocation; the process 2 GiB in all (it reads many inputs, and a few
# process-wide pools, such as the interned file names, only grow).  More is
# a finding.
cd "$build"
# A smaller quarantine keeps the resident size well below the limit.
ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=64} nice -n 10 "$build/fuzz/fuzz_$target" "$build/corpus/$target" "$seeds" \
    -dict="$root/fuzz/dict/$dict.dict" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -malloc_limit_mb=256 -max_len=65536 -close_fd_mask=3 \
    -artifact_prefix="$root/fuzz/crashes/$target/" -print_final_stats=1
