# tovric_sanitizers: the compile and link options of TOVRIC_SANITIZE, for
# every target that the project builds (through tovric_warnings, which each
# of them links). Empty when no sanitizer is asked for.
add_library(tovric_sanitizers INTERFACE)
if(TOVRIC_SANITIZE)
  set(_tovric_san "")
  foreach(s IN LISTS TOVRIC_SANITIZE)
    list(APPEND _tovric_san "-fsanitize=${s}")
  endforeach()
  target_compile_options(tovric_sanitizers INTERFACE
    $<$<COMPILE_LANGUAGE:C,CXX>:${_tovric_san};-fno-omit-frame-pointer>)
  if("undefined" IN_LIST TOVRIC_SANITIZE)
    target_compile_options(tovric_sanitizers INTERFACE
      $<$<COMPILE_LANGUAGE:C,CXX>:-fno-sanitize-recover=undefined>)
  endif()
  target_link_options(tovric_sanitizers INTERFACE ${_tovric_san})
endif()
