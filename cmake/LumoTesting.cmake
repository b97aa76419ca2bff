# SPDX-License-Identifier: MIT
# Unit tests: GoogleTest natively, and the same sources as PE32 programs run
# under Wine when cross-compiling for Windows.
include(GoogleTest)

if(CMAKE_CROSSCOMPILING)
  if(NOT TARGET gtest)
    # Debian ships GoogleTest's sources; build them with the cross compiler.
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  endif()
  set(LUMO_GTEST_MAIN gtest_main)
  set(LUMO_GMOCK gmock)
  set(LUMO_WINE_RUNNER ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh)
else()
  find_package(GTest REQUIRED)
  set(LUMO_GTEST_MAIN GTest::gtest_main)
  set(LUMO_GMOCK GTest::gmock)
endif()

# lumo_add_gtest(<name> SOURCES ... [LIBS ...] [ENVIRONMENT ...] [WINE_ONLY|NATIVE_ONLY] [TIMEOUT s]
#                [LABELS ...])
# Natively every test case becomes its own ctest test; under Wine one ctest
# test runs a whole program (starting Wine once per case would be slow).
function(lumo_add_gtest name)
  cmake_parse_arguments(ARG "NATIVE_ONLY;WINE_ONLY" "TIMEOUT" "SOURCES;LIBS;ENVIRONMENT;LABELS" ${ARGN})
  if(ARG_NATIVE_ONLY AND CMAKE_CROSSCOMPILING)
    return()
  endif()
  if(ARG_WINE_ONLY AND NOT CMAKE_CROSSCOMPILING)
    return()
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} ${LUMO_GTEST_MAIN} ${LUMO_GMOCK})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  lumo_target_warnings(${name})
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${LUMO_WINE_RUNNER} $<TARGET_FILE:${name}>)
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT
      "LUMO_WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix;${ARG_ENVIRONMENT}")
  else()
    # Only the properties given: an empty value would swallow the next name.
    set(properties TIMEOUT ${ARG_TIMEOUT})
    if(ARG_ENVIRONMENT)
      list(APPEND properties ENVIRONMENT "${ARG_ENVIRONMENT}")
    endif()
    if(ARG_LABELS)
      list(APPEND properties LABELS "${ARG_LABELS}")
    endif()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
  endif()
endfunction()
