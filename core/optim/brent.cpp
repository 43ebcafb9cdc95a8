/* Brent (1973), "Algorithms for Minimization without Derivatives", procedures zero
   (bisection, secant and inverse quadratic interpolation) and localmin (golden section
   and parabolic interpolation). */
#include <cmath>

#include "core/optim/optim.h"

namespace {
inline double eval_u(univariate_function *f, double x) { return f->funcpt(x, f->params); }
}  // namespace

double brent_zero(univariate_function *funcval, double a, double b, double t, double eps) {
  double fa = eval_u(funcval, a), fb = eval_u(funcval, b);
  double c = a, fc = fa;
  double d = b - a, e = d;
  for (;;) {
    if (std::fabs(fc) < std::fabs(fb)) {
      a = b;
      b = c;
      c = a;
      fa = fb;
      fb = fc;
      fc = fa;
    }
    double tol = 2.0 * eps * std::fabs(b) + t;
    double m = 0.5 * (c - b);
    if (std::fabs(m) < tol || fb == 0.0) return b;

    if (std::fabs(e) < tol || std::fabs(fa) <= std::fabs(fb)) {
      d = m;
      e = m;
    } else {
      double s = fb / fa, p, q;
      if (a == c) {
        p = 2.0 * m * s;
        q = 1.0 - s;
      } else {
        q = fa / fc;
        double r = fb / fc;
        p = s * (2.0 * m * q * (q - r) - (b - a) * (r - 1.0));
        q = (q - 1.0) * (r - 1.0) * (s - 1.0);
      }
      if (p > 0.0)
        q = -q;
      else
        p = -p;
      s = e;
      e = d;
      // Interpolate only when the step stays inside the bracket and shrinks fast enough.
      if (2.0 * p < 3.0 * m * q - std::fabs(tol * q) && p < std::fabs(0.5 * s * q)) {
        d = p / q;
      } else {
        d = m;
        e = m;
      }
    }
    a = b;
    fa = fb;
    if (std::fabs(d) > tol)
      b += d;
    else
      b += m > 0.0 ? tol : -tol;
    fb = eval_u(funcval, b);
    if ((fb > 0.0 && fc > 0.0) || (fb <= 0.0 && fc <= 0.0)) {
      c = a;
      fc = fa;
      d = b - a;
      e = d;
    }
  }
}

double brent_local_min(univariate_function *funcval, double a, double b, double t, double eps, double *x) {
  const double c = 0.3819660112501051;  // (3 - sqrt(5)) / 2, the golden section
  double xm = a + c * (b - a);
  double v = xm, w = xm;
  double d = 0.0, e = 0.0;
  double fx = eval_u(funcval, xm);
  double fv = fx, fw = fx;
  double tol = t + eps * std::fabs(xm);
  double t2 = 2.0 * tol;
  double mid = 0.5 * (a + b);

  while (std::fabs(xm - mid) > t2 - 0.5 * (b - a)) {
    double p = 0.0, q = 0.0, r = 0.0;
    if (std::fabs(e) > tol) {
      r = (xm - w) * (fx - fv);
      q = (xm - v) * (fx - fw);
      p = (xm - v) * q - (xm - w) * r;
      q = 2.0 * (q - r);
      if (q > 0.0)
        p = -p;
      else
        q = -q;
      r = e;
      e = d;
    }
    if (std::fabs(p) >= std::fabs(0.5 * q * r) || p <= q * (a - xm) || p >= q * (b - xm)) {
      e = xm >= mid ? a - xm : b - xm;
      d = c * e;
    } else {
      d = p / q;
      double u = xm + d;
      // Never evaluate within t2 of an end.
      if (u - a < t2 || b - u < t2) d = xm >= mid ? -tol : tol;
    }
    double u;
    if (std::fabs(d) >= tol)
      u = xm + d;
    else
      u = d > 0.0 ? xm + tol : xm - tol;
    double fu = eval_u(funcval, u);

    if (fu <= fx) {
      if (u >= xm)
        a = xm;
      else
        b = xm;
      v = w;
      fv = fw;
      w = xm;
      fw = fx;
      xm = u;
      fx = fu;
    } else {
      if (u < xm)
        a = u;
      else
        b = u;
      if (fu <= fw || w == xm) {
        v = w;
        fv = fw;
        w = u;
        fw = fu;
      } else if (fu <= fv || v == xm || v == w) {
        v = u;
        fv = fu;
      }
    }
    mid = 0.5 * (a + b);
    tol = t + eps * std::fabs(xm);
    t2 = 2.0 * tol;
  }
  *x = xm;
  return fx;
}
