#!/usr/bin/env bash
# ./build.sh examples   install what is missing, build, run the example programs
# ./build.sh test       install what is missing, build, run the whole test suite
# ./build.sh ci-tools   install what .ci/run adds to the test suite (no build)
# ./build.sh aarch64    install the cross tools, cross-build, run the suite under qemu-aarch64
# ./build.sh riscv64    install the cross tools, cross-build, run the suite under qemu-riscv64
#
# On Debian 12 or 13 (as root, or through sudo) it first installs the Debian
# packages that the command needs and the machine lacks, saying which, and
# reads the package lists first if the machine has none. Nothing else is
# downloaded. Then it runs the CMake presets (CMakePresets.json):
#   examples:  cmake --preset default && cmake --build --preset default --target run_examples
#   test:      cmake --workflow --preset test
#   aarch64, riscv64: cmake --workflow --preset aarch64 (riscv64)
# TOVRIC_WERROR=ON in the environment turns compiler warnings into errors.
set -euo pipefail
cd "$(dirname "$0")"

usage() {
  sed -n '2,6s/^# //p' "$0" >&2
  exit 2
}
[[ $# == 1 ]] || usage
command=$1

# What building and running the examples needs; the test suite adds valgrind
# (the context workloads run under it), binutils (readelf, for the exported
# symbols and search paths), the Debian packaging tools that the package
# test uses and qemu-user (the UTF conversions run on an emulated CPU
# without AVX). .ci/run's other builds add clang and its sanitizer and libFuzzer
# runtime, Google Benchmark and utfcpp (the benchmarks and a comparator). The
# cross builds add Debian's cross compilers; GoogleTest is built from the
# sources that libgtest-dev installs.
packages=(cmake ninja-build g++ pkg-config libgtest-dev)
case $command in
  examples) ;;
  test) packages+=(valgrind binutils file dpkg-dev qemu-user) ;;
  ci-tools) packages=(clang libbenchmark-dev libutfcpp-dev) ;;
  aarch64 | riscv64) packages+=(binutils file dpkg-dev qemu-user "g++-$command-linux-gnu") ;;
  *) usage ;;
esac

started=$SECONDS

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

as_root() {
  if [[ $EUID == 0 ]]; then
    "$@"
  elif command -v sudo >/dev/null; then
    sudo "$@"
  else
    echo "build.sh: installing needs root: run it as root or install sudo" >&2
    exit 1
  fi
}

have_package_lists() {
  compgen -G '/var/lib/apt/lists/*_Packages*' >/dev/null
}

apt_update() {
  echo "== reading Debian's package lists (apt-get update)"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
}

# clang's runtime for the sanitizers and libFuzzer is packaged per clang
# version (14 on Debian 12, 19 on Debian 13): the one of the clang that the
# machine has or will get.
clang_runtime_package() {
  local major=""
  if command -v clang >/dev/null; then
    major=$(clang -dumpversion | cut -d. -f1)
  else
    major=$(apt-cache depends clang 2>/dev/null | sed -n 's/.*Depends: clang-\([0-9][0-9]*\)$/\1/p' | head -n 1)
  fi
  [[ -n $major ]] && echo "libclang-rt-$major-dev"
}

install_missing() {
  if ! command -v dpkg-query >/dev/null || ! command -v apt-get >/dev/null; then
    echo "== not a Debian system: make sure these (or their equivalents) are installed:"
    echo "   ${packages[*]}"
    return
  fi
  if [[ $command == ci-tools ]]; then
    if ! installed clang && ! have_package_lists; then apt_update; fi
    local rt
    rt=$(clang_runtime_package) || true
    if [[ -z $rt ]]; then
      apt_update
      rt=$(clang_runtime_package) || { echo "build.sh: no clang package found" >&2; exit 1; }
    fi
    packages+=("$rt")
  fi
  local missing=()
  for p in "${packages[@]}"; do
    installed "$p" || missing+=("$p")
  done
  if ((${#missing[@]} == 0)); then
    return
  fi
  echo "== installing ${missing[*]}"
  have_package_lists || apt_update
  local install=(env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends)
  if ! as_root "${install[@]}" "${missing[@]}"; then
    # The lists may be too old for the archive: read them again, once.
    apt_update
    as_root "${install[@]}" "${missing[@]}"
  fi
}

install_missing

case $command in
  examples)
    cmake --preset default
    cmake --build --preset default --target run_examples
    ;;
  test)
    cmake --workflow --preset test
    ;;
  aarch64 | riscv64)
    cmake --workflow --preset "$command"
    ;;
  ci-tools) ;;
esac
echo "== build.sh $command: done in $((SECONDS - started)) s"
