include(GoogleTest)

# quill_add_test_folder(<name> <folder> LIBS <libs...> [LABELS <labels...>] [ENVIRONMENT <k=v...>])
# Builds one test binary from <folder>/*_test.cpp. Files named *_concurrency_test.cpp go into a second
# binary, <name>_concurrency, labelled `concurrency` so that the ThreadSanitizer preset can run just those.
function(quill_add_test_folder name folder)
  cmake_parse_arguments(ARG "" "" "LIBS;LABELS;ENVIRONMENT;SOURCES" ${ARGN})
  file(GLOB _all CONFIGURE_DEPENDS "${folder}/*_test.cpp")
  file(GLOB _concurrent CONFIGURE_DEPENDS "${folder}/*_concurrency_test.cpp")
  set(_plain ${_all})
  if(_concurrent)
    list(REMOVE_ITEM _plain ${_concurrent})
  endif()
  if(_plain)
    _quill_test_binary(${name} "${_plain};${ARG_SOURCES}" "${ARG_LIBS}" "${ARG_LABELS}" "${ARG_ENVIRONMENT}")
  endif()
  if(_concurrent)
    _quill_test_binary(${name}_concurrency "${_concurrent};${ARG_SOURCES}" "${ARG_LIBS}" "${ARG_LABELS};concurrency"
                       "${ARG_ENVIRONMENT}")
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
