# `cmake --install` lays out the library so that another project can use it
# through find_package(Lumo) and link Lumo::graphics.
include(CMakePackageConfigHelpers)

install(TARGETS lumo_graphics lumo_platform EXPORT LumoTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/lumo)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/platform/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/lumo
  FILES_MATCHING PATTERN "*.h")
install(EXPORT LumoTargets NAMESPACE Lumo:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Lumo)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/LumoConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/LumoConfig.cmake INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Lumo)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/LumoConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/LumoConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/LumoConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Lumo)
