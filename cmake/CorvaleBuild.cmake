# Build habits shared by every target of ours.

# Warnings are on and fatal for our own code only; third-party headers come in
# as system includes and do not trip them.
function(corvale_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${CORVALE_WERROR}>:/WX>)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra $<$<BOOL:${CORVALE_WERROR}>:-Werror>)
  endif()
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
