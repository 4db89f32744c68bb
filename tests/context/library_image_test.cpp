// Checks the built library file with readelf: no executable stack, no
// control-flow-enforcement property, and no unwind entry for the switch
// routines, while the stack traits have theirs.
#include <gtest/gtest.h>

#include <cstdint>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "command_output.hpp"

namespace {

// The lines that readelf prints with `options` for the built library.
std::vector<std::string> readelf(const std::string& options) {
  const std::string command = "readelf " + options + " " TOVRIC_CONTEXT_LIBRARY " 2>&1";
  test_support::command_result r = test_support::run_command(command);
  EXPECT_EQ(r.status, 0) << command;
  return std::move(r.lines);
}

// Program headers, dynamic dependencies and final unwind-table addresses
// exist only in a linked image, not in the objects of a static archive.
constexpr bool linked_image = TOVRIC_CONTEXT_LIBRARY_IS_SHARED;
constexpr const char* no_linked_image = "static build: an archive has no linked image to inspect";

struct range {
  std::uint64_t begin, end;
};

// Address range of the function symbol `name` in .symtab (locals included).
range symbol_range(const std::vector<std::string>& symbols, const std::string& name) {
  const std::regex row(R"(^\s*\d+:\s+([0-9a-f]+)\s+(\d+)\s+FUNC\s+\w+\s+\w+\s+\d+\s+(\S+)$)");
  for (const auto& line : symbols) {
    std::smatch m;
    if (std::regex_match(line, m, row) && m[3] == name) {
      const auto begin = std::stoull(m[1], nullptr, 16);
      return {begin, begin + std::stoull(m[2])};
    }
  }
  return {0, 0};
}

std::vector<range> fde_ranges() {
  const std::regex fde(R"(FDE cie=[0-9a-f]+ pc=([0-9a-f]+)\.\.([0-9a-f]+))");
  std::vector<range> out;
  for (const auto& line : readelf("--debug-dump=frames")) {
    std::smatch m;
    if (std::regex_search(line, m, fde)) {
      out.push_back({std::stoull(m[1], nullptr, 16), std::stoull(m[2], nullptr, 16)});
    }
  }
  return out;
}

bool overlaps(range a, range b) { return a.begin < b.end && b.begin < a.end; }

}  // namespace

TEST(LibraryImage, StackIsMarkedNotExecutable) {
  if (!linked_image) GTEST_SKIP() << no_linked_image;
  bool found = false;
  for (const auto& line : readelf("-lW")) {
    if (line.find("GNU_STACK") == std::string::npos) continue;
    found = true;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(line, m, std::regex(R"(\s(R?W?E?)\s+0x[0-9a-f]+\s*$)"))) << line;
    EXPECT_EQ(m[1].str().find('E'), std::string::npos) << line;
  }
  EXPECT_TRUE(found) << "no GNU_STACK program header";
}

TEST(LibraryImage, ClaimsNeitherIndirectBranchTrackingNorShadowStack) {
  for (const auto& line : readelf("-nW")) {
    if (line.find("x86 feature:") == std::string::npos) continue;
    EXPECT_EQ(line.find("IBT"), std::string::npos) << line;
    EXPECT_EQ(line.find("SHSTK"), std::string::npos) << line;
  }
}

TEST(LibraryImage, UnwindTablesCoverTheStackTraitsButNoneOfTheFiveRoutines) {
  if (!linked_image) GTEST_SKIP() << no_linked_image;
  const std::vector<std::string> symbols = readelf("-sW");
  const std::vector<range> fdes = fde_ranges();

  for (const char* routine :
       {"make_fcontext", "jump_fcontext", "ontop_fcontext", "trampoline", "finish"}) {
    const range r = symbol_range(symbols, routine);
    ASSERT_LT(r.begin, r.end) << routine << " not found with a size in .symtab";
    for (const range& f : fdes) {
      EXPECT_FALSE(overlaps(r, f))
          << routine << " is covered by the FDE " << std::hex << f.begin << ".." << f.end;
    }
  }
  for (const char* traits : {"_ZN6tovric7context12stack_traits9page_sizeEv",
                             "_ZN6tovric7context12stack_traits12maximum_sizeEv"}) {
    const range r = symbol_range(symbols, traits);
    ASSERT_LT(r.begin, r.end) << traits;
    bool covered = false;
    for (const range& f : fdes) covered = covered || (f.begin <= r.begin && r.end <= f.end);
    EXPECT_TRUE(covered) << traits << " has no FDE";
  }
}

TEST(LibraryImage, NeedsOnlyTheCLibraryAndTheLanguageRuntime) {
  if (!linked_image) GTEST_SKIP() << no_linked_image;
  const std::regex needed(R"(\(NEEDED\)\s+Shared library: \[([^\]]+)\])");
  const std::regex allowed(R"(libc\.so\.6|libstdc\+\+\.so\.6|lib(asan|ubsan|tsan)\.so\.[0-9]+)");
  bool libc = false;
  for (const auto& line : readelf("-dW")) {
    std::smatch m;
    if (!std::regex_search(line, m, needed)) continue;
    libc = libc || m[1] == "libc.so.6";
    EXPECT_TRUE(std::regex_match(m[1].str(), allowed)) << "needs " << m[1];
  }
  EXPECT_TRUE(libc);
}
