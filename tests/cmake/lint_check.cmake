# One run of scripts/lint in `mode` (--includes, --docs) over `tree`: an error unless it exits with
# `expected_result` and prints `expected_output`. Included by the lint checks' script tests.
function(check_lint mode name tree expected_result expected_output)
  execute_process(COMMAND "${LINT}" "${mode}" "${tree}"
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  string(FIND "${output}" "${expected_output}" found)
  if(NOT result EQUAL expected_result OR found EQUAL -1)
    message(SEND_ERROR "${name}: exit ${result}, expected ${expected_result} and \"${expected_output}\":\n${output}")
  endif()
endfunction()
