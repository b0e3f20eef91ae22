# cmake --install puts the programs in bin/ and, on freedesktop systems, what a
# desktop needs to offer them: a desktop entry each for quillmere and
# quillmere-demo (their menu entries), the application icon in the hicolor
# theme, AppStream metainfo (for software centres) and man pages. Each program
# and its files are installed only when it is built. All of it is the
# Quillmere_Runtime component (the quillmere package).
set(QUILLMERE_RUNTIME_COMPONENT Quillmere_Runtime)

set(_quillmere_programs)
foreach(_program quillmere quillmere-demo corvale corvale-demo corvale-smoke)
  if(TARGET ${_program})
    list(APPEND _quillmere_programs ${_program})
  endif()
endforeach()
if(_quillmere_programs)
  install(TARGETS ${_quillmere_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
          COMPONENT ${QUILLMERE_RUNTIME_COMPONENT})
endif()

if(NOT UNIX OR APPLE)
  return()
endif()

set(_quillmere_linux ${PROJECT_SOURCE_DIR}/resources/linux)
# The application's id: the desktop entry's and the metainfo's file names, and
# the icon's name.
set(QUILLMERE_APP_ID example.ostrand.Quillmere)

# Desktop entries, the icon, the metainfo.
if(TARGET quillmere)
  install(FILES ${_quillmere_linux}/${QUILLMERE_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
          COMPONENT ${QUILLMERE_RUNTIME_COMPONENT})
  # The metainfo lists the programs it comes with.
  set(QUILLMERE_METAINFO_BINARIES "")
  foreach(_program IN LISTS _quillmere_programs)
    string(APPEND QUILLMERE_METAINFO_BINARIES "    <binary>${_program}</binary>\n")
  endforeach()
  string(STRIP "${QUILLMERE_METAINFO_BINARIES}" QUILLMERE_METAINFO_BINARIES)
  set(QUILLMERE_METAINFO_BINARIES "    ${QUILLMERE_METAINFO_BINARIES}")
  configure_file(${_quillmere_linux}/${QUILLMERE_APP_ID}.metainfo.xml.in
                 ${PROJECT_BINARY_DIR}/desktop/${QUILLMERE_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/desktop/${QUILLMERE_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT ${QUILLMERE_RUNTIME_COMPONENT})
endif()
if(TARGET quillmere-demo)
  install(FILES ${_quillmere_linux}/${QUILLMERE_APP_ID}.Demo.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
          COMPONENT ${QUILLMERE_RUNTIME_COMPONENT})
endif()
if(TARGET quillmere OR TARGET quillmere-demo)
  # Drawn by resources/draw_images.cpp, one drawing per size.
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/icons/hicolor
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons COMPONENT ${QUILLMERE_RUNTIME_COMPONENT})
endif()

# Man pages, compressed as Debian's policy asks (gzip -9n: no name or time in
# the header, so the same page gives the same bytes). A -demo program's page
# is its program's page, by a .so link.
find_program(QUILLMERE_GZIP gzip)
set(_quillmere_pages)
set(_quillmere_man_dir ${PROJECT_BINARY_DIR}/man)
macro(_quillmere_man_page page source)
  configure_file(${source} ${_quillmere_man_dir}/source/${page} @ONLY)
  if(QUILLMERE_GZIP)
    add_custom_command(
      OUTPUT ${_quillmere_man_dir}/man1/${page}.gz
      COMMAND ${CMAKE_COMMAND} -E copy ${_quillmere_man_dir}/source/${page}
              ${_quillmere_man_dir}/man1/${page}
      COMMAND ${QUILLMERE_GZIP} -9nf ${_quillmere_man_dir}/man1/${page}
      DEPENDS ${_quillmere_man_dir}/source/${page}
      COMMENT "Compressing man page ${page}"
      VERBATIM)
    list(APPEND _quillmere_pages ${_quillmere_man_dir}/man1/${page}.gz)
  else()
    list(APPEND _quillmere_pages ${_quillmere_man_dir}/source/${page})
  endif()
endmacro()
foreach(_program quillmere corvale)
  if(TARGET ${_program} OR TARGET ${_program}-demo)
    _quillmere_man_page(${_program}.1 ${_quillmere_linux}/man/${_program}.1)
  endif()
  if(TARGET ${_program}-demo)
    file(CONFIGURE OUTPUT ${_quillmere_man_dir}/link/${_program}-demo.1
         CONTENT ".so man1/${_program}.1\n")
    _quillmere_man_page(${_program}-demo.1 ${_quillmere_man_dir}/link/${_program}-demo.1)
  endif()
endforeach()
if(_quillmere_pages)
  add_custom_target(quillmere-man-pages ALL DEPENDS ${_quillmere_pages})
  install(FILES ${_quillmere_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
          COMPONENT ${QUILLMERE_RUNTIME_COMPONENT})
endif()
