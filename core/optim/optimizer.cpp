/* The optimiser object and the dispatchers that map a method number onto a minimiser
   with the library's default tolerances: eps the machine epsilon, gtol = eps^(1/3),
   steptol = ftol = eps^(2/3), xtol = eps. */
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "core/matrix/matrix.h"
#include "core/optim/optim.h"
#include "core/optim/optim_internal.h"

using tsf_optim::eval_f;
using tsf_optim::kMethodNames;

const char *const tsf_optim::kMethodNames[8] = {"Nelder-Mead",
                                                "Newton Line Search",
                                                "Newton Trust Region - Hook Step",
                                                "Newton Trust Region - Double Dog-Leg",
                                                "Conjugate Gradient",
                                                "BFGS",
                                                "Limited Memory BFGS",
                                                "BFGS More-Thuente Line Search"};

namespace {

const char *const kBadMethod = "Method Value should be one of 0,1,2,3,4,5,6 or 7. See Documentation. ";

double cube_root_eps(double eps) { return std::pow(eps, 0.3333333333333333); }

int floored_maxiter(int N) {
  int maxiter = 200 * N;
  return maxiter < 1000 ? 1000 : maxiter;
}

struct Tolerances {
  double eps, gtol, steptol, ftol, xtol, maxstep;
  int maxiter;
};

/* Runs minimiser `method` (0..7, already validated) with the given settings; method 7 takes
   its values from src when that is not null. */
int run_method(int method, objective_function *f, gradient_function *g, int N, double *xi, double *dx,
               const Tolerances &t, int *iter, double *xf, tsf_optim::point_source *src = nullptr) {
  const double fsval = 1.0, delta = -1.0;
  switch (method) {
    case 0:
      return nel_min(f, xi, N, dx, fsval, t.maxiter, iter, t.eps, xf);
    case 1:
      return newton_min_func(f, g, xi, N, dx, fsval, t.maxstep, t.maxiter, iter, t.eps, t.gtol, t.steptol, xf);
    case 2:
    case 3:
      return newton_min_trust(f, g, xi, N, dx, fsval, delta, method - 2, t.maxiter, iter, t.eps, t.gtol,
                              t.steptol, xf);
    case 4:
      return conjgrad_min_lin(f, g, xi, N, dx, t.maxstep, t.maxiter, iter, t.eps, t.gtol, t.ftol, t.xtol, xf);
    case 5:
      return bfgs_min(f, g, xi, N, dx, fsval, t.maxstep, t.maxiter, iter, t.eps, t.gtol, t.steptol, xf);
    case 6:
      return bfgs_l_min(f, g, xi, N, mvalue(N), dx, fsval, t.maxstep, t.maxiter, iter, t.eps, t.gtol, t.ftol,
                        t.xtol, xf);
    default:
      return tsf_optim::bfgs_min2_from(f, g, xi, N, dx, fsval, t.maxstep, t.maxiter, iter, t.eps, t.gtol, t.ftol,
                                       t.xtol, xf, src);
  }
}

}  // namespace

opt_object opt_init(int N) {
  size_t n = N > 0 ? static_cast<size_t>(N) : 0;
  // The solution vector follows the fixed fields in the same block.
  void *block = std::malloc(sizeof(opt_set) + n * sizeof(double));
  if (block == nullptr) return nullptr;
  opt_object obj = static_cast<opt_object>(block);
  double eps = macheps();
  obj->N = N;
  obj->fval = 0.0;
  obj->eps = eps;
  obj->xtol = eps;
  obj->gtol = cube_root_eps(eps);
  obj->steptol = obj->gtol * obj->gtol;
  obj->ftol = obj->steptol;
  obj->maxstep = -1.0;
  obj->maxiter = floored_maxiter(N);
  obj->iter = 0;
  obj->method = 0;
  obj->retval = 0;
  std::strcpy(obj->method_name, kMethodNames[0]);
  obj->xopt = reinterpret_cast<double *>(static_cast<char *>(block) + sizeof(opt_set));
  for (size_t i = 0; i < n; ++i) obj->xopt[i] = 0.0;
  return obj;
}

void setMaxIter(opt_object obj, int maxiter) { obj->maxiter = maxiter; }

void setMaxStep(opt_object obj, double maxstep) { obj->maxstep = maxstep; }

void setTOL(opt_object obj, double gtol, double steptol, double ftol, double xtol) {
  obj->gtol = gtol;
  obj->steptol = steptol;
  obj->ftol = ftol;
  obj->xtol = xtol;
}

void optimize(opt_object obj, objective_function *funcval, gradient_function *grad, int N, double *xi,
              int method) {
  obj->method = method;
  obj->iter = 0;
  if (N != obj->N) {
    std::printf("The Object is initialized for a problem of size %d \n", obj->N);
    std::printf("Please Reinitialize the object for the new size %d using opt_init command \n", N);
    std::exit(1);
  }
  if (method < 0 || method > 7) {
    std::strcpy(obj->method_name, "NULL");
    std::puts(kBadMethod);
    std::exit(1);
  }
  std::vector<double> dx(N, 1.0);
  std::strcpy(obj->method_name, kMethodNames[method]);
  Tolerances t{obj->eps, obj->gtol, obj->steptol, obj->ftol, obj->xtol, obj->maxstep, obj->maxiter};
  obj->retval = run_method(method, funcval, grad, N, xi, dx.data(), t, &obj->iter, obj->xopt);
  obj->fval = eval_f(funcval, obj->xopt, N);
}

void optsummary(opt_object obj) {
  std::printf("\n Return Value : %d \n", obj->retval);
  std::printf("Method : %d %s \n", obj->method, obj->method_name);
  std::printf("Iterations : %d \n", obj->iter);
  std::printf("Function Minimized At : [ ");
  for (int i = 0; i < obj->N; ++i) std::printf("%g ", obj->xopt[i]);
  std::puts(" ] ");
  std::printf("Function Value : %g \n \n", obj->fval);
}

void free_opt(opt_object obj) { std::free(obj); }

int fminunc(objective_function *funcval, gradient_function *grad, int N, double *xi, double maxstep, int method,
            double *xf) {
  return tsf_optim::fminunc_from(funcval, grad, N, xi, maxstep, method, xf, nullptr);
}

int tsf_optim::fminunc_from(objective_function *funcval, gradient_function *grad, int N, double *xi,
                            double maxstep, int method, double *xf, point_source *src) {
  if (method < 0 || method > 7) {
    std::puts(kBadMethod);
    std::exit(1);
  }
  std::vector<double> dx(N, 1.0);
  double eps = macheps();
  double gtol = cube_root_eps(eps);
  int iter = 0;
  Tolerances t{eps, gtol, gtol * gtol, gtol * gtol, eps, maxstep, 200 * N};
  // Nelder-Mead keeps 200 N exactly; the other methods get at least 1000 iterations.
  if (method != 0) t.maxiter = floored_maxiter(N);
  return run_method(method, funcval, grad, N, xi, dx.data(), t, &iter, xf, src);
}

int fminsearch(objective_function *funcval, int N, double *xi, double *xf) {
  std::vector<double> dx(N, 1.0);
  int iter = 0;
  return nel_min(funcval, xi, N, dx.data(), 1.0, 200 * N, &iter, macheps(), xf);
}

int fminnewt(objective_function *funcval, gradient_function *grad, int N, double *xi, double delta, double *dx,
             double fsval, double maxstep, int method, double *xf) {
  if (method < 1 || method > 3) {
    std::puts("Method Value should be one of 1,2 or 3. See Documentation. ");
    std::exit(1);
  }
  double eps = macheps();
  double gtol = cube_root_eps(eps);
  double steptol = gtol * gtol;
  int maxiter = floored_maxiter(N);
  int iter = 0;
  if (method == 1)
    return newton_min_func(funcval, grad, xi, N, dx, fsval, maxstep, maxiter, &iter, eps, gtol, steptol, xf);
  return newton_min_trust(funcval, grad, xi, N, dx, fsval, delta, method - 2, maxiter, &iter, eps, gtol, steptol,
                          xf);
}

double fminbnd(univariate_function *funcval, double a, double b) {
  double x = 0.0;
  brent_local_min(funcval, a, b, 1e-12, macheps(), &x);
  return x;
}

int mvalue(int N) {
  if (N <= 10) return N;
  if (N <= 20) return 10;
  if (N <= 200) return 15;
  return 20;
}
