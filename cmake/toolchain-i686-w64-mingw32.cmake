# SPDX-License-Identifier: MIT
# i686 Windows programs: the flavour we ship.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(LUMO_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
