# The engine's cancellation rests on std::stop_token, std::stop_callback and std::jthread. GCC's libstdc++ has
# them as is. libc++ (Apple's toolchain) has std::jthread from version 18, behind -fexperimental-library until
# 20. On macOS that flag also links libc++experimental, which a toolchain may lack although both facilities are
# header-only in libc++ 18 and 19; there libc++'s own switch, _LIBCPP_ENABLE_EXPERIMENTAL, is enough. The check
# tries them in that order, and what it takes goes onto every target.
include(CheckCXXSourceCompiles)
include(CMakePushCheckState)

set(_quill_stop_token_probe [[
#include <stop_token>
#include <thread>
int main() {
    std::stop_source source;
    bool stopped = false;
    std::stop_callback callback(source.get_token(), [&stopped] { stopped = true; });
    std::jthread worker([](std::stop_token token) { (void)token.stop_requested(); });
    source.request_stop();
    return stopped ? 0 : 1;
}
]])

cmake_push_check_state(RESET)
set(CMAKE_REQUIRED_QUIET ON)
set(CMAKE_REQUIRED_LIBRARIES Threads::Threads)
check_cxx_source_compiles("${_quill_stop_token_probe}" QUILL_STOP_TOKEN_AS_IS)
if(NOT QUILL_STOP_TOKEN_AS_IS)
  set(CMAKE_REQUIRED_FLAGS -fexperimental-library)
  set(CMAKE_REQUIRED_LINK_OPTIONS -fexperimental-library)
  check_cxx_source_compiles("${_quill_stop_token_probe}" QUILL_STOP_TOKEN_WITH_EXPERIMENTAL_LIBRARY)
endif()
if(NOT QUILL_STOP_TOKEN_AS_IS AND NOT QUILL_STOP_TOKEN_WITH_EXPERIMENTAL_LIBRARY)
  set(CMAKE_REQUIRED_FLAGS "")
  set(CMAKE_REQUIRED_LINK_OPTIONS "")
  set(CMAKE_REQUIRED_DEFINITIONS -D_LIBCPP_ENABLE_EXPERIMENTAL)
  check_cxx_source_compiles("${_quill_stop_token_probe}" QUILL_STOP_TOKEN_WITH_EXPERIMENTAL_DEFINE)
endif()
cmake_pop_check_state()

if(QUILL_STOP_TOKEN_AS_IS)
  message(STATUS "std::stop_token and std::jthread: available")
elseif(QUILL_STOP_TOKEN_WITH_EXPERIMENTAL_LIBRARY)
  message(STATUS "std::stop_token and std::jthread: available with -fexperimental-library")
  add_compile_options(-fexperimental-library)
  add_link_options(-fexperimental-library)
elseif(QUILL_STOP_TOKEN_WITH_EXPERIMENTAL_DEFINE)
  message(STATUS "std::stop_token and std::jthread: available with -D_LIBCPP_ENABLE_EXPERIMENTAL")
  add_compile_options(-D_LIBCPP_ENABLE_EXPERIMENTAL)
else()
  # Failed checks are not kept, so that the next configure after a toolchain update checks again.
  unset(QUILL_STOP_TOKEN_AS_IS CACHE)
  unset(QUILL_STOP_TOKEN_WITH_EXPERIMENTAL_LIBRARY CACHE)
  unset(QUILL_STOP_TOKEN_WITH_EXPERIMENTAL_DEFINE CACHE)
  # Apple's toolchain brings a libc++ with std::jthread from Xcode 16.3 on, and that Xcode needs macOS 15.2.
  message(FATAL_ERROR "Quillstart needs <stop_token> and std::jthread. On a Mac, install Xcode 16.3 or later or "
                      "its Command Line Tools (they need macOS 15.2 or later) and choose it with xcode-select "
                      "--switch; elsewhere, use GCC 12 or later with libstdc++, or libc++ 18 or later (tried as "
                      "is, with -fexperimental-library and with -D_LIBCPP_ENABLE_EXPERIMENTAL).")
endif()
