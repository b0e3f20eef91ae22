#!/bin/sh
# corvale against BlueZ's own SDP client: `corvale services PEER --json` on
# the other radio must agree, attribute by attribute, with what sdptool
# (Debian's bluez package) reads from the same peer, both with one search
# for L2CAP (`browse --l2cap`, the search corvale makes) and record by record
# by handle (`records`). Prints the wall time of each (corvale and browse
# the best of five runs; records, a connection per handle it tries, one
# run); a disagreement fails the run. The times are those of an optimised
# corvale, as shipped, when the release build beside the tested one has it
# (.ci/bluez-e2e.sh builds it): a debug build's start-up alone takes longer
# than sdptool's whole search under the emulator.
say() { echo "E2E: $*"; }
corvale=$E2E_BUILD/app/corvale
release=$(dirname "$E2E_BUILD")/release/app/corvale
[ -x "$release" ] && corvale=$release
sdptool=$E2E_BLUEZ/usr/bin/sdptool
compare=$(dirname "$0")/../sdp_compare.py
peer=$E2E_RADIO1
if [ ! -x "$corvale" ]; then
    say "sdptool comparison: $corvale is not built (cmake --build $E2E_BUILD --target corvale)"
    exit 0
fi
"$sdptool" -h > /dev/null 2>&1 || { say "sdptool does not run (is libbluetooth3 installed?)"; exit 1; }

# best RUNS NAME OUT COMMAND...: runs the command RUNS times, its output to
# OUT; sets NAME_ms to the shortest wall time in milliseconds. A failing run
# fails the check.
best() {
    runs=$1 name=$2 out=$3
    shift 3
    shortest=
    for run in $(seq "$runs"); do
        start=$(date +%s%N)
        "$@" > "$out" 2> /run/sdp-compare.err || {
            say "$* failed: $(head -c 300 /run/sdp-compare.err)"
            exit 1
        }
        took=$((($(date +%s%N) - start) / 1000000))
        [ -z "$shortest" ] || [ "$took" -lt "$shortest" ] && shortest=$took
    done
    eval "${name}_ms=$shortest"
}

best 5 corvale /run/corvale.json "$corvale" services "$peer" --json
best 5 browse /run/browse.raw "$sdptool" -i hci0 browse --raw --l2cap "$peer"
best 5 start /run/version.out "$corvale" --version
best 1 records /run/records.raw "$sdptool" -i hci0 records --raw "$peer"

failed=0
python3 "$compare" /run/corvale.json /run/browse.raw "sdptool browse --raw --l2cap" --same-search || failed=1
python3 "$compare" /run/corvale.json /run/records.raw "sdptool records --raw" || failed=1
than() { # MS: corvale against that time, "no slower than" or "SLOWER than"
    [ "$corvale_ms" -le "$1" ] && echo "no slower than" || echo "SLOWER than"
}
type=$(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$(dirname "$corvale")/../CMakeCache.txt")
say "wall time, peer $peer: corvale services --json ${corvale_ms} ms ($type build; its start-up" \
    "alone, --version, ${start_ms} ms), sdptool browse --raw --l2cap ${browse_ms} ms," \
    "sdptool records --raw ${records_ms} ms: corvale $(than "$records_ms") records," \
    "$(than "$browse_ms") browse"
exit $failed
