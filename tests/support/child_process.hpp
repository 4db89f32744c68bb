// Running a piece of a test in a forked child process and collecting what it
// writes to its standard output.
#ifndef TOVRIC_TESTS_SUPPORT_CHILD_PROCESS_HPP
#define TOVRIC_TESTS_SUPPORT_CHILD_PROCESS_HPP

#include <functional>
#include <string>

namespace test_support {

struct child_result {
  bool exited = false;  // ended by exit or _exit (not by a signal)
  int status = -1;      // its exit status, when it exited
  int signal = 0;       // the signal that ended it, otherwise
  std::string output;   // everything it wrote to its standard output
};

// Runs `body` in a child process whose standard output is a pipe to this
// one, and waits for the child. If `body` returns, the child flushes the C
// and C++ standard output streams and exits with status 0.
child_result run_in_child(const std::function<void()>& body);

}  // namespace test_support

#endif
