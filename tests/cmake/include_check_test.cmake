# Runs scripts/lint's include and /proc checks over the repository, over a scratch tree whose includes all run
# down and whose portable sources name no /proc, and over that tree with one include or string planted that
# breaks the rule. Usage: cmake -DLINT=<scripts/lint>
# -DSOURCE_DIR=<repository> -DWORK_DIR=<scratch folder> -P include_check_test.cmake

include("${CMAKE_CURRENT_LIST_DIR}/lint_check.cmake")

# Includes of the file's own folder by name and by relative path, of a sibling product, of lower floors and Qt.
function(write_clean_tree tree)
  file(REMOVE_RECURSE "${tree}")
  file(WRITE "${tree}/src/engine/core/result.h" "#include <vector>\n")
  file(WRITE "${tree}/src/engine/products/cli/cli.cpp"
       "#include \"cli.h\"\n#include \"../brew/brew.h\"\n#include \"engine/core/result.h\"\n")
  file(WRITE "${tree}/src/ui/common/screen.h" "#include <QWidget>\n#include \"engine/products/cli/cli.h\"\n")
  file(WRITE "${tree}/src/ui/java/diagnose_view.h" "#include \"ui/common/screen.h\"\n")
  file(WRITE "${tree}/src/ui/app/main_window.cpp" "#include \"ui/java/diagnose_view.h\"\n")
  file(WRITE "${tree}/src/app/main.cpp" "#include <QApplication>\n#include \"ui/app/main_window.h\"\n")
  # /proc named where it may be: in an include's letters, in comments, in a Linux source and in a stand-in.
  # The file ends in a comment left open, which the files read after it (tests/ after src/) are not in.
  file(WRITE "${tree}/src/engine/services/child_reader.cpp"
       "#include \"engine/services/process_running.h\"\n// Linux reads /proc/<pid>/stat, \"/proc/1\".\n"
       "/* Darwin has no\n \"/proc\" */\n/* left open\n")
  file(WRITE "${tree}/src/engine/services/process_running_linux.cpp" "auto stat = \"/proc/self/stat\";\n")
  file(WRITE "${tree}/tests/support/standins/darwin/sys/sysctl.h" "#define PROC_FOLDER \"/proc\"\n")
endfunction()

check_lint(--includes repository "${SOURCE_DIR}" 0 "includes: every include runs down.")
check_lint(--proc repository "${SOURCE_DIR}" 0 "proc: only the Linux sources name /proc.")
write_clean_tree("${WORK_DIR}/clean")
check_lint(--includes clean "${WORK_DIR}/clean" 0 "includes: every include runs down.")
check_lint(--proc clean "${WORK_DIR}/clean" 0 "proc: only the Linux sources name /proc.")

# Plants `file` with `include` on its second line; the check names both, then the verdict.
foreach(planted
    "engine/core/paths.h|\"engine/services/process.h\"| runs back: engine/core sits below engine/services"
    "engine/setup/stage.h|<QString>|: the engine never includes Qt"
    "ui/common/card.cpp|\"../app/main_window.h\"| runs back: ui/common sits below ui/app"
    "ui/java/report.cpp|\"ui/setupflow/step_pages.h\"| runs sideways: ui/java and ui/setupflow are siblings")
  string(REPLACE "|" ";" planted "${planted}")
  list(GET planted 0 file)
  list(GET planted 1 include)
  list(GET planted 2 verdict)
  write_clean_tree("${WORK_DIR}/planted")
  file(WRITE "${WORK_DIR}/planted/src/${file}" "#pragma once\n#include ${include}\n")
  check_lint(--includes ${file} "${WORK_DIR}/planted" 1 "src/${file}:2: #include ${include}${verdict}")
endforeach()

write_clean_tree("${WORK_DIR}/unknown")
file(WRITE "${WORK_DIR}/unknown/src/engine/extras/list.h" "#pragma once\n")
check_lint(--includes unknown "${WORK_DIR}/unknown" 1 "src/engine/extras/list.h: its folder is not among the floors")

# Plants `file` with `text` from its third line; the check names the file, the line and the string.
foreach(planted
    "tests/support/process_watch.cpp|std::ifstream stat(\"/proc/\" + std::to_string(pid))|3: \"/proc/\""
    "src/engine/core/paths.cpp|auto folder = \"/proc\" // \"/proc/1\"|3: \"/proc\""
    "src/engine/core/text.cpp|/* a note\n*/\nauto self = \"/proc/1\"|5: \"/proc/1\""
    "tests/engine/core/paths_test.cpp|auto self = \"/proc/1\"|3: \"/proc/1\""
    "src/engine/core/shell_quote.cpp|auto quote = \"\\\"\", self = \"/proc/1\"|3: \"/proc/1\"")
  string(REPLACE "|" ";" planted "${planted}")
  list(GET planted 0 file)
  list(GET planted 1 text)
  list(GET planted 2 where)
  write_clean_tree("${WORK_DIR}/planted")
  file(WRITE "${WORK_DIR}/planted/${file}" "#include <string>\n\n${text}\n")
  check_lint(--proc ${file} "${WORK_DIR}/planted" 1 "${file}:${where} names /proc, which Darwin lacks")
endforeach()
