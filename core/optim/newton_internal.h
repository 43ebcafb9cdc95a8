/* Pieces shared by the Newton, trust-region and quasi-Newton minimisers (never installed). */
#ifndef TSFORGE_CORE_OPTIM_NEWTON_INTERNAL_H
#define TSFORGE_CORE_OPTIM_NEWTON_INTERNAL_H

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/optim/minimizer_internal.h"

namespace tsf_optim {

/* Typical magnitude of variable i: max(|x_i|, 1/|dx_i|). */
inline double typical_x(double x, double dx) { return std::max(std::fabs(x), 1.0 / std::fabs(dx)); }

/* max_i |g_i| max(|x_i|, 1/|dx_i|) / max(|f|, |fsval|): the relative gradient. */
inline double relative_gradient(const double *g, const double *x, const double *dx, int N, double f,
                                double fsval) {
  double den = std::max(std::fabs(f), std::fabs(fsval));
  double m = 0.0;
  for (int i = 0; i < N; ++i) m = std::max(m, std::fabs(g[i]) * typical_x(x[i], dx[i]) / den);
  return m;
}

/* ||dx*v||, the length of v in scaled units. */
inline double scaled_norm(const double *v, const double *dx, int N) {
  double s = 0.0;
  for (int i = 0; i < N; ++i) s += (dx[i] * v[i]) * (dx[i] * v[i]);
  return std::sqrt(s);
}

/* p solves L L^T p = -g (g is negated around the solve and restored). */
inline void newton_direction(double *L, double *g, int N, double *p) {
  for (int i = 0; i < N; ++i) g[i] = -g[i];
  linsolve_lower(L, N, g, p);
  for (int i = 0; i < N; ++i) g[i] = -g[i];
}

/* Forward substitution L t = b with the lower triangle of L. */
inline void solve_lower(const double *L, int N, const double *b, double *t) {
  for (int i = 0; i < N; ++i) {
    double s = b[i];
    for (int j = 0; j < i; ++j) s -= L[i * N + j] * t[j];
    t[i] = s / L[i * N + i];
  }
}

/* The Newton methods' iteration: the model Hessian at the current point, its perturbed
   Cholesky factor, the Newton step and a global step along it that the method brings
   (the line search or the trust region). */
class newton_steps : public minimizer_steps {
 public:
  bool alloc(int N) override;
  int set(minimizer_run &r, int code) override;
  int iterate(minimizer_run &r) override;

 protected:
  newton_steps() : minimizer_steps(start_order::value_then_gradient, true, false) {}
  ~newton_steps() = default;
  /* From xc_ along the Newton step p_ with the factor L_ of the model Hessian A_: the
     accepted point in r.xf and the step's code (15 already announced). */
  virtual int global_step(minimizer_run &r) = 0;

  std::vector<double> A_, L_, p_, xc_;
};

}  // namespace tsf_optim

#endif /* TSFORGE_CORE_OPTIM_NEWTON_INTERNAL_H */
