# `cmake --install` lays out the library so that another project can use it
# through find_package(Lumo) and link Lumo::graphics.
include(CMakePackageConfigHelpers)

# Everything a consumer needs is in the component "lumo_dev".
set_target_properties(lumo_graphics PROPERTIES EXPORT_NAME graphics)
set_target_properties(lumo_platform PROPERTIES EXPORT_NAME platform)
install(TARGETS lumo_graphics lumo_platform EXPORT LumoTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT lumo_dev
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT lumo_dev
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT lumo_dev
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/lumo COMPONENT lumo_dev)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/platform/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/lumo
  COMPONENT lumo_dev FILES_MATCHING PATTERN "*.h" PATTERN "lumo_test" EXCLUDE)
install(EXPORT LumoTargets NAMESPACE Lumo:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Lumo COMPONENT lumo_dev)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/LumoConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/LumoConfig.cmake INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Lumo)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/LumoConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/LumoConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/LumoConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Lumo COMPONENT lumo_dev)
