# For each source of the Darwin check, writes the options its target compiles it with in the build's compile
# commands that the preprocessor reads (defines, include folders, forced includes, position-independent code)
# as a clang response file, <work folder>/<source relative to the repository>.rsp. A file is rewritten only
# when its options changed, so that only those sources are checked again. Fails on a source that the build
# does not compile. Usage: cmake -DCOMPILE_COMMANDS=<compile_commands.json> -DSOURCE_LIST=<one source a line>
# -DSOURCE_DIR=<repository> -DWORK_DIR=<work folder> -P darwin_check_flags.cmake
cmake_minimum_required(VERSION 3.25)

file(READ "${COMPILE_COMMANDS}" commands)
string(JSON count LENGTH "${commands}")
math(EXPR last "${count} - 1")
foreach(index RANGE ${last})
  string(JSON entry GET "${commands}" ${index})
  string(JSON file GET "${entry}" file)
  # The first command of a source compiled by several targets stands for all of them.
  if(NOT DEFINED "command ${file}")
    string(JSON command GET "${entry}" command)
    set("command ${file}" "${command}")
  endif()
endforeach()

# Options that take their value as the next argument, and those that carry it.
set(with_value -D -U -I -isystem -iquote -idirafter -include)
set(carrying "^(-D|-U|-I|-isystem|-iquote|-idirafter|-include)(.+)$|^-f(PIC|pic|PIE|pie)$")

file(STRINGS "${SOURCE_LIST}" sources)
set(missing "")
foreach(source IN LISTS sources)
  if(NOT DEFINED "command ${source}")
    list(APPEND missing "${source}")
    continue()
  endif()
  set(key "command ${source}")
  separate_arguments(arguments UNIX_COMMAND "${${key}}")
  set(kept "")
  set(take_next FALSE)
  foreach(argument IN LISTS arguments)
    if(take_next OR argument MATCHES "${carrying}")
      # Quoted for clang's response files: a backslash escapes the character after it.
      string(REPLACE "\\" "\\\\" quoted "${argument}")
      string(REPLACE "\"" "\\\"" quoted "${quoted}")
      string(APPEND kept "\"${quoted}\"\n")
      set(take_next FALSE)
    elseif(argument IN_LIST with_value)
      string(APPEND kept "\"${argument}\"\n")
      set(take_next TRUE)
    endif()
  endforeach()
  file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
  set(response "${WORK_DIR}/${shown}.rsp")
  if(EXISTS "${response}")
    file(READ "${response}" old)
    if(old STREQUAL kept)
      continue()
    endif()
  endif()
  file(WRITE "${response}" "${kept}")
endforeach()
if(missing)
  list(JOIN missing "\n  " shown)
  message(FATAL_ERROR "The Darwin check needs the compile command of every portable source; this build compiles "
                      "none for:\n  ${shown}")
endif()
