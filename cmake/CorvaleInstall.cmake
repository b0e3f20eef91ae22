# cmake --install puts the engine, the platform libraries, their headers and a
# package config in the prefix, so that another project can do
#   find_package(Corvale CONFIG REQUIRED)
#   target_link_libraries(app PRIVATE Corvale::engine Corvale::platform_sim)
# All of it is the Corvale_Development component (the libcorvale-dev package);
# the programs and their desktop files are in QuillmereInstall.cmake.
include(CMakePackageConfigHelpers)
set(CORVALE_DEV_COMPONENT Corvale_Development)

set(CORVALE_INSTALL_TARGETS corvale_engine corvale_platform_api corvale_bt)
if(NOT WIN32)
  list(APPEND CORVALE_INSTALL_TARGETS corvale_platform_sim)
  if(TARGET corvale_platform_bluez)
    list(APPEND CORVALE_INSTALL_TARGETS corvale_platform_bluez)
  endif()
  if(TARGET corvale_platform_nostack)
    list(APPEND CORVALE_INSTALL_TARGETS corvale_platform_nostack)
  endif()
endif()

install(TARGETS ${CORVALE_INSTALL_TARGETS} EXPORT CorvaleTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${CORVALE_DEV_COMPONENT}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${CORVALE_DEV_COMPONENT}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${CORVALE_DEV_COMPONENT})
install(DIRECTORY engine/include/corvale platform/include/corvale platform/bt/include/corvale
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT ${CORVALE_DEV_COMPONENT})
install(FILES ${CORVALE_GENERATED_INCLUDE}/corvale/version.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/corvale COMPONENT ${CORVALE_DEV_COMPONENT})
if(NOT WIN32)
  # The compat headers that the platform header and the simulated world's
  # World.h include. The message table stays inside: tests read it to check
  # every text, a program reads a text through FormatMessageW.
  install(DIRECTORY platform/compat/include/corvale DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
          COMPONENT ${CORVALE_DEV_COMPONENT} PATTERN messages.h EXCLUDE)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/platform/sim/include/corvale)
    install(DIRECTORY platform/sim/include/corvale DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
            COMPONENT ${CORVALE_DEV_COMPONENT})
  endif()
endif()

install(EXPORT CorvaleTargets NAMESPACE Corvale::
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Corvale COMPONENT ${CORVALE_DEV_COMPONENT})
# The package config looks for what the installed libraries link.
if(TARGET corvale_platform_bluez)
  set(CORVALE_INSTALLS_BLUEZ ON)
else()
  set(CORVALE_INSTALLS_BLUEZ OFF)
endif()
configure_package_config_file(cmake/CorvaleConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/CorvaleConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Corvale)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/CorvaleConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/CorvaleConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/CorvaleConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Corvale COMPONENT ${CORVALE_DEV_COMPONENT})
