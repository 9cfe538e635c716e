# Runs scripts/lint's docs check over the repository, over a scratch tree whose docs name only what its code
# has, and over that tree with one bad line planted in its docs. Usage: cmake -DLINT=<scripts/lint>
# -DSOURCE_DIR=<repository> -DWORK_DIR=<scratch folder> -P docs_check_test.cmake

include("${CMAKE_CURRENT_LIST_DIR}/lint_check.cmake")

# Paths, plain, qualified and templated names, and spans that are prose: a command with its flag, a flag, a
# name under std::, a literal in quotes, a fenced block. An ordinary use of "issued" passes.
function(write_clean_tree tree)
  file(REMOVE_RECURSE "${tree}")
  file(WRITE "${tree}/src/engine/core/stream.h" "template <class T> class Stream { T next(); };\n")
  file(WRITE "${tree}/tests/engine/stream_test.cpp" "TEST(StreamTest, NextEnds) {}\n")
  file(WRITE "${tree}/scripts/lint" "")
  file(WRITE "${tree}/docs/DESIGN.md"
       "# Design\n\n"
       "`Stream<T>` in `src/engine/core/stream.h` hands out values with `Stream::next()`; "
       "`NextEnds` in `tests/engine/` shows it.\n"
       "Run `scripts/lint --docs` or `scripts/lint`, pass `-L ui`, use `std::jthread`, keep \".bak\" in quotes.\n"
       "Each name issued here is checked.\n\n"
       "```\n`MissingInsideAFence` `src/not/here.h`\n```\n")
endfunction()

check_lint(--docs repository "${SOURCE_DIR}" 0 "docs: every path and name is in the code.")
write_clean_tree("${WORK_DIR}/clean")
check_lint(--docs clean "${WORK_DIR}/clean" 0 "docs: every path and name is in the code.")

# Plants `line` as the document's third line; the check names the file, the line and the verdict.
foreach(planted
    "See `src/engine/core/task.h`.|`src/engine/core/task.h` is not a path in the repository"
    "See `tests/ui/`.|`tests/ui/` is not a path in the repository"
    "`Stream` is fed by `StreamSink`.|`StreamSink` is found nowhere in src/ or tests/"
    "Call `Stream::cancel()`.|`cancel` is found nowhere in src/ or tests/"
    "Mended in issue 12.|points to a tracker outside the code"
    "See #12.|points to a numbered entry outside the code"
    "A `Stream that never closes.|a code span runs past the end of its line")
  string(REPLACE "|" ";" planted "${planted}")
  list(GET planted 0 line)
  list(GET planted 1 verdict)
  write_clean_tree("${WORK_DIR}/planted")
  file(WRITE "${WORK_DIR}/planted/docs/DESIGN.md" "# Design\n\n${line}\n")
  check_lint(--docs "${line}" "${WORK_DIR}/planted" 1 "docs/DESIGN.md:3: ${verdict}")
endforeach()
