// Running a shell command and reading what it prints.
#ifndef TOVRIC_TESTS_SUPPORT_COMMAND_OUTPUT_HPP
#define TOVRIC_TESTS_SUPPORT_COMMAND_OUTPUT_HPP

#include <string>
#include <vector>

namespace test_support {

struct command_result {
  int status = -1;                 // as pclose reports it; 0 for success
  std::vector<std::string> lines;  // standard output, line by line
};

// Runs `command` through the shell and returns its output lines (without
// their line feeds) and its status.
command_result run_command(const std::string& command);

}  // namespace test_support

#endif
