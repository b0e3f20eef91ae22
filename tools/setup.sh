#!/usr/bin/env bash
# Installs the Debian 12 packages a build needs. Idempotent; safe to rerun.
#   tools/setup.sh demo    what building and starting the program needs
#   tools/setup.sh test    what building and running every test needs
#   tools/setup.sh package what building the Debian packages needs
set -euo pipefail
what=${1:-test}

# ieee-data: the registries of address blocks the engine's vendor table is
# generated from at build time.
packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev fonts-dejavu-core
          libcli11-dev nlohmann-json3-dev ieee-data)
if [ "$what" = test ]; then
  packages+=(googletest libgtest-dev libgmock-dev libbenchmark-dev
             libbluetooth-dev libsystemd-dev dbus python3-dbusmock clang libexpat1-dev qt6-svg-dev)
fi

if [ "$what" = package ]; then
  # quillmere on BlueZ, and dpkg-shlibdeps for the packages' dependencies.
  packages+=(libsystemd-dev dpkg-dev)
fi

"$(dirname "$0")/ensure-packages.sh" "${packages[@]}"
