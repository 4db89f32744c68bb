#include "tovric/velarn/utf.hpp"

int main() {
  const wchar_t units[] = {L'a', 0x20AC};
  char out[8];
  const char* r = tovric::velarn::utf::convert_buffer(out, sizeof out, units, units + 2);
  return r == out && out[1] == '\xE2' && out[4] == '\0' ? 0 : 1;
}
