# SPDX-License-Identifier: MIT
# lumo_target_resources(<target> <file.rc>)
#
# Gives <target> the resources listed in <file.rc>. On Windows the .rc file is
# compiled by windres as usual. Elsewhere the simple lines
#     <NAME> <TYPE> "<file>"
# are read (file names relative to the .rc file; other lines are ignored), and
# a generated C++ source embeds the bytes and registers them with the
# platform layer, where FindResourceA finds them by name and type without
# regard to case. Names and types that are numbers become MAKEINTRESOURCE ids;
# the types ICON, BITMAP, CURSOR and RCDATA become RT_GROUP_ICON (the whole
# .ico file), RT_BITMAP, RT_GROUP_CURSOR and RT_RCDATA; other types stay text.
if(WIN32)
  enable_language(RC)
endif()

set(LUMO_RESOURCES_SCRIPT ${CMAKE_CURRENT_LIST_FILE})

function(lumo_target_resources target rc_file)
  get_filename_component(rc_path ${rc_file} ABSOLUTE)
  get_filename_component(rc_dir ${rc_path} DIRECTORY)
  if(WIN32)
    target_sources(${target} PRIVATE ${rc_path})
    # windres finds the files named in the .rc beside it.
    set_property(SOURCE ${rc_path} APPEND PROPERTY COMPILE_OPTIONS "--include-dir=${rc_dir}")
    return()
  endif()

  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${rc_path})
  _lumo_parse_rc(${rc_path} entries)
  set(files)
  foreach(entry IN LISTS entries)
    string(REPLACE "|" ";" fields "${entry}")
    list(GET fields 2 file)
    list(APPEND files ${file})
  endforeach()

  get_filename_component(rc_name ${rc_path} NAME_WE)
  set(output ${CMAKE_CURRENT_BINARY_DIR}/${target}_${rc_name}_resources.cpp)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DLUMO_RC_FILE=${rc_path} -DLUMO_RC_OUTPUT=${output} -DLUMO_RC_SYMBOL=${target}_${rc_name}
            -P ${LUMO_RESOURCES_SCRIPT}
    DEPENDS ${rc_path} ${files} ${LUMO_RESOURCES_SCRIPT}
    COMMENT "Embedding the resources of ${rc_file}"
    VERBATIM)
  target_sources(${target} PRIVATE ${output})
endfunction()

# Entries "<name>|<type>|<absolute file>" of the lines this format knows.
function(_lumo_parse_rc rc_path out_var)
  get_filename_component(rc_dir ${rc_path} DIRECTORY)
  file(STRINGS ${rc_path} lines)
  set(entries)
  foreach(line IN LISTS lines)
    if(line MATCHES "^[ \t]*([A-Za-z0-9_]+)[ \t]+([A-Za-z0-9_]+)[ \t]+\"([^\"]+)\"[ \t]*(//.*)?$")
      set(name ${CMAKE_MATCH_1})
      set(type ${CMAKE_MATCH_2})
      set(file ${CMAKE_MATCH_3})
      string(REPLACE "\\\\" "/" file "${file}")
      string(REPLACE "\\" "/" file "${file}")
      if(NOT IS_ABSOLUTE ${file})
        set(file ${rc_dir}/${file})
      endif()
      list(APPEND entries "${name}|${type}|${file}")
    endif()
  endforeach()
  set(${out_var} ${entries} PARENT_SCOPE)
endfunction()

# Script mode: writes the C++ source for one .rc file.
if(CMAKE_SCRIPT_MODE_FILE AND LUMO_RC_FILE)
  _lumo_parse_rc(${LUMO_RC_FILE} entries)
  string(MAKE_C_IDENTIFIER "${LUMO_RC_SYMBOL}" symbol)
  set(source "// Generated from ${LUMO_RC_FILE}; do not edit.\n#include \"lumo_native/EmbeddedResources.h\"\n\nnamespace {\n\n")
  set(records "")
  set(index 0)
  foreach(entry IN LISTS entries)
    string(REPLACE "|" ";" fields "${entry}")
    list(GET fields 0 name)
    list(GET fields 1 type)
    list(GET fields 2 file)
    if(NOT EXISTS ${file})
      message(FATAL_ERROR "${LUMO_RC_FILE}: no file ${file}")
    endif()
    file(READ ${file} hex HEX)
    string(LENGTH "${hex}" hex_length)
    math(EXPR size "${hex_length} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    # One line per 32 bytes keeps the generated source readable.
    string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){32})" "\\1\n  " bytes "${bytes}")
    if(size EQUAL 0)
      set(bytes "0")
    endif()
    string(APPEND source "const unsigned char Data${index}[] = {\n  ${bytes}\n};\n")

    string(TOUPPER "${type}" type_upper)
    set(type_text "nullptr")
    set(type_id 0)
    if(type MATCHES "^[0-9]+$")
      set(type_id ${type})
    elseif(type_upper STREQUAL "ICON")
      set(type_id 14)
    elseif(type_upper STREQUAL "CURSOR")
      set(type_id 12)
    elseif(type_upper STREQUAL "BITMAP")
      set(type_id 2)
    elseif(type_upper STREQUAL "RCDATA")
      set(type_id 10)
    else()
      set(type_text "\"${type_upper}\"")
    endif()
    set(name_text "nullptr")
    set(name_id 0)
    if(name MATCHES "^[0-9]+$")
      set(name_id ${name})
    else()
      string(TOUPPER "${name}" name_upper)
      set(name_text "\"${name_upper}\"")
    endif()
    string(APPEND records "    {${name_text}, ${name_id}, ${type_text}, ${type_id}, Data${index}, ${size}},\n")
    math(EXPR index "${index} + 1")
  endforeach()
  if(index EQUAL 0)
    string(APPEND source "}  // namespace\n")
  else()
    string(APPEND source "const lumo::platform::EmbeddedResource Records[] = {\n${records}};\n\n")
    string(APPEND source "struct Registration {\n  Registration() {\n    for (const auto& record : Records) lumo::platform::RegisterEmbeddedResource(&record);\n  }\n  ~Registration() {\n    for (const auto& record : Records) lumo::platform::UnregisterEmbeddedResource(&record);\n  }\n} TheRegistration;\n\n}  // namespace\n")
  endif()
  file(WRITE ${LUMO_RC_OUTPUT}.tmp "${source}")
  file(COPY_FILE ${LUMO_RC_OUTPUT}.tmp ${LUMO_RC_OUTPUT} ONLY_IF_DIFFERENT)
  file(REMOVE ${LUMO_RC_OUTPUT}.tmp)
endif()
