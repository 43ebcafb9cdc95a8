// A first look at a series with the numerical core: reads a time,value CSV file,
// fits a straight-line trend by solving the normal equations with LU, and prints the
// trend and the first differences.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/matrix/matrix.h"
#include "core/transform/transform.h"

static bool read_series(const char *path, std::vector<double> &t, std::vector<double> &y) {
  std::ifstream in(path);
  if (!in) return false;
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::stringstream ss(line);
    std::string a, b;
    if (!std::getline(ss, a, ',') || !std::getline(ss, b, ',')) continue;
    t.push_back(std::stod(a));
    y.push_back(std::stod(b));
  }
  return !y.empty();
}

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE.csv\n", argv[0]);
    return 2;
  }
  std::vector<double> t, y;
  if (!read_series(argv[1], t, y)) {
    std::fprintf(stderr, "%s: cannot read a time,value series\n", argv[1]);
    return 1;
  }
  int n = static_cast<int>(y.size());
  // Normal equations of y = a + b*(t - t0).
  double xtx[4] = {0, 0, 0, 0}, xty[2] = {0, 0};
  for (int i = 0; i < n; ++i) {
    double u = t[i] - t[0];
    xtx[0] += 1;
    xtx[1] += u;
    xtx[3] += u * u;
    xty[0] += y[i];
    xty[1] += u * y[i];
  }
  xtx[2] = xtx[1];
  int ipiv[2];
  double coef[2];
  ludecomp(xtx, 2, ipiv);
  linsolve(xtx, 2, xty, ipiv, coef);
  std::printf("%d observations from %g to %g\n", n, t[0], t[n - 1]);
  std::printf("linear trend: %.4f %+.4f per unit of time\n", coef[0], coef[1]);

  std::vector<double> d1(n > 1 ? n - 1 : 1);
  if (n > 1) {
    int m = diff(y.data(), n, 1, d1.data());
    std::printf("first differences (first 10 of %d):", m);
    for (int i = 0; i < m && i < 10; ++i) std::printf(" %g", d1[i]);
    std::printf("\n");
  }
  return 0;
}
