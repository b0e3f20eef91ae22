#!/usr/bin/env bash
# CI, Windows stage: cross-build the engine for x86_64 Windows with mingw-w64
# (its headers and import libraries are the real Winsock 2 and Bluetooth API),
# then run the programs and the Windows test suite under two Wines: the
# machine's Wine 8 (Debian 12), whose Bluetooth functions are stubs, and Wine
# 10 from a Debian 13 root made under build/, which implements the SDP
# functions and has a Bluetooth driver. Each Wine's answers are checked
# exactly, nothing is skipped silently. Then Wine 10's SDP functions are
# compared with the compat layer's on a corpus of records and hostile variants
# of them, and both Wines' message texts with the compat layer's table.
#
#   bash .ci/windows.sh        (Debian 12, root; about 3-5 minutes)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
start=$(date +%s)
stage_start=$start
stage() {
    local now
    now=$(date +%s)
    echo "    (took $((now - stage_start)) s)"
    stage_start=$now
    echo
    echo "=== windows: $* ($((now - start)) s)"
}
fail() {
    echo "windows: FAILED: $*" >&2
    exit 1
}
mkdir -p build

echo "=== windows: packages"
packages=(cmake ninja-build g++ googletest libgtest-dev mingw-w64 wine64 wine mmdebstrap python3
    qt6-base-dev qt6-base-dev-tools libcli11-dev nlohmann-json3-dev ieee-data)
tools/ensure-packages.sh --no-recommends "${packages[@]}"
echo "mingw-w64: $(x86_64-w64-mingw32-g++-posix -dumpversion), $(wine --version 2>/dev/null)"

stage "Wine 10: a Debian 13 root (build/wine10/root)"
tools/windows/wine-root.sh build/wine10/root
du -sh build/wine10/root | awk '{print "  size: " $1}'

# The Wines, each with a prefix of its own made fresh for every run: no state
# from a developer's ~/.wine, and nothing left behind in it. Fields: name,
# Debian root ("" for the machine's own Wine), prefix, ctest preset.
wines=("wine8||build/windows-wine|windows" "wine10|build/wine10/root|build/windows-wine10|windows-wine10")
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono/Gecko installer prompts
use_wine() {                              # name: sets CORVALE_WINE_ROOT, WINEPREFIX, preset
    local entry
    for entry in "${wines[@]}"; do
        IFS='|' read -r name wine_root prefix preset <<<"$entry"
        if [ "$name" = "$1" ]; then
            export CORVALE_WINE_ROOT=${wine_root:+$root/$wine_root} WINEPREFIX=$root/$prefix
            return
        fi
    done
    fail "no Wine named $1"
}
stop_wines() {
    local entry
    for entry in "${wines[@]}"; do
        use_wine "${entry%%|*}"
        tools/windows/wine wineserver -k >/dev/null 2>&1 || true
    done
}
trap stop_wines EXIT

stage "cross-build (preset windows, build/windows)"
cmake --preset windows >/dev/null
cmake --build --preset windows -j2
for exe in app/corvale-smoke.exe app/corvale.exe tests/windows/windows_platform_test.exe tests/windows/corvale-sdp-dump.exe; do
    [ -f "build/windows/$exe" ] || fail "build/windows/$exe was not built"
done
# No compat code in the Windows build: the programs import the system's own
# Winsock and Bluetooth DLLs, and no runtime DLL of the compiler.
imports=$(x86_64-w64-mingw32-objdump -p build/windows/app/corvale-smoke.exe | awk '/DLL Name/ {print tolower($3)}' | sort | tr '\n' ' ')
echo "corvale-smoke.exe imports: $imports"
for dll in bthprops.cpl ws2_32.dll; do
    [[ " $imports " == *" $dll "* ]] || fail "corvale-smoke.exe does not import $dll"
done
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    [[ " $imports " != *" $dll "* ]] || fail "corvale-smoke.exe needs $dll beside it"
done
if x86_64-w64-mingw32-nm build/windows/engine/libcorvale.a 2>/dev/null | grep "Corvale::Compat\|_ZN7Corvale6Compat" >/dev/null; then
    fail "the Windows engine library contains compat code"
fi

stage "the engine under MSVC /W4's checks, as far as GCC can tell (build/windows-w4)"
# /W4 warns of shadowed names (C4456-C4459) and of conversions that may lose
# data or sign (C4244, C4267, C4245, C4389); GCC's nearest are these. Built
# for the engine library alone; reported, not yet fatal.
w4_flags="-Wshadow -Wconversion -Wsign-conversion"
w4_fatal=true # the engine is clean: a new warning fails the stage
cmake --preset windows -B build/windows-w4 -DCORVALE_BUILD_TESTS=OFF -DCORVALE_WERROR=OFF \
    -DCMAKE_CXX_FLAGS="$w4_flags" >/dev/null
cmake --build build/windows-w4 --target clean >/dev/null
cmake --build build/windows-w4 --target corvale_engine -j2 >build/windows-w4/build.log 2>&1 ||
    fail "the engine does not build with $w4_flags (build/windows-w4/build.log)"
w4=$(grep -E '^[^ ].*: warning: ' build/windows-w4/build.log | sed "s|^$root/||" | sort -u || true)
w4_count=$(grep -c . <<<"$w4" || true)
echo "engine with $w4_flags: $w4_count warning(s)"
grep -oE '\[-W[a-z-]+\]' <<<"$w4" | sort | uniq -c | sed 's/^/  /' || true
head -n 20 <<<"$w4" | sed 's/^/  | /'
if [ "$w4_count" -gt 0 ] && $w4_fatal; then fail "the engine has $w4_count warning(s) under $w4_flags"; fi

stage "the front end for Windows: ui/ and app/ compiled against Qt 6's headers (no link)"
# Debian has no Qt for Windows, and building one (Core, Gui, Widgets and the
# windows platform plugin from Debian's qtbase source) would cost most of
# CI's hour on two cores; compiling is what catches the Windows-header
# clashes and our own code's portability.
tools/windows/qt-compile-check.sh build/windows-qt

# corvale-smoke's report under each Wine. Wine 8's Bluetooth functions are
# stubs; Wine 10's driver finds no radio here (no bluetoothd on a system bus).
# Either way each Bluetooth step must fail with that Wine's code and the
# engine's text for it, and the program must end normally (exit code 1).
check_corvale_smoke() { # wine output exit-code
    local radio_code=120 out=$2
    [ "$1" = wine10 ] && radio_code=259
    [ "$3" -eq 1 ] || fail "corvale-smoke under $1: exit code $3 (expected 1: steps failed)"
    grep -A1 '^\[1\] WinsockStart' <<<"$out" | grep -q '^    ok$' ||
        fail "corvale-smoke under $1: WinsockStart did not start a session"
    for step in "2 $radio_code" "3 8" "4 8"; do
        set -- $step
        grep -A10 "^\[$1\]" <<<"$out" | grep -m1 -E '^    (ok|FAILED)' | grep -q "^    FAILED: ($2) " ||
            fail "corvale-smoke: step [$1] did not fail with code $2"
    done
    grep -q '^Done: 3 step(s) failed' <<<"$out" || fail "corvale-smoke did not finish its report"
}
# corvale under each Wine. Without a command it is a usage error (exit code
# 2); help, version, usage errors and decoding a record file work as
# anywhere; every Bluetooth command fails as the Wine's stack does, with the
# engine's text (exit code 1). Wine 8 has no SDP parser, so decoding ends the
# process there; Wine 10's must give what the compat layer's does (compared
# with the host's corvale-demo further on).
run_corvale() { # wine arguments...: sets out, err and rc
    local wine=$1
    shift
    set +e
    tools/windows/wine build/windows/app/corvale.exe "$@" >build/windows/corvale.out 2>build/windows/corvale.err
    rc=$?
    set -e
    out=$(tr -d '\r' <build/windows/corvale.out)
    err=$(tr -d '\r' <build/windows/corvale.err)
    echo "  corvale $* -> exit code $rc"
}
check_corvale() { # wine output exit-code
    local wine=$1 radio_code=120 version out err rc command record=fuzz/corpus/fuzz_sdp_record/spp.bin
    [ "$wine" = wine10 ] && radio_code=259
    [ "$3" -eq 2 ] || fail "corvale without a command under $wine: exit code $3 (expected 2)"
    version=$(sed -n 's/^#define CORVALE_VERSION "\(.*\)"$/\1/p' build/windows/generated/include/corvale/version.h)
    run_corvale "$wine" --version
    [ "$rc" -eq 0 ] && [ "$out" = "corvale $version" ] || fail "corvale --version under $wine: $rc, $out"
    run_corvale "$wine" --help
    [ "$rc" -eq 0 ] && grep -q '^Usage: corvale ' <<<"$out" || fail "corvale --help under $wine: $rc"
    run_corvale "$wine" scan --length 62
    [ "$rc" -eq 2 ] && grep -q -- '--length' <<<"$err" || fail "corvale scan --length 62 under $wine: $rc, $err"
    for command in "radios $radio_code" "scan 8" "services 00:11:22:33:44:55 8"; do
        set -- $command
        run_corvale "$wine" "${@:1:$#-1}" --json
        [ "$rc" -eq 1 ] && [ -z "$out" ] && grep -q "^corvale: (${!#}) ." <<<"$err" ||
            fail "corvale $command under $wine: exit code $rc, \"$err\" (expected 1 and the text of ${!#})"
        echo "    $err"
    done
    run_corvale "$wine" decode --json "$record"
    if [ "$wine" = wine8 ]; then
        [ "$rc" -ne 0 ] && grep -q "unimplemented function bthprops.cpl.BluetoothSdp" <<<"$err" ||
            fail "corvale decode under Wine 8 did not end at its missing SDP parser (exit code $rc)"
    else
        [ "$rc" -eq 0 ] || fail "corvale decode $record under $wine: exit code $rc, $err"
        cp build/windows/corvale.out "build/windows/decode-$wine.json"
        run_corvale "$wine" decode --json - <"$record"
        cmp -s build/windows/corvale.out "build/windows/decode-$wine.json" ||
            fail "corvale decode from standard input differs from the file's under $wine"
    fi
}
# The programs run under every Wine: each has a check_<name> function above.
programs=(corvale-smoke corvale)

run_under() { # wine
    local wine=$1 program exe out rc
    use_wine "$wine"
    rm -rf "$WINEPREFIX"
    tools/windows/wine wineboot -i >/dev/null 2>&1 || fail "wineboot could not create $WINEPREFIX"
    echo "$wine: $(tools/windows/wine --version 2>/dev/null), prefix ${WINEPREFIX#"$root"/}"
    for program in "${programs[@]}"; do
        exe=$(find build/windows/app build/windows/tests -name "$program.exe" | head -n 1)
        [ -n "$exe" ] || fail "$program.exe was not built"
        set +e
        tools/windows/wine "$exe" >"build/windows/$program-$wine.out" 2>"build/windows/$program-$wine.err"
        rc=$?
        set -e
        out=$(tr -d '\r' <"build/windows/$program-$wine.out")
        echo "$program under $wine (exit code $rc):"
        sed 's/^/  | /' <<<"$out"
        "check_${program//-/_}" "$wine" "$out" "$rc"
    done

    echo "ctest --preset $preset:"
    set +e
    ctest --preset "$preset" -j2 --output-junit "$root/build/windows/ctest-$wine-junit.xml" \
        >"build/windows/ctest-$wine.log" 2>&1
    rc=$?
    set -e
    grep -E '^ *[0-9]+/[0-9]+ Test' "build/windows/ctest-$wine.log" | sed -E 's/ \.{3,}/ /; s/^ +//' | sed 's/^/  /'
    tail -n 25 "build/windows/ctest-$wine.log" | grep -vE '^ *([0-9]+/[0-9]+ Test|Start )' || true
    [ "$rc" -eq 0 ] || fail "Windows tests failed under $wine (log: build/windows/ctest-$wine.log)"
    # The skips are the ones this Wine must have, each with its reason.
    if [ "$wine" = wine8 ]; then
        grep -q 'SdpScalar.*Skipped' "build/windows/ctest-$wine.log" ||
            fail "the SDP value checks ran under Wine 8, which has no SDP functions"
    else
        grep -q 'SdpScalar.*Passed' "build/windows/ctest-$wine.log" ||
            fail "the SDP value checks did not run and pass under $wine"
    fi
    tools/windows/wine build/windows/tests/windows/corvale-error-texts.exe | tr -d '\r' \
        >"build/windows/texts-$wine.tsv"
}

stage "under Wine 8 (the machine's)"
run_under wine8
# Every engine test source that needs no simulated world ran here too.
for t in class_of_device uuid device initial_state; do
    if [ -f "tests/engine/${t}_test.cpp" ]; then
        [ -f "build/windows/tests/windows/windows_engine_${t}_test.exe" ] ||
            fail "tests/engine/${t}_test.cpp was not built for Windows"
    fi
done

stage "under Wine 10 (build/wine10/root)"
run_under wine10

stage "the compat layer's side (build/windows-host, ASan + UBSan)"
# The same programs over the compat layer, under the sanitizers: the hostile
# SDP variants below must not make the compat decoder read out of bounds.
host="$root/build/windows-host"
cmake --preset asan -B "$host" -DCORVALE_BUILD_UI=OFF -DCORVALE_BUILD_BENCH=OFF >/dev/null
cmake --build "$host" -j2 --target corvale-error-texts corvale-sdp-dump corvale-sdp-corpus corvale-demo >/dev/null
"$host/tests/windows/corvale-error-texts" >build/windows/texts-compat.tsv
rm -rf build/windows/sdp-corpus
"$host/tests/windows/corvale-sdp-corpus" build/windows/sdp-corpus

stage "corvale decode: Wine 10's SDP functions against the compat layer's"
# The same record through the same renderer: only the SDP parser differs.
"$host/app/corvale-demo" decode --json fuzz/corpus/fuzz_sdp_record/spp.bin >build/windows/decode-compat.json
tr -d '\r' <build/windows/decode-wine10.json | cmp -s - build/windows/decode-compat.json ||
    fail "corvale decode under Wine 10 differs from the compat layer's (build/windows/decode-*.json)"
echo "  the same JSON from both ($(wc -c <build/windows/decode-compat.json) bytes)"

stage "SDP functions: Wine 10 against the compat layer"
# Wine 8 is left out: its SDP functions end the process at the first call.
use_wine wine10
python3 tools/windows/sdp-diff.py --out build/windows/sdp-diff --label "Wine 10" \
    --compat "$host/tests/windows/corvale-sdp-dump" \
    --windows "tools/windows/wine build/windows/tests/windows/corvale-sdp-dump.exe" \
    build/windows/sdp-corpus fuzz/corpus/fuzz_sdp_record fuzz/corpus/fuzz_sdp_response ||
    fail "the SDP functions differ in a way no known kind explains (dumps: build/windows/sdp-diff)"

stage "message texts: each Wine's FormatMessageW against the compat table"
# The same program (baselib::setError, then getError for codes 0..65535) over
# the compat layer and under each Wine.
python3 - build/windows/texts-compat.tsv build/windows/texts-wine8.tsv build/windows/texts-wine10.tsv <<'EOF'
import sys

def load(path):
    table = {}
    for line in open(path, encoding="utf-8"):
        code, _, text = line.rstrip("\n").partition("\t")
        table[int(code)] = text
    return table

compat = load(sys.argv[1])
faults = []
for code, c in sorted(compat.items()):
    if not c.endswith("\\r\\n") or c.endswith(" \\r\\n") or c.count("\\r\\n") != 1:
        faults.append(f"{code}: compat text does not end in one CR LF as the system's do: {c!r}")
print(f"compat table: {len(compat)} codes")
for label, path in (("Wine 8", sys.argv[2]), ("Wine 10", sys.argv[3])):
    wine = load(path)
    same, worded, none = [], [], []
    for code, c in sorted(compat.items()):
        w = wine.get(code)
        if w is None:
            none.append(code)
        elif w == c:
            same.append(code)
        elif w.replace("\\r\\n", "").strip() == c.replace("\\r\\n", "").strip():
            faults.append(f"{code}: same words, different spacing or line ending: compat {c!r}, {label} {w!r}")
        else:
            worded.append((code, c, w))
    print(f"{label}'s table: {len(wine)} codes; of the compat table's codes:")
    print(f"  identical text:           {len(same)} {same}")
    print(f"  {label} has no text:{' ' * (13 - len(label))}{len(none)} {none}")
    print(f"  worded differently:       {len(worded)} (Wine words its table its own way; the")
    print(f"                            compat texts follow Windows' wording)")
    for code, c, w in worded[:8]:
        print(f"    {code:>5}  compat: {c}")
        print(f"           {label}: {w}")
for f in faults:
    print("  FAULT " + f)
sys.exit(1 if faults else 0)
EOF

stage "what each Wine could answer"
# Read back from the runs above, which already failed the stage if a Wine did
# not answer as listed here.
cat <<EOF
  both:           WSAStartup/WSACleanup (a Winsock 2.0 session); GetLastError;
                  FormatMessageW and LocalFree (Wine's own wording: texts for
                  $(wc -l <build/windows/texts-wine8.tsv) codes in Wine 8, $(wc -l <build/windows/texts-wine10.tsv) in Wine 10)
                  WSALookupServiceBeginW in NS_BTH (inquiry and SDP search) -> WSA error 8
  Wine 8:         BluetoothFindFirstRadio -> stub, GetLastError 120
                  BluetoothSdpGetAttributeValue, BluetoothSdpGetContainerElementData:
                  exported but unimplemented (a call ends the process, as the death
                  test checks; the SDP value checks were skipped)
  Wine 10:        BluetoothFindFirstRadio -> its Bluetooth driver finds no radio (no
                  bluetoothd on a system bus here), GetLastError 259
                  BluetoothSdpGetElementData, BluetoothSdpGetAttributeValue,
                  BluetoothSdpGetContainerElementData: answered (the SDP value checks
                  passed; the differential check above lists where they differ)
  not compared:   the packing of a lookup result (no NS_BTH lookup returns one under
                  either Wine), radio information (no radio)
EOF

stage "done in $(($(date +%s) - start)) s"
