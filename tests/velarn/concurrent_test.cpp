#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "temp_dir.hpp"
#include "tovric/velarn/cstdio.hpp"
#include "tovric/velarn/utf.hpp"

namespace {

// wfopen and convert_buffer keep no state: threads that call them at once,
// with short names (stack path) and long ones (heap path), see only their
// own results.
TEST(ConcurrentUse, ThreadsOpenFilesByWideNamesAtOnce) {
  temp_dir dir;
  const std::wstring wide_dir(dir.path().begin(), dir.path().end());
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        std::wstring name = wide_dir + L"/t" + std::to_wstring(t) + L"-\u00E9";
        if (i % 2 == 1) name.append(270 - name.size(), L'x');  // past the inline buffer
        std::FILE* f = tovric::velarn::detail::wfopen(name.c_str(), L"w");
        if (f == nullptr) {
          ++failures[t];
          continue;
        }
        std::fclose(f);
        const wchar_t units[] = {L'a', 0x20AC, static_cast<wchar_t>(0x1F600)};
        char out[16];
        if (tovric::velarn::utf::convert_buffer(out, sizeof out, units, units + 3) == nullptr ||
            std::string(out) != "a\xE2\x82\xAC\xF0\x9F\x98\x80") {
          ++failures[t];
        }
      }
    });
  }
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

}  // namespace
