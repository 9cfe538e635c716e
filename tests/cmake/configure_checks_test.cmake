# Configures the scratch project with a compiler that has std::stop_token and std::jthread as is, only with
# -fexperimental-library, only with -D_LIBCPP_ENABLE_EXPERIMENTAL (its experimental library missing), or not at
# all, and after that refusal once more with one that has them; with a valid and an unknown QUILL_PRODUCT; with
# valid and invalid build numbers. Checks each outcome, and that the Info.plist written holds each value
# XML-escaped. Then configures the whole project with cpp-httplib in the shape Homebrew installs it, and once more
# without the zlib it looks up.
# Usage: cmake -DREAL_CXX=<compiler> -DSOURCE_DIR=<repository> -DWORK_DIR=<scratch build folder>
#        [-DPREFIX_PATH=<the build's CMAKE_PREFIX_PATH>] [-DOPENSSL_ROOT=<the build's OPENSSL_ROOT_DIR>]
#        -P configure_checks_test.cmake
set(_here "${CMAKE_CURRENT_LIST_DIR}")
set(_failures 0)

# check_configure(<name> <stop token> <product> <exit code> <output pattern> [<more -D arguments>...]): configures
# a fresh folder, or for a name "<earlier case>-again" that case's folder once more.
function(check_configure name stop_token product expected_result expected_output)
  set(folder "${name}")
  if(name MATCHES "^(.+)-again$")
    set(folder "${CMAKE_MATCH_1}")
  else()
    file(REMOVE_RECURSE "${WORK_DIR}/${name}")
  endif()
  execute_process(
    # No compiler cache: it would hand one case's results to the next, as the stand-in looks the same to it.
    COMMAND "${CMAKE_COMMAND}" -E env --unset=CMAKE_CXX_COMPILER_LAUNCHER CCACHE_DISABLE=1
            "QUILL_REAL_CXX=${REAL_CXX}" "QUILL_STOP_TOKEN=${stop_token}"
            "${CMAKE_COMMAND}" -S "${_here}/scratch" -B "${WORK_DIR}/${folder}" -G Ninja
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
  "Quillstart needs <stop_token> and std::jthread\\. On a Mac, install Xcode 16\\.3 or later or its Command Line Tools \\(they need macOS 15\\.2 or later\\) and choose it with xcode-select --switch; elsewhere, use GCC 12 or later with libstdc\\+\\+, or libc\\+\\+ 18 or later \\(tried as is, with -fexperimental-library and with -D_LIBCPP_ENABLE_EXPERIMENTAL\\)\\.")
# The same folder after the toolchain was brought up to date: checked again, not refused from the cache.
check_configure(refused-again with-flag code 0 "available with -fexperimental-library -- Product:")
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

# Homebrew's cpp-httplib is a CMake package (httplib::httplib, header-only) without a cpp-httplib.pc, whose config
# looks up Threads, OpenSSL 3 and ZLIB and hands on TLS and zlib support. The whole project configures with a
# pkg-config search path holding every .pc file this machine has but that one, and a stand-in of the package first
# on CMAKE_PREFIX_PATH (after it, the build's own, which on a Mac is Homebrew's) whose include folder holds this
# machine's httplib.h; the loopback server must then compile against it. The stand-in's prefix also links an
# openssl, first on PATH too, as Homebrew's does: the TLS test must take the one in OPENSSL_ROOT_DIR. Once more
# with ZLIB missing, configure must name it.
set(homebrew "${WORK_DIR}/homebrew-httplib")
file(REMOVE_RECURSE "${homebrew}")
file(MAKE_DIRECTORY "${homebrew}/prefix/include" "${homebrew}/prefix/bin" "${homebrew}/pkgconfig")
find_file(httplib_header httplib.h PATHS ${PREFIX_PATH} /usr/local /usr PATH_SUFFIXES include NO_DEFAULT_PATH
          REQUIRED)
file(CREATE_LINK "${httplib_header}" "${homebrew}/prefix/include/httplib.h" SYMBOLIC)
file(WRITE "${homebrew}/prefix/lib/cmake/httplib/httplibConfig.cmake"
     "include(CMakeFindDependencyMacro)\n"
     "find_dependency(Threads)\n"
     "find_dependency(OpenSSL 3.0.0 COMPONENTS Crypto SSL)\n"
     "find_dependency(ZLIB)\n"
     "add_library(httplib::httplib INTERFACE IMPORTED)\n"
     "set_target_properties(httplib::httplib PROPERTIES\n"
     "  INTERFACE_INCLUDE_DIRECTORIES \"${homebrew}/prefix/include\"\n"
     "  INTERFACE_COMPILE_DEFINITIONS \"CPPHTTPLIB_OPENSSL_SUPPORT;CPPHTTPLIB_ZLIB_SUPPORT\"\n"
     "  INTERFACE_LINK_LIBRARIES \"Threads::Threads;OpenSSL::SSL;OpenSSL::Crypto;ZLIB::ZLIB\")\n")
file(WRITE "${homebrew}/prefix/bin/openssl" "#!/bin/sh\nexit 1\n")
file(CHMOD "${homebrew}/prefix/bin/openssl" PERMISSIONS OWNER_READ OWNER_EXECUTE)
find_program(pkg_config NAMES pkg-config pkgconf REQUIRED)
execute_process(COMMAND "${pkg_config}" --variable pc_path pkg-config
                OUTPUT_VARIABLE pc_path OUTPUT_STRIP_TRAILING_WHITESPACE)
string(REPLACE ":" ";" pc_folders "$ENV{PKG_CONFIG_PATH}:${pc_path}")
# The first folder that has a name wins, as in pkg-config's own search.
foreach(folder IN LISTS pc_folders)
  file(GLOB pc_files "${folder}/*.pc")
  foreach(pc_file IN LISTS pc_files)
    get_filename_component(pc_name "${pc_file}" NAME)
    if(NOT pc_name STREQUAL "cpp-httplib.pc" AND NOT EXISTS "${homebrew}/pkgconfig/${pc_name}")
      file(CREATE_LINK "${pc_file}" "${homebrew}/pkgconfig/${pc_name}" SYMBOLIC)
    endif()
  endforeach()
endforeach()
# The build's OpenSSL: its own root, else (Debian's) the prefix its pkg-config file gives.
set(openssl_root "${OPENSSL_ROOT}")
if(NOT openssl_root)
  execute_process(COMMAND "${pkg_config}" --variable=prefix openssl
                  OUTPUT_VARIABLE openssl_root OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()

# configure_homebrew(<folder> [<more -D arguments>...]): sets result and output.
function(configure_homebrew folder)
  execute_process(
    COMMAND "${CMAKE_COMMAND}" -E env --unset=CMAKE_CXX_COMPILER_LAUNCHER --unset=PKG_CONFIG_PATH
            "PKG_CONFIG_LIBDIR=${homebrew}/pkgconfig" "PATH=${homebrew}/prefix/bin:$ENV{PATH}"
            "${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${homebrew}/${folder}" -G Ninja "-DCMAKE_CXX_COMPILER=${REAL_CXX}"
            "-DCMAKE_PREFIX_PATH=${homebrew}/prefix;${PREFIX_PATH}" "-DOPENSSL_ROOT_DIR=${openssl_root}"
            -DPKG_CONFIG_USE_CMAKE_PREFIX_PATH=OFF ${ARGN}
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output)
  set(result "${result}" PARENT_SCOPE)
  set(output "${output}" PARENT_SCOPE)
endfunction()

configure_homebrew(build)
set(loopback_command "")
set(openssl_command "")
set(built "not run")
if(result EQUAL 0)
  file(READ "${homebrew}/build/compile_commands.json" commands)
  string(JSON count LENGTH "${commands}")
  math(EXPR last "${count} - 1")
  foreach(index RANGE ${last})
    string(JSON file GET "${commands}" ${index} file)
    if(file MATCHES "/tests/support/loopback_server\\.cpp$")
      string(JSON loopback_command GET "${commands}" ${index} command)
      string(REGEX REPLACE "^.* -o ([^ ]+) .*$" "\\1" loopback_object "${loopback_command}")
    endif()
  endforeach()
  file(STRINGS "${homebrew}/build/CMakeCache.txt" openssl_command REGEX "^QUILL_OPENSSL_COMMAND:")
  string(REGEX REPLACE "^[^=]*=" "" openssl_command "${openssl_command}")
  if(loopback_command)
    execute_process(COMMAND "${CMAKE_COMMAND}" --build "${homebrew}/build" --target "${loopback_object}"
                    RESULT_VARIABLE built OUTPUT_VARIABLE build_output ERROR_VARIABLE build_output)
  endif()
endif()
string(FIND "${loopback_command}" "${homebrew}/prefix/include" found)
if(NOT result EQUAL 0 OR found EQUAL -1)
  message(SEND_ERROR "homebrew-httplib: exit ${result}; the loopback server compiles with "
                     "\"${loopback_command}\", expected the stand-in's include folder:\n${output}")
elseif(NOT built EQUAL 0)
  message(SEND_ERROR "homebrew-httplib: the loopback server does not compile (${built}):\n${build_output}")
endif()
if(NOT openssl_command STREQUAL "${openssl_root}/bin/openssl")
  message(SEND_ERROR
          "homebrew-httplib: the TLS test runs \"${openssl_command}\", expected \"${openssl_root}/bin/openssl\"")
endif()

# Without the screens, so that no other package's lookup of zlib can fail first.
configure_homebrew(build-without-zlib -DCMAKE_DISABLE_FIND_PACKAGE_ZLIB=ON -DQUILL_BUILD_UI=OFF)
string(REGEX REPLACE "[ \t\r\n]+" " " flat "${output}")
if(result EQUAL 0 OR NOT flat MATCHES "cpp-httplib's CMake package in [^ ]+ cannot be used: .*ZLIB")
  message(SEND_ERROR "homebrew-httplib-without-zlib: exit ${result}, expected a message that names ZLIB:\n${output}")
endif()
