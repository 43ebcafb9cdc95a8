/* Batched evaluation for BFGS with the More-Thuente line search (never installed).

   An objective that can evaluate many points in one call (one SIMD lane per point, say)
   gives the minimiser its values in batches: the start value with its forward-difference
   gradient is one batch, each line-search trial point with its 2N central-difference
   points is one batch, and the final Hessian evaluates each distinct point once. The
   scalar checks are then replayed in the scalar order, so the codes, the messages, the
   iterates and the output are those of the scalar calls; only the number of evaluations
   changes. A small cache keyed by the bits of the trial point serves a trial the line
   search repeats (it falls back to its best step). Other minimisers and objectives
   without a batched form keep the scalar calls. */
#ifndef TSFORGE_CORE_OPTIM_BATCH_INTERNAL_H
#define TSFORGE_CORE_OPTIM_BATCH_INTERNAL_H

#include "core/optim/optim.h"

namespace tsf_optim {

/* values[k] = f(points + k N) for k < count (points in a row, N doubles each). Each value
   must have the bits the scalar objective gives at that point, and the calls must leave
   nothing behind that a later scalar call would see. */
struct batch_objective {
  void (*funcpt)(const double *points, int count, int N, double *values, void *params);
  void *params;
};

struct batch_options {
  int cache_entries = 8;      // trial points remembered; 0 switches the cache off
  long *evaluations = nullptr;  // when set, each point evaluated is counted here
};

/* fminunc(f, null, N, xi, maxstep, 7, xf) with every value and gradient taken from bf in
   batches: the same return code, messages, xf and iterates. f itself is not called. */
int fminunc_batched(objective_function *f, const batch_objective *bf, int N, double *xi, double maxstep,
                    double *xf, const batch_options &options);

/* hessian_fd(f, x, N, dx, eps, H), evaluating each distinct point of its scheme once (one
   batch): the same H, status and message. The objective is not evaluated at x last, as
   hessian_fd would do; a caller that reads state the objective leaves behind evaluates
   it there itself. */
int hessian_fd_batched(const batch_objective *bf, double *x, int N, double *dx, double eps, double *H,
                       long *evaluations);

}  // namespace tsf_optim

#endif /* TSFORGE_CORE_OPTIM_BATCH_INTERNAL_H */
