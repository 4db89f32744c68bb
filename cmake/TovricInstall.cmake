# Installs the libraries, their headers, a CMake package (find_package(tovric))
# and one pkg-config file per library.
include(CMakePackageConfigHelpers)

get_property(_tovric_libs GLOBAL PROPERTY TOVRIC_LIBRARIES)
install(TARGETS ${_tovric_libs} EXPORT tovricTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY include/tovric DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(_tovric_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/tovric)
install(EXPORT tovricTargets NAMESPACE tovric:: DESTINATION ${_tovric_cmake_dir})
configure_package_config_file(cmake/tovricConfig.cmake.in
  ${PROJECT_BINARY_DIR}/tovricConfig.cmake INSTALL_DESTINATION ${_tovric_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/tovricConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/tovricConfig.cmake
  ${PROJECT_BINARY_DIR}/tovricConfigVersion.cmake DESTINATION ${_tovric_cmake_dir})

# The pkg-config files locate the prefix relative to themselves, so an
# installed tree can be moved or installed with --prefix.
file(RELATIVE_PATH TOVRIC_PC_PREFIX /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
string(REGEX REPLACE "/$" "" TOVRIC_PC_PREFIX "${TOVRIC_PC_PREFIX}")
foreach(lib IN LISTS _tovric_libs)
  get_target_property(TOVRIC_PC_REQUIRES ${lib} TOVRIC_PC_REQUIRES)
  if(NOT TOVRIC_PC_REQUIRES)
    set(TOVRIC_PC_REQUIRES "")
  endif()
  get_target_property(TOVRIC_PC_DESCRIPTION ${lib} TOVRIC_PC_DESCRIPTION)
  set(TOVRIC_PC_NAME ${lib})
  configure_file(cmake/tovric.pc.in ${PROJECT_BINARY_DIR}/pkgconfig/${lib}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/${lib}.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()
