#include "tovric/velarn/cstdio.hpp"

int main() {
  std::FILE* f = tovric::velarn::detail::wfopen(L"/dev/null", L"r");
  if (f == nullptr) return 1;
  std::fclose(f);
  return 0;
}
