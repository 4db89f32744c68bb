#!/bin/sh
# run_emulated.sh --qemu QEMU SYSROOT PROGRAM [ARGS...]
# The cross builds' emulator: runs PROGRAM, built for another processor,
# under qemu-user (QEMU, e.g. qemu-aarch64) with SYSROOT as the root of its
# loader and libraries. The program is told that its name (argv[0]) is this
# script, and the script keeps in the environment what it runs: so when the
# program executes itself again by argv[0] (GoogleTest's death tests do), the
# script is called with only the program's arguments and emulates it again.
set -eu
if [ "${1-}" = --qemu ]; then
  TOVRIC_EMULATOR=$2
  QEMU_LD_PREFIX=$3
  TOVRIC_EMULATED_PROGRAM=$4
  export TOVRIC_EMULATOR QEMU_LD_PREFIX TOVRIC_EMULATED_PROGRAM
  shift 4
fi
exec "$TOVRIC_EMULATOR" -0 "$0" "$TOVRIC_EMULATED_PROGRAM" "$@"
