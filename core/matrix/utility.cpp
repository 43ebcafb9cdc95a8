// Scalar utilities, vector reductions, the descending index sort and the scratch
// allocator shared by the matrix kernels.
#include "core/matrix/matrix.h"
#include "core/matrix/matrix_internal.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

// One element of the array being sorted and its position in that array.
struct sort_record {
  double *value;
  int index;
};

}  // namespace

namespace tsf_matrix {

double *scratch_doubles(std::size_t count, const char *who) {
  void *p = std::malloc((count > 0 ? count : 1) * sizeof(double));
  if (p == nullptr) {
    std::printf("%s: out of memory\n", who);
    std::fflush(stdout);
    std::exit(1);
  }
  return static_cast<double *>(p);
}

bool ranges_overlap(const double *a, std::size_t na, const double *b, std::size_t nb) {
  if (na == 0 || nb == 0) return false;
  std::less<const double *> before;
  return before(a, b + nb) && before(b, a + na);
}

}  // namespace tsf_matrix

double macheps(void) {
  // volatile keeps the sum in double even where registers are wider.
  volatile double x = 1.0;
  volatile double sum = 1.0 + x;
  while (sum > 1.0) {
    x = x / 2.0;
    sum = 1.0 + x;
  }
  return 2.0 * x;
}

double pmax(double a, double b) { return a > b ? a : b; }
double pmin(double a, double b) { return a < b ? a : b; }
int imax(int a, int b) { return a > b ? a : b; }
int imin(int a, int b) { return a < b ? a : b; }
double signx(double x) { return x >= 0.0 ? 1.0 : -1.0; }

double l2norm(double *x, int N) {
  double sum = 0.0;
  for (int i = 0; i < N; ++i) sum += x[i] * x[i];
  return std::sqrt(sum);
}

double array_max_abs(double *x, int N) {
  double m = 0.0;
  for (int i = 0; i < N; ++i) {
    if (std::fabs(x[i]) > m) m = std::fabs(x[i]);
  }
  return m;
}

double array_max(double *x, int N) {
  if (N < 1) return -HUGE_VAL;
  double m = x[0];
  for (int i = 1; i < N; ++i) {
    if (x[i] > m) m = x[i];
  }
  return m;
}

double array_min(double *x, int N) {
  if (N < 1) return HUGE_VAL;
  double m = x[0];
  for (int i = 1; i < N; ++i) {
    if (x[i] < m) m = x[i];
  }
  return m;
}

int compare(const void *a, const void *b) {
  double x = *static_cast<const sort_record *>(a)->value;
  double y = *static_cast<const sort_record *>(b)->value;
  // NaN ranks below every number so the order stays consistent, as qsort requires.
  bool xnan = std::isnan(x), ynan = std::isnan(y);
  if (xnan || ynan) return xnan == ynan ? 0 : (xnan ? 1 : -1);
  if (x > y) return -1;
  if (x < y) return 1;
  return 0;
}

void sort1d(double *x, int N, int *idx) {
  if (N < 1) return;
  auto *rec = static_cast<sort_record *>(std::malloc(static_cast<std::size_t>(N) * sizeof(sort_record)));
  if (rec == nullptr) {
    std::printf("sort1d: out of memory\n");
    std::fflush(stdout);
    std::exit(1);
  }
  for (int i = 0; i < N; ++i) {
    rec[i].value = &x[i];
    rec[i].index = i;
  }
  std::qsort(rec, static_cast<std::size_t>(N), sizeof(sort_record), compare);
  for (int i = 0; i < N; ++i) idx[i] = rec[i].index;
  std::free(rec);
}
