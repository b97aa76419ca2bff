# SPDX-License-Identifier: MIT
# `cmake --install` lays out the demos so that they run from any prefix, and
# the library so that another project can use it through find_package(Lumo)
# and link Lumo::graphics.
#
#   bin/                      fumes, twistview
#   lib/lumo/                 liblumo_platform.so and the codec module GdiPlus.dll
#                             (private: found through RPATH $ORIGIN/../lib/lumo
#                             and by LoadLibraryA, which looks there too)
#   share/applications/, share/icons/hicolor/   desktop entries and icons
#   include/lumo/, lib/liblumo_graphics.a, lib/cmake/Lumo/   the library
#
# Components: "demos" is what runs the programs, "lumo_dev" what builds
# against the library (it needs "demos" for the platform library).
include(CMakePackageConfigHelpers)

set(LUMO_PRIVATE_LIBDIR lib/lumo)

set_target_properties(lumo_graphics PROPERTIES EXPORT_NAME graphics)
set_target_properties(lumo_platform PROPERTIES EXPORT_NAME platform)
install(TARGETS lumo_graphics lumo_platform EXPORT LumoTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT lumo_dev
  LIBRARY DESTINATION ${LUMO_PRIVATE_LIBDIR} COMPONENT demos
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT demos
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/lumo COMPONENT lumo_dev)
# LumoBlend.h declares its row kernels through this one kernel header.
install(FILES ${PROJECT_SOURCE_DIR}/graphics/kernels/AvgRow.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/lumo/kernels
  COMPONENT lumo_dev)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/platform/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/lumo
  COMPONENT lumo_dev FILES_MATCHING PATTERN "*.h")
install(EXPORT LumoTargets NAMESPACE Lumo:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Lumo COMPONENT lumo_dev)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/LumoConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/LumoConfig.cmake INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Lumo)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/LumoConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/LumoConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/LumoConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Lumo COMPONENT lumo_dev)

# The codec module sits beside the platform library it links.
if(TARGET lumo_gdiplus)
  set_target_properties(lumo_gdiplus PROPERTIES INSTALL_RPATH "$ORIGIN")
  install(TARGETS lumo_gdiplus LIBRARY DESTINATION ${LUMO_PRIVATE_LIBDIR} COMPONENT demos)
endif()

foreach(program fumes twistview)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT demos)
  endif()
endforeach()
