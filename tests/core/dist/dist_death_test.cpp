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
      {[] { beta(-1.0, 2.0); }, " The Two Inputs should be nonnegative and real"},
      {[] { pgamma(1.0, -2.0); }, "a must be non-negative"},
      {[] { ibeta(1.5, 1.0, 1.0); }, "x only accepts real values between 0.0 and 1.0"},
      {[] { betainv(1.5, 2.0, 3.0); }, "probability values must lie between 0 and 1"},
      {[] { erfinv(1.5); }, "The Input takes values between -1 and +1"},
      {[] { erfcinv(-0.1); }, "The Input takes values between 0.0 and 2.0"},
      {[] { normalcdf(0.0, 0.0, -1.0); }, "Standard Deviation (Sigma) must be non-negative"},
      {[] { tinv(2.0, 0); }, "Degree Of Freedom should be a positive real integer"},  // df before p
      {[] { finv(2.0, 0, 3); }, "Probablity Values can only take values between 0.0 and 1.0"},  // p first
      {[] { fcdf(-1.0, 2, 3); }, "The range of distribution only takes non-negative and real values"},
      {[] { gammapdf(0.0, 2.0, 1.0); }, "The Output is Complex and cannot be determined"},
      {[] { chiinv(0.5, 0); }, "Degree of freedom is a real positive integer"},
      {[] { factorial(-1); }, "factorial: argument must be a non-negative integer"},
      {[] { recfact(2.5); }, "recfact: argument must be a non-negative integer"},
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
