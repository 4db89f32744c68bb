// Built with -mavx2: a user's hot file. Its copies of the conversion's
// inline templates must not be the ones that baseline.cpp runs.
#include <cstring>

#include "text.hpp"
#include "tovric/velarn/utf.hpp"

int isa_mix::convert_avx2(char (&out)[text_bytes]) {
  wchar_t units[text_units];
  make_text(units);
  const char* r = tovric::velarn::utf::convert_buffer(out, text_bytes, units, units + text_units);
  return r == nullptr ? -1 : static_cast<int>(std::strlen(out));
}
