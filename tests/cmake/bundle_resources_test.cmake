# Builds a small app bundle whose resources come from quill_add_bundle_resources, on this machine as CMake
# would on macOS (APPLE set before the target is made), and checks that the build copies each resource into
# Contents/Resources, again when one changes, and a new one after it is added.
# Usage: cmake -DREAL_CXX=<compiler> -DSOURCE_DIR=<repository> -DWORK_DIR=<scratch folder>
# -P bundle_resources_test.cmake
cmake_minimum_required(VERSION 3.25)
set(project "${WORK_DIR}/project")
set(build "${WORK_DIR}/build")
set(resources "${build}/app.app/Contents/Resources")
file(REMOVE_RECURSE "${WORK_DIR}")
file(WRITE "${project}/main.cpp" "int main() {}\n")
file(WRITE "${project}/resources/top.md" "first")
file(WRITE "${project}/resources/example/dot.gitignore" "*.o")
file(WRITE "${project}/resources/example/src/tool.cpp" "not compiled")
file(WRITE "${project}/CMakeLists.txt" "cmake_minimum_required(VERSION 3.25)
project(BundleResources LANGUAGES CXX)
set(APPLE TRUE)
include(\"${SOURCE_DIR}/cmake/QuillBundle.cmake\")
add_executable(app main.cpp)
set_target_properties(app PROPERTIES MACOSX_BUNDLE TRUE)
quill_add_bundle_resources(app \"\${CMAKE_CURRENT_SOURCE_DIR}/resources\")
")

function(run step)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${step} failed:\n${output}")
  endif()
endfunction()

# expect_resources(<step> <relative path> <contents> ...): exactly these files, with these contents.
function(expect_resources step)
  file(GLOB_RECURSE found RELATIVE "${resources}" "${resources}/*")
  list(SORT found)
  set(expected_paths "")
  set(arguments ${ARGN})
  while(arguments)
    list(POP_FRONT arguments path contents)
    list(APPEND expected_paths "${path}")
    if(EXISTS "${resources}/${path}")
      file(READ "${resources}/${path}" actual)
    else()
      set(actual "(missing)")
    endif()
    if(NOT actual STREQUAL contents)
      message(SEND_ERROR "${step}: Resources/${path} holds \"${actual}\", expected \"${contents}\"")
    endif()
  endwhile()
  list(SORT expected_paths)
  if(NOT found STREQUAL expected_paths)
    message(SEND_ERROR "${step}: Resources holds ${found}, expected ${expected_paths}")
  endif()
endfunction()

run(configure "${CMAKE_COMMAND}" -E env --unset=CMAKE_CXX_COMPILER_LAUNCHER
    "${CMAKE_COMMAND}" -S "${project}" -B "${build}" -G Ninja "-DCMAKE_CXX_COMPILER=${REAL_CXX}")
run(build "${CMAKE_COMMAND}" --build "${build}")
expect_resources(built example/dot.gitignore "*.o" example/src/tool.cpp "not compiled" top.md first)

file(WRITE "${project}/resources/top.md" "edited")
file(WRITE "${project}/resources/example/added.md" "new")
run(rebuild "${CMAKE_COMMAND}" --build "${build}")
expect_resources(rebuilt example/added.md new example/dot.gitignore "*.o" example/src/tool.cpp "not compiled"
                 top.md edited)
