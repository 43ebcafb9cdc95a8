// The unit-root tests: statistics against an independent NumPy computation, the
// critical values against the limit distribution, the number of differences they choose.
#include <cmath>
#include <random>
#include <vector>

#include "Forecast/UnitRoot.h"
#include "support/test_util.h"

namespace {

std::vector<double> Log(std::vector<double> x) {
  for (double &v : x) v = std::log(v);
  return x;
}

std::vector<double> Diff(const std::vector<double> &x) {
  std::vector<double> w;
  for (size_t t = 1; t < x.size(); ++t) w.push_back(x[t] - x[t - 1]);
  return w;
}

// White noise, its running sum and the running sum of that.
std::vector<double> Integrated(int n, int times, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::normal_distribution<double> z(0.0, 1.0);
  std::vector<double> x(n);
  for (double &v : x) v = z(gen);
  for (int k = 0; k < times; ++k)
    for (int t = 1; t < n; ++t) x[t] += x[t - 1];
  return x;
}

}  // namespace

// Reference values from NumPy, written from the papers' formulas apart from this code:
// e = x - mean, S = cumsum(e), eta = sum(S^2) / (n^2 * lrv) with the Bartlett long-run
// variance lrv = (e'e + 2 sum_k (1 - k/(l+1)) e[k:]'e[:-k]) / n; Canova-Hansen: residuals
// of numpy.linalg.lstsq of x[1:] on (1, x[:-1], cos/sin(2 pi j t / s), (-1)^t), t = 1..n-1,
// U = F * e, W the Bartlett long-run covariance of U, L = sum_i (cumsum U)_i' W^-1
// (cumsum U)_i / n^2; seasonal Ljung-Box: w = diff(x), r_k = sum((w[k:]-m)(w[:-k]-m)) /
// sum((w-m)^2), Q = n (n + 2) sum over k = s, 2s of max(r_k, 0)^2 / (n - k).
TEST(UnitRoot, StatisticsMatchAnIndependentComputation) {
  const std::vector<double> nile = tsf_test::LoadSeries("nile.csv");
  const std::vector<double> air = tsf_test::LoadSeries("airpassengers.csv");
  struct Case {
    const char *what;
    double value, expected;
  } cases[] = {
      {"KPSS nile", KPSSStatistic(nile), 0.9654349077526603},
      {"KPSS nile, no lag", KPSSStatistic(nile, 0), 2.5264564549208766},
      {"KPSS nile, 8 lags", KPSSStatistic(nile, 8), 0.6815135277752928},
      {"KPSS diff nile", KPSSStatistic(Diff(nile)), 0.023267529549552524},
      {"KPSS lakehuron", KPSSStatistic(tsf_test::LoadSeries("lakehuron.csv")), 0.9952901144115358},
      {"KPSS lh", KPSSStatistic(tsf_test::LoadSeries("lh.csv")), 0.2938157272834688},
      {"CH airpassengers, 12", CanovaHansenStatistic(air, 12), 3.34403693144576},
      {"CH log airpassengers, 12", CanovaHansenStatistic(Log(air), 12), 2.860991198544759},
      {"CH co2, 12", CanovaHansenStatistic(tsf_test::LoadSeries("co2.csv"), 12), 4.17791373137689},
      {"CH nile, 4", CanovaHansenStatistic(nile, 4), 0.4746438665618811},
      {"CH lh, 4", CanovaHansenStatistic(tsf_test::LoadSeries("lh.csv"), 4), 0.7185174283337009},
      {"CH lh, 3 (odd period)", CanovaHansenStatistic(tsf_test::LoadSeries("lh.csv"), 3), 0.24778902139955108},
      {"LB airpassengers, 12", SeasonalLjungBox(air, 12), 194.4692892087745},
      {"LB co2, 12", SeasonalLjungBox(tsf_test::LoadSeries("co2.csv"), 12), 800.9885899323644},
      {"LB nile, 4", SeasonalLjungBox(nile, 4), 5.871553075064442},
      {"LB lh, 3 (a negative autocorrelation)", SeasonalLjungBox(tsf_test::LoadSeries("lh.csv"), 3), 1.0392403615184116},
  };
  for (const Case &c : cases) EXPECT_REL_NEAR(c.value, c.expected, 1e-11) << c.what;
}

TEST(UnitRoot, KPSSLagIsTheShortTruncation) {
  const int n[] = {1, 10, 99, 100, 1000, 10000};
  const int lag[] = {1, 2, 3, 4, 7, 12};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(KPSSLag(n[i]), lag[i]) << n[i];
}

// Exact 5% points of the limit, a sum of df Cramer-von Mises variables, by numerical
// inversion of its characteristic function prod_k (1 - 2it/(pi k)^2)^(-df/2) (SciPy quad
// and brentq): the published values agree to their simulation error, the approximation
// beyond the table to 1.5%.
TEST(UnitRoot, CriticalValuesFollowTheLimitDistribution) {
  const double exact[] = {0.4614, 0.7475, 1.0002, 1.2373, 1.4651, 1.6864, 1.903,  2.1159, 2.3258, 2.5333,
                          2.7386, 2.9422, 3.1442, 3.3448, 3.5442, 3.7425, 3.9397, 4.1361, 4.3316, 4.5264};
  for (int df = 1; df <= 20; ++df) EXPECT_REL_NEAR(CanovaHansenCritical(df + 1), exact[df - 1], 0.02) << df;
  EXPECT_DOUBLE_EQ(CanovaHansenCritical(12), 2.75);
  EXPECT_DOUBLE_EQ(CanovaHansenCritical(4), 1.01);
  EXPECT_TRUE(std::isnan(CanovaHansenCritical(1)));
  EXPECT_DOUBLE_EQ(KPSSCritical(), 0.463);
}

TEST(UnitRoot, DifferencesChosen) {
  EXPECT_EQ(KPSSDiffs(Integrated(200, 0, 1)), 0);
  EXPECT_EQ(KPSSDiffs(Integrated(200, 1, 2)), 1);
  EXPECT_EQ(KPSSDiffs(Integrated(200, 2, 3)), 2);
  EXPECT_EQ(KPSSDiffs(Integrated(200, 3, 4)), 2);  // at most maxd
  EXPECT_EQ(KPSSDiffs(Integrated(200, 2, 3), 1), 1);
  EXPECT_EQ(KPSSDiffs(std::vector<double>(50, 3.0)), 0);
  EXPECT_EQ(KPSSDiffs({1.0, 2.0}), 0);

  // A fixed seasonal pattern plus noise is stable; a seasonal random walk is not.
  std::mt19937_64 gen(7);
  std::normal_distribution<double> z(0.0, 1.0);
  std::vector<double> stable(120), walk(120);
  for (int t = 0; t < 120; ++t) {
    stable[t] = 10.0 * std::sin(2.0 * 3.14159265358979 * t / 12.0) + z(gen);
    walk[t] = (t >= 12 ? walk[t - 12] : 0.0) + z(gen);
  }
  EXPECT_EQ(CanovaHansenDiffs(stable, 12), 0);
  EXPECT_EQ(CanovaHansenDiffs(walk, 12), 1);
  EXPECT_EQ(CanovaHansenDiffs(tsf_test::LoadSeries("airpassengers.csv"), 12), 1);
  EXPECT_EQ(CanovaHansenDiffs(std::vector<double>(walk.begin(), walk.begin() + 35), 12), 0);  // < 3 seasons
  EXPECT_EQ(CanovaHansenDiffs(walk, 1), 0);
  // A stable pattern passes the Canova-Hansen test but is still differenced: the model
  // has no other place for it. Noise alone is not.
  EXPECT_EQ(SeasonalDiffs(stable, 12), 1);
  EXPECT_EQ(SeasonalDiffs(walk, 12), 1);
  EXPECT_EQ(SeasonalDiffs(Integrated(120, 1, 8), 12), 0);
  EXPECT_EQ(SeasonalDiffs(stable, 1), 0);
  EXPECT_EQ(CanovaHansenStatistic(std::vector<double>(60, 2.0), 4), 0.0);
}
