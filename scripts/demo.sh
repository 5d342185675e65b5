#!/bin/sh
# Installs what is missing, builds, and runs the profiler's whole cycle on
# the bundled example unit (examples/demo.icode.txt, the I-code of demo.c):
#   1. a pass-through run (conditions lowered, nothing else changed),
#   2. an instrumenting run, with the counter numbering of every function,
#   3. the instrumented unit executed with a few argument sets, which writes
#      the counters as a profile data file,
#   4. a profile-using run that writes the counts back as branch weights,
#      and one with the small profile data file shipped with the example,
#   5. the code-coverage table of that run as a report (also as lcov, JSON
#      and Cobertura files), the profile data checked against the unit, and
#      pictures of the control-flow graphs with their counts,
#   6. the coverage summary and, when lcov is installed, an HTML report.
# Everything it writes goes to build/demo/.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)" >/dev/null
root=$(pwd)
bin=$root/build
out=$root/build/demo
rm -rf "$out"
mkdir -p "$out"
cd "$out"
# The unit's name is "demo.c"; profile data names functions by that path,
# taken relative to the folder the runs happen in.
cp "$bin/examples/demo.icode" demo.icode
cp "$root/examples/demo.c.prf" shipped.prf
# The source the unit was compiled from, where the coverage report looks.
cp "$root/examples/demo.c" demo.c

step() { printf '\n== %s\n' "$*"; }

step "1. pass-through: trelv demo.icode pass.icode"
"$bin/trelv" demo.icode pass.icode
"$bin/icode" dump pass.icode | sed -n '/^function grade/,/^$/p'

step "2. instrument: trelv demo.icode instr.icode --gen_profile_info"
"$bin/trelv" demo.icode instr.icode --gen_profile_info
"$bin/icode" cfg demo.icode | sed -n '/^function grade/,/^function report/p' | sed '$d'
"$bin/icode" dis instr.icode | grep '__prof_arr' | grep '^symbol' || true

step "3. run the instrumented unit (icode run), appending to demo.prf"
for a in 100 95 85 85 42 7; do
    printf 'grade(%s) = ' "$a"
    "$bin/icode" run instr.icode --entry grade --arg "$a" --profile-out demo.prf
done
for n in 0 3 10; do
    printf 'sum(%s) = ' "$n"
    "$bin/icode" run instr.icode --entry sum --arg "$n" --profile-out demo.prf
done
for c in 5 150 0 12 7; do
    printf 'report(%s): ' "$c"
    "$bin/icode" run instr.icode --entry report --arg "$c" --profile-out demo.prf
done

step "4. use the profile: trelv demo.icode use.icode --use_profile_info=demo.prf"
"$bin/trelv" demo.icode use.icode --use_profile_info=demo.prf --debug:profile=1
"$bin/icode" dump use.icode | sed -n '/^function grade/,/^$/p'
echo "-- with the profile data file shipped with the example:"
"$bin/trelv" demo.icode shipped.icode --use_profile_info=shipped.prf --debug:profile=1
"$bin/icode" dis shipped.icode | grep -c 'EPVAL' | sed 's/^/weights written: /'

step "5. coverage and a picture of grade's control-flow graph"
ZK_COVDATA=coverage "$bin/trelv" demo.icode cov.icode --use_profile_info=demo.prf --analyze codecov
"$bin/icode" coverage coverage --unit use.icode | tee coverage.txt
"$bin/icode" coverage coverage --unit use.icode --format lcov -o coverage.info
"$bin/icode" coverage coverage --unit use.icode --format json -o coverage.json
"$bin/icode" coverage coverage --unit use.icode --format cobertura -o coverage.xml
"$bin/icode" profile check demo.icode demo.prf
"$bin/icode" cfg demo.icode --dot --profile demo.prf > demo.dot
"$bin/icode" cfg demo.icode --dot --profile demo.prf --function grade > grade.dot
echo "control-flow graphs written to $out/demo.dot and $out/grade.dot"
if command -v dot >/dev/null 2>&1; then
    dot -Tpng demo.dot -o demo.png && dot -Tpng grade.dot -o grade.png &&
        echo "and drawn in $out/demo.png and $out/grade.png"
fi

step "6. the coverage report"
echo "coverage: $(tail -n 1 coverage.txt)"
if command -v genhtml >/dev/null 2>&1; then
    genhtml -q --branch-coverage -o html coverage.info
    echo "HTML report: $out/html/index.html"
else
    echo "for an HTML report: apt-get install lcov, then run this demo again"
fi
