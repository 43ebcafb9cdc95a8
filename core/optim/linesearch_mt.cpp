/* Line search of More and Thuente (1994), "Line search algorithms with guaranteed
   sufficient decrease", ACM TOMS 20(3): the search for a step satisfying the strong Wolfe
   conditions (cvsrch) and its safeguarded cubic/quadratic step (cstep). Gradients at the
   trial points are central differences unless the caller supplies a gradient. */
#include <algorithm>
#include <cmath>
#include <vector>

#include "core/optim/optim.h"
#include "core/optim/optim_internal.h"

using tsf_optim::check_value;
using tsf_optim::dot;
using tsf_optim::eval_f;

namespace {

/* The "gamma" of the cubic step through two points with slopes da and db; the caller
   sets its sign. The discriminant is non-negative in exact arithmetic in every case where
   a minimiser of the cubic exists, and it may be a rounding error below zero when the
   cubic degenerates (nearly linear f); it is clamped at 0 so that the step stays finite
   instead of turning into NaN. */
double cubic_gamma(double theta, double s, double da, double db) {
  double disc = (theta / s) * (theta / s) - (da / s) * (db / s);
  return s * std::sqrt(std::max(0.0, disc));
}

}  // namespace

int cstep(double *stx, double *fx, double *dx, double *sty, double *fy, double *dy, double *stp, double *fp,
          double *dp, int *brackt, double stpmin, double stpmax) {
  if ((*brackt && (*stp <= std::min(*stx, *sty) || *stp >= std::max(*stx, *sty))) ||
      *dx * (*stp - *stx) >= 0.0 || stpmax < stpmin)
    return 0;
  double sgnd = *dp * (*dx / std::fabs(*dx));
  int info;
  bool bound;
  double stpf;
  if (*fp > *fx) {
    // Higher value: the minimum is bracketed; take the cubic step or halfway to the
    // quadratic one, whichever is closer to stx.
    info = 1;
    bound = true;
    double theta = 3.0 * (*fx - *fp) / (*stp - *stx) + *dx + *dp;
    double s = std::max(std::fabs(theta), std::max(std::fabs(*dx), std::fabs(*dp)));
    double gamma = cubic_gamma(theta, s, *dx, *dp);
    if (*stp < *stx) gamma = -gamma;
    double p = (gamma - *dx) + theta;
    double q = ((gamma - *dx) + gamma) + *dp;
    double r = p / q;
    double stpc = *stx + r * (*stp - *stx);
    double stpq = *stx + ((*dx / ((*fx - *fp) / (*stp - *stx) + *dx)) / 2.0) * (*stp - *stx);
    if (std::fabs(stpc - *stx) < std::fabs(stpq - *stx))
      stpf = stpc;
    else
      stpf = stpc + (stpq - stpc) / 2.0;
    *brackt = 1;
  } else if (sgnd < 0.0) {
    // Derivatives of opposite sign: bracketed; the step farther from stp.
    info = 2;
    bound = false;
    double theta = 3.0 * (*fx - *fp) / (*stp - *stx) + *dx + *dp;
    double s = std::max(std::fabs(theta), std::max(std::fabs(*dx), std::fabs(*dp)));
    double gamma = cubic_gamma(theta, s, *dx, *dp);
    if (*stp > *stx) gamma = -gamma;
    double p = (gamma - *dp) + theta;
    double q = ((gamma - *dp) + gamma) + *dx;
    double r = p / q;
    double stpc = *stp + r * (*stx - *stp);
    double stpq = *stp + (*dp / (*dp - *dx)) * (*stx - *stp);
    stpf = std::fabs(stpc - *stp) > std::fabs(stpq - *stp) ? stpc : stpq;
    *brackt = 1;
  } else if (std::fabs(*dp) < std::fabs(*dx)) {
    // Same sign, decreasing magnitude: the cubic may have no minimiser in the direction
    // of the step (gamma clamped at 0), then the bound is taken.
    info = 3;
    bound = true;
    double theta = 3.0 * (*fx - *fp) / (*stp - *stx) + *dx + *dp;
    double s = std::max(std::fabs(theta), std::max(std::fabs(*dx), std::fabs(*dp)));
    double gamma = cubic_gamma(theta, s, *dx, *dp);
    if (*stp > *stx) gamma = -gamma;
    double p = (gamma - *dp) + theta;
    double q = (gamma + (*dx - *dp)) + gamma;
    double r = p / q;
    double stpc;
    if (r < 0.0 && gamma != 0.0)
      stpc = *stp + r * (*stx - *stp);
    else if (*stp > *stx)
      stpc = stpmax;
    else
      stpc = stpmin;
    double stpq = *stp + (*dp / (*dp - *dx)) * (*stx - *stp);
    if (*brackt)
      stpf = std::fabs(*stp - stpc) < std::fabs(*stp - stpq) ? stpc : stpq;
    else
      stpf = std::fabs(*stp - stpc) > std::fabs(*stp - stpq) ? stpc : stpq;
  } else {
    // Same sign, no decrease in magnitude: cubic through stp and sty, or a bound.
    info = 4;
    bound = false;
    if (*brackt) {
      double theta = 3.0 * (*fp - *fy) / (*sty - *stp) + *dy + *dp;
      double s = std::max(std::fabs(theta), std::max(std::fabs(*dy), std::fabs(*dp)));
      double gamma = cubic_gamma(theta, s, *dy, *dp);
      if (*stp > *sty) gamma = -gamma;
      double p = (gamma - *dp) + theta;
      double q = ((gamma - *dp) + gamma) + *dy;
      double r = p / q;
      stpf = *stp + r * (*sty - *stp);
    } else {
      stpf = *stp > *stx ? stpmax : stpmin;
    }
  }

  if (*fp > *fx) {
    *sty = *stp;
    *fy = *fp;
    *dy = *dp;
  } else {
    if (sgnd < 0.0) {
      *sty = *stx;
      *fy = *fx;
      *dy = *dx;
    }
    *stx = *stp;
    *fx = *fp;
    *dx = *dp;
  }

  stpf = std::max(stpmin, std::min(stpmax, stpf));
  *stp = stpf;
  if (*brackt && bound) {
    double lim = *stx + 0.66 * (*sty - *stx);
    *stp = *sty > *stx ? std::min(lim, *stp) : std::max(lim, *stp);
  }
  return info;
}

int cvsrch_ws(objective_function *funcval, gradient_function *grad, double *x, double *fx, double *grad_x,
              double *stp, double *s, int N, double *dx, double stpmax, int maxfev, double eps2, double ftol,
              double gtol, double xtol, double *wa, tsf_optim::point_source *src) {
  const double p5 = 0.5, p66 = 0.66, xtrapf = 4.0;
  int info = 0, infoc = 1;
  if (N <= 0 || *stp <= 0.0 || ftol < 0.0 || gtol < 0.0 || xtol < 0.0) return 0;

  double rellength = 0.0;
  for (int i = 0; i < N; ++i)
    rellength = std::max(rellength, std::fabs(s[i]) / std::max(std::fabs(x[i]), 1.0 / std::fabs(dx[i])));
  double stpmin = ftol / rellength;

  double dginit = dot(grad_x, s, N);
  // A NaN slope (direction spoilt by a degenerate update) is no descent direction either.
  if (!(dginit < 0.0)) return 0;

  int brackt = 0;
  bool stage1 = true;
  int nfev = 0;
  double finit = *fx;
  double dgtest = ftol * dginit;
  double width = stpmax - stpmin;
  double width1 = width / p5;
  std::copy(x, x + N, wa);
  double stx = 0.0, fxs = finit, dgx = dginit;
  double sty = 0.0, fy = finit, dgy = dginit;
  double stmin = 0.0, stmax = 0.0;

  while (info == 0) {
    if (brackt) {
      stmin = std::min(stx, sty);
      stmax = std::max(stx, sty);
    } else {
      stmin = stx;
      stmax = *stp + xtrapf * (*stp - stx);
    }
    *stp = std::max(*stp, stpmin);
    *stp = std::min(*stp, stpmax);
    // Without further progress possible, fall back to the best step so far.
    if ((brackt && (*stp <= stmin || *stp >= stmax)) || nfev >= maxfev - 1 || infoc == 0 ||
        (brackt && stmax - stmin <= xtol * stmax))
      *stp = stx;

    for (int i = 0; i < N; ++i) x[i] = wa[i] + *stp * s[i];
    if (src != nullptr) {
      if (src->trial(x, N, dx, eps2, fx, grad_x) != 0) return 15;
    } else {
      *fx = eval_f(funcval, x, N);
      if (check_value(*fx) != 0) return 15;
      // A non-finite value at a difference point is as fatal as one at the trial point.
      if (grad_cd(funcval, grad, x, N, dx, eps2, grad_x) != 0) return 15;
    }
    ++nfev;
    double dg = dot(grad_x, s, N);
    double ftest1 = finit + *stp * dgtest;

    if ((brackt && (*stp <= stmin || *stp >= stmax)) || infoc == 0) info = 6;
    if (*stp == stpmax && *fx <= ftest1 && dg <= dgtest) info = 5;
    if (*stp == stpmin && (*fx > ftest1 || dg >= dgtest)) info = 4;
    if (nfev >= maxfev) info = 3;
    if (brackt && stmax - stmin <= xtol * stmax) info = 2;
    if (*fx <= ftest1 && std::fabs(dg) <= gtol * (-dginit)) info = 1;

    if (stage1 && *fx <= ftest1 && dg >= std::min(ftol, gtol) * dginit) stage1 = false;

    if (stage1 && *fx <= fxs && *fx > ftest1) {
      // Work on psi(a) = f(a) - a*dgtest until a step with sufficient decrease appears.
      double fm = *fx - *stp * dgtest;
      double fxm = fxs - stx * dgtest;
      double fym = fy - sty * dgtest;
      double dgm = dg - dgtest;
      double dgxm = dgx - dgtest;
      double dgym = dgy - dgtest;
      infoc = cstep(&stx, &fxm, &dgxm, &sty, &fym, &dgym, stp, &fm, &dgm, &brackt, stmin, stmax);
      fxs = fxm + stx * dgtest;
      fy = fym + sty * dgtest;
      dgx = dgxm + dgtest;
      dgy = dgym + dgtest;
    } else {
      double fcur = *fx;
      infoc = cstep(&stx, &fxs, &dgx, &sty, &fy, &dgy, stp, &fcur, &dg, &brackt, stmin, stmax);
    }

    if (brackt) {
      // Bisect when the interval has not shrunk enough over two steps.
      if (std::fabs(sty - stx) >= p66 * width1) *stp = stx + p5 * (sty - stx);
      width1 = width;
      width = std::fabs(sty - stx);
    }
  }
  return info;
}

int cvsrch(objective_function *funcval, gradient_function *grad, double *x, double *fx, double *grad_x,
           double *stp, double *s, int N, double *dx, double stpmax, int maxfev, double eps2, double ftol,
           double gtol, double xtol) {
  if (N <= 0) return 0;
  std::vector<double> wa(N);
  return cvsrch_ws(funcval, grad, x, fx, grad_x, stp, s, N, dx, stpmax, maxfev, eps2, ftol, gtol, xtol,
                   wa.data(), nullptr);
}

int lnsrchmt(objective_function *funcval, gradient_function *grad, double *xi, double *fx, double *grad_x,
             double *stp, double *p, int N, double *dx, double maxstep, int maxiter, double eps2, double ftol,
             double gtol, double xtol, double *x) {
  std::copy(xi, xi + N, x);
  return cvsrch(funcval, grad, x, fx, grad_x, stp, p, N, dx, maxstep, maxiter, eps2, ftol, gtol, xtol);
}
