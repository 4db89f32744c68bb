#include "tovric/velarn/filebuf.hpp"

int main() {
  std::FILE* f = std::tmpfile();
  if (f == nullptr || tovric::velarn::detail::fseek(f, 0, SEEK_END) != 0) return 1;
  const bool at_start = tovric::velarn::detail::ftell(f) == std::streampos(0);
  std::fclose(f);
  return at_start ? 0 : 1;
}
