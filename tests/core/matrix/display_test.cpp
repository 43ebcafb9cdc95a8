#include "core/matrix/matrix.h"
#include "support/test_util.h"

TEST(Display, ExactText) {
  double a[] = {1.0, 2.5};
  std::string out = tsf_test::CaptureStdout([&] { mdisplay(a, 1, 2); });
  EXPECT_EQ(out, "\n MATRIX Order : 1 X 2 \n \nR0: 1 2.5 :R0 \n");

  double b[] = {-1e-7, 0.0, 123456789.0, 3.0};
  out = tsf_test::CaptureStdout([&] { mdisplay(b, 2, 2); });
  EXPECT_EQ(out, "\n MATRIX Order : 2 X 2 \n \nR0: -1e-07 0 :R0 \nR1: 1.23457e+08 3 :R1 \n");
}
