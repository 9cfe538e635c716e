# Compiles every macOS-only source (src/**/*_macos.cpp, tests/support/*_macos.cpp) with -fsyntax-only, the
# house warnings and -Werror against libc++ and the stand-ins of the Darwin interfaces they use, for a machine
# whose build leaves them out. Usage: cmake -DCOMPILER=<clang++> -DSOURCE_DIR=<repository>
# -DBUILD_DIR=<build folder> -P macos_sources_check.cmake
cmake_minimum_required(VERSION 3.25)
include("${SOURCE_DIR}/cmake/QuillWarnings.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/darwin_options.cmake")
file(GLOB_RECURSE sources "${SOURCE_DIR}/src/*_macos.cpp" "${SOURCE_DIR}/tests/support/*_macos.cpp")
list(LENGTH sources count)
if(count EQUAL 0)
  message(FATAL_ERROR "No macOS sources found under ${SOURCE_DIR}")
endif()
# The definitions the test support library gives its sources; a syntax check needs only their names.
set(test_support_definitions "-DQUILL_TEST_CHILD=\"quill_test_child\"" "-DQUILL_TEST_DATA_DIR=\"data\"")
foreach(source IN LISTS sources)
  set(definitions "")
  if(source MATCHES "/tests/support/[^/]*$")
    set(definitions ${test_support_definitions})
  endif()
  execute_process(
    COMMAND "${COMPILER}" ${QUILL_DARWIN_CHECK_OPTIONS} -I "${SOURCE_DIR}/src" -I "${SOURCE_DIR}" -I "${BUILD_DIR}/generated"
            ${definitions} "${source}"
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output)
  file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
  if(result EQUAL 0)
    message(STATUS "${shown}: compiles")
  else()
    message(SEND_ERROR "${shown} does not compile:\n${output}")
  endif()
endforeach()
