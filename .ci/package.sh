#!/usr/bin/env bash
# CI, package stage: builds the Debian packages (cpack --preset package),
# checks what they hold with the desktop's own validators, installs them with
# apt on this machine, runs the installed programs as a user would, builds an
# outside project against the installed -dev package, and removes both again,
# checking that nothing is left behind. Needs root (or sudo) for apt.
#
#   bash .ci/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/package
start=$(date +%s)
stage() { echo; echo "=== package: $* ($(($(date +%s) - start)) s)"; }
fail() { echo "package: FAILED: $*" >&2; exit 1; }
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
apt_get() { DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=900 "$@"; }

# eventually <seconds> <what> <command...>: waits until the command succeeds,
# failing the stage with <what> once the deadline has passed.
eventually() {
  local deadline=$(($(date +%s) + $1)) what=$2
  shift 2
  until "$@"; do
    [ "$(date +%s)" -lt "$deadline" ] || fail "$what"
    sleep 0.2
  done
}

scratch=$(mktemp -d)
installed=""
cleanup() {
  # Whatever happened, the machine ends without our packages.
  if [ -n "$installed" ]; then
    apt_get purge -y -qq quillmere libcorvale-dev > /dev/null 2>&1 || true
  fi
  [ -z "${demo_pid:-}" ] || kill "$demo_pid" 2> /dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

stage "tools: what the packages need (setup.sh package), the desktop validators, man"
tools/setup.sh package
tools/ensure-packages.sh --no-recommends desktop-file-utils appstream man-db python3

stage "build and cpack"
cmake --preset package
cmake --build --preset package
rm -f "$build"/*.deb
cpack --preset package
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
arch=$(dpkg --print-architecture)
app_deb=$build/quillmere_${version}_${arch}.deb
dev_deb=$build/libcorvale-dev_${version}_${arch}.deb
for deb in "$app_deb" "$dev_deb"; do
  [ -f "$deb" ] || fail "no $deb (made: $(cd "$build" && echo ./*.deb))"
  dpkg-deb --info "$deb" | sed -n '/Package:/p;/Depends:/p'
done

programs=(quillmere quillmere-demo corvale corvale-demo)

stage "what the packages hold"
depends=$(dpkg-deb -f "$app_deb" Depends)
for library in libqt6widgets6 libsystemd0; do
  # shlibdeps ran, and quillmere is on BlueZ, not on the no-stack platform.
  [[ $depends == *"$library "* ]] || fail "quillmere does not depend on $library: $depends"
done
files_of() { dpkg-deb --contents "$1" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' | sort; }
files_of "$app_deb" > "$scratch/app.files"
files_of "$dev_deb" > "$scratch/dev.files"
both=$(comm -12 "$scratch/app.files" "$scratch/dev.files")
[ -z "$both" ] || fail "in both packages: $both"
# Everything the build installs is in one of the two packages: an install
# rule without its component would be in neither.
cmake --install "$build" --prefix "$scratch/all/usr" > /dev/null
(cd "$scratch/all" && find . ! -type d | sed 's/^\.//' | sort) > "$scratch/all.files"
missing=$(sort "$scratch/app.files" "$scratch/dev.files" | comm -23 "$scratch/all.files" -)
[ -z "$missing" ] || fail "installed but in no package: $missing"

id=example.ostrand.Quillmere
expected=("/usr/share/applications/$id.desktop" "/usr/share/applications/$id.Demo.desktop"
          "/usr/share/metainfo/$id.metainfo.xml" "/usr/share/icons/hicolor/scalable/apps/$id.svg")
for size in 16 22 24 32 48 64 128 256; do
  expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/$id.png")
done
for program in "${programs[@]}"; do
  expected+=("/usr/bin/$program" "/usr/share/man/man1/$program.1.gz")
done
for file in "${expected[@]}"; do
  grep -qx "$file" "$scratch/app.files" || fail "quillmere does not hold $file"
done
echo "quillmere: $(wc -l < "$scratch/app.files") files, libcorvale-dev: $(wc -l < "$scratch/dev.files") files, none in both"

stage "validators on the packaged files"
dpkg-deb -x "$app_deb" "$scratch/root"
share=$scratch/root/usr/share
desktop-file-validate "$share"/applications/*.desktop
# The id's domain is a placeholder (.example) that the validator does not know
# as a top-level domain: that one remark is expected, any other fails.
metainfo_report=$(appstreamcli validate --no-net --explain "$share/metainfo/$id.metainfo.xml" 2>&1) ||
  fail "appstreamcli validate: $metainfo_report"
remarks=$(grep -E '^[EWI]: ' <<< "$metainfo_report" | grep -v ': cid-maybe-not-rdns ' || true)
[ -z "$remarks" ] || fail "appstreamcli validate: $remarks"
echo "metainfo: valid"
# Each icon is the size its directory says.
python3 - "$share/icons/hicolor" << 'PY'
import pathlib, struct, sys
bad = []
for png in sorted(pathlib.Path(sys.argv[1]).glob("*x*/apps/*.png")):
    head = png.read_bytes()[:24]
    width, height = struct.unpack(">II", head[16:24])
    if head[:8] != b"\x89PNG\r\n\x1a\n" or f"{width}x{height}" != png.parts[-3]:
        bad.append(f"{png.parts[-3]}/{png.name} is {width}x{height}")
if bad:
    sys.exit("icons of the wrong size: " + ", ".join(bad))
print("icons: each the size of its directory")
PY
lexgrog "$share"/man/man1/*.1.gz

stage "install both with apt"
installed=yes
apt_get install -y -qq "./$app_deb" "./$dev_deb"
dpkg -L quillmere | grep -qx /usr/bin/quillmere || fail "dpkg -L quillmere has no /usr/bin/quillmere"

stage "the installed programs"
for program in "${programs[@]}"; do
  [ "$(command -v "$program")" = "/usr/bin/$program" ] || fail "$program is not /usr/bin/$program"
  # man finds each page and groff has nothing to say about it.
  warnings=$(MANWIDTH=80 man --warnings "$program" 2>&1 > /dev/null) || fail "man $program"
  [ -z "$warnings" ] || fail "man --warnings $program: $warnings"
done
echo "man pages: ${programs[*]}"
# corvale's page documents every command and option its own help lists.
page=$(zcat /usr/share/man/man1/corvale.1.gz)
undocumented=()
commands=$(corvale --help | sed -n '/^Subcommands:/,/^$/p' | awk 'NR > 1 && NF { print $1 }')
[ -n "$commands" ] || fail "corvale --help lists no commands"
for command in "" $commands; do
  [ -z "$command" ] || grep -q "^\.B corvale $command\b" <<< "$page" ||
    undocumented+=("the command $command")
  # shellcheck disable=SC2086 # no command: corvale's own options
  for option in $(corvale $command --help | grep -oE -- '(^| |,)--?[a-z][a-z-]*' | tr -d ' ,'); do
    grep -qF -- "${option//-/\\-}" <<< "$page" || undocumented+=("${command:-corvale} $option")
  done
done
[ ${#undocumented[@]} -eq 0 ] || fail "corvale.1 does not document: ${undocumented[*]}"
echo "corvale.1: every command and option of corvale --help"
corvale --version | tee "$scratch/version"
grep -q "$version" "$scratch/version" || fail "corvale --version does not say $version"
# The JSON lists the devices the text does.
corvale-demo scan > "$scratch/scan.txt"
corvale-demo scan --json > "$scratch/scan.json"
python3 - "$scratch/scan.txt" "$scratch/scan.json" << 'PY' || fail "corvale-demo scan --json"
import json, re, sys
address = re.compile(r"\b(?:[0-9A-F]{2}:){5}[0-9A-F]{2}\b")
text = set(address.findall(open(sys.argv[1]).read()))
doc = json.load(open(sys.argv[2]))
found = set()
def walk(value):
    if isinstance(value, dict):
        for item in value.values():
            walk(item)
    elif isinstance(value, list):
        for item in value:
            walk(item)
    elif isinstance(value, str):
        found.update(address.findall(value))
walk(doc)
if not text:
    sys.exit("the text scan lists no devices")
if text - found:
    sys.exit(f"the JSON lacks {len(text - found)} of the {len(text)} devices the text lists: {json.dumps(doc)[:200]}")
print(f"corvale-demo scan --json: valid JSON with the {len(text)} devices of the text scan")
PY
# The window on Qt's off-screen platform: up once it has painted its main
# window (Qt's painting log says so), then ended.
QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="qt.widgets.painting=true" \
  quillmere-demo 2> "$scratch/window.log" &
demo_pid=$!
window_painted() {
  kill -0 "$demo_pid" 2> /dev/null || { tail -20 "$scratch/window.log"; fail "quillmere-demo ended"; }
  grep -q "Drawing .* of Quillmere::BTNetwork_Form" "$scratch/window.log"
}
eventually 60 "quillmere-demo painted no main window" window_painted
kill "$demo_pid"
wait "$demo_pid" 2> /dev/null || true
demo_pid=""
echo "quillmere-demo: painted its main window offscreen"

stage "an outside project against the installed libcorvale-dev"
cmake_dir=$(dpkg -L libcorvale-dev | grep '/cmake/Corvale$')
platforms=(sim)
! grep -q 'Corvale::platform_bluez' "$cmake_dir/CorvaleTargets.cmake" || platforms+=(bluez)
for platform in "${platforms[@]}"; do
  if ! { cmake -S tests/consumer -B "$scratch/consumer-$platform" -G Ninja \
    -DCorvale_DIR="$cmake_dir" -DCONSUMER_PLATFORM="$platform" &&
    cmake --build "$scratch/consumer-$platform"; } > "$scratch/consumer.log" 2>&1; then
    cat "$scratch/consumer.log"
    fail "outside project on $platform"
  fi
  "$scratch/consumer-$platform/consumer" > /dev/null || fail "the $platform consumer failed"
done
echo "outside project: built and ran on ${platforms[*]}"

stage "remove both, nothing left"
cat "$scratch/app.files" "$scratch/dev.files" > "$scratch/files"
apt_get purge -y -qq quillmere libcorvale-dev
installed=""
for package in quillmere libcorvale-dev; do
  if listed=$(dpkg -L "$package" 2> /dev/null) && [ -n "$listed" ]; then
    fail "dpkg -L $package still lists: $listed"
  fi
done
left=$(while read -r file; do [ ! -e "$file" ] || echo "$file"; done < "$scratch/files")
[ -z "$left" ] || fail "left behind: $left"
for dir in /usr/include/corvale "$cmake_dir" /usr/share/icons/hicolor/scalable/apps/$id.svg; do
  [ ! -e "$dir" ] || fail "left behind: $dir"
done
echo "removed: dpkg -L empty for both, none of their $(wc -l < "$scratch/files") files left"

stage "done"
