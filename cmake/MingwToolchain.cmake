# SPDX-License-Identifier: MIT
# Cross-compiles Windows programs with Debian's MinGW-w64. Included by the
# per-flavour toolchain files, which set LUMO_MINGW_PREFIX and the processor.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model: GoogleTest needs std::mutex, which the win32 model
# of Debian's compilers lacks.
if(EXISTS /usr/bin/${LUMO_MINGW_PREFIX}-g++-posix)
  set(CMAKE_C_COMPILER ${LUMO_MINGW_PREFIX}-gcc-posix)
  set(CMAKE_CXX_COMPILER ${LUMO_MINGW_PREFIX}-g++-posix)
else()
  set(CMAKE_C_COMPILER ${LUMO_MINGW_PREFIX}-gcc)
  set(CMAKE_CXX_COMPILER ${LUMO_MINGW_PREFIX}-g++)
endif()
set(CMAKE_RC_COMPILER ${LUMO_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${LUMO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The runtime goes into every program, so a program runs on a bare Windows.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
# The runner picks Wine's 32- or 64-bit loader from the program's header.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
