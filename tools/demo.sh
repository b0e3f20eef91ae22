#!/usr/bin/env bash
# Sets up, builds and starts the demo: the real front end on a simulated
# neighbourhood of Bluetooth devices, for machines without a radio.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh demo
cmake --preset demo
cmake --build --preset demo
if [ -x build/demo/app/quillmere-demo ]; then
  exec build/demo/app/quillmere-demo "$@"
fi
exec build/demo/app/corvale-demo "${@:-scan}"
