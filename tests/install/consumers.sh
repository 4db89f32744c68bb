#!/usr/bin/env bash
# consumers.sh SCENARIO SOURCE_DIR BUILD_DIR WORK_DIR CC CXX SHARED
# Builds and runs the consumer project (tests/install/consumer) against tovric
# the way a user's project takes it, one scenario at a time:
#   package       BUILD_DIR installed into a prefix (no empty or relative
#                 library search path): find_package as a whole
#                 and by COMPONENTS (an unknown one must fail cleanly), a
#                 program asking for C++14, and the pkg-config files.
#   static        a static build (BUILD_SHARED_LIBS=OFF) installed: the same
#                 CMake package links archives; pkg-config --static too.
#   subdirectory  add_subdirectory of the source tree without GoogleTest: no
#                 tests configured, nothing of tovric in the user's install.
#   debian        a build for /usr: with the absolute multiarch libdir, the
#                 pkg-config files staged by DESTDIR; then the Debian
#                 packages, unpacked into a scratch root, used by find_package
#                 and pkg-config.
# Every program built must run and say "consumer ok".
# The environment describes the target: TOVRIC_MULTIARCH (its Debian
# multiarch tuple, default x86_64-linux-gnu) and, for a cross build,
# TOVRIC_TOOLCHAIN_FILE (given to every CMake configuration, with the work
# directory as a further find root) and TOVRIC_EMULATOR (the command that
# runs the target's programs).
set -euo pipefail
scenario=$1 source_dir=$2 build_dir=$3 work=$4/$1 cc=$5 cxx=$6 shared=$7
consumer=$source_dir/tests/install/consumer
multiarch=${TOVRIC_MULTIARCH:-x86_64-linux-gnu}
read -r -a emulator <<<"${TOVRIC_EMULATOR-}"
cross=()
if [[ -n ${TOVRIC_TOOLCHAIN_FILE-} ]]; then
  cross=(-DCMAKE_TOOLCHAIN_FILE="$TOVRIC_TOOLCHAIN_FILE" -DCMAKE_FIND_ROOT_PATH="$4")
fi

step() { printf '== %s\n' "$*"; }
fail() { printf 'FAILED: %s\n' "$*" >&2; exit 1; }

# run_ok PROGRAM: runs it and checks that it reports success.
run_ok() {
  local out
  out=$("${emulator[@]}" "$@") || fail "$* exited with $?"
  [[ $out == *"consumer ok"* ]] || fail "$* said: $out"
  printf '   %s: %s\n' "$(basename "$1")" "$out"
}

# build_tovric DIR ARGS...: the libraries alone, from the source tree.
build_tovric() {
  local dir=$1
  shift
  cmake -S "$source_dir" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "${cross[@]}" \
    -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
    -DTOVRIC_BUILD_TESTS=OFF -DTOVRIC_BUILD_EXAMPLES=OFF "$@" >"$dir.configure.log" ||
    { cat "$dir.configure.log"; fail "configuring tovric in $dir"; }
  cmake --build "$dir" -j 2 >"$dir.build.log" || { cat "$dir.build.log"; fail "building tovric"; }
}

# consumer_cmake DIR ARGS...: configures and builds the consumer project.
consumer_cmake() {
  local dir=$1
  shift
  cmake -S "$consumer" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "${cross[@]}" \
    -DCMAKE_CXX_COMPILER="$cxx" "$@" >"$dir.configure.log" 2>&1 ||
    { cat "$dir.configure.log"; fail "configuring the consumer in $dir"; }
  cmake --build "$dir" >"$dir.build.log" 2>&1 || { cat "$dir.build.log"; fail "building the consumer"; }
}

# consumer_pkg_config OUT PKG_CONFIG_ARGS...: compiles main.cpp with the flags
# pkg-config gives for the libraries (PKG_CONFIG_* set by the caller), and
# the flags in $link_extra (an rpath, say).
link_extra=()
consumer_pkg_config() {
  local out=$1
  shift
  local flags
  flags=$(pkg-config "$@" --cflags --libs tovric_timer tovric_velarn tovric_context) ||
    fail "pkg-config $*"
  printf '   pkg-config: %s\n' "$flags"
  # shellcheck disable=SC2086
  "$cxx" -std=c++17 "$consumer/main.cpp" $flags "${link_extra[@]}" -o "$out" ||
    fail "compiling with $flags"
}

rm -rf "$work"
mkdir -p "$work"
cd "$work"

case $scenario in
package)
  step "install $build_dir"
  cmake --install "$build_dir" --prefix "$work/prefix" >install.log
  mapfile -t installed_libraries < <(find "$work/prefix" -name 'libtovric_*.so.*')
  bash "$source_dir/tests/install/check_runpath.sh" "${installed_libraries[@]}" ||
    fail "search paths of the installed libraries"
  step "find_package(tovric 1 CONFIG REQUIRED), programs in C++17 and C++14"
  consumer_cmake whole -DCMAKE_PREFIX_PATH="$work/prefix"
  run_ok ./whole/consumer
  run_ok ./whole/consumer_cxx14
  step "find_package(... COMPONENTS timer velarn context)"
  consumer_cmake components -DCMAKE_PREFIX_PATH="$work/prefix" "-DTOVRIC_COMPONENTS=timer;velarn;context"
  run_ok ./components/consumer
  step "an unknown component fails with a message naming it"
  if cmake -S "$consumer" -B unknown -G Ninja "${cross[@]}" -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_PREFIX_PATH="$work/prefix" "-DTOVRIC_COMPONENTS=timer;nonesuch" >unknown.log 2>&1; then
    fail "COMPONENTS nonesuch was accepted"
  fi
  grep -q "tovric has no component nonesuch" unknown.log || { cat unknown.log; fail "no clear message"; }
  echo "   $(grep -m1 -o 'tovric has no component.*' unknown.log)"
  step "pkg-config, relative libdir"
  libdir=$(dirname "$(find "$work/prefix" -name 'tovric_timer.pc' -printf '%h')")
  if [[ $shared == ON ]]; then
    # The program finds the shared libraries through an rpath to the install.
    link_extra=(-Wl,-rpath,"$libdir")
    PKG_CONFIG_PATH=$libdir/pkgconfig consumer_pkg_config "$work/consumer-pc"
    link_extra=()
  else
    PKG_CONFIG_PATH=$libdir/pkgconfig consumer_pkg_config "$work/consumer-pc" --static
  fi
  run_ok ./consumer-pc
  ;;

static)
  step "static build, installed"
  build_tovric "$work/tovric" -DBUILD_SHARED_LIBS=OFF -DCMAKE_INSTALL_PREFIX="$work/prefix"
  cmake --install "$work/tovric" >install.log
  archives=$(find "$work/prefix" -name 'libtovric_*.a' | wc -l)
  [[ $archives == 4 ]] || fail "expected 4 archives, found $archives"
  [[ -z $(find "$work/prefix" -name 'libtovric_*.so*') ]] || fail "shared libraries in a static install"
  step "find_package links the archives"
  consumer_cmake whole -DCMAKE_PREFIX_PATH="$work/prefix"
  if readelf -d whole/consumer | grep -q 'NEEDED.*libtovric'; then fail "consumer needs a shared tovric"; fi
  run_ok ./whole/consumer
  run_ok ./whole/consumer_cxx14
  step "pkg-config --static"
  libdir=$(dirname "$(find "$work/prefix" -name 'tovric_timer.pc' -printf '%h')")
  PKG_CONFIG_PATH=$libdir/pkgconfig consumer_pkg_config "$work/consumer-pc" --static
  run_ok ./consumer-pc
  ;;

subdirectory)
  step "add_subdirectory, GoogleTest hidden from CMake"
  consumer_cmake build -DTOVRIC_SOURCE_DIR="$source_dir" -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON \
    -DCMAKE_C_COMPILER="$cc" -DCMAKE_INSTALL_PREFIX="$work/prefix"
  run_ok ./build/consumer
  if grep -rqs 'add_test' build/tovric/CTestTestfile.cmake; then fail "tovric's tests were configured"; fi
  step "the user's install holds the user's programs only"
  cmake --install build >install.log
  installed=$(cd prefix && find . -type f | sort)
  printf '   installed: %s\n' "$(echo $installed)"
  [[ $installed == $'./bin/consumer\n./bin/consumer_cxx14' ]] || fail "unexpected files installed"
  ;;

debian)
  for tool in dpkg-deb dpkg-shlibdeps dpkg-architecture file pkg-config; do
    command -v "$tool" >/dev/null || { echo "SKIPPED: $tool not found (Debian packaging tools)"; exit 0; }
  done
  step "build for /usr with CMAKE_INSTALL_LIBDIR=/usr/lib/$multiarch (absolute)"
  build_tovric "$work/tovric" -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_INSTALL_LIBDIR=/usr/lib/$multiarch
  DESTDIR=$work/staged cmake --install "$work/tovric" >install.log
  pc=$work/staged/usr/lib/$multiarch/pkgconfig/tovric_timer.pc
  grep -qx "libdir=/usr/lib/$multiarch" "$pc" || { cat "$pc"; fail "libdir in $pc"; }
  grep -qx "includedir=\${prefix}/include" "$pc" && grep -qx "prefix=/usr" "$pc" || { cat "$pc"; fail "prefix in $pc"; }
  step "pkg-config consumer of the staged tree"
  PKG_CONFIG_SYSROOT_DIR=$work/staged PKG_CONFIG_LIBDIR=$work/staged/usr/lib/$multiarch/pkgconfig \
    consumer_pkg_config "$work/consumer-staged"
  LD_LIBRARY_PATH=$work/staged/usr/lib/$multiarch run_ok ./consumer-staged

  step "Debian packages (GNUInstallDirs' multiarch libdir)"
  cmake "$work/tovric" -DCMAKE_INSTALL_LIBDIR=lib/$multiarch >>"$work/tovric.configure.log"
  cmake --build "$work/tovric" >>"$work/tovric.build.log"
  (cd "$work/tovric" && cpack -G DEB >"$work/cpack.log") || { cat "$work/cpack.log"; fail "cpack"; }
  runtime=$(echo "$work"/tovric/libtovric1_*.deb)
  dev=$(echo "$work"/tovric/libtovric-dev_*.deb)
  [[ -f $runtime && -f $dev ]] || { ls "$work/tovric"; fail "expected libtovric1 and libtovric-dev"; }
  printf '   %s\n' "$(basename "$runtime")" "$(basename "$dev")"
  # Both packages are for the processor the libraries were built for.
  deb_arch=$(dpkg-architecture -t "$multiarch" -qDEB_HOST_ARCH 2>/dev/null)
  for deb in "$runtime" "$dev"; do
    [[ $(dpkg-deb -f "$deb" Architecture) == "$deb_arch" ]] ||
      fail "$(basename "$deb") is for $(dpkg-deb -f "$deb" Architecture), not $deb_arch"
  done
  # The runtime package holds the shared libraries and nothing to build with.
  runtime_files=$(dpkg-deb -c "$runtime" | awk '$1 !~ /^d/ { print $6 }' | sort)
  expected_runtime=$(for l in chrono context timer velarn; do
    printf './usr/lib/%s/libtovric_%s.so.1\n./usr/lib/%s/libtovric_%s.so.1.0.0\n' \
      $multiarch $l $multiarch $l; done | sort)
  [[ $runtime_files == "$expected_runtime" ]] || { echo "$runtime_files"; fail "runtime package contents"; }
  dev_files=$(dpkg-deb -c "$dev" | awk '$1 !~ /^d/ { print $6 }')
  for f in ./usr/include/tovric/timer/timer.hpp ./usr/lib/$multiarch/libtovric_timer.so \
    ./usr/lib/$multiarch/cmake/tovric/tovricConfig.cmake ./usr/lib/$multiarch/pkgconfig/tovric_timer.pc; do
    grep -qx -- "$f" <<<"$dev_files" || { echo "$dev_files"; fail "$f not in the -dev package"; }
  done
  if grep -q '\.so\.1' <<<"$dev_files"; then fail "the -dev package holds a runtime library"; fi
  depends=$(dpkg-deb -f "$dev" Depends)
  [[ $depends == *"libtovric1 (= "* ]] || fail "libtovric-dev depends on: $depends"
  printf '   libtovric-dev Depends: %s\n   libtovric1 Depends: %s\n' "$depends" "$(dpkg-deb -f "$runtime" Depends)"
  dpkg-deb -x "$runtime" root
  dpkg-deb -x "$dev" root
  bash "$source_dir/tests/install/check_runpath.sh" root/usr/lib/$multiarch/libtovric_*.so.1.0.0 ||
    fail "search paths of the packaged libraries"
  step "find_package consumer of the unpacked packages"
  consumer_cmake deb -DCMAKE_PREFIX_PATH="$work/root/usr" "-DTOVRIC_COMPONENTS=timer;velarn;context;chrono"
  run_ok ./deb/consumer
  step "pkg-config consumer of the unpacked packages"
  PKG_CONFIG_PATH=$work/root/usr/lib/$multiarch/pkgconfig consumer_pkg_config "$work/consumer-pc"
  LD_LIBRARY_PATH=$work/root/usr/lib/$multiarch run_ok ./consumer-pc
  ;;

*)
  fail "unknown scenario $scenario"
  ;;
esac
echo "consumers ($scenario): all built and ran"
