# Configures the fuzz build folder once, then brings its targets up to date.
#   cmake -DSOURCE=tests/fuzz -DBINARY=build/fuzz -P tests/fuzz/build.cmake
# Run by scripts/build and before CTest's fuzz entries, so that those never
# run a binary older than the sources it was built from.
if(NOT EXISTS ${BINARY}/build.ninja)
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${BINARY} -G Ninja -DCMAKE_CXX_COMPILER=clang++
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BINARY} COMMAND_ERROR_IS_FATAL ANY)
