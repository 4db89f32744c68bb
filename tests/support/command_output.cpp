#include "command_output.hpp"

#include <cstdio>

namespace test_support {

command_result run_command(const std::string& command) {
  command_result result;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  std::string line;
  for (int c; (c = std::fgetc(pipe)) != EOF;) {
    if (c != '\n') {
      line += static_cast<char>(c);
      continue;
    }
    result.lines.push_back(line);
    line.clear();
  }
  if (!line.empty()) result.lines.push_back(line);
  result.status = ::pclose(pipe);
  return result;
}

}  // namespace test_support
