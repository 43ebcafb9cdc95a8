// Silences standard output for a scope. The estimators announce every non-finite
// objective they meet while the order search tries candidates; those notices are not
// part of the program's report, which is printed after the computation.
#ifndef TSFORGE_TOOLS_QUIET_STDOUT_H
#define TSFORGE_TOOLS_QUIET_STDOUT_H

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace tsforge_cli {

class QuietStdout {
 public:
  QuietStdout() {
    std::fflush(stdout);
    saved_ = dup(STDOUT_FILENO);
    int null = open("/dev/null", O_WRONLY);
    if (saved_ >= 0 && null >= 0) dup2(null, STDOUT_FILENO);
    if (null >= 0) close(null);
  }
  ~QuietStdout() {
    std::fflush(stdout);
    if (saved_ >= 0) {
      dup2(saved_, STDOUT_FILENO);
      close(saved_);
    }
  }
  QuietStdout(const QuietStdout &) = delete;
  QuietStdout &operator=(const QuietStdout &) = delete;

 private:
  int saved_ = -1;
};

}  // namespace tsforge_cli

#endif  // TSFORGE_TOOLS_QUIET_STDOUT_H
