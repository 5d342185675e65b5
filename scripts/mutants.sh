#!/usr/bin/env bash
# Mutation testing: measures how many faults the test suite catches.
#
# Each mutant in scripts/mutants.txt is one small semantic change to a
# product source (a flipped comparison, an off-by-one, a dropped statement).
# A run builds the unmodified sources once (Release, no sanitizers, in a
# build folder of its own), checks that the suite passes, then for every
# mutant: applies it, rebuilds incrementally, runs the suite until the first
# failing test, and puts the source back.  A mutant that makes a test fail
# is killed; one that the whole suite passes survived, which points at a
# behaviour no test checks.
#
# Mutants are anchored by text, not by line numbers: a snippet that must
# occur exactly once in its file.  --check verifies every anchor without
# building, so that anchors left behind by moved or rewritten code are
# found before a long run.
set -u

usage() {
    cat <<'EOF'
usage: scripts/mutants.sh [--check] [--list] [--only ID...] [BUILD_DIR]

  --check      verify that every anchor occurs exactly once; build nothing
  --list       print the mutants (id, file, what the change does)
  --only ID... run (or check) only these mutants; an ID may be a shell
               pattern such as 'pr-*'
  BUILD_DIR    build folder of the runs, relative to the repository (default
               build-mutants); after --only, write it with a slash (./name)
               unless it exists

Environment: MUTANTS_FILE (default scripts/mutants.txt), MUTANTS_JOBS (build
and test jobs, default 2), MUTANTS_MEMORY_KB (memory limit of each test run,
default 4194304).
EOF
}

cd "$(dirname "$0")/.." || exit 2
root=$(pwd)
list_file=${MUTANTS_FILE:-scripts/mutants.txt}
jobs=${MUTANTS_JOBS:-2}
memory_kb=${MUTANTS_MEMORY_KB:-4194304}

die() {
    echo "mutants: $*" >&2
    exit 2
}

[ -f "$list_file" ] || die "no mutant list $list_file"

# ---- the mutant list ---------------------------------------------------------
# Records of "key: value" lines, each record starting with "id:"; "to:" may
# be empty (the snippet is deleted).  Parsed into parallel arrays.
ids=() files=() whats=() froms=() tos=() where=()
US=$'\x1f'
parsed=$(awk -v us="$US" '
    function flush() {
        if (id == "") return
        if (file == "" || !has_from || !has_to)
            bad = bad sprintf("%s:%d: mutant %s needs file:, from: and to:\n", FILENAME, at, id)
        else if (from == to)
            bad = bad sprintf("%s:%d: mutant %s changes nothing\n", FILENAME, at, id)
        else if (id in seen)
            bad = bad sprintf("%s:%d: mutant id %s used twice\n", FILENAME, at, id)
        seen[id] = 1
        printf "%s%s%s%s%s%s%s%s%s%s%d\n", id, us, file, us, what, us, from, us, to, us, at
        id = file = what = from = to = ""; has_from = has_to = 0
    }
    /^[ \t]*(#|$)/ { next }
    {
        key = $0; sub(/:.*/, "", key)
        value = substr($0, length(key) + 2); sub(/^ /, "", value)
        if (key == "id") { flush(); id = value; at = FNR }
        else if (id == "") bad = bad sprintf("%s:%d: %s: before the first id:\n", FILENAME, FNR, key)
        else if (key == "file") file = value
        else if (key == "what") what = value
        else if (key == "from") { from = value; has_from = 1 }
        else if (key == "to") { to = value; has_to = 1 }
        else bad = bad sprintf("%s:%d: unknown key %s\n", FILENAME, FNR, key)
    }
    END { flush(); if (bad != "") { printf "%s", bad > "/dev/stderr"; exit 1 } }
' "$list_file") || die "the mutant list $list_file is malformed"
while IFS="$US" read -r id file what from to at; do
    [ -n "$id" ] || continue
    ids+=("$id") files+=("$file") whats+=("$what") froms+=("$from") tos+=("$to") where+=("$at")
done <<<"$parsed"

# ---- the command line --------------------------------------------------------
check_only=0 list_only=0 in_only=0 build=""
patterns=()
known_id() {
    local p=$1 id
    for id in "${ids[@]}"; do
        # shellcheck disable=SC2053  # the pattern is meant to match as a pattern
        [[ $id == $p ]] && return 0
    done
    return 1
}
for word in "$@"; do
    case $word in
        --check) check_only=1 in_only=0 ;;
        --list) list_only=1 in_only=0 ;;
        --only) in_only=1 ;;
        -h | --help) usage; exit 0 ;;
        -*) usage >&2; exit 2 ;;
        *)
            if [ $in_only = 1 ] && ! { [[ $word == */* ]] || [ -d "$word" ]; }; then
                known_id "$word" || die "no mutant matches '$word' (see --list)"
                patterns+=("$word")
            else
                [ -z "$build" ] || die "two build folders: $build and $word"
                build=$word
            fi
            ;;
    esac
done
[ $in_only = 0 ] || [ ${#patterns[@]} -gt 0 ] || [ -n "$build" ] || die "--only needs mutant ids"
build=${build:-build-mutants}

selected=()
for i in "${!ids[@]}"; do
    if [ ${#patterns[@]} -eq 0 ]; then
        selected+=("$i")
        continue
    fi
    for p in "${patterns[@]}"; do
        # shellcheck disable=SC2053
        if [[ ${ids[$i]} == $p ]]; then
            selected+=("$i")
            break
        fi
    done
done

if [ $list_only = 1 ]; then
    for i in "${selected[@]}"; do
        printf '%-22s %-34s %s\n' "${ids[$i]}" "${files[$i]}" "${whats[$i]}"
    done
    exit 0
fi

# ---- anchors -------------------------------------------------------------------
# count FILE SNIPPET: how often the snippet occurs in the file.
count() {
    FROM=$2 awk '
        BEGIN { f = ENVIRON["FROM"]; n = 0 }
        {
            line = $0
            while ((i = index(line, f)) > 0) { n++; line = substr(line, i + length(f)) }
        }
        END { print n }
    ' "$1"
}

# apply FILE SNIPPET REPLACEMENT: replaces the one occurrence in place.
apply() {
    local tmp
    tmp=$(mktemp) || return 1
    FROM=$2 TO=$3 awk '
        BEGIN { f = ENVIRON["FROM"]; t = ENVIRON["TO"] }
        !done && (i = index($0, f)) > 0 {
            $0 = substr($0, 1, i - 1) t substr($0, i + length(f)); done = 1
        }
        { print }
    ' "$1" >"$tmp" && cat "$tmp" >"$1"
    local rc=$?
    rm -f "$tmp"
    return $rc
}

# check_anchor I: 0 when mutant I's snippet occurs exactly once; otherwise
# explains where it went.
check_anchor() {
    local i=$1 file=${files[$1]} from=${froms[$1]} n
    if [ ! -f "$file" ]; then
        n=0
        echo "STALE ${ids[$i]} ($list_file:${where[$i]}): $file does not exist"
    else
        n=$(count "$file" "$from")
        [ "$n" = 1 ] && return 0
        echo "STALE ${ids[$i]} ($list_file:${where[$i]}): the snippet occurs $n times in $file"
    fi
    echo "      from: $from"
    if [ "$n" = 0 ]; then
        local elsewhere
        elsewhere=$(git grep -n -F -e "$from" -- ':!scripts/mutants.txt' 2>/dev/null |
            head -n 3 | cut -c1-110 | sed 's/^/        /')
        [ -z "$elsewhere" ] || printf '      now found at:\n%s\n' "$elsewhere"
    fi
    return 1
}

log_dir="$build/mutants-logs"
# The source being mutated is saved in the build folder, with a note of the
# mutant, until it is restored: a run that could not clean up (killed, power
# cut) is repaired by the next one.
backup="$log_dir/source.orig"
note="$log_dir/source.mutant"
active=""

restore() {
    if [ -n "$active" ]; then
        # A plain copy gives the file a new time stamp, so the next build
        # compiles the original again.
        cat "$backup" >"$active" && touch "$active" && rm -f "$note" && active=""
    fi
}
trap restore EXIT

if [ -f "$note" ]; then
    left_id=$(cat "$note") left=""
    for i in "${!ids[@]}"; do [ "${ids[$i]}" = "$left_id" ] && left=$i; done
    [ -n "$left" ] || die "an earlier run left $note for mutant $left_id, which is no longer listed; restore by hand from $backup"
    expected=$(mktemp) || die "cannot make a scratch file"
    cp "$backup" "$expected" && apply "$expected" "${froms[$left]}" "${tos[$left]}"
    if cmp -s "$expected" "${files[$left]}"; then
        rm -f "$expected"
        active=${files[$left]}
        restore
        echo "restored ${files[$left]}, left mutated ($left_id) by an interrupted run"
    else
        rm -f "$expected"
        die "an earlier run was interrupted while ${files[$left]} carried mutant $left_id, and the file changed since; the original is $backup"
    fi
fi

stale=()
runnable=()
for i in "${selected[@]}"; do
    if check_anchor "$i"; then runnable+=("$i"); else stale+=("$i"); fi
done
if [ $check_only = 1 ]; then
    echo "${#runnable[@]} of ${#selected[@]} anchors found exactly once"
    [ ${#stale[@]} -eq 0 ]
    exit
fi
if [ ${#stale[@]} -gt 0 ]; then
    echo "mutants: ${#stale[@]} stale anchors are left out of this run (listed above)"
fi

# ---- the run ------------------------------------------------------------------
mkdir -p "$log_dir" || die "cannot make $log_dir"
results="$build/mutants-results.txt"
trap 'restore; echo; echo "mutants: interrupted; sources restored" >&2; exit 130' INT TERM HUP

export CCACHE_BASEDIR
CCACHE_BASEDIR=$(dirname "$root")
launcher=()
if command -v ccache >/dev/null 2>&1; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi

build_all() { nice -n 10 cmake --build "$build" -j"$jobs" >"$1" 2>&1; }

# run_suite LOG: runs the tests until the first failure, adding to LOG.  Each test has the
# time limit its CMake file gives it (ctest's default for the others), so a
# mutant that makes a program hang fails on that limit.
run_suite() {
    (
        ulimit -v "$memory_kb" 2>/dev/null
        cd "$build" && nice -n 10 ctest --stop-on-failure -j"$jobs" --timeout 120
    ) >>"$1" 2>&1
}

# first_failure LOG: the name of the first failing test and why.
first_failure() {
    awk '
        # The status follows the name and its dots: a test whose name
        # holds "Failed" may still have passed.
        / Test +#[0-9]+: / {
            sub(/.* Test +#[0-9]+: /, "")
            name = $1
            why = $0; sub(/^[^ ]+ \.* */, "", why); sub(/ +[0-9.]+ sec$/, "", why)
            if (why !~ /\*\*\*|Failed|Not Run/) next
            gsub(/\*/, "", why)
            print name " (" why ")"; exit
        }
    ' "$1"
}

echo "configuring $build (Release, no sanitizers)"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTRELV_SANITIZE=OFF -DTRELV_TESTS=ON \
    "${launcher[@]}" >"$log_dir/configure.log" 2>&1 || die "configuring failed: $log_dir/configure.log"
echo "building the unmodified sources"
build_all "$log_dir/baseline-build.log" || die "the unmodified sources do not build: $log_dir/baseline-build.log"
start=$(date +%s)
: >"$log_dir/baseline-tests.log"
run_suite "$log_dir/baseline-tests.log" ||
    die "the unmodified suite fails ($(first_failure "$log_dir/baseline-tests.log")): $log_dir/baseline-tests.log"
echo "the unmodified suite passes ($(($(date +%s) - start)) s); mutants to run: ${#runnable[@]}"

killed=0 survived=0 unbuilt=0 k=0
survivors=()
: >"$results"
for i in "${runnable[@]}"; do
    k=$((k + 1))
    id=${ids[$i]} file=${files[$i]}
    log="$log_dir/$id.log"
    { cat "$file" >"$backup" && echo "$id" >"$note"; } || die "cannot save $file"
    active=$file
    if ! apply "$file" "${froms[$i]}" "${tos[$i]}"; then
        restore
        die "cannot write $file"
    fi
    if ! build_all "$log"; then
        if grep -q -E '\.(cpp|h):[0-9]+(:[0-9]+)?: (fatal )?error:|undefined reference|ld returned' "$log"; then
            status="does not build"
            unbuilt=$((unbuilt + 1))
            detail=""
        else
            # It compiled, but a program the build runs (assembling the
            # examples, listing the unit tests) failed.
            status="killed"
            killed=$((killed + 1))
            detail="by the build: a program run while building failed"
        fi
    elif run_suite "$log"; then
        status="SURVIVED"
        survived=$((survived + 1))
        survivors+=("$i")
        detail=${whats[$i]}
    else
        status="killed"
        killed=$((killed + 1))
        detail="by $(first_failure "$log")"
        case $detail in *Timeout*) detail="$detail: the program hung or ran past the test's time limit" ;; esac
    fi
    restore
    printf '[%d/%d] %-15s %-22s %s\n' "$k" "${#runnable[@]}" "$status" "$id" "$detail"
    printf '%s\t%s\t%s\n' "$id" "$status" "$detail" >>"$results"
done

echo
summary="$killed killed, $survived survived"
[ $unbuilt -eq 0 ] || summary="$summary, $unbuilt did not build"
[ ${#stale[@]} -eq 0 ] || summary="$summary, ${#stale[@]} stale anchors not run"
echo "$summary"
if [ ${#survivors[@]} -gt 0 ]; then
    echo "survivors:"
    for i in "${survivors[@]}"; do
        printf '  %-22s %s: %s\n' "${ids[$i]}" "${files[$i]}" "${whats[$i]}"
    done
fi
echo "per-mutant results: $results; logs: $log_dir/"
