#include "tovric/velarn/cstdlib.hpp"

int main() {
  return tovric::velarn::setenv("TOVRIC_HEADER_TEST", "1", 1) == 0 &&
                 tovric::velarn::unsetenv("TOVRIC_HEADER_TEST") == 0
             ? 0
             : 1;
}
