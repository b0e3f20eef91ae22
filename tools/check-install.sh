#!/usr/bin/env bash
# Installs the engine from the default build into a scratch prefix and builds
# and runs an outside project against it with find_package(Corvale).
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install build/default --prefix "$prefix/usr" >/dev/null
cmake -S tests/consumer -B "$prefix/build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix/usr" >/dev/null
cmake --build "$prefix/build" >/dev/null
"$prefix/build/consumer"
echo "outside project: built and ran against the installed engine"
