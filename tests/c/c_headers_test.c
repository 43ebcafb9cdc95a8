/* Compiled as C11 with -Wall -Wextra -Werror: every public core header must be plain C. */
#include <stdio.h>

#include "all_core_headers.h"

int main(void) {
  double a[4] = {4, 3, 6, 3};
  double b[2] = {10, 12};
  double x[2];
  int ipiv[2];
  double s[5] = {1, 4, 9, 16, 25};
  double d[4];
  int n;
  ludecomp(a, 2, ipiv);
  linsolve(a, 2, b, ipiv, x);
  n = diff(s, 5, 2, d);
  if (n != 3 || d[0] != 2.0 || macheps() <= 0.0) return 1;
  printf("%g %g\n", x[0], x[1]);
  return 0;
}
