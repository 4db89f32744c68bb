// Times a real workload with auto_cpu_timer: one report in the default
// format, one in a custom format, and one region timed only in part.
#include <cmath>
#include <cstdio>
#include <iostream>
#include <vector>

#include "tovric/timer/timer.hpp"

namespace {

// Burns CPU for a while: a sieve of Eratosthenes up to `limit`.
std::size_t count_primes(std::size_t limit) {
  std::vector<bool> composite(limit + 1);
  std::size_t count = 0;
  for (std::size_t i = 2; i <= limit; ++i) {
    if (composite[i]) continue;
    ++count;
    for (std::size_t j = i * i; j <= limit; j += i) composite[j] = true;
  }
  return count;
}

}  // namespace

int main() {
  std::cout << "Counting primes below 100 million, default report:\n";
  {
    tovric::timer::auto_cpu_timer timer;  // reports when the block ends
    std::cout << count_primes(100000000) << " primes\n";
  }

  std::cout << "\nWriting a 64 MiB scratch file, custom report:\n";
  {
    tovric::timer::auto_cpu_timer timer(3, "  wall %ws, cpu %ts (user %us, system %ss), %p%\n");
    std::FILE* f = std::tmpfile();
    std::vector<char> block(1 << 20, 'x');
    for (int i = 0; i < 64 && f; ++i) std::fwrite(block.data(), 1, block.size(), f);
    if (f) std::fclose(f);
  }

  std::cout << "\nOnly the second half of a loop is timed (stop, then resume):\n";
  tovric::timer::cpu_timer timer;
  double sum = 0;
  for (int round = 0; round < 2; ++round) {
    if (round == 0) timer.stop();
    if (round == 1) timer.resume();
    for (int i = 1; i < 20000000; ++i) sum += std::sqrt(static_cast<double>(i));
  }
  timer.stop();
  std::cout << tovric::timer::format(timer.elapsed(), 3) << "  (checksum " << sum << ")\n";
}
