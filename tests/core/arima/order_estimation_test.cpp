// Hannan-Rissanen estimates and the criteria table against an independent least-squares
// computation, the innovations algorithm against statsmodels, and the refusals of orders
// a series cannot support.
#include <cmath>
#include <string>
#include <vector>

#include "core/arima/arima.h"
#include "core/arima/simulated_series.h"
#include "support/test_util.h"

TEST(OrderEstimation, HannanRissanenMatchesLeastSquares) {
  // NumPy 1.24 / SciPy 1.10: long AR(m) from scipy.linalg.solve_toeplitz on the sample
  // autocovariances (divisor N) of the centred series, its residuals from time m, then
  // numpy.linalg.lstsq of x[t] on (x[t-1..t-p], -e[t-1..t-q]) over t = m + q .. N - 1;
  // var = residual sum of squares / (N - m - q), m = 10 here.
  struct Case {
    const char *file;
    int p, q;
    std::vector<double> b;  // phi, then theta
    double var;
  };
  const Case cases[] = {
      {"nile.csv", 1, 0, {0.47128971593639468}, 18759.789967030836},
      {"nile.csv", 2, 1, {0.33998226235726753, 0.22839795633272339, -0.041142423593722263}, 18118.552172727646},
      {"lakehuron.csv", 1, 1, {0.69360381614512356, -0.38409362282818421}, 0.45132530638943358},
      {"lakehuron.csv", 0, 2, {-1.0163070341812057, -0.69463348110276135}, 0.73951803808832794},
      {"lh.csv", 2, 1, {0.84163170708563473, -0.31630838891929292, 0.11677673399215696}, 0.21142201746686648},
  };
  for (const Case &r : cases) {
    std::vector<double> x = tsf_test::LoadSeries(r.file);
    const int N = static_cast<int>(x.size()), m = 10;
    std::vector<double> phi(r.p), theta(r.q);
    double var = 0.0;
    hr(x.data(), N, r.p, r.q, phi.data(), theta.data(), &var);
    SCOPED_TRACE(std::string(r.file) + " p " + std::to_string(r.p) + " q " + std::to_string(r.q));
    for (int i = 0; i < r.p; ++i) EXPECT_NEAR(phi[i], r.b[i], 1e-10);
    for (int j = 0; j < r.q; ++j) EXPECT_NEAR(theta[j], r.b[r.p + j], 1e-10);
    EXPECT_REL_NEAR(var, r.var, 1e-10);

    // The second stage alone, from the long-AR residuals of the centred series.
    double mean = 0.0;
    for (double v : x) mean += v / N;
    for (double &v : x) v -= mean;
    std::vector<double> a(m), e(N, 0.0);
    ywalg(x.data(), N, m, a.data());
    for (int t = m; t < N; ++t) {
      e[t] = x[t];
      for (int i = 1; i <= m; ++i) e[t] -= a[i - 1] * x[t - i];
    }
    double ssq = 0.0, v2 = 0.0;
    hrstep2(x.data(), N, m, r.p, r.q, r.p + r.q, e.data(), &ssq, &v2);
    EXPECT_REL_NEAR(v2, r.var, 1e-10);
    EXPECT_REL_NEAR(ssq, r.var * (N - m - r.q), 1e-10);
  }
}

TEST(OrderEstimation, CriteriaTableText) {
  // The same least squares on diff(lakehuron) with m = 8; criteria formatted by Python's "%g".
  const std::vector<double> x = tsf_test::LoadSeries("lakehuron.csv");
  const std::string expected =
      "\n p = 0 q = 1 AIC = -0.583666 SC = -0.557123 HQ = -0.572933 \n"
      "\n p = 0 q = 2 AIC = -0.619357 SC = -0.56627 HQ = -0.597891 \n"
      "\n p = 1 q = 0 AIC = -0.606885 SC = -0.580341 HQ = -0.596152 \n"
      "\n p = 1 q = 1 AIC = -0.583779 SC = -0.530692 HQ = -0.562313 \n"
      "\n p = 1 q = 2 AIC = -0.649945 SC = -0.570315 HQ = -0.617746 \n"
      "\n p = 2 q = 0 AIC = -0.655839 SC = -0.602753 HQ = -0.634374 \n"
      "\n p = 2 q = 1 AIC = -0.666858 SC = -0.587228 HQ = -0.63466 \n"
      "\n p = 2 q = 2 AIC = -0.637384 SC = -0.53121 HQ = -0.594453 \n"
      "\n\n"
      "AIC Estimate : p = 2 q = 1 \n"
      "SC Estimate  : p = 2 q = 0 \n"
      "HQ Estimate  : p = 2 q = 1 \n";
  EXPECT_EQ(tsf_test::CaptureStdout([&] { model_estimate(x.data(), static_cast<int>(x.size()), 1, 2, 8); }),
            expected);
}

TEST(OrderEstimation, InnovationsAlgorithmMatchesStatsmodels) {
  // statsmodels 0.13: innovations_algo(acovf(x, adjusted = False, fft = False)[:m + 1],
  // nobs = m + 1): sigma2 is v, theta[n][j - 1] is Theta[n][j].
  struct Case {
    const char *file;
    int m;
    std::vector<double> v, row3, last;
  };
  const Case cases[] = {
      {"lh.csv",
       6,
       {0.29791666666666666, 0.19923819930069925, 0.18929381911432747, 0.17954483626623355, 0.17764860232861984,
        0.17662427407659514, 0.17581814772812521},
       {0.65340167869163912, 0.3964408429251573, -0.14475524475524473},
       {0.68965758451058512, 0.3822611436416421, -0.074346152461310711, -0.1166885137914532, -0.20571509632772272,
        -0.020979020979021046}},
      {"nile.csv",
       5,
       {28351.567499999994, 21308.734260593807, 20609.319099141834, 20355.862744032245, 20355.086402348094,
        20269.020186570706},
       {0.38801975255241572, 0.29426787194840942, 0.32786043752254618},
       {0.38693332279024339, 0.27789089264032824, 0.25980913056759153, 0.16677164686562312, 0.22842198672084008}},
  };
  for (const Case &c : cases) {
    const std::vector<double> x = tsf_test::LoadSeries(c.file);
    const int N = static_cast<int>(x.size()), w = c.m + 1;
    std::vector<double> v(w), Theta(w * w, -3.0);
    innalg(x.data(), N, c.m, v.data(), Theta.data());
    for (int n = 0; n <= c.m; ++n) EXPECT_REL_NEAR(v[n], c.v[n], 1e-12) << c.file << " n " << n;
    for (int j = 1; j <= 3; ++j) EXPECT_NEAR(Theta[3 * w + j], c.row3[j - 1], 1e-12) << c.file;
    for (int j = 1; j <= c.m; ++j) EXPECT_NEAR(Theta[c.m * w + j], c.last[j - 1], 1e-12) << c.file;
    std::vector<double> theta(2);
    ma_inn(x.data(), N, 2, theta.data(), c.m);
    EXPECT_NEAR(theta[0], -c.last[0], 1e-12);
    EXPECT_NEAR(theta[1], -c.last[1], 1e-12);
  }
}

TEST(OrderEstimation, OrdersTheSeriesCannotSupportWriteNothing) {
  const std::vector<double> x = tsf_test::SimulateAr1(0.5, 12, 17);
  std::vector<double> out(200, -3.0), e(12, 0.1);
  double a = -3.0, b = -3.0;
  hralg(x.data(), 5, 2, 1, out.data(), out.data() + 2, &a);  // 1 row for 3 coefficients
  hrstep2(x.data(), 12, 1, 3, 0, 3, e.data(), &a, &b);         // lag 3 before x[0]
  hrstep2(x.data(), 12, 6, 2, 2, 4, e.data(), &a, &b);         // 4 rows for 4 coefficients
  hrstep2(x.data(), 12, 2, 1, 1, 3, e.data(), &a, &b);         // k != p + q
  innalg(x.data(), 12, 12, out.data(), out.data() + 20);
  ma_inn(x.data(), 12, 4, out.data(), 3);
  EXPECT_EQ(a, -3.0);
  EXPECT_EQ(b, -3.0);
  for (double v : out) EXPECT_EQ(v, -3.0);
  // The criteria table needs pmax <= m and more rows than coefficients for every candidate.
  EXPECT_EQ(tsf_test::CaptureStdout([&] { model_estimate(x.data(), 12, 0, 3, 2); }), "");
  EXPECT_EQ(tsf_test::CaptureStdout([&] { model_estimate(x.data(), 12, 1, 2, 5); }), "");
  EXPECT_EQ(tsf_test::CaptureStdout([&] { model_estimate(x.data(), 12, 0, 0, 2); }), "");
  EXPECT_NE(tsf_test::CaptureStdout([&] { model_estimate(x.data(), 12, 0, 1, 2); }), "");
  // The longest supported regression works.
  double phi = 0.0, theta = 0.0, var = 0.0;
  hralg(x.data(), 6, 1, 1, &phi, &theta, &var);
  EXPECT_TRUE(std::isfinite(var));
}
