// The stand-alone predictor against R's forecasts at fixed coefficients, its small worked
// cases, and the refusals of series too short for the recursion.
#include <cmath>
#include <string>
#include <vector>

#include "core/arima/arima.h"
#include "support/test_util.h"

TEST(PredictArima, DifferencedSeriesIsTheSeriesModelled) {
  // R 4.2: predict(arima(x, order = c(p, d, q), fixed = c(phi, -theta[, mean]),
  // transform.pars = FALSE), n.ahead = 6)$pred; the intercept is mean (1 - sum phi). On
  // these lengths the conditional start has died out (pure AR forecasts need none), so
  // the forecasts agree with the exact ones. Applying the difference operator a second
  // time inside the recursion would forecast another model entirely.
  struct Case {
    const char *file;
    int p, d, q;
    std::vector<double> phi, theta;
    double c;
    std::vector<double> pred;
  };
  const Case cases[] = {
      {"nile.csv", 2, 0, 1, {0.5, 0.2}, {0.4}, 919.35 * 0.3,
       {830.68318653342533, 839.14659326671267, 861.51493394004137, 874.39178562336326, 885.30387959968994,
        893.33529692451759}},
      {"lakehuron.csv", 1, 1, 1, {0.3}, {-0.4}, 0.0,
       {579.7426173906166, 579.67740260780158, 579.6578381729571, 579.65196884250372, 579.65020804336768,
        579.6496798036269}},
      {"wwwusage.csv", 0, 2, 2, {}, {0.5, -0.2}, 0.0,
       {216.47392196258824, 213.04996315568587, 209.62600434878351, 206.20204554188115, 202.77808673497879,
        199.35412792807642}},
      {"airpassengers.csv", 4, 1, 0, {0.3, -0.2, 0.1, 0.15}, {}, 0.0,
       {439.40000000000003, 419.07000000000005, 405.04100000000005, 411.93830000000008, 415.89029000000011,
        411.24402700000013}},
  };
  for (const Case &c : cases) {
    const std::vector<double> x = tsf_test::LoadSeries(c.file);
    std::vector<double> y(6);
    predictarima(x.data(), static_cast<int>(x.size()), c.p, c.d, c.q, c.phi.data(), c.theta.data(), c.c, 6,
                 y.data());
    for (int h = 0; h < 6; ++h) EXPECT_REL_NEAR(y[h], c.pred[h], 1e-13) << c.file << " h " << h;
  }
}

TEST(PredictArima, WorkedCases) {
  // On 1, 2, 3, 4 with every coefficient 0.5: white noise forecasts c; the AR(1) halves the
  // last value, then that; the MA(1) starts its one-step errors at t = 3, where e3 = 4 - 0,
  // so forecasts -0.5 e3, then 0; with d = 1 the last value plus the AR(1) forecasts of the
  // differences (all 1).
  struct Case {
    int p, d, q;
    double c;
    std::vector<double> pred;
  };
  const std::vector<double> x = {1.0, 2.0, 3.0, 4.0};
  const double half = 0.5;
  for (const Case &c : {Case{0, 0, 0, 1.5, {1.5, 1.5, 1.5, 1.5}}, Case{1, 0, 0, 0.0, {2.0, 1.0, 0.5, 0.25}},
                        Case{0, 0, 1, 0.0, {-2.0, 0.0, 0.0}}, Case{1, 1, 0, 0.0, {4.5, 4.75}}}) {
    std::vector<double> y(c.pred.size());
    predictarima(x.data(), 4, c.p, c.d, c.q, &half, &half, c.c, static_cast<int>(y.size()), y.data());
    EXPECT_EQ(y, c.pred) << "p " << c.p << " d " << c.d << " q " << c.q;
  }
}

TEST(PredictArima, ShortSeriesAndHighOrdersNoLongerReadBeforeTheSeries) {
  // The passes start at max(3, p): an AR(5) on 6 values reads nothing before x[0] and
  // forecasts from its last 5 values; a series shorter than that start writes nothing.
  const std::vector<double> x = {1.0, -1.0, 2.0, 0.5, 3.0, 1.0};
  const std::vector<double> phi = {0.1, 0.2, 0.3, 0.4, 0.5};
  double y = 0.0;
  predictarima(x.data(), 6, 5, 0, 0, phi.data(), nullptr, 0.0, 1, &y);
  EXPECT_DOUBLE_EQ(y, 0.1 * 1.0 + 0.2 * 3.0 + 0.3 * 0.5 + 0.4 * 2.0 + 0.5 * -1.0);
  struct Call {
    int N, p, d, q, L;
  };
  for (const Call &c : {Call{2, 0, 0, 0, 3}, Call{4, 5, 0, 0, 3}, Call{3, 1, 1, 0, 3}, Call{6, 1, 6, 0, 3},
                        Call{6, 1, 0, 0, 0}, Call{6, -1, 0, 0, 3}, Call{6, 1, 0, -1, 3}}) {
    std::vector<double> out(3, -3.0);
    predictarima(x.data(), c.N, c.p, c.d, c.q, phi.data(), phi.data(), 0.0, c.L, out.data());
    EXPECT_EQ(out, std::vector<double>(3, -3.0)) << "N " << c.N << " p " << c.p << " d " << c.d;
  }
}
