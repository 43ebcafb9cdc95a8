// Nonlinear least squares on the MINPACK test problems (More, Garbow and Hillstrom 1981).
// Reference sums of squares, termination codes and evaluation counts were computed once
// with SciPy 1.10.1's optimize.leastsq (an independent LMDIF/LMDER) at the same settings:
// ftol eps^(2/3), xtol eps, gtol eps^(1/3), maxfev 1000, epsfcn eps, factor 100.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/matrix/matrix.h"
#include "core/optim/nls_internal.h"
#include "core/optim/optim.h"
#include "support/test_util.h"

namespace {

const double kPi = 3.141592653589793;

struct Calls {
  int f = 0, j = 0;
};

void linear_full_rank(double *x, int M, int N, double *f, void *p) {
  ++static_cast<Calls *>(p)->f;
  double s = 0.0;
  for (int j = 0; j < N; ++j) s += x[j];
  for (int i = 0; i < M; ++i) f[i] = (i < N ? x[i] : 0.0) - 2.0 * s / M - 1.0;
}
void rosenbrock(double *x, int, int, double *f, void *p) {
  ++static_cast<Calls *>(p)->f;
  f[0] = 10.0 * (x[1] - x[0] * x[0]);
  f[1] = 1.0 - x[0];
}
void rosenbrock_jac(double *x, int, int, double *J, void *p) {
  ++static_cast<Calls *>(p)->j;
  J[0] = -20.0 * x[0];
  J[1] = 10.0;
  J[2] = -1.0;
  J[3] = 0.0;
}
void helical_valley(double *x, int, int, double *f, void *p) {
  ++static_cast<Calls *>(p)->f;
  double th;
  if (x[0] > 0.0)
    th = std::atan(x[1] / x[0]) / (2.0 * kPi);
  else if (x[0] < 0.0)
    th = std::atan(x[1] / x[0]) / (2.0 * kPi) + 0.5;
  else
    th = x[1] >= 0.0 ? 0.25 : -0.25;
  f[0] = 10.0 * (x[2] - 10.0 * th);
  f[1] = 10.0 * (std::sqrt(x[0] * x[0] + x[1] * x[1]) - 1.0);
  f[2] = x[2];
}
void powell_singular(double *x, int, int, double *f, void *p) {
  ++static_cast<Calls *>(p)->f;
  f[0] = x[0] + 10.0 * x[1];
  f[1] = std::sqrt(5.0) * (x[2] - x[3]);
  f[2] = (x[1] - 2.0 * x[2]) * (x[1] - 2.0 * x[2]);
  f[3] = std::sqrt(10.0) * (x[0] - x[3]) * (x[0] - x[3]);
}
void freudenstein_roth(double *x, int, int, double *f, void *p) {
  ++static_cast<Calls *>(p)->f;
  f[0] = -13.0 + x[0] + ((5.0 - x[1]) * x[1] - 2.0) * x[1];
  f[1] = -29.0 + x[0] + ((x[1] + 1.0) * x[1] - 14.0) * x[1];
}
void box3d(double *x, int M, int, double *f, void *p) {
  ++static_cast<Calls *>(p)->f;
  for (int i = 1; i <= M; ++i) {
    double t = 0.1 * i;
    f[i - 1] = std::exp(-t * x[0]) - std::exp(-t * x[1]) - x[2] * (std::exp(-t) - std::exp(-10.0 * t));
  }
}
const double kOsborneY[33] = {0.844, 0.908, 0.932, 0.936, 0.925, 0.908, 0.881, 0.850, 0.818, 0.784, 0.751,
                              0.718, 0.685, 0.658, 0.628, 0.603, 0.580, 0.558, 0.538, 0.522, 0.506, 0.490,
                              0.478, 0.467, 0.457, 0.448, 0.438, 0.431, 0.424, 0.420, 0.414, 0.411, 0.406};
void osborne1(double *x, int, int, double *f, void *p) {
  ++static_cast<Calls *>(p)->f;
  for (int i = 0; i < 33; ++i) {
    double t = 10.0 * i;
    f[i] = kOsborneY[i] - (x[0] + x[1] * std::exp(-t * x[3]) + x[2] * std::exp(-t * x[4]));
  }
}
const double kMeyerY[16] = {34780.0, 28610.0, 23650.0, 19630.0, 16370.0, 13720.0, 11540.0, 9744.0,
                            8261.0,  7030.0,  6005.0,  5147.0,  4427.0,  3820.0,  3307.0,  2872.0};
void meyer(double *x, int, int, double *f, void *p) {
  ++static_cast<Calls *>(p)->f;
  for (int i = 0; i < 16; ++i) f[i] = x[0] * std::exp(x[1] / ((45.0 + 5.0 * (i + 1)) + x[2])) - kMeyerY[i];
}
const double kBardY[15] = {0.14, 0.18, 0.22, 0.25, 0.29, 0.32, 0.35, 0.39, 0.37, 0.58, 0.73, 0.96, 1.34, 2.10, 4.39};
void bard(double *x, int, int, double *f, void *p) {
  ++static_cast<Calls *>(p)->f;
  for (int i = 0; i < 15; ++i) {
    double u = i + 1.0, v = 15.0 - i, w = u < v ? u : v;
    f[i] = kBardY[i] - (x[0] + u / (v * x[1] + w * x[2]));
  }
}

const double kKowalikY[11] = {0.1957, 0.1947, 0.1735, 0.1600, 0.0844, 0.0627, 0.0456, 0.0342, 0.0323, 0.0235, 0.0246};
const double kKowalikU[11] = {4.0, 2.0, 1.0, 0.5, 0.25, 0.167, 0.125, 0.1, 0.0833, 0.0714, 0.0625};
void kowalik_osborne(double *x, int, int, double *f, void *p) {
  ++static_cast<Calls *>(p)->f;
  for (int i = 0; i < 11; ++i) {
    double u = kKowalikU[i];
    f[i] = kKowalikY[i] - x[0] * (u * u + u * x[1]) / (u * u + u * x[2] + x[3]);
  }
}

struct LmCase {
  const char *name;
  void (*f)(double *, int, int, double *, void *);
  int M, N;
  std::vector<double> x0;
  int info, nfev;  // reference termination code and residual calls
  double ss;       // reference final sum of squares
};

std::vector<LmCase> minpack_cases() {
  return {
      {"LinearFullRank", linear_full_rank, 10, 5, {1, 1, 1, 1, 1}, 4, 12, 5.0000000000000897},
      {"Rosenbrock", rosenbrock, 2, 2, {-1.2, 1.0}, 4, 56, 0.0},
      {"HelicalValley", helical_valley, 3, 3, {-1.0, 0.0, 0.0}, 2, 39, 1.9323305678047034e-47},
      {"PowellSingular", powell_singular, 4, 4, {3.0, -1.0, 0.0, 1.0}, 4, 214, 4.402896060863038e-41},
      {"FreudensteinRoth", freudenstein_roth, 2, 2, {0.5, -2.0}, 4, 38, 48.984253681992243},
      {"Box3D", box3d, 10, 3, {0.0, 10.0, 20.0}, 2, 33, 6.1629758220391547e-33},
      {"Osborne1", osborne1, 33, 5, {0.5, 1.5, -1.0, 0.01, 0.02}, 4, 98, 5.4648946974861566e-05},
      {"Meyer", meyer, 16, 3, {0.02, 4000.0, 250.0}, 4, 473, 87.945855170805331},
      {"Bard", bard, 15, 3, {1.0, 1.0, 1.0}, 4, 24, 0.0082148773065810147},
      {"KowalikOsborne", kowalik_osborne, 11, 4, {0.25, 0.39, 0.415, 0.39}, 4, 86, 0.00030750560459049514},
  };
}

double sum_of_squares(const LmCase &c, std::vector<double> x) {
  Calls calls;
  std::vector<double> f(c.M);
  c.f(x.data(), c.M, c.N, f.data(), &calls);
  double s = 0.0;
  for (double v : f) s += v * v;
  return s;
}

void powell_singular_jac(double *x, int, int, double *J, void *p) {
  ++static_cast<Calls *>(p)->j;
  double r5 = std::sqrt(5.0), r10 = std::sqrt(10.0), a = x[1] - 2.0 * x[2], d = x[0] - x[3];
  double rows[16] = {1.0, 10.0, 0.0, 0.0, 0.0, 0.0, r5, -r5, 0.0, 2.0 * a, -4.0 * a, 0.0, 2.0 * r10 * d, 0.0, 0.0,
                     -2.0 * r10 * d};
  for (int k = 0; k < 16; ++k) J[k] = rows[k];
}
void freudenstein_roth_jac(double *x, int, int, double *J, void *p) {
  ++static_cast<Calls *>(p)->j;
  J[0] = 1.0;
  J[1] = (10.0 - 3.0 * x[1]) * x[1] - 2.0;
  J[2] = 1.0;
  J[3] = (3.0 * x[1] + 2.0) * x[1] - 14.0;
}
void box3d_jac(double *x, int M, int, double *J, void *p) {
  ++static_cast<Calls *>(p)->j;
  for (int i = 1; i <= M; ++i) {
    double t = 0.1 * i;
    J[(i - 1) * 3 + 0] = -t * std::exp(-t * x[0]);
    J[(i - 1) * 3 + 1] = t * std::exp(-t * x[1]);
    J[(i - 1) * 3 + 2] = -(std::exp(-t) - std::exp(-10.0 * t));
  }
}

// Final sum of squares against the reference: relative for a nonzero minimum, absolute
// (rounding level) where the residuals vanish.
void expect_sum_of_squares(double got, double ref, const char *name) {
  if (ref > 1e-20)
    EXPECT_REL_NEAR(got, ref, 1e-9) << name;
  else
    EXPECT_LT(got, 1e-20) << name;
}

}  // namespace

TEST(Nls, MinpackProblemsForwardDifferences) {
  for (const LmCase &c : minpack_cases()) {
    Calls calls;
    residual_function r{c.f, &calls};
    nls_object obj = nls_init(c.M, c.N);
    std::vector<double> x0 = c.x0;
    nls(obj, &r, nullptr, x0.data());
    EXPECT_EQ(obj->retval, c.info) << c.name;
    expect_sum_of_squares(sum_of_squares(c, std::vector<double>(obj->xopt, obj->xopt + c.N)), c.ss, c.name);
    // Every residual call is counted, the difference Jacobians included; the count may
    // differ from the reference only where the residuals fall to rounding level.
    EXPECT_EQ(obj->nfev, calls.f) << c.name;
    EXPECT_EQ(obj->Iter, obj->nfev) << c.name;
    EXPECT_EQ(obj->njev, 0) << c.name;
    if (c.ss > 1e-20)
      EXPECT_EQ(obj->nfev, c.nfev) << c.name;
    else
      EXPECT_NEAR(obj->nfev, c.nfev, 0.2 * c.nfev) << c.name;
    EXPECT_EQ(x0, c.x0) << c.name;
    free_nls(obj);
  }
}

TEST(Nls, MirrorsTheReferenceStepByStep) {
  // The reference uses MINPACK's decimal machine constant 2.22044604926e-16 (slightly above
  // 2^-52) for its difference step and tests. With the same constant this port follows
  // the reference iteration for iteration: equal codes and residual-call counts.
  for (const LmCase &c : minpack_cases()) {
    Calls calls;
    residual_function r{c.f, &calls};
    nls_object obj = nls_init(c.M, c.N);
    obj->eps = obj->epsfcn = 2.22044604926e-16;
    std::vector<double> x0 = c.x0;
    nls(obj, &r, nullptr, x0.data());
    EXPECT_EQ(obj->retval, c.info) << c.name;
    double ss = sum_of_squares(c, std::vector<double>(obj->xopt, obj->xopt + c.N));
    if (std::string(c.name) == "PowellSingular")
      EXPECT_LT(ss, 1e-30);
    else if (c.ss == 0.0)
      EXPECT_EQ(ss, 0.0) << c.name;
    else
      EXPECT_REL_NEAR(ss / c.ss, 1.0, 1e-12) << c.name;
    // Powell's singular function closes in on its zero at rounding level, where any
    // difference in the last bit changes the path.
    if (std::string(c.name) == "PowellSingular")
      EXPECT_NEAR(obj->nfev, c.nfev, 0.2 * c.nfev);
    else
      EXPECT_EQ(obj->nfev, c.nfev) << c.name;
    free_nls(obj);
  }
}

TEST(Nls, MinpackProblemsAnalyticJacobian) {
  struct DerCase {
    const char *name;
    void (*jac)(double *, int, int, double *, void *);
    int info, nfev, njev;
    double ss;
  };
  const DerCase refs[] = {{"Rosenbrock", rosenbrock_jac, 4, 21, 16, 0.0},
                          {"PowellSingular", powell_singular_jac, 4, 22, 22, 8.3235049138148792e-24},
                          {"FreudensteinRoth", freudenstein_roth_jac, 4, 16, 11, 48.984253681990154},
                          {"Box3D", box3d_jac, 4, 8, 8, 0.0}};
  std::vector<LmCase> cases = minpack_cases();
  for (const DerCase &d : refs) {
    const LmCase *c = nullptr;
    for (const LmCase &k : cases)
      if (std::string(k.name) == d.name) c = &k;
    ASSERT_NE(c, nullptr);
    Calls calls;
    residual_function r{c->f, &calls}, J{d.jac, &calls};
    nls_object obj = nls_init(c->M, c->N);
    std::vector<double> x0 = c->x0;
    nls(obj, &r, &J, x0.data());
    EXPECT_EQ(obj->retval, d.info) << d.name;
    double ss = sum_of_squares(*c, std::vector<double>(obj->xopt, obj->xopt + c->N));
    if (d.ss > 1e-20)
      EXPECT_REL_NEAR(ss, d.ss, 1e-6) << d.name;  // Powell's minimum is approached only linearly
    else
      EXPECT_LT(ss, 1e-20) << d.name;
    EXPECT_EQ(obj->nfev, calls.f) << d.name;
    EXPECT_EQ(obj->njev, calls.j) << d.name;
    EXPECT_NEAR(obj->nfev, d.nfev, 2) << d.name;
    EXPECT_NEAR(obj->njev, d.njev, 2) << d.name;
    free_nls(obj);
  }
}

TEST(Nls, LevmarAgreesWithNls) {
  for (const LmCase &c : minpack_cases()) {
    Calls a, b;
    residual_function ra{c.f, &a}, rb{c.f, &b};
    std::vector<double> x0 = c.x0, xf(c.N, -7.0);
    int code = levmar(&ra, nullptr, x0.data(), c.M, c.N, xf.data());
    nls_object obj = nls_init(c.M, c.N);
    nls(obj, &rb, nullptr, x0.data());
    EXPECT_EQ(code, obj->retval) << c.name;
    EXPECT_EQ(a.f, b.f) << c.name;
    for (int j = 0; j < c.N; ++j) EXPECT_EQ(xf[j], obj->xopt[j]) << c.name;
    free_nls(obj);
  }
}

TEST(Nls, ExactLinearModelHasZeroResiduals) {
  // y = c0 + c1 t + c2 t^2 sampled exactly: a linear least-squares problem in c.
  struct Data {
    double c[3];
    int calls = 0;
  };
  auto quad = [](double *x, int M, int, double *f, void *p) {
    Data *d = static_cast<Data *>(p);
    ++d->calls;
    for (int i = 0; i < M; ++i) {
      double t = i;
      f[i] = (x[0] + x[1] * t + x[2] * t * t) - (d->c[0] + d->c[1] * t + d->c[2] * t * t);
    }
  };
  // Coefficients off the binary grid leave rounding-level residuals: the step test ends it
  // (code 2 after 17 calls, as the reference). With representable ones the residuals
  // vanish exactly, and a zero residual vector satisfies the cosine test (code 4, as the
  // reference). Counts with the reference's machine constant (see above).
  const double cs[2][3] = {{0.1, 0.3, -0.7}, {2.0, 3.0, -0.5}};
  const int codes[2] = {2, 4}, calls[2] = {17, 12};
  for (int k = 0; k < 2; ++k) {
    Data data{{cs[k][0], cs[k][1], cs[k][2]}};
    residual_function r{quad, &data};
    double x0[3] = {0.0, 0.0, 0.0}, xf[3];
    EXPECT_EQ(levmar(&r, nullptr, x0, 6, 3, xf), codes[k]);
    nls_object obj = nls_init(6, 3);
    obj->eps = obj->epsfcn = 2.22044604926e-16;
    data.calls = 0;
    nls(obj, &r, nullptr, x0);
    EXPECT_EQ(obj->retval, codes[k]);
    EXPECT_EQ(data.calls, calls[k]);
    free_nls(obj);
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(xf[j], cs[k][j], 1e-14);
    double f[6];
    quad(xf, 6, 3, f, &data);
    for (double v : f) EXPECT_NEAR(v, 0.0, k == 0 ? 1e-14 : 0.0);
  }
}

TEST(Nls, ImproperInputCallsNothing) {
  Calls calls;
  residual_function r{rosenbrock, &calls};
  double xi[2] = {-1.2, 1.0};
  // More parameters than residuals.
  nls_object obj = nls_init(1, 2);
  nls(obj, &r, nullptr, xi);
  EXPECT_EQ(obj->retval, 0);
  EXPECT_EQ(obj->xopt[0], -1.2);
  EXPECT_EQ(obj->xopt[1], 1.0);
  EXPECT_EQ(obj->Iter, 0);
  free_nls(obj);
  // Negative tolerances, a non-positive factor or call limit, too few Jacobian rows.
  for (int k = 0; k < 6; ++k) {
    obj = nls_init(2, 2);
    if (k < 3) setnlsTOL(obj, k == 0 ? -1.0 : 0.0, k == 1 ? -1.0 : 0.0, k == 2 ? -1.0 : 0.0);
    if (k == 3) obj->factor = 0.0;
    if (k == 4) obj->MaxFev = 0;
    if (k == 5) obj->ldfjac = 1;
    nls(obj, &r, nullptr, xi);
    EXPECT_EQ(obj->retval, 0) << k;
    free_nls(obj);
  }
  // A scale factor that is not positive.
  obj = nls_init(2, 2);
  double diag_bad[2] = {1.0, 0.0};
  nls_scale(obj, &r, nullptr, diag_bad, xi);
  EXPECT_EQ(obj->retval, 0);
  free_nls(obj);
  // No parameters at all, and levmar with M < N.
  double xf[2] = {5.0, 5.0};
  EXPECT_EQ(levmar(&r, nullptr, xi, 2, 0, xf), 0);
  EXPECT_EQ(levmar(&r, nullptr, xi, 1, 2, xf), 0);
  EXPECT_EQ(xf[0], -1.2);
  EXPECT_EQ(calls.f, 0);
  EXPECT_EQ(calls.j, 0);
}

TEST(Nls, DefaultsOfTheObject) {
  nls_object obj = nls_init(7, 3);
  double eps = macheps();
  EXPECT_EQ(obj->M, 7);
  EXPECT_EQ(obj->N, 3);
  EXPECT_EQ(obj->eps, eps);
  EXPECT_EQ(obj->epsfcn, eps);
  EXPECT_EQ(obj->factor, 100.0);
  EXPECT_EQ(obj->gtol, std::pow(eps, 0.3333333333333333));
  EXPECT_EQ(obj->ftol, obj->gtol * obj->gtol);
  EXPECT_EQ(obj->xtol, eps);
  EXPECT_EQ(obj->Maxiter, 1000);
  EXPECT_EQ(obj->MaxFev, 1000);
  EXPECT_EQ(obj->ldfjac, 7);
  EXPECT_EQ(obj->mode, 1);
  for (int j = 0; j < 3; ++j) EXPECT_EQ(obj->xopt[j], 0.0);
  setnlsTOL(obj, 1e-3, 1e-4, 1e-5);
  EXPECT_EQ(obj->gtol, 1e-3);
  EXPECT_EQ(obj->ftol, 1e-4);
  EXPECT_EQ(obj->xtol, 1e-5);
  free_nls(obj);
}

TEST(Nls, ScaledSolveAndCallLimit) {
  // Caller's scaling reaches the same minimum of Freudenstein-Roth.
  Calls calls;
  residual_function r{freudenstein_roth, &calls};
  double xi[2] = {0.5, -2.0}, diag[2] = {1.0, 10.0};
  nls_object obj = nls_init(2, 2);
  nls_scale(obj, &r, nullptr, diag, xi);
  EXPECT_GE(obj->retval, 1);
  EXPECT_LE(obj->retval, 4);
  EXPECT_EQ(obj->mode, 2);
  EXPECT_NEAR(obj->xopt[0], 11.4128, 1e-3);
  EXPECT_NEAR(obj->xopt[1], -0.896805, 1e-5);
  EXPECT_EQ(diag[1], 10.0);
  // Meyer needs 473 calls: a limit of 100 ends with code 5 after at most 100 + N calls.
  Calls mc;
  residual_function rm{meyer, &mc};
  nls_object om = nls_init(16, 3);
  om->MaxFev = 100;
  double xm[3] = {0.02, 4000.0, 250.0};
  nls(om, &rm, nullptr, xm);
  EXPECT_EQ(om->retval, 5);
  EXPECT_GE(om->nfev, 100);
  EXPECT_LE(om->nfev, 100 + 3);
  free_nls(om);
  free_nls(obj);
}

TEST(Nls, SummaryText) {
  Calls calls;
  residual_function r{rosenbrock, &calls};
  double xi[2] = {-1.2, 1.0};
  nls_object obj = nls_init(2, 2);
  nls(obj, &r, nullptr, xi);
  std::string out = tsf_test::CaptureStdout([&] { nlssummary(obj); });
  EXPECT_EQ(out,
            "\n\nReturn Value : 4 \n"
            "Termination Message : the cosine of the angle between fvec and any column of the jacobian is at most "
            "gtol in absolute value. \n"
            "Iterations : 56 \n"
            "Function Minimized At : [ 1 1  ] \n");
  const char *lines[9] = {
      "improper input parameters. ",
      "both actual and predicted relative reductions in the sum of squares are at most ftol. ",
      "relative error between two consecutive iterates is at most xtol. ",
      "conditions for info = 1 and info = 2 both hold. ",
      "the cosine of the angle between fvec and any column of the jacobian is at most gtol in absolute value. ",
      "number of calls to fcn has reached or exceeded maxfev. ",
      "ftol is too small. no further reduction in the sum of squares is possible. ",
      "xtol is too small. no further improvement inthe approximate solution x is possible. ",
      "gtol is too small. fvec is orthogonal to thecolumns of the jacobian to machine precision. "};
  for (int code = 0; code <= 8; ++code) {
    obj->retval = code;
    out = tsf_test::CaptureStdout([&] { nlssummary(obj); });
    EXPECT_NE(out.find(std::string("Termination Message : ") + lines[code] + "\n"), std::string::npos) << code;
  }
  free_nls(obj);
}

TEST(Nls, EnormScalesExtremeComponents) {
  double big[3] = {3e200, 4e200, 0.0};
  EXPECT_REL_NEAR(enorm(3, big), 5e200, 1e-15);
  double tiny[2] = {3e-200, 4e-200};
  EXPECT_REL_NEAR(enorm(2, tiny) * 1e200, 5.0, 1e-15);
  double mixed[3] = {1e25, 1.0, 1e-25};
  EXPECT_REL_NEAR(enorm(3, mixed), 1e25, 1e-15);
  double plain[4] = {1.0, 2.0, 2.0, 4.0};
  EXPECT_EQ(enorm(4, plain), 5.0);
}

TEST(Nls, QrfacFactorsThePivotedMatrix) {
  const int m = 5, n = 3;
  double a0[m * n] = {1, 2, 3, 4, 5, 6, 7, 8, 10, -1, 0, 2, 3, -2, 1};
  double a[m * n], rdiag[n], acnorm[n], wa[n];
  int ipvt[n];
  for (int k = 0; k < m * n; ++k) a[k] = a0[k];
  qrfac(m, n, a, n, 1, ipvt, rdiag, acnorm, macheps(), wa);
  // R^T R = (A P)^T (A P), with R from the strict upper triangle and rdiag.
  for (int p = 0; p < n; ++p) {
    double cn = 0.0;
    for (int i = 0; i < m; ++i) cn += a0[i * n + p] * a0[i * n + p];
    EXPECT_REL_NEAR(acnorm[p], std::sqrt(cn), 1e-14);
  }
  for (int p = 0; p < n; ++p)
    for (int q = 0; q < n; ++q) {
      double ata = 0.0, rtr = 0.0;
      for (int i = 0; i < m; ++i) ata += a0[i * n + ipvt[p]] * a0[i * n + ipvt[q]];
      for (int k = 0; k <= (p < q ? p : q); ++k) {
        double rkp = k == p ? rdiag[p] : a[k * n + p], rkq = k == q ? rdiag[q] : a[k * n + q];
        rtr += rkp * rkq;
      }
      EXPECT_REL_NEAR(rtr, ata, 1e-12) << p << "," << q;
    }
  // Pivoting puts the column of largest norm first and keeps |rdiag| non-increasing.
  EXPECT_GE(std::fabs(rdiag[0]), std::fabs(rdiag[1]));
  EXPECT_GE(std::fabs(rdiag[1]), std::fabs(rdiag[2]));
}

TEST(NlsDeathTest, QrfacRejectsNonBinaryPivot) {
  double a[4] = {1, 2, 3, 4}, rdiag[2], acnorm[2], wa[2];
  int ipvt[2];
  EXPECT_EXIT(
      {
        fflush(stdout);
        dup2(2, 1);
        qrfac(2, 2, a, 2, 2, ipvt, rdiag, acnorm, macheps(), wa);
      },
      ::testing::ExitedWithCode(255), "Pivot only takes binary values 0 and 1 ");
}
