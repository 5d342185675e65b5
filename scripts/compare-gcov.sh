#!/bin/sh
# compare-gcov.sh PROG.c [ARG...] [-- ARG...]...
#
# Profiles one C program twice and compares the counts: once natively with
# gcc -O0 --coverage and gcov, once through this system (icode cc, trelv
# --gen_profile_info, icode run with the profile appended, trelv
# --use_profile_info --analyze=codecov, icode coverage).  Each "--" starts
# another argument set; the program runs once per set in both worlds.
#
# Prints whether the output and exit status of every run agree, then per
# line the counts both tools give (and whether they agree), the lines only
# one of them counts, and the branch counts side by side.  Status 0 when
# every run agrees and every line both count has the same count, 1 when
# not, 2 when a step fails.  The programs are taken from TRELV_BUILD
# (default: build-test beside this script's folder).
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
build=${TRELV_BUILD:-$here/build-test}
icode=$build/icode
trelv=$build/trelv
[ $# -ge 1 ] || { echo "usage: compare-gcov.sh PROG.c [ARG...] [-- ARG...]..." >&2; exit 2; }
src=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
shift
for tool in gcc gcov python3 "$icode" "$trelv"; do
    command -v "$tool" >/dev/null 2>&1 || { echo "compare-gcov: $tool is missing" >&2; exit 2; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 2
base=$(basename "$src" .c)

# The argument sets, one per line, words separated by tabs.
: > sets
set_line=""
for a in "$@"; do
    if [ "$a" = "--" ]; then
        printf '%s\n' "$set_line" >> sets
        set_line=""
    elif [ -z "$set_line" ]; then
        set_line=$a
    else
        set_line=$(printf '%s\t%s' "$set_line" "$a")
    fi
done
printf '%s\n' "$set_line" >> sets

fail() { echo "compare-gcov: $*" >&2; exit 2; }
gcc -O0 --coverage -w -o native "$src" -lm || fail "gcc failed"
"$icode" cc "$src" -o prog.icode || fail "icode cc failed"
"$trelv" prog.icode inst.icode --gen_profile_info || fail "instrumenting failed"

same=0
n=0
while IFS= read -r line; do
    n=$((n + 1))
    IFS='	'
    # shellcheck disable=SC2086
    set -- $line
    unset IFS
    ./native "$@" > out.native.$n 2> err.native.$n < /dev/null
    echo $? > status.native.$n
    "$icode" run inst.icode --profile-out prof.prf --args "$@" > out.icode.$n 2> err.icode.$n < /dev/null
    echo $? > status.icode.$n
    if cmp -s out.native.$n out.icode.$n && cmp -s status.native.$n status.icode.$n; then
        same=$((same + 1))
        echo "run $n ($*): same output, status $(cat status.native.$n)"
    else
        echo "run $n ($*): DIFFERS: status native $(cat status.native.$n), icode $(cat status.icode.$n)"
        diff out.native.$n out.icode.$n | head -10
        head -3 err.icode.$n
    fi
done < sets

"$trelv" prog.icode annotated.icode --use_profile_info=prof.prf --analyze=codecov ||
    fail "the profile-using run failed"
"$icode" coverage "$base.csv" --unit annotated.icode > report.txt || fail "icode coverage failed"
gcov -b --json-format --stdout "native-$base.gcda" > gcov.json 2> /dev/null || fail "gcov failed"

python3 - "$src" report.txt gcov.json "$same" "$n" <<'PY'
import json, re, sys
src, report, gcov_json, same, runs = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5])
source = open(src, errors="replace").read().split("\n")
ours, our_branches, current = {}, {}, None
for line in open(report):
    m = re.match(r"^\s+(\d+|#####)\s+(\d+)( |$)", line)
    if m:
        current = int(m.group(2))
        ours[current] = 0 if m.group(1) == "#####" else int(m.group(1))
        continue
    m = re.match(r"^\s+branch (.*): taken (\S+), not taken (\S+)", line)
    if m and current is not None:
        our_branches.setdefault(current, []).append((m.group(2), m.group(3)))
theirs, their_branches = {}, {}
for f in json.load(open(gcov_json))["files"]:
    if not src.endswith(f["file"].lstrip("./")) and f["file"] != src:
        continue
    for l in f["lines"]:
        n = l["line_number"]
        theirs[n] = max(theirs.get(n, 0), l["count"])
        if l["branches"]:
            their_branches.setdefault(n, []).extend(b["count"] for b in l["branches"])
both = sorted(set(ours) & set(theirs))
agree = [n for n in both if ours[n] == theirs[n]]
text = lambda n: source[n - 1].strip() if 0 < n <= len(source) else ""
print("file %s" % src)
print("  lines both count: %d, same count: %d" % (len(both), len(agree)))
for n in both:
    if ours[n] != theirs[n]:
        print("  line %d: gcov %d, trelv %d  DIFFERENT  %s" % (n, theirs[n], ours[n], text(n)))
for n in sorted(set(theirs) - set(ours)):
    print("  only gcov counts line %d (%d): %s" % (n, theirs[n], text(n)))
for n in sorted(set(ours) - set(theirs)):
    print("  only trelv counts line %d (%d): %s" % (n, ours[n], text(n)))
for n in sorted(set(our_branches) | set(their_branches)):
    g = " ".join(str(c) for c in their_branches.get(n, [])) or "-"
    t = "; ".join("taken %s not taken %s" % b for b in our_branches.get(n, [])) or "-"
    print("  branches line %d: gcov %s | trelv %s" % (n, g, t))
ok = same == runs and len(agree) == len(both)
print("result: %s (%d of %d runs the same, %d of %d lines the same)" %
      ("AGREE" if ok else "DIFFER", same, runs, len(agree), len(both)))
sys.exit(0 if ok else 1)
PY
