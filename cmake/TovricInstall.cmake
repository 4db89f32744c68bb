# Installs the libraries, their headers, a CMake package (find_package(tovric)
# with components timer, velarn, context and chrono) and one pkg-config file
# per library. Two install components: "runtime" (the shared libraries) and
# "development" (everything else), which the Debian packages follow.
include(CMakePackageConfigHelpers)

get_property(_tovric_libs GLOBAL PROPERTY TOVRIC_LIBRARIES)
install(TARGETS ${_tovric_libs} EXPORT tovricTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    COMPONENT runtime NAMELINK_COMPONENT development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY include/tovric DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)

set(_tovric_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/tovric)
install(EXPORT tovricTargets NAMESPACE tovric:: DESTINATION ${_tovric_cmake_dir}
  COMPONENT development)
set(TOVRIC_COMPONENTS "")
foreach(lib IN LISTS _tovric_libs)
  get_target_property(name ${lib} EXPORT_NAME)
  list(APPEND TOVRIC_COMPONENTS ${name})
endforeach()
configure_package_config_file(cmake/tovricConfig.cmake.in
  ${PROJECT_BINARY_DIR}/tovricConfig.cmake INSTALL_DESTINATION ${_tovric_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/tovricConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/tovricConfig.cmake
  ${PROJECT_BINARY_DIR}/tovricConfigVersion.cmake
  DESTINATION ${_tovric_cmake_dir} COMPONENT development)

# The pkg-config files. With relative install directories (the usual case)
# they locate the prefix relative to themselves, so an installed tree can be
# moved or installed with --prefix; absolute directories (such as Debian's
# multiarch /usr/lib/x86_64-linux-gnu) are written as they are.
set(_tovric_pc_dir "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(TOVRIC_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  set(TOVRIC_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
else()
  file(RELATIVE_PATH TOVRIC_PC_PREFIX /root/${_tovric_pc_dir} /root)
  string(REGEX REPLACE "/$" "" TOVRIC_PC_PREFIX "\${pcfiledir}/${TOVRIC_PC_PREFIX}")
  set(TOVRIC_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
endif()
if(IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(TOVRIC_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")
else()
  set(TOVRIC_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
foreach(lib IN LISTS _tovric_libs)
  get_target_property(TOVRIC_PC_REQUIRES ${lib} TOVRIC_PC_REQUIRES)
  if(NOT TOVRIC_PC_REQUIRES)
    set(TOVRIC_PC_REQUIRES "")
  endif()
  get_target_property(TOVRIC_PC_DESCRIPTION ${lib} TOVRIC_PC_DESCRIPTION)
  set(TOVRIC_PC_NAME ${lib})
  configure_file(cmake/tovric.pc.in ${PROJECT_BINARY_DIR}/pkgconfig/${lib}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/${lib}.pc
    DESTINATION ${_tovric_pc_dir} COMPONENT development)
endforeach()
