# tovric_warnings: the options shared by every target of the project (the
# libraries, tests, examples, benchmarks and fuzzers): warnings, errors for
# them under TOVRIC_WERROR, and the sanitizers of TOVRIC_SANITIZE. Linked
# privately (and only in the build tree), so nothing of it reaches a user.
add_library(tovric_warnings INTERFACE)
target_compile_options(tovric_warnings INTERFACE
  $<$<COMPILE_LANGUAGE:C,CXX>:-Wall -Wextra -Wshadow>
  $<$<AND:$<BOOL:${TOVRIC_WERROR}>,$<COMPILE_LANGUAGE:C,CXX>>:-Werror>)
target_link_libraries(tovric_warnings INTERFACE tovric_sanitizers)
