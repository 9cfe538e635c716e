include(GoogleTest)

# quill_add_tests(<name> TESTS <files...> [CONCURRENCY_TESTS <files...>] [SOURCES <files...>]
#                 LIBS <libs...> [LABELS <labels...>] [ENVIRONMENT <k=v...>])
# Builds the test binary <name> from TESTS, and from CONCURRENCY_TESTS a second binary, <name>_concurrency,
# labelled `concurrency` so that the ThreadSanitizer preset can run just those. SOURCES go into both.
function(quill_add_tests name)
  cmake_parse_arguments(ARG "" "" "TESTS;CONCURRENCY_TESTS;SOURCES;LIBS;LABELS;ENVIRONMENT" ${ARGN})
  if(ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "quill_add_tests(${name}): unknown arguments: ${ARG_UNPARSED_ARGUMENTS}")
  endif()
  if(ARG_TESTS)
    _quill_test_binary(${name} "${ARG_TESTS};${ARG_SOURCES}" "${ARG_LIBS}" "${ARG_LABELS}" "${ARG_ENVIRONMENT}")
  endif()
  if(ARG_CONCURRENCY_TESTS)
    _quill_test_binary(${name}_concurrency "${ARG_CONCURRENCY_TESTS};${ARG_SOURCES}" "${ARG_LIBS}"
                       "${ARG_LABELS};concurrency" "${ARG_ENVIRONMENT}")
  endif()
endfunction()

function(_quill_test_binary target sources libs labels environment)
  add_executable(${target} ${sources})
  target_link_libraries(${target} PRIVATE ${libs})
  quill_set_warnings(${target})
  # gtest_discover_tests flattens list-valued properties into the property list, so each test gets one label
  # (the most specific: `concurrency` for the concurrency binaries) and the environment only when there is one.
  list(GET labels -1 _label)
  set(_properties LABELS ${_label} TIMEOUT 120)
  if(environment)
    list(APPEND _properties ENVIRONMENT ${environment})
  endif()
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${_properties})
endfunction()
