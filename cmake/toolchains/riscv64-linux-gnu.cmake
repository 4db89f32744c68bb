# Cross build for Linux on riscv64 with Debian's cross compilers
# (g++-riscv64-linux-gnu); programs of the build run under qemu-riscv64 (qemu-user)
# with the cross C library as their root for the dynamic loader.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR riscv64)
set(CMAKE_LIBRARY_ARCHITECTURE riscv64-linux-gnu)

set(CMAKE_C_COMPILER riscv64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER riscv64-linux-gnu-g++)
set(CMAKE_ASM_COMPILER riscv64-linux-gnu-gcc)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-riscv64;-L;/usr/riscv64-linux-gnu)

# Libraries and headers of the target only; programs of the host.
set(CMAKE_FIND_ROOT_PATH /usr/riscv64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
