# Cross build for Linux on riscv64 with Debian's cross compilers
# (g++-riscv64-linux-gnu); programs of the build run under qemu-riscv64 (qemu-user)
# with the cross C library as the root of their loader (run_emulated.sh).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR riscv64)
set(CMAKE_LIBRARY_ARCHITECTURE riscv64-linux-gnu)

set(CMAKE_C_COMPILER riscv64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER riscv64-linux-gnu-g++)
set(CMAKE_ASM_COMPILER riscv64-linux-gnu-gcc)
set(CMAKE_CROSSCOMPILING_EMULATOR
  ${CMAKE_CURRENT_LIST_DIR}/run_emulated.sh;--qemu;qemu-riscv64;/usr/riscv64-linux-gnu)

# Libraries, headers and packages of the target only (under the cross root
# and any root the builder adds); programs of the host.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/riscv64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
