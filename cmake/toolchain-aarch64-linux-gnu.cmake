# SPDX-License-Identifier: MIT
# Linux on 64-bit ARM with Debian's cross toolchain (crossbuild-essential-arm64),
# against the arm64 libraries multiarch installs beside the host's
# (scripts/install-arm64.sh).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

# Only the arm64 .pc files: the host's would hand x86-64 libraries to the
# linker.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# Tests run through scripts/arm64-run.sh: under qemu-aarch64, with the arm64
# loader and libraries where multiarch puts them, in a private namespace
# whose binfmt_misc also hands the programs a test starts (death tests
# start themselves again) to qemu; directly on an aarch64 host.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/arm64-run.sh)
