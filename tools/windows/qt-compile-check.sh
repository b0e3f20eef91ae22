#!/usr/bin/env bash
# Compiles the front end (ui/ and quillmere's main) for Windows with the
# mingw-w64 cross compiler against Qt 6's headers, without linking: Debian
# has no Qt built for Windows. What it catches: clashes between the Windows
# headers that the engine's platform header brings (windows.h, winsock2.h,
# the Bluetooth API) and Qt's or our code (min/max, ERROR, interface, ...),
# and code of ours that only builds on Linux. Qt's headers are the host's
# (configured for Linux, so Qt's own platform-specific parts are not what a
# Windows Qt would show); moc is the host's, its output compiled too.
#
#   tools/windows/qt-compile-check.sh OUT-DIR
set -euo pipefail
cd "$(dirname "$0")/../.."
out=${1:?usage: qt-compile-check.sh OUT-DIR}
mkdir -p "$out"
cxx=x86_64-w64-mingw32-g++-posix
qt=$(qmake6 -query QT_INSTALL_HEADERS 2>/dev/null || echo /usr/include/x86_64-linux-gnu/qt6)
moc=$(qmake6 -query QT_INSTALL_LIBEXECS 2>/dev/null || echo /usr/lib/qt6/libexec)/moc
defines=(-DQT_CORE_LIB -DQT_GUI_LIB -DQT_WIDGETS_LIB -DUNICODE -D_UNICODE)
includes=(-Iengine/include -Iplatform/include -Iplatform/bt/include -Iinspect/include -Iui/include -Iui/src)
# Qt as system headers: its own warnings (dllimport redeclarations that GCC
# reports for a Windows target) are not ours to see.
for dir in "$qt" "$qt/QtCore" "$qt/QtGui" "$qt/QtWidgets"; do includes+=(-isystem "$dir"); done
# Headers the build generates (a version header, say) come from the Windows
# build's tree.
while IFS= read -r dir; do includes+=(-I"$dir"); done < <(find build/windows -type d -name include 2>/dev/null)
# nlohmann-json (header-only, the inspect library's documents) from the host,
# alone: the host's /usr/include as a whole would bring Linux's C headers.
mkdir -p "$out/nlohmann-include"
ln -sfn /usr/include/nlohmann "$out/nlohmann-include/nlohmann"
includes+=(-isystem "$out/nlohmann-include")
flags=(-std=c++20 -Wall -Wextra -Werror -O0 "${defines[@]}" "${includes[@]}")

sources=(ui/src/*.cpp app/quillmere_main.cpp)
for header in $(grep -l Q_OBJECT ui/include/quillmere/*.h ui/src/*.h 2>/dev/null); do
    generated="$out/moc_$(basename "${header%.h}").cpp"
    "$moc" "${defines[@]}" -I"$qt" "$header" -o "$generated"
    sources+=("$generated")
done
failed=0
for source in "${sources[@]}"; do
    if ! "$cxx" "${flags[@]}" -c "$source" -o "$out/$(basename "${source%.cpp}").o" 2>"$out/$(basename "$source").log"; then
        echo "qt-compile-check: $source does not compile for Windows:"
        head -n 30 "$out/$(basename "$source").log"
        failed=1
    fi
done
[ "$failed" -eq 0 ] || exit 1
echo "qt-compile-check: ${#sources[@]} files of ui/ and app/ (moc output included) compile for Windows against Qt $(qmake6 -query QT_VERSION 2>/dev/null)'s headers"
