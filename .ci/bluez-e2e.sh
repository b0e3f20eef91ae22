#!/usr/bin/env bash
# CI, BlueZ stage: the mock-bluetoothd tests (part of ctest) and the end-to-end
# run on the real stack under qemu (tools/bluez/e2e.sh). About 1-2 minutes on
# 2 cores without KVM, plus a one-time download of ~75 MB of packages.
#
#   bash .ci/bluez-e2e.sh [build dir]     (default build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
start=$(date +%s)
stage() { echo; echo "=== bluez: $* ($(($(date +%s) - start)) s)"; }

stage "packages for the mock bus"
tools/ensure-packages.sh --no-recommends dbus python3-dbusmock libsystemd-dev libexpat1-dev libbluetooth3 \
    ieee-data

stage "build"
[ -f "$build/CMakeCache.txt" ] || cmake --preset default -B "$build"
cmake --build "$build" -j2 --target bluez_sdp_test bluez_mock_test corvale_record_xml_tests \
    e2e_probe e2e_refresh_stall corvale

# corvale as shipped, for its wall time against sdptool's in the run below
# (tools/bluez/e2e.d/sdptool.sh looks for it beside the tested build).
release=$(dirname "$build")/release
[ -f "$release/CMakeCache.txt" ] || cmake --preset release -B "$release" >/dev/null
cmake --build "$release" -j2 --target corvale

stage "mock bluetoothd, scripted SDP peers, the record XML that publication writes"
ctest --test-dir "$build" --output-on-failure -R '^(Sdp|Backend|Engine|RecordXml|BluezCodes)'

stage "end to end on the real stack under qemu"
bash tools/bluez/e2e.sh "$build"

stage "done"
