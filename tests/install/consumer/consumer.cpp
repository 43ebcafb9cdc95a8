// Uses the installed headers and library as an outside project would.
#include <cstdio>

#include "core/matrix/matrix.h"
#include "core/transform/transform.h"

int main() {
  double a[4] = {2, 1, 1, 3};
  double b[2] = {3, 5};
  double x[2];
  int ipiv[2];
  ludecomp(a, 2, ipiv);
  linsolve(a, 2, b, ipiv, x);
  double y[3];
  double s[4] = {1, 4, 9, 16};
  int n = diff(s, 4, 1, y);
  if (n != 3 || y[2] != 7.0) return 1;
  if (x[0] < 0.79 || x[0] > 0.81) return 1;
  std::printf("consumer ok\n");
  return 0;
}
