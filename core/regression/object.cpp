// The regression object: creation, the fits that fill it (multiple and polynomial), the
// fitted value at a new point, and release.
#include "core/regression/regression.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

reg_object *reg_init(int N, int p) {
  if (p < 2) {
    std::puts("The base case is p = 2 corresonding to y = b0 + b1 *x + u ");
    std::puts("p = Number of Independent Variables (p-1) + Dependent Variable (1) ");
    std::exit(1);
  }
  const std::size_t records = static_cast<std::size_t>(p) + 1;
  if (records > (std::numeric_limits<std::size_t>::max() - sizeof(reg_object)) / sizeof(reg_coefficient))
    return nullptr;
  // The header holds doubles and a pointer, so its size keeps the records aligned.
  void *block = std::malloc(sizeof(reg_object) + records * sizeof(reg_coefficient));
  if (block == nullptr) return nullptr;
  reg_object *obj = static_cast<reg_object *>(block);
  *obj = reg_object{};
  obj->N = N;
  obj->p = p;
  obj->alpha = 0.05;
  obj->beta = reinterpret_cast<reg_coefficient *>(obj + 1);
  for (std::size_t i = 0; i < records; ++i) obj->beta[i] = reg_coefficient{};
  return obj;
}

void free_reg(reg_object *obj) { std::free(obj); }

void regress(reg_object *obj, double *x, double *y, double *res, double *varcovar, double alpha) {
  const int N = obj->N, p = obj->p;
  const std::size_t q = static_cast<std::size_t>(p);
  std::vector<double> b(q), lo(q + 1), hi(q + 1);
  double var[1], r2[2], anv[7];
  obj->alpha = alpha;
  linreg_multi(p, x, y, N, b.data(), var, varcovar, r2, res, alpha, anv, lo.data(), hi.data());
  obj->R2 = r2[0];
  obj->R2adj = r2[1];
  obj->df = N - p;
  obj->sigma = var[0];
  obj->sigma_lower = lo[q];
  obj->sigma_upper = hi[q];
  obj->TSS = anv[0];
  obj->ESS = anv[1];
  obj->RSS = anv[2];
  obj->df_ESS = static_cast<int>(anv[3]);
  obj->df_RSS = static_cast<int>(anv[4]);
  obj->FStat = anv[5];
  obj->PVal = anv[6];
  for (std::size_t i = 0; i < q; ++i)
    obj->beta[i] = reg_coefficient{b[i], lo[i], hi[i], std::sqrt(varcovar[i * (q + 1)])};
}

void regress_poly(reg_object *obj, double *x, double *y, double *res, double *varcovar, double alpha) {
  if (obj->p < 2) {
    std::printf("The Value of p should be greater than or equal to 2");
    std::exit(1);
  }
  const std::size_t n = static_cast<std::size_t>(obj->N), rows = static_cast<std::size_t>(obj->p) - 1;
  std::vector<double> powers(rows * n);
  for (std::size_t k = 0; k < rows; ++k)
    for (std::size_t j = 0; j < n; ++j) powers[k * n + j] = std::pow(x[j], static_cast<double>(k + 1));
  regress(obj, powers.data(), y, res, varcovar, alpha);
}

double fitted(reg_object *obj, double *inp, double *varcovar, double *var) {
  const std::size_t q = static_cast<std::size_t>(obj->p);
  std::vector<double> xv(q);
  xv[0] = 1.0;
  for (std::size_t i = 1; i < q; ++i) xv[i] = inp[i - 1];
  double value = 0.0, v = 0.0;
  for (std::size_t i = 0; i < q; ++i) {
    value += xv[i] * obj->beta[i].value;
    for (std::size_t j = 0; j < q; ++j) v += xv[i] * varcovar[i * q + j] * xv[j];
  }
  var[0] = v;
  var[1] = obj->sigma + v;
  return value;
}
