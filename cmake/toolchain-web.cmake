# SPDX-License-Identifier: MIT
# WebAssembly through Debian's emscripten package (emcc 3.1.6 on clang 14):
# the programs become pages of a static site, the tests run under node.
find_file(LUMO_EMSCRIPTEN_TOOLCHAIN Emscripten.cmake
  PATHS $ENV{EMSCRIPTEN}/cmake/Modules/Platform /usr/share/emscripten/cmake/Modules/Platform
  NO_DEFAULT_PATH)
if(NOT LUMO_EMSCRIPTEN_TOOLCHAIN)
  message(FATAL_ERROR "No emscripten: install it with scripts/install-deps.sh (Debian's package emscripten)")
endif()
include(${LUMO_EMSCRIPTEN_TOOLCHAIN})

# emcc's JavaScript optimiser needs acorn, which Debian keeps in
# /usr/share/nodejs; a Node.js other than Debian's own does not look there.
set(CMAKE_C_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
