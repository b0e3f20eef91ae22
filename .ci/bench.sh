#!/usr/bin/env bash
# CI, benchmark check: every benchmark program of a build runs each of its
# benchmarks once, briefly (--benchmark_min_time=0.01; benchmarks with a fixed
# iteration count keep it), so one that no longer runs, crashes or reports an
# error (SkipWithError) fails the stage. The figures of such a run mean
# nothing: BENCHMARKS.md says how each was measured.
#
#   bash .ci/bench.sh [build dir]      (default build/release, built already)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
fail() {
    echo "bench: FAILED: $*" >&2
    exit 1
}

mapfile -t programs < <(find "$build/bench" -maxdepth 1 -type f -perm -u+x 2>/dev/null | sort)
[ ${#programs[@]} -gt 0 ] || fail "no benchmark programs in $build/bench"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# The front end's benchmarks draw nothing on screen.
export QT_QPA_PLATFORM=offscreen
for program in "${programs[@]}"; do
    name=$(basename "$program")
    began=$(date +%s)
    if ! "$program" --benchmark_min_time=0.01 --benchmark_out="$scratch/$name.json" \
        --benchmark_out_format=json >"$scratch/$name.log" 2>&1; then
        tail -n 40 "$scratch/$name.log" >&2
        fail "$name exited with an error"
    fi
    # One line: how many ran, and every benchmark that reported an error.
    summary=$(python3 - "$scratch/$name.json" <<'EOF'
import json, sys
runs = json.load(open(sys.argv[1]))["benchmarks"]
errors = [f'{r["name"]}: {r.get("error_message", "")}' for r in runs if r.get("error_occurred")]
print(len(runs), "; ".join(errors))
EOF
    )
    count=${summary%% *}
    errors=${summary#* }
    [ "$count" -gt 0 ] || fail "$name ran no benchmark"
    [ -z "$errors" ] || fail "$name: $errors"
    echo "$name: $count benchmarks ran ($(($(date +%s) - began)) s)"
done
