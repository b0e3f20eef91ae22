#!/usr/bin/env bash
# Installs those of the named Debian packages that are not installed yet
# (through sudo when not root). Idempotent: nothing happens when all are there.
#   tools/ensure-packages.sh [--no-recommends] pkg...
set -euo pipefail
options=()
if [ "${1:-}" = --no-recommends ]; then
  options+=(--no-install-recommends)
  shift
fi
missing=()
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -gt 0 ] || exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
# Another install may be running (a second build, a developer's apt): wait
# for its lock instead of failing.
lock=(-o DPkg::Lock::Timeout=900)
$sudo apt-get "${lock[@]}" update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get "${lock[@]}" install -y -qq "${options[@]}" "${missing[@]}"
