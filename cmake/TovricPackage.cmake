# Debian packages, split as Debian splits libraries (`cpack -G DEB` in a
# build directory): libtovric1, the shared libraries (.so.1), and
# libtovric-dev, the headers, .so links, CMake and pkg-config files,
# depending on the exact same version of libtovric1. Configure with
# -DCMAKE_INSTALL_PREFIX=/usr to get Debian's multiarch library directory.
set(CPACK_PACKAGE_NAME tovric)
set(CPACK_PACKAGE_VENDOR "the tovric authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})

set(CPACK_DEB_COMPONENT_INSTALL ON)
if(BUILD_SHARED_LIBS)
  set(CPACK_COMPONENTS_ALL runtime development)
  set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)
else()
  # Static archives are development files only.
  set(CPACK_COMPONENTS_ALL development)
endif()
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "the tovric authors")
set(CPACK_DEBIAN_PACKAGE_SECTION libs)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libtovric${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "${PROJECT_DESCRIPTION} (shared libraries)")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libtovric-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
  "${PROJECT_DESCRIPTION} (headers, CMake and pkg-config files)")
# The runtime package registers its libraries (shlibs file, ldconfig trigger).
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY "=")
# The packages are for the processor the libraries are built for: CPack's
# default asks dpkg for the build machine's, which a cross build is not for.
if(CMAKE_CROSSCOMPILING)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
  elseif(CMAKE_SYSTEM_PROCESSOR STREQUAL "riscv64")
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE riscv64)
  elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
  endif()
endif()
# The C and C++ runtime dependencies, where dpkg-shlibdeps (dpkg-dev) can
# work them out: natively. A cross build's machine has no dpkg records of the
# target's C and C++ runtimes, so there the dependencies are named without
# versions.
find_program(TOVRIC_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(CMAKE_CROSSCOMPILING)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
elseif(TOVRIC_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
