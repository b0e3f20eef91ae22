# Cross-build for 64-bit Windows with Debian's mingw-w64. Its winsock2.h,
# ws2bth.h, bluetoothapis.h and bthsdpdef.h and its import libraries (ws2_32,
# bthprops) are the real Windows API, so this build has no compat layer.
#
#   cmake --preset windows && cmake --build --preset windows
#
# Programs and tests run under Wine: CMake's emulator is tools/windows/wine,
# so ctest starts the .exe files through it. That script runs the machine's
# own Wine, or the Wine 10 of a Debian root when CORVALE_WINE_ROOT names one
# (the test presets windows and windows-wine10 say which).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CORVALE_MINGW_TRIPLET x86_64-w64-mingw32)

# The POSIX thread model gives the whole C++ library (std::thread, std::mutex)
# that GoogleTest and the standard library expect; it is linked statically
# below, so no winpthread DLL has to travel with the programs.
find_program(CMAKE_C_COMPILER NAMES ${CORVALE_MINGW_TRIPLET}-gcc-posix ${CORVALE_MINGW_TRIPLET}-gcc
             REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${CORVALE_MINGW_TRIPLET}-g++-posix ${CORVALE_MINGW_TRIPLET}-g++
             REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${CORVALE_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${CORVALE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every .exe carries its C and C++ runtime: it runs on a bare Windows (and
# under Wine) with only the system's own DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../../tools/windows/wine)
