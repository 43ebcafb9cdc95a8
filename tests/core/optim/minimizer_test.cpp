// The minimisers run through the family's driver: every run of every method, point by
// point, as recorded before the methods shared one driver.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/matrix/matrix.h"
#include "core/optim/optim.h"
#include "support/test_util.h"
#include "test_problems.h"

namespace {

// FNV-1a over 64-bit words, byte by byte from the low end: the same on either byte order.
struct Digest {
  std::uint64_t h = 14695981039346656037ull;
  void word(std::uint64_t w) {
    for (int b = 0; b < 8; ++b) h = (h ^ ((w >> (8 * b)) & 0xffu)) * 1099511628211ull;
  }
  void values(const double *v, int n) {
    for (int i = 0; i < n; ++i) {
      std::uint64_t w;
      std::memcpy(&w, &v[i], sizeof w);
      word(w);
    }
  }
};

// Every point an objective is evaluated at goes into the digest, in order.
struct Recorder {
  double (*f)(double *, int, void *);
  Digest digest;
  long evals = 0;
};

double recorded(double *x, int N, void *p) {
  auto *r = static_cast<Recorder *>(p);
  r->digest.values(x, N);
  ++r->evals;
  return r->f(x, N, nullptr);
}

double nan_everywhere(double *, int, void *) { return std::nan(""); }
double inf_everywhere(double *, int, void *) { return HUGE_VAL; }
// Finite only at (1, 2): the start's value is fine, its difference points are not.
double finite_at_start_only(double *x, int, void *) { return x[0] == 1.0 && x[1] == 2.0 ? 3.0 : std::nan(""); }
// Rosenbrock that turns NaN once x[0] passes -0.5: reached by the first long steps.
double rosenbrock_nan_right(double *x, int N, void *) {
  return x[0] > -0.5 ? std::nan("") : optim_test::rosenbrock(x, N, nullptr);
}
double constant(double *, int, void *) { return 1.0; }

struct Case {
  std::string name;
  double (*f)(double *, int, void *);
  std::vector<double> x0, dx;
  double maxstep;  // newton_min_trust: the initial radius
  int maxiter;
};

std::vector<Case> cases() {
  std::vector<Case> c;
  const std::vector<double> scales = {3.0, 0.1, 7.0, 0.3, 1.5};
  for (const auto &pr : optim_test::standard_problems()) {
    c.push_back({pr.name, pr.f, pr.x0, std::vector<double>(pr.N, 1.0), -1.0, 1000});
    c.push_back({std::string(pr.name) + " scaled", pr.f, pr.x0,
                 std::vector<double>(scales.begin(), scales.begin() + pr.N), -1.0, 1000});
  }
  c.push_back({"step bound", optim_test::rosenbrock, {-1.2, 1.0}, {1.0, 1.0}, 0.5, 1000});
  c.push_back({"iteration limit", optim_test::rosenbrock, {-1.2, 1.0}, {1.0, 1.0}, -1.0, 3});
  c.push_back({"NaN", nan_everywhere, {1.0, 2.0}, {1.0, 1.0}, -1.0, 1000});
  c.push_back({"infinite", inf_everywhere, {1.0, 2.0}, {1.0, 1.0}, -1.0, 1000});
  c.push_back({"NaN gradient", finite_at_start_only, {1.0, 2.0}, {1.0, 1.0}, -1.0, 1000});
  c.push_back({"NaN trial point", rosenbrock_nan_right, {-1.2, 1.0}, {1.0, 1.0}, -1.0, 1000});
  c.push_back({"no parameters", constant, {}, {}, -1.0, 1000});
  return c;
}

const char *const kMethods[] = {"newton_min_func", "newton_min_trust hook", "newton_min_trust dog-leg",
                                "conjgrad_min_lin", "cgpr_mt", "bfgs_min", "bfgs_l_min", "bfgs_min_naive",
                                "bfgs_min2"};

int run(int method, objective_function *f, Case &c, int N, int *iter, double *xf) {
  const double eps = macheps(), gtol = std::pow(eps, 0.3333333333333333), tol2 = gtol * gtol;
  double *x0 = c.x0.data(), *dx = c.dx.data();
  switch (method) {
    case 0: return newton_min_func(f, nullptr, x0, N, dx, 1.0, c.maxstep, c.maxiter, iter, eps, gtol, tol2, xf);
    case 1:
    case 2:
      return newton_min_trust(f, nullptr, x0, N, dx, 1.0, c.maxstep, method - 1, c.maxiter, iter, eps, gtol, tol2,
                              xf);
    case 3: return conjgrad_min_lin(f, nullptr, x0, N, dx, c.maxstep, c.maxiter, iter, eps, gtol, tol2, eps, xf);
    case 4: return cgpr_mt(f, nullptr, x0, N, dx, c.maxstep, c.maxiter, iter, eps, gtol, tol2, eps, xf);
    case 5: return bfgs_min(f, nullptr, x0, N, dx, 1.0, c.maxstep, c.maxiter, iter, eps, gtol, tol2, xf);
    case 6:
      return bfgs_l_min(f, nullptr, x0, N, mvalue(N), dx, 1.0, c.maxstep, c.maxiter, iter, eps, gtol, tol2, eps,
                        xf);
    case 7: return bfgs_min_naive(f, nullptr, x0, N, dx, 1.0, c.maxstep, c.maxiter, eps, xf);
    default:
      return bfgs_min2(f, nullptr, x0, N, mvalue(N), dx, 1.0, c.maxstep, c.maxiter, iter, eps, gtol, tol2, eps, xf);
  }
}

// Recorded with the methods' own drivers (tsforge 4dcb3d6), one per method in the order
// of kMethods: the digest of its runs' digests, case by case in the order of cases().
const std::uint64_t kRecorded[9] = {0x66246496203af878ull, 0x7a762bdc8b39cc9full, 0xcfc511013bcb637eull,
                                    0x81739fe05267cc11ull, 0x9e078068ee680e18ull, 0x61b8799099f09446ull,
                                    0xe4a1afa3677dc351ull, 0x9c9884f38ce3757full, 0xc17863dcfca78116ull};

}  // namespace

TEST(Minimizer, EveryRunIsTheRecordedOne) {
  for (int m = 0; m < 9; ++m) {
    Digest all;
    std::string runs;
    for (Case c : cases()) {
      Recorder rec{c.f, {}};
      objective_function f{recorded, &rec};
      std::vector<double> xf(c.x0.size(), -9.0);
      int iter = -1, code = 0, N = static_cast<int>(c.x0.size());
      const std::string out = tsf_test::CaptureStdout([&] { code = run(m, &f, c, N, &iter, xf.data()); });
      Digest &d = rec.digest;
      for (long w : {long{code}, long{m == 7 ? 0 : iter}, rec.evals}) d.word(static_cast<std::uint64_t>(w));
      d.values(xf.data(), N);
      d.values(c.x0.data(), N);
      d.values(c.dx.data(), N);
      for (unsigned char ch : out) d.word(ch);
      all.word(d.h);
      runs += "\n  " + c.name + ": code " + std::to_string(code) + ", " + std::to_string(iter) + " iterations, " +
              std::to_string(rec.evals) + " evaluations, digest " + std::to_string(d.h) + ", printed \"" + out + "\"";
    }
    EXPECT_EQ(all.h, kRecorded[m]) << kMethods[m] << runs;
  }
}

TEST(Minimizer, NegativeSizeIsAnInputErrorNotACrash) {
  // bfgs_min2 sized its work from N before any check and failed to allocate.
  Case c{"negative size", optim_test::rosenbrock, {-1.2, 1.0}, {1.0, 1.0}, -1.0, 1000};
  for (int m = 0; m < 9; ++m) {
    Recorder rec{c.f, {}};
    objective_function f{recorded, &rec};
    double xf[2] = {-9.0, -9.0};
    int iter = m == 7 ? 0 : -1;  // bfgs_min_naive reports no iterations
    EXPECT_EQ(run(m, &f, c, -1, &iter, xf), 0) << kMethods[m];
    EXPECT_EQ(rec.evals, 0) << kMethods[m];
    EXPECT_EQ(iter, 0) << kMethods[m];
  }
}
