// Newton's method with a trust region: the locally constrained optimal ("hook") step and
// the double dog-leg step, with the shared radius update. Dennis and Schnabel, "Numerical
// Methods for Unconstrained Optimization and Nonlinear Equations" (1983), algorithms
// A6.4.1-A6.4.5.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/optim/newton_internal.h"

using namespace tsf_optim;

namespace {

constexpr double kArmijo = 1e-4;
// The hook iteration converges in a few passes; the cap only guards against a
// non-finite model.
constexpr int kHookPasses = 100;

/* Slots of the 8-double trust-region state. */
enum { kDelta = 0, kMu = 1, kDeltaPrev = 2, kPhi = 3, kPhiPrime = 4, kPhiPrimeInit = 5, kNewtonTaken = 6,
       kFirstStep = 7 };
enum { kCauchyLen = 1, kEta = 2 };

/* ||g/dx||^2 and ||L^T D^-2 g||^2 (beta), the quantities of the Cauchy step. */
void cauchy_terms(const double *g, const double *dx, const double *L, int N, double *alpha, double *beta) {
  double a = 0.0, b = 0.0;
  for (int i = 0; i < N; ++i) a += (g[i] / dx[i]) * (g[i] / dx[i]);
  for (int i = 0; i < N; ++i) {
    double t = 0.0;
    for (int j = i; j < N; ++j) t += L[j * N + i] * g[j] / (dx[j] * dx[j]);
    b += t * t;
  }
  *alpha = a;
  *beta = b;
}

/* -||t||^2 / len with L t = dx^2 s: the derivative of the scaled step length in mu. */
double step_length_slope(const double *L, const double *dx, const double *s, int N, double len) {
  std::vector<double> b(N), t(N);
  for (int i = 0; i < N; ++i) b[i] = dx[i] * dx[i] * s[i];
  solve_lower(L, N, b.data(), t.data());
  return -dot(t.data(), t.data(), N) / len;
}

/* The hook step s for mu: (H + mu D^2) s = -g through cholmod's factor in L. */
void hook_step_for_mu(double *H, double *L, double *g, const double *dx, int N, double mu, double eps, double *s) {
  for (int i = 0; i < N; ++i) H[i * N + i] += mu * dx[i] * dx[i];
  cholmod(H, N, L, eps, 0.0);
  for (int i = 0; i < N; ++i) H[i * N + i] -= mu * dx[i] * dx[i];
  newton_direction(L, g, N, s);
}

/* s^T H s from the diagonal and upper triangle of H. */
double upper_quadratic_form(const double *H, const double *s, int N) {
  double q = 0.0;
  for (int i = 0; i < N; ++i) {
    q += H[i * N + i] * s[i] * s[i];
    for (int j = i + 1; j < N; ++j) q += 2.0 * H[i * N + j] * s[i] * s[j];
  }
  return q;
}

/* ||L^T s||^2 from the lower triangle of L. */
double factor_quadratic_form(const double *L, const double *s, int N) {
  double q = 0.0;
  for (int i = 0; i < N; ++i) {
    double t = 0.0;
    for (int j = i; j < N; ++j) t += L[j * N + i] * s[j];
    q += t * t;
  }
  return q;
}

/* Newton's method with the hook (variant 0) or double dog-leg (variant 1) trust region;
   the radius and the step quantities persist from iteration to iteration in state_. */
class trust_region final : public newton_steps {
 public:
  trust_region(int variant, double delta) : variant_(variant) { state_[kDelta] = delta > 0.0 ? delta : -1.0; }

 private:
  int global_step(minimizer_run &r) override {
    if (variant_ == 0)
      return trsrch(r.f, xc_.data(), r.grad, p_.data(), r.N, r.dx, r.maxstep, *r.iter, L_.data(), A_.data(),
                    r.steptol, state_, r.eps, r.xf);
    return trsrch_ddl(r.f, xc_.data(), r.grad, p_.data(), r.N, r.dx, r.maxstep, *r.iter, L_.data(), A_.data(),
                      r.steptol, state_, r.xf);
  }

  int variant_;
  double state_[8] = {};
};

}  // namespace

extern "C" {

void trstep(double *jac, double *sN, int N, double *dx, double *L, double *hess, double nlen, double *ioval,
            double eps, double *step) {
  const double hi = 1.5, lo = 0.75;
  double delta = ioval[kDelta], mu = ioval[kMu], dprev = ioval[kDeltaPrev];
  double phi = ioval[kPhi], phip = ioval[kPhiPrime], phipinit = ioval[kPhiPrimeInit];
  if (nlen <= hi * delta) {
    ioval[kNewtonTaken] = 1.0;
    for (int i = 0; i < N; ++i) step[i] = sN[i];
    ioval[kMu] = 0.0;
    ioval[kDelta] = delta < nlen ? delta : nlen;
    return;
  }
  ioval[kNewtonTaken] = 0.0;
  if (mu > 0.0) mu -= ((phi + dprev) * ((dprev - delta) + phi)) / (delta * phip);
  phi = nlen - delta;
  if (ioval[kFirstStep] == 1.0) {
    ioval[kFirstStep] = 0.0;
    phipinit = step_length_slope(L, dx, sN, N, nlen);
  }
  double mulow = -phi / phipinit;
  double gnorm = 0.0;
  for (int i = 0; i < N; ++i) gnorm += (jac[i] / dx[i]) * (jac[i] / dx[i]);
  double muup = std::sqrt(gnorm) / delta;
  for (int pass = 0; pass < kHookPasses; ++pass) {
    if (mu < mulow || mu > muup) {
      double gm = std::sqrt(mulow * muup), lm = 0.001 * muup;
      mu = gm > lm ? gm : lm;
    }
    hook_step_for_mu(hess, L, jac, dx, N, mu, eps, step);
    double steplen = scaled_norm(step, dx, N);
    phi = steplen - delta;
    phip = step_length_slope(L, dx, step, N, steplen);
    if ((steplen >= lo * delta && steplen <= hi * delta) || muup - mulow <= 0.0) break;
    double ml = mu - phi / phip;
    if (ml > mulow) mulow = ml;
    if (phi < 0.0) muup = mu;
    mu -= (steplen * phi) / (delta * phip);
  }
  ioval[kDelta] = delta;
  ioval[kMu] = mu;
  ioval[kPhi] = phi;
  ioval[kPhiPrime] = phip;
  ioval[kPhiPrimeInit] = phipinit;
}

void trstep_ddl(double *jac, double *sN, int N, double *dx, double maxstep, double *L, double *hess, double nlen,
                double *ioval, double *ssd, double *v, double *step) {
  (void)hess;
  double delta = ioval[kDelta], clen = ioval[kCauchyLen], eta = ioval[kEta];
  if (nlen <= delta) {
    ioval[kNewtonTaken] = 1.0;
    for (int i = 0; i < N; ++i) step[i] = sN[i];
    ioval[kDelta] = nlen;
    return;
  }
  ioval[kNewtonTaken] = 0.0;
  if (ioval[kFirstStep] == 1.0) {
    ioval[kFirstStep] = 0.0;
    double alpha, beta;
    cauchy_terms(jac, dx, L, N, &alpha, &beta);
    for (int i = 0; i < N; ++i) ssd[i] = -(alpha / beta) * jac[i] / dx[i];
    clen = alpha * std::sqrt(alpha) / beta;
    eta = 0.2 + 0.8 * alpha * alpha / (beta * std::fabs(dot(jac, sN, N)));
    for (int i = 0; i < N; ++i) v[i] = eta * dx[i] * sN[i] - ssd[i];
    if (delta == -1.0) delta = clen < maxstep ? clen : maxstep;
  }
  if (eta * nlen <= delta) {
    for (int i = 0; i < N; ++i) step[i] = (delta / nlen) * sN[i];
  } else if (clen >= delta) {
    for (int i = 0; i < N; ++i) step[i] = (delta / clen) * ssd[i] / dx[i];
  } else {
    double t = dot(v, ssd, N), w = dot(v, v, N);
    double lambda = (-t + std::sqrt(t * t - w * (clen * clen - delta * delta))) / w;
    for (int i = 0; i < N; ++i) step[i] = (ssd[i] + lambda * v[i]) / dx[i];
  }
  ioval[kDelta] = delta;
  ioval[kCauchyLen] = clen;
  ioval[kEta] = eta;
}

int trupdate(objective_function *funcval, double *xc, double *jac, double *step, int N, double *dx,
             double maxstep, int retcode, double *L, double *hess, double stol, int method, double *ioval,
             double *xprev, double *funcprev, double *xf) {
  double delta = ioval[kDelta];
  double steplen = scaled_norm(step, dx, N);
  for (int i = 0; i < N; ++i) xf[i] = xc[i] + step[i];
  double fc = eval_f(funcval, xc, N);
  if (check_value(fc)) return 15;
  double fplus = eval_f(funcval, xf, N);
  if (check_value(fplus)) return 15;
  double df = fplus - fc, slope = dot(jac, step, N);
  if (retcode != 3) *funcprev = 0.0;
  if (retcode == 3 && (fplus >= *funcprev || df > kArmijo * slope)) {
    for (int i = 0; i < N; ++i) xf[i] = xprev[i];
    retcode = 0;
    delta /= 2.0;
  } else if (df >= kArmijo * slope) {
    double rellength = 0.0;
    for (int i = 0; i < N; ++i) {
      double t = std::fabs(step[i]) / typical_x(xc[i], dx[i]);
      if (t > rellength) rellength = t;
    }
    if (rellength < stol) {
      retcode = 1;
      for (int i = 0; i < N; ++i) xf[i] = xc[i];
    } else {
      retcode = 2;
      double dt = -slope * steplen / (2.0 * (df - slope));
      if (dt < 0.1 * delta) dt = 0.1 * delta;
      if (dt > 0.5 * delta) dt = 0.5 * delta;
      delta = dt;
    }
  } else {
    double dfpred = slope + 0.5 * (method == 0 ? upper_quadratic_form(hess, step, N)
                                               : factor_quadratic_form(L, step, N));
    if (retcode != 2 && (std::fabs(dfpred - df) <= std::fabs(df) || df <= slope) && ioval[kNewtonTaken] == 0.0 &&
        delta <= 0.99 * maxstep) {
      retcode = 3;
      for (int i = 0; i < N; ++i) xprev[i] = xf[i];
      *funcprev = fplus;
      delta = 2.0 * delta < maxstep ? 2.0 * delta : maxstep;
    } else {
      retcode = 0;
      if (df >= 0.1 * dfpred) {
        delta /= 2.0;
      } else if (df <= 0.75 * dfpred) {
        delta = 2.0 * delta < maxstep ? 2.0 * delta : maxstep;
      }
    }
  }
  ioval[kDelta] = delta;
  return retcode;
}

int trsrch(objective_function *funcval, double *xi, double *jac, double *sN, int N, double *dx, double maxstep,
           int iter, double *L, double *hess, double stol, double *ioval, double eps, double *xf) {
  int code = 4;
  ioval[kFirstStep] = 1.0;
  double nlen = scaled_norm(sN, dx, N);
  if (iter == 1 || ioval[kDelta] == -1.0) ioval[kMu] = 0.0;
  if (ioval[kDelta] == -1.0) {
    double alpha, beta;
    cauchy_terms(jac, dx, L, N, &alpha, &beta);
    double delta = alpha * std::sqrt(alpha) / beta;
    ioval[kDelta] = delta < maxstep ? delta : maxstep;
  }
  std::vector<double> s(N), xprev(N);
  double fprev = 0.0;
  while (code > 1 && code != 15) {
    trstep(jac, sN, N, dx, L, hess, nlen, ioval, eps, s.data());
    ioval[kDeltaPrev] = ioval[kDelta];
    code = trupdate(funcval, xi, jac, s.data(), N, dx, maxstep, code, L, hess, stol, 0, ioval, xprev.data(),
                    &fprev, xf);
  }
  return code;
}

int trsrch_ddl(objective_function *funcval, double *xi, double *jac, double *sN, int N, double *dx,
               double maxstep, int iter, double *L, double *hess, double stol, double *ioval, double *xf) {
  (void)iter;
  int code = 4;
  ioval[kFirstStep] = 1.0;
  double nlen = scaled_norm(sN, dx, N);
  std::vector<double> s(N), xprev(N), ssd(N), v(N);
  double fprev = 0.0;
  while (code > 1 && code != 15) {
    trstep_ddl(jac, sN, N, dx, maxstep, L, hess, nlen, ioval, ssd.data(), v.data(), s.data());
    code = trupdate(funcval, xi, jac, s.data(), N, dx, maxstep, code, L, hess, stol, 1, ioval, xprev.data(),
                    &fprev, xf);
  }
  return code;
}

int newton_min_trust(objective_function *funcval, gradient_function *grad, double *xi, int N, double *dx,
                     double fsval, double delta, int method, int maxiter, int *iter, double eps, double gtol,
                     double stol, double *xf) {
  if (method != 0 && method != 1) {
    std::puts("The program accepts only two method values ");
    std::puts("Method 0 : Hook step ");
    std::puts("Method 1 : Double Dog Leg Step ");
    std::exit(1);
  }
  trust_region steps(method, delta);
  // The step bound is always the default one; delta is only the first radius.
  minimizer_run run(funcval, grad, xi, N, dx, fsval, -1.0, maxiter, iter, eps, gtol, xf);
  run.steptol = stol;
  return minimize(run, steps);
}

}  // extern "C"
