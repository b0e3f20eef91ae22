# GoogleTest for a cross-build (the Windows build with mingw-w64): the host's
# libgtest is built for the host, so the sources Debian ships in
# /usr/src/googletest (package googletest) are compiled with the cross
# compiler. The targets get the names find_package(GTest) gives, so test
# directories need not know which build they are in.

set(CORVALE_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for cross-builds")

if(NOT EXISTS ${CORVALE_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "Cross-building the tests needs GoogleTest's sources in "
                      "${CORVALE_GTEST_SOURCE_DIR} (Debian: apt-get install googletest), "
                      "or -DCORVALE_BUILD_TESTS=OFF")
endif()

if(NOT TARGET GTest::gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  # The test programs link the C runtime statically; GoogleTest must agree.
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(${CORVALE_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)

  # Third-party code: its warnings are not ours to fix.
  foreach(t gtest gtest_main gmock gmock_main)
    target_compile_options(${t} PRIVATE -w)
    get_target_property(dirs ${t} INTERFACE_INCLUDE_DIRECTORIES)
    set_target_properties(${t} PROPERTIES INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${dirs}")
  endforeach()

  # GoogleTest 1.11 and later define the GTest:: names themselves.
  foreach(pair gtest:gtest gtest_main:gtest_main gmock:gmock gmock_main:gmock_main GTest:gtest
               Main:gtest_main)
    string(REPLACE ":" ";" pair "${pair}")
    list(GET pair 0 alias)
    list(GET pair 1 real)
    if(NOT TARGET GTest::${alias})
      add_library(GTest::${alias} ALIAS ${real})
    endif()
  endforeach()
endif()
