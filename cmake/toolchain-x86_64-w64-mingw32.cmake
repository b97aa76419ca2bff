# SPDX-License-Identifier: MIT
# x86-64 Windows programs: run under Wine's 64-bit loader where a host
# executes no 32-bit code.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(LUMO_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
