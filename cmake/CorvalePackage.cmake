# Debian packages, made by CPack from the install rules:
#   quillmere_<version>_<arch>.deb       the programs, their desktop entries, the
#                                        icon, the metainfo and the man pages
#   libcorvale-dev_<version>_<arch>.deb  the engine's static libraries, headers
#                                        and CMake package (Corvale::engine, ...)
# Build them from a Release build installed to /usr:
#   cmake --preset package && cmake --build --preset package && cpack --preset package
# dpkg-shlibdeps (Debian: dpkg-dev) works out the shared libraries quillmere
# needs (Qt, libsystemd, ...); .ci/package.sh builds, checks, installs and
# removes them.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmere)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Ostrand Software")
set(CPACK_PACKAGE_CONTACT "Ostrand Software <quillmere@ostrand.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://ostrand.example/quillmere")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
# Anything installed without one of these components would be in no package;
# .ci/package.sh checks that the two packages hold the whole install.
set(CPACK_COMPONENTS_ALL ${QUILLMERE_RUNTIME_COMPONENT} ${CORVALE_DEV_COMPONENT})
# name_version_arch.deb, the way Debian names its packages.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

string(TOUPPER ${QUILLMERE_RUNTIME_COMPONENT} _runtime)
set(CPACK_DEBIAN_${_runtime}_PACKAGE_NAME quillmere)
set(CPACK_DEBIAN_${_runtime}_PACKAGE_SECTION net)
# The real stack's daemon; the demo programs need nothing of it.
set(CPACK_DEBIAN_${_runtime}_PACKAGE_SUGGESTS bluez)
set(CPACK_COMPONENT_${_runtime}_DESCRIPTION
    "Bluetooth inspection tool
Quillmere lists the machine's Bluetooth radios, runs an inquiry for the
classic (BR/EDR) devices in range, decodes each device's Class of Device and
lists the services a device publishes over SDP. It talks to BlueZ over D-Bus.
.
quillmere and quillmere-demo are the windows (the demo on a simulated
neighbourhood of devices, no radio needed); corvale and corvale-demo print
the same as text, JSON or XML.")

string(TOUPPER ${CORVALE_DEV_COMPONENT} _dev)
set(CPACK_DEBIAN_${_dev}_PACKAGE_NAME libcorvale-dev)
set(CPACK_DEBIAN_${_dev}_PACKAGE_SECTION libdevel)
# The package config finds libsystemd through pkg-config for the BlueZ
# platform library.
if(CORVALE_INSTALLS_BLUEZ)
  set(CPACK_DEBIAN_${_dev}_PACKAGE_DEPENDS "libsystemd-dev, pkg-config")
endif()
set(CPACK_COMPONENT_${_dev}_DESCRIPTION
    "Corvale Bluetooth engine (development files)
The engine of Quillmere as static libraries for C++20 programs: Bluetooth
radios, device inquiry, SDP service discovery and record parsing, and Class of
Device decoding, written against the Win32 Bluetooth API surface. With its
platform libraries (BlueZ, a simulated world, no stack), headers and a CMake
package: find_package(Corvale) gives Corvale::engine and
Corvale::platform_*.")

include(CPack)
