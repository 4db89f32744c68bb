# Warning flags shared by every target of the project.
add_library(tovric_warnings INTERFACE)
target_compile_options(tovric_warnings INTERFACE
  $<$<COMPILE_LANGUAGE:C,CXX>:-Wall -Wextra>
  $<$<AND:$<BOOL:${TOVRIC_WERROR}>,$<COMPILE_LANGUAGE:C,CXX>>:-Werror>)
