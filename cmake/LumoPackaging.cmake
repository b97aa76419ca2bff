# SPDX-License-Identifier: MIT
# Desktop integration of the native demos (menu entries, icons drawn by the
# same scripts as the Windows icons, package documents) and the Debian
# packages made from the install components by CPack:
#   lumo-demos  component "demos": programs, private libraries, desktop files
#   lumo-dev    component "lumo_dev": headers, static library, CMake config
# scripts/package.sh drives it; `cpack -G DEB` in a build tree works too.
if(WIN32 OR NOT PROJECT_IS_TOP_LEVEL)
  return()
endif()

set(LUMO_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(LUMO_DEB_MAINTAINER "Lumo developers <developers@lumo.example.org>" CACHE STRING
  "Maintainer named in the Debian packages")

# Documents are installed compressed, as Debian wants them; these are the
# outputs of lumo_package_docs.
set(LUMO_COMPRESSED_DOCS)
function(lumo_gzip input output)
  get_filename_component(dir ${output} DIRECTORY)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND gzip -9nc ${input} > ${output}
    DEPENDS ${input})
  set(LUMO_COMPRESSED_DOCS ${LUMO_COMPRESSED_DOCS} ${output} PARENT_SCOPE)
endfunction()

if(TARGET twistview AND TARGET fumes)
  find_package(Python3 COMPONENTS Interpreter)
  if(Python3_FOUND)
    set(icon_scripts twistview ${PROJECT_SOURCE_DIR}/twistview/make_icon.py
                     fumes ${PROJECT_SOURCE_DIR}/fumes/tools/make_icon.py)
    set(icons)
    foreach(size 32 48 128 256)
      set(pairs ${icon_scripts})
      while(pairs)
        list(POP_FRONT pairs program script)
        set(icon ${CMAKE_BINARY_DIR}/icons/${size}x${size}/${program}.png)
        add_custom_command(OUTPUT ${icon}
          COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
          COMMAND ${Python3_EXECUTABLE} ${script} --png ${size} ${icon}
          DEPENDS ${script}
          COMMENT "Drawing the ${size} px icon of ${program}"
          VERBATIM)
        list(APPEND icons ${icon})
        install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps
          COMPONENT demos)
      endwhile()
    endforeach()
    add_custom_target(lumo_icons ALL DEPENDS ${icons})
  else()
    message(WARNING "No Python 3: the installed demos get no desktop icons")
  endif()
  install(FILES ${LUMO_PACKAGING_DIR}/linux/twistview.desktop ${LUMO_PACKAGING_DIR}/linux/fumes.desktop
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications COMPONENT demos)
  # As X screensaver hacks: the program itself under xscreensaver's folder
  # (a link), its settings description, and an entry for other screensaver
  # frameworks.
  foreach(program fumes twistview)
    install(CODE "file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver\")
      file(CREATE_LINK ../../${CMAKE_INSTALL_BINDIR}/${program}
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver/${program}\" SYMBOLIC)"
      COMPONENT demos)
    install(FILES ${LUMO_PACKAGING_DIR}/linux/${program}.xml
      DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/xscreensaver/config COMPONENT demos)
    install(FILES ${LUMO_PACKAGING_DIR}/linux/screensavers/${program}.desktop
      DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications/screensavers COMPONENT demos)
  endforeach()
  foreach(program fumes twistview)
    lumo_gzip(${LUMO_PACKAGING_DIR}/linux/${program}.6 ${CMAKE_BINARY_DIR}/package-docs/man/${program}.6.gz)
    install(FILES ${CMAKE_BINARY_DIR}/package-docs/man/${program}.6.gz
      DESTINATION ${CMAKE_INSTALL_MANDIR}/man6 COMPONENT demos)
  endforeach()
endif()

# Each package carries the same machine-readable copyright file (our MIT
# licence, the pictures' terms) and a changelog.
string(TIMESTAMP LUMO_DEB_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(LUMO_DEB_VERSION ${PROJECT_VERSION})
foreach(component_package demos:lumo-demos lumo_dev:lumo-dev)
  string(REPLACE ":" ";" pair ${component_package})
  list(GET pair 0 component)
  list(GET pair 1 LUMO_DEB_PACKAGE)
  set(doc_dir ${CMAKE_BINARY_DIR}/package-docs/${LUMO_DEB_PACKAGE})
  configure_file(${LUMO_PACKAGING_DIR}/debian/changelog.in ${doc_dir}/changelog @ONLY)
  lumo_gzip(${doc_dir}/changelog ${doc_dir}/changelog.gz)
  install(FILES ${LUMO_PACKAGING_DIR}/debian/copyright ${doc_dir}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${LUMO_DEB_PACKAGE} COMPONENT ${component})
endforeach()
add_custom_target(lumo_package_docs ALL DEPENDS ${LUMO_COMPRESSED_DOCS})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumo-demos)
set(CPACK_PACKAGE_VENDOR "Lumo")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${LUMO_DEB_MAINTAINER}")
# Each package's synopsis is the first line of its own description; CPack
# leaves the common summary out only while it is CPack's default.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL demos lumo_dev)
set(CPACK_COMPONENT_LUMO_DEV_DEPENDS demos)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${LUMO_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# A cross build's packages are for its target, not for the machine building
# them (CPack would ask dpkg for that one).
if(CMAKE_CROSSCOMPILING AND CMAKE_LIBRARY_ARCHITECTURE)
  execute_process(COMMAND dpkg-architecture -t ${CMAKE_LIBRARY_ARCHITECTURE} -qDEB_HOST_ARCH
    OUTPUT_VARIABLE LUMO_DEB_ARCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT LUMO_DEB_ARCH)
    message(FATAL_ERROR "dpkg-architecture names no Debian architecture for ${CMAKE_LIBRARY_ARCHITECTURE}")
  endif()
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${LUMO_DEB_ARCH})
endif()
# Dependencies come from the ELF files; the platform library is found in
# the build tree, as it is private to the package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
# No maintainer scripts: CPack's would only run ldconfig for the private
# libraries.
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/LumoDebMaintainerScripts.cmake)

set(CPACK_DEBIAN_DEMOS_PACKAGE_NAME lumo-demos)
set(CPACK_DEBIAN_DEMOS_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_DEMOS_PACKAGE_SHLIBDEPS ON)
# The save dialog of fumes runs zenity.
set(CPACK_DEBIAN_DEMOS_PACKAGE_DEPENDS "zenity")
set(CPACK_DEBIAN_DEMOS_DESCRIPTION "software-rendered graphics demos: twistview and fumes
twistview shows one of two embedded greyscale photographs, tiled without
end, turning and zooming about the window centre, with an optional bilinear
filter and a feedback blend.

fumes shows rising, fading smoke on an 8-bit palette surface: draw into it
with the mouse, switch between two colour schemes and save the picture as a
BMP file.

Both programs render every frame in software. They come with desktop
entries and icons.")

set(CPACK_DEBIAN_LUMO_DEV_PACKAGE_NAME lumo-dev)
set(CPACK_DEBIAN_LUMO_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_LUMO_DEV_DESCRIPTION "surface library of the Lumo demos (development files)
Headers, the static surface library and the CMake package configuration for
building programs on the library of the twistview and fumes demos: use
find_package(Lumo) and link Lumo::graphics.")

include(CPack)
