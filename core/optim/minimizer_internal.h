/* The driver of the gradient minimisers (never installed). Every method runs the same
   frame: scale the start, evaluate and check it, choose the step bound, stop at once when
   the start's relative gradient is at most gtol/1000, iterate, give code 4 at the
   iteration limit, undo the scaling. A method brings its work (alloc), its preparation
   of the first iteration (set) and its iteration (iterate); minimize runs them. */
#ifndef TSFORGE_CORE_OPTIM_MINIMIZER_INTERNAL_H
#define TSFORGE_CORE_OPTIM_MINIMIZER_INTERNAL_H

#include "core/optim/optim_internal.h"

namespace tsf_optim {

/* One run, shared by the driver and the method's steps. */
struct minimizer_run {
  minimizer_run(objective_function *f, gradient_function *g, double *x0, int N, double *dx, double fsval,
                double maxstep, int maxiter, int *iter, double eps, double gtol, double *xf)
      : f(f), g(g), x0(x0), N(N), dx(dx), fsval(fsval), maxstep(maxstep), maxiter(maxiter), iter(iter), eps(eps),
        gtol(gtol), xf(xf) {}

  objective_function *f;
  gradient_function *g;  // null: finite differences
  double *x0;            // the start; x0*dx while the run lasts
  int N;
  double *dx;            // the scale factors; 1/dx while the run lasts
  double fsval;
  double maxstep;        // not above 0: 1000 max(||dx||, ||dx*x0||), on the scaled values
  int maxiter;
  int *iter;
  double eps, gtol;
  double steptol = 0.0;            // the methods with a backtracking or trust-region step
  double ftol = 0.0, xtol = 0.0;   // the methods with the More-Thuente line search
  double *xf;
  bool scaled = true;              // false: x0 and dx are taken as they are
  point_source *src = nullptr;     // values and gradients from here instead (method 7)

  // Set by the driver.
  double h = 0.0;           // sqrt(eps), the relative finite-difference step
  double f0 = 0.0;          // f at the start
  double *grad = nullptr;   // N: the gradient at the start, then the method's current one
};

/* How a method evaluates its start: the value, then the gradient even after a
   non-finite value; the gradient only after a finite value; or the gradient first. */
enum class start_order { value_then_gradient, gradient_if_value_finite, gradient_then_value };

class minimizer_steps {
 public:
  const start_order start;
  const bool start_test;           // stop with code 1 at a start with a small relative gradient
  const bool unscale_by_division;  // undo the scaling as dx = 1/dx, x0 = x0/dx (else as it was done)

  /* Work for N parameters; false when the method cannot run on N (input error, code 0). */
  virtual bool alloc(int N) = 0;
  /* Prepares the first iteration after the start, whose code it receives; returns the code. */
  virtual int set(minimizer_run &run, int code) = 0;
  /* One iteration from the method's current point (*run.iter already counts it): the new
     point in run.xf and the stop code, 0 to go on. */
  virtual int iterate(minimizer_run &run) = 0;

 protected:
  minimizer_steps(start_order start, bool start_test, bool unscale_by_division)
      : start(start), start_test(start_test), unscale_by_division(unscale_by_division) {}
  ~minimizer_steps() = default;
};

/* Runs steps on run and returns the method's code. */
int minimize(minimizer_run &run, minimizer_steps &steps);

}  // namespace tsf_optim

#endif /* TSFORGE_CORE_OPTIM_MINIMIZER_INTERNAL_H */
