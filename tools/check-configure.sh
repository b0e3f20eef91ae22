#!/usr/bin/env bash
# Configure-time promises of the CMake project, each checked by configuring a
# scratch build:
# - Corvale as a subproject gives only libraries (tests/subproject).
# - A program that links two platform libraries does not generate.
# - A build without libsystemd says that quillmere falls back to the
#   no-stack platform.
# - A build without the IEEE registries stops and names the package that has
#   them; CORVALE_IEEE_DATA_DIR points the build at another copy.
set -euo pipefail
cd "$(dirname "$0")/.."
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
fail() {
  echo "check-configure: FAILED: $1" >&2
  sed 's/^/    /' "$2" >&2
  failed=1
}

# configure <name> <cmake arguments...>: the output in $scratch/<name>.log,
# the exit status as the function's.
configure() {
  local name=$1
  shift
  cmake -G Ninja -B "$scratch/$name" "$@" >"$scratch/$name.log" 2>&1
}

if configure one-platform -S tests/subproject -DSUBPROJECT_PLATFORMS=sim &&
  grep -q "Corvale as a subproject: .* library targets, nothing else" "$scratch/one-platform.log"; then
  echo "subproject with one platform: generates, only libraries"
else
  fail "Corvale as a subproject with one platform" "$scratch/one-platform.log"
fi

if configure two-platforms -S tests/subproject "-DSUBPROJECT_PLATFORMS=sim;nostack"; then
  fail "a program linking two platform libraries generated" "$scratch/two-platforms.log"
elif grep -q "INTERFACE_CORVALE_PLATFORM" "$scratch/two-platforms.log"; then
  echo "program linking two platform libraries: refused at generate time"
else
  fail "two platform libraries failed, but not on CORVALE_PLATFORM" "$scratch/two-platforms.log"
fi

# A machine without libsystemd-dev: pkg-config sees every other package.
pcdir=$scratch/pkgconfig
mkdir "$pcdir"
IFS=: read -ra pcpath <<<"$(pkg-config --variable pc_path pkg-config)"
for dir in "${pcpath[@]}"; do
  for pc in "$dir"/*.pc; do
    [ -e "$pc" ] && [ "$(basename "$pc")" != libsystemd.pc ] && ln -sf "$pc" "$pcdir/"
  done
done
if PKG_CONFIG_LIBDIR=$pcdir configure no-systemd -S . -DCORVALE_BUILD_TESTS=OFF &&
  grep -q "quillmere is built on the no-stack platform" "$scratch/no-systemd.log"; then
  echo "build without libsystemd: says quillmere falls back to the no-stack platform"
else
  fail "a build without libsystemd did not say it falls back" "$scratch/no-systemd.log"
fi
# The registries missing: the engine's vendor table cannot be made.
mkdir "$scratch/no-registries"
if configure no-ieee-data -S tests/subproject "-DCORVALE_IEEE_DATA_DIR=$scratch/no-registries"; then
  fail "a build without the IEEE registries configured" "$scratch/no-ieee-data.log"
elif grep -q "install the Debian package ieee-data" "$scratch/no-ieee-data.log"; then
  echo "build without the IEEE registries: stops, naming the package ieee-data"
else
  fail "a build without the IEEE registries failed, but not naming ieee-data" \
    "$scratch/no-ieee-data.log"
fi
# A copy elsewhere is used: it generates, and builds the table from there.
cp /usr/share/ieee-data/*.csv "$scratch/no-registries/"
# (The dry run's commands go to a file first: grep -q ending the pipe early
# would fail the build command by SIGPIPE under pipefail.)
if configure ieee-data-elsewhere -S tests/subproject \
  "-DCORVALE_IEEE_DATA_DIR=$scratch/no-registries" &&
  cmake --build "$scratch/ieee-data-elsewhere" --target corvale_engine -- -n -v \
    >"$scratch/ieee-data-elsewhere.commands" 2>&1 &&
  grep -q -- "-DIEEE_DATA_DIR=$scratch/no-registries " "$scratch/ieee-data-elsewhere.commands"; then
  echo "build with CORVALE_IEEE_DATA_DIR: the vendor table is made from that directory"
else
  fail "CORVALE_IEEE_DATA_DIR was not used" "$scratch/ieee-data-elsewhere.log"
fi
exit $failed
