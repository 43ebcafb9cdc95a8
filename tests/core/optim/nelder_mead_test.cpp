// The Nelder-Mead simplex minimiser.
#include <cmath>
#include <vector>

#include "core/matrix/matrix.h"
#include "core/optim/optim.h"
#include "core/optim/test_problems.h"
#include "support/test_util.h"

using optim_test::Counter;

namespace {

double shifted_bowl(double *x, int N, void *p) {
  optim_test::note(x, N, p);
  return (x[0] - 1.0) * (x[0] - 1.0) + (x[1] + 2.0) * (x[1] + 2.0);
}

double constant(double *x, int N, void *p) {
  optim_test::note(x, N, p);
  return 3.0;
}

double unit_bowl(double *x, int N, void *p) {
  optim_test::note(x, N, p);
  return (x[0] - 1.0) * (x[0] - 1.0) + (x[1] - 1.0) * (x[1] - 1.0);
}

double linear(double *x, int N, void *p) {
  optim_test::note(x, N, p);
  return -x[0] - x[1];
}

}  // namespace

TEST(NelderMead, ShiftedBowl) {
  objective_function f{shifted_bowl, nullptr};
  double x0[2] = {0.0, 0.0}, dx[2] = {1.0, 1.0}, xf[2];
  int iter = -1;
  EXPECT_EQ(nel_min(&f, x0, 2, dx, 1.0, 400, &iter, 1e-12, xf), 1);
  EXPECT_NEAR(xf[0], 1.0, 1e-5);
  EXPECT_NEAR(xf[1], -2.0, 1e-5);
  EXPECT_GT(iter, 0);
  EXPECT_LT(iter, 400);
  EXPECT_EQ(x0[0], 0.0);
}

TEST(NelderMead, FirstSimplexLayout) {
  Counter c;
  c.record = true;
  objective_function f{shifted_bowl, &c};
  double x0[2] = {0.0, 0.0}, dx[2] = {1.0, 1.0}, xf[2];
  int iter = 0;
  nel_min(&f, x0, 2, dx, 1.0, 1, &iter, 1e-12, xf);
  // Vertex 2 (the start) is evaluated first, then vertices 0 and 1.
  ASSERT_GE(c.points.size(), 3u);
  EXPECT_EQ(c.points[0], (std::vector<double>{0.0, 0.0}));
  EXPECT_EQ(c.points[1], (std::vector<double>{1.0, 0.0}));
  EXPECT_EQ(c.points[2], (std::vector<double>{0.0, 1.0}));
  // Scaled edges.
  c.points.clear();
  double d2[2] = {0.5, 2.0};
  nel_min(&f, x0, 2, d2, 1.0, 1, &iter, 1e-12, xf);
  EXPECT_EQ(c.points[1], (std::vector<double>{0.5, 0.0}));
  EXPECT_EQ(c.points[2], (std::vector<double>{0.0, 2.0}));
}

TEST(NelderMead, OneIterationThenProbeReturnsLimit) {
  Counter c;
  objective_function f{shifted_bowl, &c};
  double x0[2] = {0.0, 0.0}, dx[2] = {1.0, 1.0}, xf[2];
  int iter = 0;
  EXPECT_EQ(nel_min(&f, x0, 2, dx, 1.0, 1, &iter, 1e-12, xf), 4);
  EXPECT_EQ(iter, 1);
  // Simplex (0,0): 5, (1,0): 4, (0,1): 10. Worst (0,1); centroid (0.5, 0); reflection
  // (1,-1): 1 < 4, expansion (1.5,-2): 0.25 accepted. Probe from (1.5,-2): (1.5005,-2)
  // is higher, (1.4995,-2) lower: stop. 3 + 2 + 2 evaluations.
  EXPECT_EQ(c.evals, 7);
  EXPECT_EQ(xf[0], 1.5);
  EXPECT_EQ(xf[1], -2.0);
}

TEST(NelderMead, ConstantObjective) {
  Counter c;
  objective_function f{constant, &c};
  double x0[2] = {0.0, 0.0}, dx[2] = {1.0, 1.0}, xf[2];
  int iter = 0;
  EXPECT_EQ(nel_min(&f, x0, 2, dx, 1.0, 400, &iter, 1e-12, xf), 1);
  EXPECT_EQ(iter, 1);
  // Worst = vertex 0 (first of equals), contraction towards the centroid (0, 0.5) gives
  // (0.5, 0.25), which replaces it; it is the lowest-index vertex.
  EXPECT_EQ(xf[0], 0.5);
  EXPECT_EQ(xf[1], 0.25);
  EXPECT_EQ(c.evals, 3 + 2 + 4);
}

TEST(NelderMead, RestartSimplexHasSmallEdges) {
  // eps >= 1 skips the iterations: every pass builds a simplex and probes.
  Counter c;
  c.record = true;
  objective_function f{unit_bowl, &c};
  double x0[2] = {0.0, 0.0}, dx[2] = {1.0, 1.0}, xf[2];
  int iter = 0;
  nel_min(&f, x0, 2, dx, 1.0, 100000, &iter, 2.0, xf);
  EXPECT_EQ(iter, 0);
  // Pass 1: vertices (0,0), (1,0), (0,1); lowest (1,0) (first of the two 1s). Probes:
  // (1.001,0), (0.999,0), (0.999,0.001) lower: restart there with edges 0.001.
  ASSERT_GE(c.points.size(), 9u);
  const double z0 = 1.0 + 0.001 - 0.002, z1 = 0.0 + 0.001;  // the probe point, as rounded
  EXPECT_EQ(c.points[5], (std::vector<double>{z0, z1}));
  EXPECT_EQ(c.points[6], (std::vector<double>{z0, z1}));
  EXPECT_EQ(c.points[7], (std::vector<double>{z0 + 0.001, z1}));
  EXPECT_EQ(c.points[8], (std::vector<double>{z0, z1 + 0.001}));
}

TEST(NelderMead, UnboundedWithLargeEpsTerminates) {
  // Regression: without simplex iterations the probes of a function unbounded below
  // always improve; the passes are bounded by maxiter and the result is the limit code.
  Counter c;
  objective_function f{linear, &c};
  double x0[2] = {0.0, 0.0}, dx[2] = {1.0, 1.0}, xf[2];
  int iter = 0;
  EXPECT_EQ(nel_min(&f, x0, 2, dx, 1.0, 50, &iter, 2.0, xf), 4);
  EXPECT_EQ(iter, 0);
  EXPECT_LE(c.evals, 50 * (3 + 4));
}

TEST(NelderMead, IterationsCountAcrossRestarts) {
  objective_function f{optim_test::rosenbrock, nullptr};
  double x0[2] = {-1.2, 1.0}, dx[2] = {1.0, 1.0}, xf[2];
  int iter = 0;
  EXPECT_EQ(nel_min(&f, x0, 2, dx, 1.0, 50, &iter, macheps(), xf), 4);
  EXPECT_EQ(iter, 50);
  EXPECT_EQ(nel_min(&f, x0, 2, dx, 1.0, 0, &iter, macheps(), xf), 4);
  EXPECT_EQ(iter, 0);
  EXPECT_EQ(xf[0], -1.2);
}
