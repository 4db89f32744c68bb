// main() of the test program that runs the UTF conversion and console tests
// on one vector level, chosen at run time: --simd-level=<name> with a name
// of the level table (scalar, sse2, avx2, avx512, neon). The program links the
// library's own compiled objects, so that the level reaches both
// convert_buffer (compiled here) and the library's decoder. Where the CPU
// lacks the level, the program says so and exits with 77, which CTest
// counts as skipped.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "tovric/velarn/detail/simd_level.hpp"
#include "utf8_decode.hpp"

namespace utf = tovric::velarn::utf;

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  const char prefix[] = "--simd-level=";
  const utf::detail::simd_level_entry* chosen = nullptr;
  if (argc == 2 && std::strncmp(argv[1], prefix, sizeof prefix - 1) == 0) {
    chosen = utf::detail::find_simd_level(argv[1] + sizeof prefix - 1);
  }
  if (chosen == nullptr) {
    std::fprintf(stderr, "usage: %s [gtest options] --simd-level=<name>; names:", argv[0]);
    for (const auto& e : utf::detail::simd_levels) std::fprintf(stderr, " %s", e.name);
    std::fprintf(stderr, "\n");
    return 2;
  }
  if (!utf::detail::use_simd_level(chosen->level)) {
    std::printf("skipped: the %s level needs %s, which this CPU lacks\n", chosen->name, chosen->needs);
    return 77;
  }
  // Both conversions must now take the chosen path.
  if (utf::detail::current_simd_level() != chosen->level ||
      tovric::velarn::detail::decoder_simd_level() != chosen->level) {
    std::fprintf(stderr, "the conversions do not take the %s path that was chosen\n", chosen->name);
    return 1;
  }
  return RUN_ALL_TESTS();
}
