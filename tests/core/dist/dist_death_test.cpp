#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

#include "core/dist/dist.h"
#include "core/dist/dist_test_util.h"

namespace {

std::string Exactly(const std::string &msg) {
  std::string re = "^";
  for (char c : msg) {
    if (std::string(".()[]*+?^$\\|{}").find(c) != std::string::npos) re += '\\';
    re += c;
  }
  return re + "$";
}

}  // namespace

// One representative message per kind of check; every one exits with status 1.
TEST(DistDeathTest, ArgumentErrorsEndTheProcess) {
  const struct {
    std::function<void()> call;
    const char *message;
  } cases[] = {
      {[] { gamma_log(-1.0); }, "Input must be Positive and Real"},
      {[] { ibeta(1.5, 1.0, 1.0); }, "x only accepts real values between 0.0 and 1.0"},
      {[] { erfcinv(-0.1); }, "The Input takes values between 0.0 and 2.0"},
      {[] { normalcdf(0.0, 0.0, -1.0); }, "Standard Deviation (Sigma) must be non-negative"},
      {[] { tinv(2.0, 0); }, "Degree Of Freedom should be a positive real integer"},  // df before p
      {[] { finv(2.0, 0, 3); }, "Probablity Values can only take values between 0.0 and 1.0"},  // p first
      {[] { gammapdf(1.0, -2.0, 1.0); }, "Gamma Distribution parameters must be positive and real."},
      {[] { factorial(-1); }, "factorial: argument must be a non-negative integer"},
  };
  for (const auto &c : cases) {
    EXPECT_EXIT(
        {
          std::fflush(stdout);
          dup2(2, 1);
          c.call();
        },
        ::testing::ExitedWithCode(1), Exactly(c.message))
        << c.message;
  }
}
