#!/usr/bin/env bash
# Installs the engine from a build (default build/default) into a scratch
# prefix and builds and runs an outside project against it with
# find_package(Corvale): on the simulated world, and on BlueZ when the
# package has that platform. The outside project also compiles every
# installed header on its own.
#   tools/check-install.sh [build dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
log=$prefix/log
# Quiet when it works, the whole story when it does not.
run() { "$@" >>"$log" 2>&1 || { cat "$log" >&2; echo "check-install: FAILED: $*" >&2; exit 1; }; }
run cmake --install "$build" --prefix "$prefix/usr"

platforms=(sim)
if grep -q 'Corvale::platform_bluez' "$prefix"/usr/lib*/cmake/Corvale/CorvaleTargets.cmake; then
  platforms+=(bluez)
fi
for platform in "${platforms[@]}"; do
  run cmake -S tests/consumer -B "$prefix/build-$platform" -G Ninja \
    -DCMAKE_PREFIX_PATH="$prefix/usr" -DCONSUMER_PLATFORM="$platform"
  run cmake --build "$prefix/build-$platform"
  echo "outside project on Corvale::platform_$platform:"
  "$prefix/build-$platform/consumer" || { echo "check-install: the $platform consumer failed" >&2; exit 1; }
done
echo "outside project: built and ran against the installed engine (${platforms[*]})"
