# Configures the scratch project with a compiler that has std::stop_token and std::jthread as is, only with
# -fexperimental-library, only with -D_LIBCPP_ENABLE_EXPERIMENTAL (its experimental library missing), or not at
# all; with a valid and an unknown QUILL_PRODUCT; with valid and invalid build numbers. Checks each outcome, and
# that the Info.plist written holds each value XML-escaped.
# Usage: cmake -DREAL_CXX=<compiler> -DWORK_DIR=<scratch build folder> -P configure_checks_test.cmake
set(_here "${CMAKE_CURRENT_LIST_DIR}")
set(_failures 0)

# check_configure(<name> <stop token> <product> <exit code> <output pattern> [<more -D arguments>...])
function(check_configure name stop_token product expected_result expected_output)
  file(REMOVE_RECURSE "${WORK_DIR}/${name}")
  execute_process(
    # No compiler cache: it would hand one case's results to the next, as the stand-in looks the same to it.
    COMMAND "${CMAKE_COMMAND}" -E env --unset=CMAKE_CXX_COMPILER_LAUNCHER CCACHE_DISABLE=1
            "QUILL_REAL_CXX=${REAL_CXX}" "QUILL_STOP_TOKEN=${stop_token}"
            "${CMAKE_COMMAND}" -S "${_here}/scratch" -B "${WORK_DIR}/${name}" -G Ninja
            "-DCMAKE_CXX_COMPILER=${_here}/compiler_without_stop_token" "-DQUILL_PRODUCT=${product}" ${ARGN}
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output)
  string(REGEX REPLACE "[ \t\r\n]+" " " flat "${output}")
  if(NOT result EQUAL expected_result OR NOT flat MATCHES "${expected_output}")
    message(SEND_ERROR "${name}: exit ${result}, expected ${expected_result} and \"${expected_output}\":\n${output}")
  endif()
endfunction()

check_configure(as-is as-is code 0
  "std::stop_token and std::jthread: available -- Product: com\\.fernwick\\.quill\\.code; options: --")
check_configure(with-flag with-flag java 0
  "available with -fexperimental-library -- Product: com\\.fernwick\\.tolvane\\.java; options: -fexperimental-library --")
check_configure(with-define with-define code 0
  "available with -D_LIBCPP_ENABLE_EXPERIMENTAL -- Product: com\\.fernwick\\.quill\\.code; options: -D_LIBCPP_ENABLE_EXPERIMENTAL --")
check_configure(refused never code 1
  "Quillstart needs <stop_token> and std::jthread: use GCC 12 or later with libstdc\\+\\+, or libc\\+\\+ 18 or later \\(tried as is, with -fexperimental-library and with -D_LIBCPP_ENABLE_EXPERIMENTAL\\)\\.")
check_configure(unknown-product as-is cobol 1
  "QUILL_PRODUCT must be one of code, cli, brew, claude, java, not \"cobol\"")
foreach(number "1&2" "1.2.3.4" "2.")
  check_configure("build-number-${number}" as-is code 1
    "QUILL_BUILD_NUMBER must be one to three non-negative integers separated by dots, like 42 or 1\\.2\\.3, not \"${number}\""
    "-DQUILL_BUILD_NUMBER=${number}")
endforeach()
check_configure(escaped as-is code 0 "Product:" "-DQUILL_BUILD_NUMBER=10.2.03" "-DQUILL_APP_EXECUTABLE=quill <&> start")
file(READ "${WORK_DIR}/escaped/Info.plist" plist)
foreach(expected "<key>CFBundleVersion</key>\n\t<string>10.2.03</string>"
                 "<key>CFBundleExecutable</key>\n\t<string>quill &lt;&amp;&gt; start</string>")
  string(FIND "${plist}" "${expected}" found)
  if(found EQUAL -1)
    message(SEND_ERROR "escaped: the Info.plist lacks \"${expected}\":\n${plist}")
  endif()
endforeach()
