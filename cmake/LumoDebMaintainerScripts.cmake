# SPDX-License-Identifier: MIT
# CPack post-build script: takes out of each Debian package the maintainer
# scripts CPack writes for any shared library under /usr/lib, which only run
# ldconfig. Our libraries live in the private /usr/lib/lumo and are found
# through RPATH, so the linker cache has nothing to learn; and a package
# without a postrm leaves no "config-files" entry in dpkg once removed.
# A script that does more than that stops the packaging.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.deb$")
    continue()
  endif()
  set(tree ${CPACK_TOPLEVEL_DIRECTORY}/maintainer-scripts)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb --raw-extract ${package} ${tree} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "cannot unpack ${package}")
  endif()
  set(changed FALSE)
  foreach(script postinst postrm)
    set(path ${tree}/DEBIAN/${script})
    if(NOT EXISTS ${path})
      continue()
    endif()
    file(STRINGS ${path} lines)
    list(FILTER lines EXCLUDE REGEX "^(#!/bin/sh|set -e|if \\[ \"\\$1\" = \"(configure|remove)\" \\]; then|[ \t]*ldconfig|fi|[ \t]*)$")
    if(lines)
      message(FATAL_ERROR "${package}: the ${script} does more than run ldconfig: ${lines}")
    endif()
    file(REMOVE ${path})
    set(changed TRUE)
  endforeach()
  if(changed)
    execute_process(COMMAND dpkg-deb --root-owner-group --build ${tree} ${package}
      OUTPUT_QUIET RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "cannot pack ${package} again")
    endif()
  endif()
  file(REMOVE_RECURSE ${tree})
endforeach()
