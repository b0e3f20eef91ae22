# Header-only libraries that Debian ships (nlohmann-json, CLI11) for every
# build, the mingw cross-build included.
#
# corvale_header_only(<target> <package> <header directory>) makes the
# INTERFACE target <target> (a namespaced alias, e.g. Corvale::nlohmann_json)
# from the package's own CMake config when the build finds it. A cross-build
# looks for packages only under the target's root, where Debian's packages for
# the host do not install; their headers are plain C++, so such a build takes
# a copy of the header directory (found in the host's /usr/include) into its
# own tree. Only that directory is added to the include path, never the host's
# /usr/include as a whole, whose C library headers are not the target's.
# Without the headers, <target> is not made and a status message says so.
function(corvale_header_only target package header_dir)
  if(TARGET ${target})
    return()
  endif()
  string(REPLACE "::" "_" name ${target})
  if(NOT CMAKE_CROSSCOMPILING)
    find_package(${package} QUIET)
    if(TARGET ${package}::${package})
      add_library(${name} INTERFACE)
      add_library(${target} ALIAS ${name})
      target_link_libraries(${name} INTERFACE ${package}::${package})
      return()
    endif()
  endif()
  find_path(${name}_HOST_INCLUDE ${header_dir} PATHS /usr/include /usr/local/include
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT ${name}_HOST_INCLUDE)
    message(STATUS "${package} (${header_dir}/) not found: what needs it is not built")
    return()
  endif()
  set(copy ${CMAKE_BINARY_DIR}/third_party/${name})
  file(COPY ${${name}_HOST_INCLUDE}/${header_dir} DESTINATION ${copy})
  add_library(${name} INTERFACE)
  add_library(${target} ALIAS ${name})
  target_include_directories(${name} SYSTEM INTERFACE $<BUILD_INTERFACE:${copy}>)
endfunction()
