#include "tovric/velarn/iostream.hpp"

int main() {
  tovric::velarn::dummy_exported_function();
  return 0;
}
