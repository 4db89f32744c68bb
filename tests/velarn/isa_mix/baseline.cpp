// Built for the x86-64 baseline and linked with avx2.cpp, before or after
// it. Converts the text, writes the bytes to standard output and, on a CPU
// with AVX2, checks that the -mavx2 file converts it to the same bytes.
// Run on a CPU without AVX (qemu-x86_64 -cpu Nehalem) it must exit 0: what
// it runs may not depend on the other file's flags.
#include <cstdio>
#include <cstring>

#include "text.hpp"
#include "tovric/velarn/utf.hpp"

int isa_mix::convert_baseline(char (&out)[text_bytes]) {
  wchar_t units[text_units];
  make_text(units);
  const char* r = tovric::velarn::utf::convert_buffer(out, text_bytes, units, units + text_units);
  return r == nullptr ? -1 : static_cast<int>(std::strlen(out));
}

int main() {
  char baseline[isa_mix::text_bytes];
  const int n = isa_mix::convert_baseline(baseline);
  if (n <= 0) return 1;
  std::fwrite(baseline, 1, static_cast<std::size_t>(n), stdout);
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) {
    char avx2[isa_mix::text_bytes];
    if (isa_mix::convert_avx2(avx2) != n || std::memcmp(avx2, baseline, static_cast<std::size_t>(n)) != 0) {
      std::fputs("the -mavx2 file converted the text differently\n", stderr);
      return 1;
    }
  }
  return 0;
}
