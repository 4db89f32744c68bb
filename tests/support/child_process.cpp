#include "child_process.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace test_support {

child_result run_in_child(const std::function<void()>& body) {
  child_result result;
  int fds[2];
  if (::pipe(fds) != 0) return result;
  std::cout.flush();
  std::fflush(nullptr);  // nothing buffered here may be written twice
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    ::dup2(fds[1], STDOUT_FILENO);
    ::close(fds[1]);
    body();
    std::cout.flush();
    std::fflush(nullptr);
    ::_exit(0);
  }
  ::close(fds[1]);
  char chunk[256];
  for (ssize_t n; (n = ::read(fds[0], chunk, sizeof chunk)) > 0;) {
    result.output.append(chunk, static_cast<std::size_t>(n));
  }
  ::close(fds[0]);
  int status = 0;
  if (pid > 0 && ::waitpid(pid, &status, 0) == pid) {
    result.exited = WIFEXITED(status);
    if (result.exited) result.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  }
  return result;
}

}  // namespace test_support
