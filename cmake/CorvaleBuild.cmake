# Build habits shared by every target of ours.

# Warnings are on for our own code only; third-party headers come in as
# system includes and do not trip them. They are fatal where we check them
# (CORVALE_WERROR, on in our presets and CI), through CMake's own
# COMPILE_WARNING_AS_ERROR, so a packager's `--compile-no-warning-as-error`
# or another compiler's new warnings never stop a build of the package.
#
# GCC's optimiser-dependent families (restrict, array-bounds, stringop-*,
# maybe-uninitialized, ...) come and go with the optimisation level and are
# known for false positives on standard-library code at -O2 and above: they
# stay visible but never fatal.
function(corvale_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
      target_compile_options(${target} PRIVATE
        -Wno-error=restrict -Wno-error=array-bounds -Wno-error=stringop-overflow
        -Wno-error=stringop-overread -Wno-error=maybe-uninitialized
        -Wno-error=free-nonheap-object -Wno-error=null-dereference)
    endif()
  endif()
  set_target_properties(${target} PROPERTIES COMPILE_WARNING_AS_ERROR ${CORVALE_WERROR})
endfunction()

if(CORVALE_SANITIZE STREQUAL "address")
  # ASan + UBSan; any UB report is fatal, leaks are reported at exit and fail the run.
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(CORVALE_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT CORVALE_SANITIZE STREQUAL "")
  message(FATAL_ERROR "CORVALE_SANITIZE must be '', 'address' or 'thread'")
endif()
