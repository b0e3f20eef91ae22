#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite (debug build, all tests).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh test
cmake --preset default
cmake --build --preset default
ctest --preset default
