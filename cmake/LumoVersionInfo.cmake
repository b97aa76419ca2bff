# SPDX-License-Identifier: MIT
# lumo_target_version_info(<target> <description>)
#
# Gives a Windows program its version resource (VERSIONINFO): product name,
# file description, the project's version and the copyright. Elsewhere it
# does nothing; the native programs answer --version instead.
set(LUMO_VERSION_INFO_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/VersionInfo.rc.in)

function(lumo_target_version_info target description)
  if(NOT WIN32)
    return()
  endif()
  # The file's name, when it is not <target>.exe: lumo_target_version_info(
  # <target> <description> <program> <file name>).
  set(LUMO_PROGRAM ${target})
  set(LUMO_FILE_NAME ${target}.exe)
  if(ARGC GREATER 3)
    set(LUMO_PROGRAM ${ARGV2})
    set(LUMO_FILE_NAME ${ARGV3})
  endif()
  set(LUMO_DESCRIPTION "${description}")
  # VERSIONINFO's numeric form has four parts.
  set(parts ${PROJECT_VERSION_MAJOR} ${PROJECT_VERSION_MINOR} ${PROJECT_VERSION_PATCH} ${PROJECT_VERSION_TWEAK})
  list(TRANSFORM parts REPLACE "^$" "0")
  list(JOIN parts "," LUMO_VERSION_NUMBERS)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${LUMO_VERSION_INFO_TEMPLATE} ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
