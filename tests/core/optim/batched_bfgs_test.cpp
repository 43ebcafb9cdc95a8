// The batched method 7 and Hessian against fminunc and hessian_fd: the same codes, points,
// messages and Hessians, on the standard problems and on objectives that turn infinite
// or NaN at start, difference and trial points.
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "core/optim/batch_internal.h"
#include "core/optim/optim.h"
#include "support/test_util.h"
#include "test_problems.h"

namespace {

typedef double (*Scalar)(double *, int, void *);

// A batch objective made of a scalar one, point by point; counts the points.
struct Pointwise {
  Scalar f;
  long points = 0;
};

void EvaluatePointwise(const double *points, int count, int N, double *values, void *params) {
  auto *pw = static_cast<Pointwise *>(params);
  std::vector<double> x(points, points + static_cast<std::size_t>(count) * N);
  for (int k = 0; k < count; ++k) values[k] = pw->f(x.data() + k * N, N, nullptr);
  pw->points += count;
}

double CountedScalar(double *x, int N, void *params) {
  double value;
  EvaluatePointwise(x, 1, N, &value, params);
  return value;
}

bool SameBits(const std::vector<double> &a, const std::vector<double> &b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

struct Outcome {
  int code;
  std::vector<double> xf;
  std::string printed;
  long points;
};

// fminunc's method 7 (cache_entries < 0) or its batched form with that many trial points cached.
Outcome Minimise(Scalar fn, std::vector<double> x0, int cache_entries) {
  const int N = static_cast<int>(x0.size());
  Pointwise pw{fn};
  objective_function f = {fn, nullptr}, counted = {CountedScalar, &pw};
  const tsf_optim::batch_objective bf = {EvaluatePointwise, &pw};
  tsf_optim::batch_options options;
  options.cache_entries = cache_entries;
  Outcome r{0, std::vector<double>(N, -9.0), "", 0};
  options.evaluations = &r.points;
  r.printed = tsf_test::CaptureStdout([&] {
    r.code = cache_entries < 0 ? fminunc(&counted, nullptr, N, x0.data(), 1.0, 7, r.xf.data())
                               : tsf_optim::fminunc_batched(&f, &bf, N, x0.data(), 1.0, r.xf.data(), options);
  });
  if (cache_entries < 0) r.points = pw.points;
  return r;
}

// Rosenbrock that overflows beyond |x| = 3 (trial points of long steps), and is NaN on a
// strip the difference points of the start can reach.
double Walled(double *x, int N, void *p) {
  if (std::fabs(x[0]) > 3.0 || std::fabs(x[1]) > 3.0) return std::numeric_limits<double>::infinity();
  if (x[0] > 0.5 && x[0] < 0.5 + 1e-7) return std::nan("");
  return optim_test::rosenbrock(x, N, p);
}

// Every trial point of a search from (1, 0) shares its first coordinate (the gradient has
// none there): a cache must tell trial points apart by every coordinate.
double OneCoordinateMoves(double *x, int, void *) {
  return (x[0] - 1.0) * (x[0] - 1.0) + 10.0 * (x[1] - 3.0) * (x[1] - 3.0);
}

TEST(BatchedBfgs, SameRunsAsTheScalarMinimiser) {
  struct Case {
    const char *name;
    Scalar f;
    std::vector<double> x0;
  };
  std::vector<Case> cases = {{"one coordinate moves", OneCoordinateMoves, {1.0, 0.0}},
                             {"walled far", Walled, {-2.9, 2.9}},
                             {"NaN at a start difference point", Walled, {0.5 - 1e-8, 1.0}},
                             {"NaN at start", Walled, {0.5 + 5e-8, 1.0}},
                             {"infinite at start", Walled, {4.0, 1.0}}};
  for (const auto &pr : optim_test::standard_problems()) cases.push_back({pr.name, pr.f, pr.x0});
  for (const Case &c : cases) {
    const Outcome want = Minimise(c.f, c.x0, -1);
    long points[3];
    const int entries[3] = {8, 1, 0};
    for (int e = 0; e < 3; ++e) {
      const Outcome got = Minimise(c.f, c.x0, entries[e]);
      EXPECT_EQ(got.code, want.code) << c.name << ", cache " << entries[e];
      EXPECT_TRUE(SameBits(got.xf, want.xf)) << c.name << ", cache " << entries[e];
      EXPECT_EQ(got.printed, want.printed) << c.name << ", cache " << entries[e];
      points[e] = got.points;
    }
    EXPECT_LE(points[0], points[2]) << c.name;
    // The start costs N + 1 values instead of 2N + 1; a trial is 2N + 1 either way.
    if (want.code != 15) {
      EXPECT_LT(points[2], want.points) << c.name;
    }
  }
}

// The Hessian of hessian_fd, its distinct points evaluated once: 1 + 2N + N(N-1)/2 of the
// scheme's 4N^2 when every step taken back restores its coordinate, which a coordinate
// just below a power of two does not (x + h crosses into the next binade).
TEST(BatchedBfgs, HessianEvaluatesEachDistinctPointOnce) {
  const double eps = 2.220446049250313e-16;
  struct Case {
    Scalar f;
    std::vector<double> x;
    int code;
  };
  const std::vector<Case> cases = {{optim_test::quadratic5, {1.5, 2.5, -3.0, 0.0, 5.0}, 0},
                                   {optim_test::wood, {std::nextafter(1.0, 0.0), 0.9999999, -1.0, 1e-12}, 0},
                                   {optim_test::powell_singular, {1e300, 1.0, 2.0, 3.0}, 15},
                                   {Walled, {0.5 + 5e-8 - 6.0554544523933395e-06, 1.0}, 15}};
  for (const Case &c : cases) {
    const int N = static_cast<int>(c.x.size());
    std::vector<double> dx(N, 1.0), want(N * N, 0.0), got(N * N, 0.0), x = c.x;
    objective_function f = {c.f, nullptr};
    Pointwise pw{c.f};
    const tsf_optim::batch_objective bf = {EvaluatePointwise, &pw};
    long evaluations = 0;
    int want_code = 0, got_code = 0;
    const std::string want_text =
        tsf_test::CaptureStdout([&] { want_code = hessian_fd(&f, x.data(), N, dx.data(), eps, want.data()); });
    const std::string got_text = tsf_test::CaptureStdout(
        [&] { got_code = tsf_optim::hessian_fd_batched(&bf, x.data(), N, dx.data(), eps, got.data(), &evaluations); });
    EXPECT_EQ(got_code, c.code) << N;
    EXPECT_EQ(got_code, want_code);
    EXPECT_EQ(got_text, want_text);
    EXPECT_TRUE(SameBits(got, want)) << N;
    EXPECT_TRUE(SameBits(x, c.x));
    EXPECT_EQ(evaluations, pw.points);
    // The quadratic's steps all restore their coordinates; some of Wood's do not.
    if (c.code == 0) {
      EXPECT_EQ(evaluations > 1 + 2 * N + N * (N - 1) / 2, N == 4) << evaluations;
    }
  }
}

}  // namespace
