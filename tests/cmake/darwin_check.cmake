# The Darwin check, included by tests/CMakeLists.txt: every portable source of src/ and tests/ (each .cpp but
# *_macos.cpp and *_linux.cpp) compiled with clang and libc++, -fsyntax-only, the house warnings and -Werror,
# with the defines and include folders of its target in this build's compile commands, in front of the Darwin
# stand-ins (tests/support/standins/darwin), which make what Linux has and Darwin lacks an error. One build step
# per source, under the target quill_darwin_check, so that they run in parallel with the build and only the
# sources whose text, headers or options changed are checked again.
find_program(QUILL_DARWIN_CHECK_COMPILER clang++-19)
if(NOT QUILL_DARWIN_CHECK_COMPILER)
  message(FATAL_ERROR "QUILL_DARWIN_CHECK needs clang++-19 and libc++ (scripts/install-deps installs both)")
endif()

include("${CMAKE_CURRENT_LIST_DIR}/darwin_options.cmake")
set(_darwin_work "${CMAKE_BINARY_DIR}/darwin_check")
file(GLOB_RECURSE _darwin_standin_headers CONFIGURE_DEPENDS "${QUILL_DARWIN_STANDINS}/*.h")
file(GLOB_RECURSE _darwin_sources CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/src/*.cpp"
     "${PROJECT_SOURCE_DIR}/tests/*.cpp")
list(FILTER _darwin_sources EXCLUDE REGEX "_(macos|linux)\\.cpp$")

# The list the options step reads, rewritten only when a source came or went.
list(JOIN _darwin_sources "\n" _darwin_list)
set(_darwin_list_file "${_darwin_work}/sources.txt")
if(EXISTS "${_darwin_list_file}")
  file(READ "${_darwin_list_file}" _darwin_old_list)
endif()
if(NOT "${_darwin_old_list}" STREQUAL "${_darwin_list}\n")
  file(WRITE "${_darwin_list_file}" "${_darwin_list}\n")
endif()

set(_darwin_options "")
set(_darwin_stamps "")
foreach(_source IN LISTS _darwin_sources)
  file(RELATIVE_PATH _shown "${PROJECT_SOURCE_DIR}" "${_source}")
  set(_out "${_darwin_work}/${_shown}")
  list(APPEND _darwin_options "${_out}.rsp")
  list(APPEND _darwin_stamps "${_out}.stamp")
  add_custom_command(OUTPUT "${_out}.stamp"
    COMMAND "${QUILL_DARWIN_CHECK_COMPILER}" ${QUILL_DARWIN_CHECK_OPTIONS} "@${_out}.rsp" -MD -MF "${_out}.d"
            -MT "${_out}.stamp" "${_source}"
    COMMAND "${CMAKE_COMMAND}" -E touch "${_out}.stamp"
    DEPENDS "${_source}" "${_out}.rsp" ${_darwin_standin_headers}
    DEPFILE "${_out}.d"
    COMMENT "Checking ${_shown} against Darwin"
    VERBATIM)
endforeach()

add_custom_command(OUTPUT ${_darwin_options}
  COMMAND "${CMAKE_COMMAND}" "-DCOMPILE_COMMANDS=${CMAKE_BINARY_DIR}/compile_commands.json"
          "-DSOURCE_LIST=${_darwin_list_file}" "-DSOURCE_DIR=${PROJECT_SOURCE_DIR}" "-DWORK_DIR=${_darwin_work}"
          -P "${CMAKE_CURRENT_SOURCE_DIR}/cmake/darwin_check_flags.cmake"
  DEPENDS "${CMAKE_BINARY_DIR}/compile_commands.json" "${_darwin_list_file}"
          "${CMAKE_CURRENT_SOURCE_DIR}/cmake/darwin_check_flags.cmake"
  COMMENT "Reading the Darwin check's options from the compile commands"
  VERBATIM)
add_custom_target(quill_darwin_check ALL DEPENDS ${_darwin_stamps})
