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

// A batch objective made of a scalar one, point by point; counts the points.
struct Pointwise {
  objective_function f;
  long points = 0;
};

void EvaluatePointwise(const double *points, int count, int N, double *values, void *params) {
  auto *pw = static_cast<Pointwise *>(params);
  std::vector<double> x(points, points + static_cast<std::size_t>(count) * N);
  for (int k = 0; k < count; ++k) values[k] = pw->f.funcpt(x.data() + k * N, N, pw->f.params);
  pw->points += count;
}

double CountedScalar(double *x, int N, void *params) {
  auto *pw = static_cast<Pointwise *>(params);
  ++pw->points;
  return pw->f.funcpt(x, N, pw->f.params);
}

struct Outcome {
  int code;
  std::vector<double> xf;
  std::string printed;
};

Outcome Scalar(objective_function f, std::vector<double> x0) {
  Outcome r{0, std::vector<double>(x0.size(), -9.0), ""};
  r.printed = tsf_test::CaptureStdout(
      [&] { r.code = fminunc(&f, nullptr, static_cast<int>(x0.size()), x0.data(), 1.0, 7, r.xf.data()); });
  return r;
}

Outcome Batched(objective_function f, std::vector<double> x0, int cache_entries, long *evaluations) {
  Pointwise pw{f};
  const tsf_optim::batch_objective bf = {EvaluatePointwise, &pw};
  tsf_optim::batch_options options;
  options.cache_entries = cache_entries;
  options.evaluations = evaluations;
  Outcome r{0, std::vector<double>(x0.size(), -9.0), ""};
  r.printed = tsf_test::CaptureStdout([&] {
    r.code = tsf_optim::fminunc_batched(&f, &bf, static_cast<int>(x0.size()), x0.data(), 1.0, r.xf.data(), options);
  });
  return r;
}

bool SameBits(const std::vector<double> &a, const std::vector<double> &b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
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
    double (*f)(double *, int, void *);
    std::vector<double> x0;
  };
  std::vector<Case> cases;
  for (const auto &pr : optim_test::standard_problems()) cases.push_back({pr.name, pr.f, pr.x0});
  cases.push_back({"one coordinate moves", OneCoordinateMoves, {1.0, 0.0}});
  cases.push_back({"walled far", Walled, {-2.9, 2.9}});
  cases.push_back({"NaN at a start difference point", Walled, {0.5 - 1e-8, 1.0}});
  cases.push_back({"NaN at start", Walled, {0.5 + 5e-8, 1.0}});
  cases.push_back({"infinite at start", Walled, {4.0, 1.0}});
  for (const Case &c : cases) {
    Pointwise scalar{{c.f, nullptr}};
    const Outcome want = Scalar({CountedScalar, &scalar}, c.x0);
    long evaluations[3] = {0, 0, 0};
    const int entries[3] = {8, 1, 0};
    for (int e = 0; e < 3; ++e) {
      const Outcome got = Batched({c.f, nullptr}, c.x0, entries[e], &evaluations[e]);
      EXPECT_EQ(got.code, want.code) << c.name << ", cache " << entries[e];
      EXPECT_TRUE(SameBits(got.xf, want.xf)) << c.name << ", cache " << entries[e];
      EXPECT_EQ(got.printed, want.printed) << c.name << ", cache " << entries[e];
    }
    EXPECT_LE(evaluations[0], evaluations[2]) << c.name;
    // The start costs N + 1 values instead of 2N + 1; a trial is 2N + 1 either way.
    if (want.code != 15) {
      EXPECT_LT(evaluations[2], scalar.points) << c.name;
    }
  }
}

// The Hessian of hessian_fd, its distinct points evaluated once: 1 + 2N + N(N-1)/2 of the
// scheme's 4N^2 when every step taken back restores its coordinate, which a coordinate
// just below a power of two does not (x + h crosses into the next binade).
TEST(BatchedBfgs, HessianEvaluatesEachDistinctPointOnce) {
  const double eps = 2.220446049250313e-16;
  struct Case {
    double (*f)(double *, int, void *);
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
    int want_code = 0;
    const std::string want_text = tsf_test::CaptureStdout([&] {
      objective_function f = {c.f, nullptr};
      want_code = hessian_fd(&f, x.data(), N, dx.data(), eps, want.data());
    });
    Pointwise pw{{c.f, nullptr}};
    const tsf_optim::batch_objective bf = {EvaluatePointwise, &pw};
    long evaluations = 0;
    int got_code = 0;
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
