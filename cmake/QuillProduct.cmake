# QUILL_PRODUCT: the product configuration the app installs at start, and the bundle identity that goes with it.
# Each variant: <name>|<display name>|<bundle identifier>, the latter two as the engine's configuration of that
# variant names them (a test holds the two together).
set(QUILL_PRODUCTS
  "code|Quillstart for Coding|com.fernwick.quill.code"
  "cli|Quillstart for the Command Line|com.fernwick.quill.cli"
  "brew|Quillstart with Homebrew|com.fernwick.quill.brew"
  "claude|Quillstart for Claude Code|com.fernwick.quill.claude"
  "java|Tolvane for Java|com.fernwick.tolvane.java")

set(QUILL_PRODUCT "code" CACHE STRING "The product variant the app installs at start")
set(_quill_product_names "")
foreach(_row IN LISTS QUILL_PRODUCTS)
  string(REPLACE "|" ";" _fields "${_row}")
  list(GET _fields 0 _name)
  list(APPEND _quill_product_names "${_name}")
  if(_name STREQUAL QUILL_PRODUCT)
    list(GET _fields 1 QUILL_PRODUCT_DISPLAY_NAME)
    list(GET _fields 2 QUILL_PRODUCT_BUNDLE_IDENTIFIER)
  endif()
endforeach()

set_property(CACHE QUILL_PRODUCT PROPERTY STRINGS ${_quill_product_names})
if(NOT QUILL_PRODUCT IN_LIST _quill_product_names)
  list(JOIN _quill_product_names ", " _quill_valid)
  message(FATAL_ERROR "QUILL_PRODUCT must be one of ${_quill_valid}, not \"${QUILL_PRODUCT}\"")
endif()
