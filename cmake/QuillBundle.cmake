# The app bundle: its Info.plist and its resources. QUILL_BUILD_NUMBER is the bundle's CFBundleVersion, which
# macOS reads as one to three non-negative integers separated by dots; anything else is refused here.
set(QUILL_BUILD_NUMBER "1" CACHE STRING "The build number written into the app bundle (CFBundleVersion)")
if(NOT QUILL_BUILD_NUMBER MATCHES "^[0-9]+(\\.[0-9]+)?(\\.[0-9]+)?$")
  message(FATAL_ERROR "QUILL_BUILD_NUMBER must be one to three non-negative integers separated by dots, like 42 "
                      "or 1.2.3, not \"${QUILL_BUILD_NUMBER}\"")
endif()

set(_quill_info_plist_template "${CMAKE_CURRENT_LIST_DIR}/Info.plist.in")

# quill_write_info_plist(<output>): fills in cmake/Info.plist.in, each value XML-escaped into PLIST_<name>.
function(quill_write_info_plist output)
  foreach(name QUILL_PRODUCT_DISPLAY_NAME QUILL_APP_EXECUTABLE QUILL_PRODUCT_BUNDLE_IDENTIFIER PROJECT_VERSION
               QUILL_BUILD_NUMBER CMAKE_OSX_DEPLOYMENT_TARGET)
    string(REPLACE "&" "&amp;" value "${${name}}")
    string(REPLACE "<" "&lt;" value "${value}")
    string(REPLACE ">" "&gt;" value "${value}")
    set(PLIST_${name} "${value}")
  endforeach()
  configure_file("${_quill_info_plist_template}" "${output}" @ONLY)
endfunction()

# quill_add_bundle_resources(<target> <folder>): every file under <folder> goes into the app bundle's
# Contents/Resources at the same relative path. Each is a source of the target that the build copies whenever
# it changes; an added or removed file configures again.
function(quill_add_bundle_resources target folder)
  file(GLOB_RECURSE resources CONFIGURE_DEPENDS "${folder}/*")
  foreach(resource IN LISTS resources)
    file(RELATIVE_PATH relative "${folder}" "${resource}")
    get_filename_component(location "Resources/${relative}" DIRECTORY)
    # Copied, never compiled, whatever its extension.
    set_source_files_properties("${resource}" PROPERTIES MACOSX_PACKAGE_LOCATION "${location}"
                                                         HEADER_FILE_ONLY ON)
  endforeach()
  target_sources(${target} PRIVATE ${resources})
endfunction()
