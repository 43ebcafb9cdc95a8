// The namespaced include form, as the README shows it. Calls only functions of libtsforge,
// so linked with --as-needed the program does not list libNbUtils itself and libtsforge has to
// find it on its own.
#include <tsforge/Anomaly/AnomalyDetection.h>
#include <tsforge/core/matrix/matrix.h>
#include <tsforge/core/transform/transform.h>

#include <cstdio>
#include <vector>

int main() {
  double a[4] = {2, 1, 1, 3};
  double b[2] = {3, 5};
  double x[2];
  int ipiv[2];
  ludecomp(a, 2, ipiv);
  linsolve(a, 2, b, ipiv, x);
  if (x[0] < 0.79 || x[0] > 0.81) return 1;

  double s[4] = {1, 4, 9, 16};
  double d[3];
  if (diff(s, 4, 1, d) != 3 || d[2] != 7.0) return 1;

  TsAnomalyDetection iqr;
  TsDataVec<long double> &found =
      iqr.Detect(TsDataVec<long double>(std::vector<long double>{1, 2, 3, 4, 5, 6, 7, 8, 100}));
  if (found.Size() != 1 || found[0] != 8) return 1;
  std::printf("consumer ok\n");
  return 0;
}
