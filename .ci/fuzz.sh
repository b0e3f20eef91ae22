#!/usr/bin/env bash
# CI, fuzz stage: builds the `fuzz` preset (clang, libFuzzer, ASan + UBSan),
# replays every fuzzer's seed corpus as a regression test, then fuzzes each
# for FUZZ_SECONDS (60 by default) starting from that corpus.
#
# Every fuzz_* program of the build is run, so a fuzzer added to fuzz/ is
# picked up without editing this script. Its corpus is fuzz/corpus/<program>/
# (fuzz/corpus/fuzz_sdp_record/ for fuzz_sdp_record); a fuzzer without one
# fails the stage. New inputs and crash files go to a scratch directory, never
# into the repository; after a failure it is kept and named.
#
#   bash .ci/fuzz.sh
#   FUZZ_SECONDS=600 bash .ci/fuzz.sh      a longer run
#   FUZZ_JOBS=1 bash .ci/fuzz.sh           one fuzzer at a time (default 2)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${FUZZ_SECONDS:-60}
jobs=${FUZZ_JOBS:-2}
# One input that runs longer than this is a finding (a hang), not a slow run.
input_timeout=30
start=$(date +%s)
stage() { echo; echo "=== fuzz: $* ($(($(date +%s) - start)) s)"; }
fail() {
    echo "fuzz: FAILED: $*" >&2
    exit 1
}

stage "packages and build (preset fuzz, build/fuzz)"
tools/ensure-packages.sh cmake ninja-build clang libsystemd-dev pkg-config ieee-data
cmake --preset fuzz >/dev/null
build_log=$(mktemp)
cmake --build --preset fuzz -j2 >"$build_log" 2>&1 || {
    tail -n 60 "$build_log" >&2
    fail "the fuzz preset does not build"
}
tail -n 1 "$build_log"
rm -f "$build_log"

mapfile -t fuzzers < <(find build/fuzz -type f -perm -u+x -name 'fuzz_*' \
    -not -path '*/CMakeFiles/*' -printf '%f %p\n' | sort)
[ ${#fuzzers[@]} -gt 0 ] || fail "the fuzz preset built no fuzz_* program"

missing=()
for entry in "${fuzzers[@]}"; do
    name=${entry%% *}
    if [ -z "$(find "fuzz/corpus/$name" -type f -print -quit 2>/dev/null)" ]; then
        missing+=("$name")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    for name in "${missing[@]}"; do
        echo "fuzz: $name has no seed corpus: commit a few inputs in fuzz/corpus/$name/" >&2
    done
    fail "${#missing[@]} fuzzer(s) without a corpus"
fi
for corpus in fuzz/corpus/*/; do
    name=$(basename "$corpus")
    printf '%s\n' "${fuzzers[@]}" | grep -q "^$name " ||
        echo "note: fuzz/corpus/$name has no fuzz_* program in this build"
done

scratch=$(mktemp -d)
keep=0
trap '[ "$keep" = 1 ] || rm -rf "$scratch"' EXIT

# report <name> <log>: the end of a failed run and the input that failed,
# as hex, so the CI log alone is enough to reproduce it.
report() {
    echo "--- $1 failed; the end of its log:" >&2
    tail -n 40 "$2" >&2
    for artifact in "$scratch/$1"/crash-* "$scratch/$1"/timeout-* "$scratch/$1"/leak-* \
        "$scratch/$1"/oom-*; do
        [ -f "$artifact" ] || continue
        echo "--- $artifact ($(stat -c %s "$artifact") bytes):" >&2
        od -An -tx1 -v "$artifact" | head -n 64 >&2
    done
    keep=1
    echo "fuzz: inputs and logs kept in $scratch" >&2
}

stage "replay every seed corpus (${#fuzzers[@]} fuzzers)"
failed=0
for entry in "${fuzzers[@]}"; do
    name=${entry%% *}
    program=$root/${entry#* }
    mkdir -p "$scratch/$name"
    log=$scratch/$name/replay.log
    mapfile -t inputs < <(find "fuzz/corpus/$name" -type f | sort)
    if (cd "$scratch/$name" && "$program" -timeout=$input_timeout \
        -artifact_prefix="$scratch/$name/" "${inputs[@]/#/$root/}") >"$log" 2>&1; then
        echo "$name: ${#inputs[@]} inputs replayed"
    else
        report "$name" "$log"
        failed=1
    fi
done
[ $failed = 0 ] || fail "a seed input fails"

# run <name> <program>: fuzz for $seconds from the committed corpus; libFuzzer
# writes new inputs only into the first corpus directory, the scratch one.
run() {
    local name=$1 program=$2
    mkdir -p "$scratch/$name/new"
    cd "$scratch/$name"
    "$program" -max_total_time="$seconds" -timeout=$input_timeout -print_final_stats=1 \
        -artifact_prefix="$scratch/$name/" "$scratch/$name/new" "$root/fuzz/corpus/$name" \
        >fuzz.log 2>&1
}

stage "fuzz each for $seconds s, $jobs at a time"
declare -A running=()
finish() {
    local pid name status=0
    wait -n -p pid "${!running[@]}" || status=$?
    name=${running[$pid]}
    unset "running[$pid]"
    local log=$scratch/$name/fuzz.log
    if [ $status = 0 ]; then
        local execs new
        execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        new=$(find "$scratch/$name/new" -type f | wc -l)
        echo "$name: ${execs:-?} inputs run, $new new corpus entries, no finding"
    else
        report "$name" "$log"
        failed=1
    fi
}
for entry in "${fuzzers[@]}"; do
    name=${entry%% *}
    [ ${#running[@]} -lt "$jobs" ] || finish
    run "$name" "$root/${entry#* }" &
    running[$!]=$name
done
while [ ${#running[@]} -gt 0 ]; do finish; done
[ $failed = 0 ] || fail "a fuzzer found a failing input"

stage "done"
