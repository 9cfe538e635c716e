# Holds the Darwin check to what Darwin lacks: a scratch source that uses one Linux-only interface fails to
# compile with the check's options, saying why, while one that does the same work as Darwin can compiles.
# Usage: cmake -DCOMPILER=<clang++> -DSOURCE_DIR=<repository> -DWORK_DIR=<scratch folder>
# -P darwin_lacks_check.cmake
cmake_minimum_required(VERSION 3.25)
include("${SOURCE_DIR}/cmake/QuillWarnings.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/darwin_options.cmake")
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")

set(headers "#include <fcntl.h>\n#include <sys/socket.h>\n#include <unistd.h>\n#include <cstdlib>\n")
set(poisoned "attempt to use a poisoned identifier")
set(linux_only "is Linux-only")
set(no_quick_exit "quick_exit_which_darwin_lacks")
set(undeclared "use of undeclared identifier ")

# Compiles `headers` and `text`; `expected` is what the compiler must say, or empty when it must compile.
function(compile name text expected)
  string(MAKE_C_IDENTIFIER "${name}" file)
  file(WRITE "${WORK_DIR}/${file}.cpp" "${headers}${text}")
  execute_process(
    COMMAND "${COMPILER}" ${QUILL_DARWIN_CHECK_OPTIONS} "${WORK_DIR}/${file}.cpp"
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output)
  string(FIND "${output}" "${expected}" said)
  if(expected STREQUAL "")
    if(NOT result EQUAL 0)
      message(SEND_ERROR "${name}: what Darwin has does not compile:\n${output}")
    endif()
  elseif(result EQUAL 0)
    message(SEND_ERROR "${name}: compiles, though Darwin lacks it")
  elseif(said EQUAL -1)
    message(SEND_ERROR "${name}: refused without saying \"${expected}\":\n${output}")
  endif()
endfunction()

function(refused name body expected)
  compile("${name}" "void f() { ${body} }\n" "${expected}")
endfunction()

refused("socket flag" "(void)::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);" "${undeclared}'SOCK_CLOEXEC'")
refused("non-blocking socket flag" "(void)::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);"
        "${undeclared}'SOCK_NONBLOCK'")
refused("accept4" "(void)::accept4(0, nullptr, nullptr, 0);" "${poisoned}")
refused("pipe2" "int fds[2]; (void)::pipe2(fds, O_CLOEXEC);" "${poisoned}")
refused("dup3" "(void)::dup3(0, 1, O_CLOEXEC);" "${poisoned}")
refused("std::quick_exit" "std::quick_exit(EXIT_SUCCESS);" "${no_quick_exit}")
refused("quick_exit" "::quick_exit(EXIT_SUCCESS);" "${no_quick_exit}")
refused("std::at_quick_exit" "(void)std::at_quick_exit([] {});" "${no_quick_exit}")
refused("at_quick_exit" "(void)at_quick_exit([] {});" "${no_quick_exit}")
foreach(header IN ITEMS epoll eventfd signalfd inotify prctl)
  compile("sys/${header}.h" "#include <sys/${header}.h>\n" "<sys/${header}.h> ${linux_only}")
endforeach()

# The same work done the way Darwin can, asking for the socket flags as a portable source does.
compile("what Darwin has" "#include <stdlib.h>
#if defined(SOCK_CLOEXEC) || defined(SOCK_NONBLOCK)
#error Darwin has no socket flags
#endif
int f() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    int fds[2];
    if (fd < 0 || ::fcntl(fd, F_SETFD, FD_CLOEXEC) != 0 || ::pipe(fds) != 0 || ::dup2(fds[0], fd) < 0)
        std::_Exit(EXIT_FAILURE);
    return std::atexit([] {}) + ::accept(fd, nullptr, nullptr);
}
" "")
