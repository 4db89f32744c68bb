# tovric_compiled_as_library(<target>): the compile settings of the
# libraries' sources: C++17, hidden visibility, position-independent code,
# warnings, the public headers (for the target and its users).
function(tovric_compiled_as_library target)
  set_target_properties(${target} PROPERTIES
    CXX_STANDARD 17
    CXX_STANDARD_REQUIRED ON
    CXX_EXTENSIONS OFF
    CXX_VISIBILITY_PRESET hidden
    C_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    # Static archives too, so that they can go into a user's shared library.
    POSITION_INDEPENDENT_CODE ON)
  # The public headers need C++17: users get it with the targets.
  target_compile_features(${target} PUBLIC cxx_std_17)
  target_include_directories(${target} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  target_link_libraries(${target} PRIVATE $<BUILD_INTERFACE:tovric_warnings>)
endfunction()

# tovric_library(<target> EXPORT_NAME <name> [OBJECTS] SOURCES ...) declares
# one of the family's libraries: shared with a versioned SONAME (or a static
# archive under BUILD_SHARED_LIBS=OFF), compiled as above. With OBJECTS the
# sources are compiled once into the object library <target>_objects, of
# which the library is made: tests that must reach the library's internal
# code link those objects, the very code the library ships.
function(tovric_library target)
  cmake_parse_arguments(ARG "OBJECTS" "EXPORT_NAME" "SOURCES" ${ARGN})
  if(ARG_OBJECTS)
    add_library(${target}_objects OBJECT ${ARG_SOURCES})
    tovric_compiled_as_library(${target}_objects)
    add_library(${target} $<TARGET_OBJECTS:${target}_objects>)
  else()
    add_library(${target} ${ARG_SOURCES})
  endif()
  add_library(tovric::${ARG_EXPORT_NAME} ALIAS ${target})
  tovric_compiled_as_library(${target})
  set_target_properties(${target} PROPERTIES
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR}
    EXPORT_NAME ${ARG_EXPORT_NAME}
    # The libraries find their siblings (the timer needs chrono) beside them,
    # by $ORIGIN, in the build tree as once installed: they are all built
    # into one directory, and the search path is final at build time. Had it
    # to be rewritten at install, CMake would pad the build tree's path with
    # empty entries, which the loader reads as the current directory.
    LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/lib
    BUILD_WITH_INSTALL_RPATH ON
    INSTALL_RPATH "$ORIGIN")
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "SHARED_LIBRARY")
    target_link_options(${target} PRIVATE -Wl,-z,noexecstack)
    if(NOT TOVRIC_SANITIZE)
      # Sanitizer runtimes are resolved by the executable, so only a plain
      # build can insist that the library resolves every symbol it uses.
      target_link_options(${target} PRIVATE -Wl,--no-undefined)
    endif()
  endif()
  set_property(GLOBAL APPEND PROPERTY TOVRIC_LIBRARIES ${target})
endfunction()
