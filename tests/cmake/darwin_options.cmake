# How the Darwin checks compile a source on Linux: clang with libc++, the standard library of Apple's
# toolchain, syntax only, the house warnings as errors, and the Darwin stand-ins ahead of the system's headers.
# Included by darwin_check.cmake, macos_sources_check.cmake and darwin_lacks_check.cmake, after
# cmake/QuillWarnings.cmake.
get_filename_component(QUILL_DARWIN_STANDINS "${CMAKE_CURRENT_LIST_DIR}/../support/standins/darwin" ABSOLUTE)
set(QUILL_DARWIN_CHECK_OPTIONS
  -std=c++20 -stdlib=libc++ -fexperimental-library -fsyntax-only ${QUILL_WARNING_OPTIONS} -Werror
  -isystem "${QUILL_DARWIN_STANDINS}")
