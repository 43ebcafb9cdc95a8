// The batched objectives against fcss and fas154, bit for bit: random parameter vectors of
// many orders (stationary or not, unit MA roots, overflowing and NaN coefficients, lanes one
// unit apart), every batch size up to two of the widest groups and one, every lane set.
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "core/arima/arima.h"
#include "core/arima/estimators_internal.h"
#include "core/arima/likelihood_batch_internal.h"
#include "support/test_util.h"

namespace {

struct Order {
  int p, d, q;
};

// Orders of the search (state dimension 1 to 4, CSS tails up to (3, 3)) and beyond them:
// the general CSS loop (p or q > 3) and the filter of any dimension (r = 5, 6).
const Order kOrders[] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 1}, {1, 1, 1}, {2, 0, 1}, {3, 0, 3}, {3, 2, 3},
                         {0, 2, 3}, {4, 0, 2}, {5, 0, 1}, {2, 1, 5}, {6, 1, 0}};

std::vector<double> Series(int n) {
  std::mt19937_64 gen(7);
  std::normal_distribution<double> z(0.0, 1.0);
  std::vector<double> x(n);
  double a = 0.0, e1 = 0.0;
  for (double &v : x) {
    const double e = z(gen);
    a = 0.6 * a + e + 0.3 * e1;
    e1 = e;
    v = 50.0 + a;
  }
  return x;
}

// A parameter vector of k values: mostly moderate coefficients, sometimes non-stationary
// or non-invertible ones, an MA root on the unit circle (the filter never settles), huge
// values (overflow to inf and NaN) or NaN itself; the mean near the series level.
std::vector<double> RandomPoint(std::mt19937_64 &gen, const Order &o) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  const int M = o.d == 0 ? 1 : 0;
  std::vector<double> b(o.p + o.q + M);
  const int kind = static_cast<int>(gen() % 10);
  for (int i = 0; i < o.p + o.q; ++i) b[i] = (kind == 1 ? 1.6 : 0.9 / (1 + i)) * u(gen);
  if (kind == 2 && o.q > 0) b[o.p + o.q - 1] = -1.0;
  if (kind == 3 && o.p + o.q > 0) b[gen() % (o.p + o.q)] = 1e200;
  if (kind == 4 && !b.empty()) b[gen() % b.size()] = std::nan("");
  if (M == 1) b.back() = 50.0 + u(gen);
  return b;
}

bool SameValue(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

const tsf_arima::lane_set kLaneSets[] = {tsf_arima::lane_set::single, tsf_arima::lane_set::baseline,
                                         tsf_arima::lane_set::avx512};

// Evaluates count points (one batch) both ways; the scalar objective runs on the same work
// object, after the batch, whose state must be as before.
::testing::AssertionResult BatchMatchesScalar(alik_css_object *obj, bool exact, tsf_arima::lane_set lanes,
                                              const std::vector<double> &points, int count) {
  const int k = obj->pq;
  const std::vector<double> x_before(obj->x, obj->x + 3 * static_cast<std::size_t>(obj->N) + 1);
  std::vector<double> values(count);
  tsf_arima::batch_likelihood(obj, exact, lanes).evaluate(points.data(), count, values.data());
  if (!std::equal(x_before.begin(), x_before.end(), obj->x, SameValue))
    return ::testing::AssertionFailure() << "the batch wrote into the work object";
  for (int j = 0; j < count; ++j) {
    std::vector<double> b(points.begin() + j * k, points.begin() + (j + 1) * k);
    const double scalar = exact ? fas154(b.data(), k, obj) : fcss(b.data(), k, obj);
    if (!SameValue(values[j], scalar))
      return ::testing::AssertionFailure() << (exact ? "fas154" : "fcss") << " lane " << j << " of " << count << ": "
                                           << values[j] << " instead of " << scalar;
  }
  return ::testing::AssertionSuccess();
}

TEST(BatchLikelihood, EveryLaneIsTheScalarObjective) {
  std::vector<double> x = Series(240);
  std::mt19937_64 gen(20260414);
  for (const Order &o : kOrders) {
    for (bool exact : {false, true}) {
      alik_css_object *obj = exact ? alik_init(o.p, o.d, o.q, 240) : alik_css_init(o.p, o.d, o.q, 240);
      tsf_arima::load_series(obj, x.data(), 240);
      for (tsf_arima::lane_set lanes : kLaneSets) {
        // The widest group: two vectors of 8 side by side (CSS with AVX-512).
        const int W = tsf_arima::batch_likelihood(obj, exact, lanes).wide() ? 16 : 4;
        for (int count = 1; count <= 2 * W + 1; ++count) {
          std::vector<double> points;
          for (int j = 0; j < count; ++j) {
            std::vector<double> b = RandomPoint(gen, o);
            // Every third point one unit in the last place from the one before.
            if (j % 3 == 2 && !b.empty()) {
              b.assign(points.end() - obj->pq, points.end());
              b[j % b.size()] = std::nextafter(b[j % b.size()], 2.0);
            }
            points.insert(points.end(), b.begin(), b.end());
          }
          ASSERT_TRUE(BatchMatchesScalar(obj, exact, lanes, points, count))
              << "order (" << o.p << "," << o.d << "," << o.q << "), " << W << " lanes";
        }
      }
      free_alik(obj);
    }
  }
}

// Lanes that reach the fixed point of the filter's covariance at different steps, or never
// (the first: an MA root on the unit circle): the filter takes its shortcut only when every
// lane is there, so these lanes filter in full where the scalar filter takes the shortcut,
// and both must give the same bits. Without the first, the lanes take it too.
TEST(BatchLikelihood, FixedPointShortcutIsExact) {
  std::vector<double> x = Series(600);
  const std::vector<double> points = {0.5, -1.0, 50.0, 0.5, 0.3, 50.0, 0.2, -0.9, 50.0, -0.4, 0.6, 50.1, 0.1, 0.1, 49.9};
  alik_object *obj = alik_init(1, 0, 1, 600);
  tsf_arima::load_series(obj, x.data(), 600);
  for (tsf_arima::lane_set lanes : kLaneSets) {
    EXPECT_TRUE(BatchMatchesScalar(obj, true, lanes, points, 5));
    EXPECT_TRUE(BatchMatchesScalar(obj, true, lanes, std::vector<double>(points.begin() + 3, points.end()), 4));
  }
  free_alik(obj);
}

}  // namespace
