# SPDX-License-Identifier: MIT
# Unit tests: GoogleTest natively, and the same sources as PE32 programs run
# under Wine when cross-compiling for Windows, as WebAssembly run under node
# for the web, or as programs for another Linux processor run under its
# emulator (CMAKE_CROSSCOMPILING_EMULATOR, which ctest puts before them).
include(GoogleTest)

if(CMAKE_CROSSCOMPILING)
  if(NOT TARGET gtest)
    # Debian ships GoogleTest's sources; build them with the cross compiler.
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    # The web's programs have one thread.
    set(gtest_disable_pthreads ${EMSCRIPTEN} CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  endif()
  set(LUMO_GTEST_MAIN gtest_main)
  set(LUMO_GMOCK gmock)
  if(EMSCRIPTEN)
    # Node reads the .wasm from the disk only without its own fetch().
    find_program(LUMO_NODE NAMES node nodejs REQUIRED)
    set(LUMO_TEST_RUNNER ${LUMO_NODE} --no-experimental-fetch)
  elseif(WIN32)
    set(LUMO_TEST_RUNNER ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh)
  elseif(NOT CMAKE_CROSSCOMPILING_EMULATOR)
    message(FATAL_ERROR "Cross-compiled tests need CMAKE_CROSSCOMPILING_EMULATOR to run them")
  endif()
else()
  find_package(GTest REQUIRED)
  set(LUMO_GTEST_MAIN GTest::gtest_main)
  set(LUMO_GMOCK GTest::gmock)
endif()

# lumo_add_gtest(<name> SOURCES ... [LIBS ...] [ENVIRONMENT ...] [WINE_ONLY|NATIVE_ONLY|NOT_WEB]
#                [WEB_EXCLUDE <gtest pattern>] [TIMEOUT s] [LABELS ...])
# Natively every test case becomes its own ctest test; under Wine, node and
# an emulator one ctest test runs a whole program (starting Wine or qemu once
# per case would be slow). NATIVE_ONLY tests need our Linux layer (also when
# cross-compiled for another processor), WINE_ONLY ones Windows. Under node the cases matching WEB_EXCLUDE are left out: what
# needs a browser's page is tested in the browser.
function(lumo_add_gtest name)
  cmake_parse_arguments(ARG "NATIVE_ONLY;WINE_ONLY;NOT_WEB" "TIMEOUT;WEB_EXCLUDE" "SOURCES;LIBS;ENVIRONMENT;LABELS"
    ${ARGN})
  if(ARG_NATIVE_ONLY AND (WIN32 OR EMSCRIPTEN))
    return()
  endif()
  if(ARG_WINE_ONLY AND NOT WIN32)
    return()
  endif()
  if(ARG_NOT_WEB AND EMSCRIPTEN)
    return()
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} ${LUMO_GTEST_MAIN} ${LUMO_GMOCK})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  lumo_target_warnings(${name})
  if(EMSCRIPTEN)
    target_link_options(${name} PRIVATE -sENVIRONMENT=node)
    set(filter)
    if(ARG_WEB_EXCLUDE)
      set(filter --gtest_filter=-${ARG_WEB_EXCLUDE})
    endif()
    add_test(NAME ${name} COMMAND ${LUMO_TEST_RUNNER} $<TARGET_FILE:${name}> ${filter})
    # A main that has waited for the browser (Asyncify) loses its result on
    # the way out: the verdict is read from GoogleTest's own summary too.
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "${ARG_ENVIRONMENT}"
      PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] [0-9]+ tests?\\." FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]")
    return()
  elseif(WIN32)
    add_test(NAME ${name} COMMAND ${LUMO_TEST_RUNNER} $<TARGET_FILE:${name}>)
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT
      "LUMO_WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix;${ARG_ENVIRONMENT}")
    return()
  endif()
  # Only the properties given: an empty value would swallow the next name.
  set(properties TIMEOUT ${ARG_TIMEOUT})
  if(ARG_ENVIRONMENT)
    list(APPEND properties ENVIRONMENT "${ARG_ENVIRONMENT}")
  endif()
  if(ARG_LABELS)
    list(APPEND properties LABELS "${ARG_LABELS}")
  endif()
  if(CMAKE_CROSSCOMPILING)
    # The target's name: ctest puts the emulator before it.
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ${properties})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
  endif()
endfunction()
