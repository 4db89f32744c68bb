// main() of the test program that runs the UTF conversion and console tests
// on one vector level, chosen at run time: --simd-level=scalar, sse2 or
// avx2. The program links the library's own compiled objects, so that the
// level reaches both convert_buffer (compiled here) and the library's
// decoder. Where the CPU lacks the level, the program says so and exits
// with 77, which CTest counts as skipped.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tovric/velarn/detail/simd_level.hpp"
#include "utf8_decode.hpp"

namespace utf = tovric::velarn::utf;

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  const struct {
    const char* name;
    utf::detail::simd_level level;
  } levels[] = {{"scalar", utf::detail::simd_level::scalar},
                {"sse2", utf::detail::simd_level::sse2},
                {"avx2", utf::detail::simd_level::avx2}};
  const std::string chosen = argc == 2 ? argv[1] : "";
  for (const auto& l : levels) {
    if (chosen == std::string("--simd-level=") + l.name) {
      if (!utf::detail::use_simd_level(l.level)) {
        std::printf("skipped: this CPU has no %s\n", l.name);
        return 77;
      }
      // Both conversions must now take the chosen path.
      if (utf::detail::current_simd_level() != l.level ||
          tovric::velarn::detail::decoder_simd_level() != l.level) {
        std::fprintf(stderr, "the conversions do not take the %s path that was chosen\n", l.name);
        return 1;
      }
      return RUN_ALL_TESTS();
    }
  }
  std::fprintf(stderr, "usage: %s [gtest options] --simd-level=scalar|sse2|avx2\n", argv[0]);
  return 2;
}
