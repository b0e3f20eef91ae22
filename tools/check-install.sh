#!/usr/bin/env bash
# Installs the engine from the default build into a scratch prefix and builds
# and runs an outside project against it with find_package(Corvale).
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
log=$prefix/log
# Quiet when it works, the whole story when it does not.
run() { "$@" >>"$log" 2>&1 || { cat "$log" >&2; echo "check-install: FAILED: $*" >&2; exit 1; }; }
run cmake --install build/default --prefix "$prefix/usr"
run cmake -S tests/consumer -B "$prefix/build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix/usr"
run cmake --build "$prefix/build"
"$prefix/build/consumer"
echo "outside project: built and ran against the installed engine"
