# One list of exported symbols per shared object, and everything made from it:
# the linker version script that hides every other symbol, and X-macro
# includes that programs use to look the symbols up (one MACRO(name) line per
# symbol whose name matches REGEX). On Windows the same list becomes the
# module-definition (.def) file that names the DLL's exports.
#
#   tonewell_export_list(TARGET <shared library> LIST <file>
#                        [INCLUDE <file name> <MACRO> <REGEX>]...)
#
# The list holds one symbol per line; blank lines and lines starting with #
# are ignored. Generated files go to ${PROJECT_BINARY_DIR}/generated, which
# the interface target tonewell_generated puts on the include path.
set(TONEWELL_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
file(MAKE_DIRECTORY ${TONEWELL_GENERATED_DIR})
if(NOT TARGET tonewell_generated)
  add_library(tonewell_generated INTERFACE)
  target_include_directories(tonewell_generated INTERFACE ${TONEWELL_GENERATED_DIR})
endif()

# Writes only when the text changed, so dependents rebuild only then.
function(tonewell_write_if_changed path text)
  if(EXISTS ${path})
    file(READ ${path} old)
    if(old STREQUAL text)
      return()
    endif()
  endif()
  file(WRITE ${path} "${text}")
endfunction()

function(tonewell_export_list)
  cmake_parse_arguments(ARG "" "TARGET;LIST" "INCLUDE" ${ARGN})
  file(STRINGS ${ARG_LIST} lines)
  set(symbols "")
  foreach(line ${lines})
    string(STRIP "${line}" line)
    if(line STREQUAL "" OR line MATCHES "^#")
      continue()
    endif()
    if(NOT line MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
      message(FATAL_ERROR "${ARG_LIST}: '${line}' is not a symbol name")
    endif()
    list(APPEND symbols ${line})
  endforeach()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ARG_LIST})

  file(RELATIVE_PATH source ${PROJECT_SOURCE_DIR} ${ARG_LIST})
  if(WIN32)
    set(def "; Made from ${source}; do not edit.\nEXPORTS\n")
    foreach(sym ${symbols})
      string(APPEND def "  ${sym}\n")
    endforeach()
    set(def_file ${TONEWELL_GENERATED_DIR}/${ARG_TARGET}.def)
    tonewell_write_if_changed(${def_file} "${def}")
    # A .def file among the sources replaces mingw's export-everything default.
    target_sources(${ARG_TARGET} PRIVATE ${def_file})
    target_link_options(${ARG_TARGET} PRIVATE -Wl,--no-undefined)
  else()
    set(map "/* Made from ${source}; do not edit. */\n{\n  global:\n")
    foreach(sym ${symbols})
      string(APPEND map "    ${sym};\n")
    endforeach()
    string(APPEND map "  local: *;\n};\n")
    set(map_file ${TONEWELL_GENERATED_DIR}/${ARG_TARGET}.map)
    tonewell_write_if_changed(${map_file} "${map}")
    target_link_options(${ARG_TARGET} PRIVATE
      -Wl,--version-script=${map_file} -Wl,--no-undefined -Wl,-z,defs)
    set_property(TARGET ${ARG_TARGET} APPEND PROPERTY LINK_DEPENDS ${map_file})
    if(TONEWELL_ASAN OR TONEWELL_TSAN)
      # Sanitizer runtimes come from the executable that loads the object.
      target_link_options(${ARG_TARGET} PRIVATE -Wl,--allow-shlib-undefined)
    endif()
  endif()

  set(includes ${ARG_INCLUDE})
  list(LENGTH includes n)
  while(n GREATER 0)
    if(n LESS 3)
      message(FATAL_ERROR "tonewell_export_list: INCLUDE takes a file name, a macro and a regex")
    endif()
    list(POP_FRONT includes name macro regex)
    set(text "// Made from ${source}; do not edit.\n")
    foreach(sym ${symbols})
      if(sym MATCHES "${regex}")
        string(APPEND text "${macro}(${sym})\n")
      endif()
    endforeach()
    tonewell_write_if_changed(${TONEWELL_GENERATED_DIR}/${name} "${text}")
    list(LENGTH includes n)
  endwhile()
endfunction()
