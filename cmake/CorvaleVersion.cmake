# corvale/version.h: the project's VERSION for the code, generated into the
# build tree, on the engine's include path (so every program has it) and
# installed with the engine's headers.
set(CORVALE_GENERATED_INCLUDE ${PROJECT_BINARY_DIR}/generated/include)
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in
               ${CORVALE_GENERATED_INCLUDE}/corvale/version.h @ONLY)
target_include_directories(corvale_engine PUBLIC $<BUILD_INTERFACE:${CORVALE_GENERATED_INCLUDE}>)
