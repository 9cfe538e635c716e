# The house warning set. QUILL_WARNING_OPTIONS is also read by the checks that compile sources outside the
# build (tests/cmake/macos_sources_check.cmake).
set(QUILL_WARNING_OPTIONS
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
  -Woverloaded-virtual -Wimplicit-fallthrough -Wformat=2
  # Designated initialisers leave the fields they do not name at their defaults on purpose; GCC before 14
  # warns about each one.
  -Wno-missing-field-initializers)

# quill_set_warnings(<target>): the house warning set, errors when QUILL_WARNINGS_AS_ERRORS is on.
function(quill_set_warnings target)
  target_compile_options(${target} PRIVATE ${QUILL_WARNING_OPTIONS})
  if(QUILL_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
