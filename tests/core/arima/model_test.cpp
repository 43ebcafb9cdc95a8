// The ARIMA model object: layout of the single block, setters and their notices, the
// printed summary of each method, and arima_exec against R's ML and CSS fits.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "core/arima/arima.h"
#include "core/arima/reference_fits.h"
#include "support/test_util.h"

using tsf_test::SplitList;
using tsf_test::LargestReflection;

namespace {

std::string Pad(const std::string &s, std::size_t width) {
  return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
}

struct RFit {
  std::string dataset;
  int p, d, q;
  std::vector<double> phi, theta;
  double mean, sigma2, loglik, aic;
  std::vector<double> stderrs;
};

std::vector<RFit> LoadRFits(const std::string &method) {
  std::vector<RFit> fits;
  auto rows = tsf_test::LoadTable(tsf_test::ReferencePath("r-arima-fits.csv"));
  for (std::size_t i = 1; i < rows.size(); ++i) {
    auto &r = rows[i];
    if (r.size() < 12 || r[1] != method) continue;
    fits.push_back(RFit{r[0], std::stoi(r[2]), std::stoi(r[3]), std::stoi(r[4]), SplitList(r[5]),
                        SplitList(r[6]), std::stod(r[7]), std::stod(r[8]), std::stod(r[9]),
                        r[10].empty() ? NAN : std::stod(r[10]), SplitList(r[11])});
  }
  return fits;
}

// R's fit lies well inside the stationary and invertible region, where the exact
// likelihood has one clear maximum that an unconstrained search reaches as well.
bool WellBehaved(const RFit &f) {
  return LargestReflection(f.phi) < 0.99 && LargestReflection(f.theta) < 0.99;
}

arima_object *Fit(const std::vector<double> &x, int p, int d, int q, int method) {
  arima_object *obj = arima_init(p, d, q, static_cast<int>(x.size()));
  arima_setMethod(obj, method);
  arima_exec(obj, x.data());
  return obj;
}

}  // namespace

TEST(ArimaModel, InitLaysOutOneBlock) {
  arima_object *obj = arima_init(0, 0, 0, 1);
  EXPECT_EQ(obj->M, 1);
  EXPECT_EQ(obj->ncoeff, 1);
  EXPECT_EQ(obj->lvcov, 1);
  EXPECT_EQ(obj->Nused, 1);
  arima_free(obj);

  obj = arima_init(1, 1, 1, 10);
  EXPECT_EQ(obj->N, 10);
  EXPECT_EQ(obj->Nused, 9);
  EXPECT_EQ(obj->M, 0);
  EXPECT_EQ(obj->ncoeff, 2);
  EXPECT_EQ(obj->lvcov, 4);
  EXPECT_EQ(obj->method, 0);
  EXPECT_EQ(obj->optmethod, 7);
  EXPECT_EQ(obj->mean, 0.0);
  EXPECT_EQ(obj->var, 1.0);
  EXPECT_EQ(obj->retval, 0);
  EXPECT_EQ(obj->phi[0], 0.0);
  EXPECT_EQ(obj->theta[0], 0.0);
  // phi, theta, res, vcov follow the header in this order inside the block.
  EXPECT_EQ(reinterpret_cast<char *>(obj->phi), reinterpret_cast<char *>(obj + 1));
  EXPECT_EQ(obj->theta, obj->phi + 1);
  EXPECT_EQ(obj->res, obj->theta + 1);
  EXPECT_EQ(obj->vcov, obj->res + 9);
  arima_free(obj);
}

TEST(ArimaModelDeathTest, InitRejectsNegativeOrdersAndEmptySeries) {
  const char *msg = "\n Input Values cannot be Negative\\. Program Exiting\\. ";
  for (int k = 0; k < 4; ++k) {
    int a[4][4] = {{-1, 0, 0, 10}, {0, -1, 0, 10}, {0, 0, -1, 10}, {0, 0, 0, 0}};
    EXPECT_EXIT(
        {
          std::fflush(stdout);
          dup2(2, 1);
          arima_init(a[k][0], a[k][1], a[k][2], a[k][3]);
        },
        ::testing::ExitedWithCode(255), msg);
  }
}

TEST(ArimaModel, SettersPrintNoticesAndKeepValues) {
  arima_object *obj = arima_init(1, 0, 0, 20);
  arima_setMethod(obj, 1);
  EXPECT_EQ(obj->method, 1);
  std::string out = tsf_test::CaptureStdout([&] { arima_setMethod(obj, 3); });
  EXPECT_EQ(out, "\n Acceptable Numerical Values 0 - MLE, 1 - CSS, 2 - Box-Jenkins \n");
  EXPECT_EQ(obj->method, 1);
  EXPECT_EQ(tsf_test::CaptureStdout([&] { arima_setMethod(obj, -1); }), out);

  arima_setOptMethod(obj, 0);
  EXPECT_EQ(obj->optmethod, 0);
  out = tsf_test::CaptureStdout([&] { arima_setOptMethod(obj, 8); });
  EXPECT_EQ(out,
            "\n Acceptable Numerical Values 0,1,2,3,4,5,6,7 \n"
            "\n Method 0 - Nelder-Mead \n"
            "\n Method 1 - Newton Line Search \n"
            "\n Method 2 - Newton Trust Region - Hook Step \n"
            "\n Method 3 - Newton Trust Region - Double Dog-Leg \n"
            "\n Method 4 - Conjugate Gradient \n"
            "\n Method 5 - BFGS \n"
            "\n Method 6 - Limited Memory BFGS \n"
            "\n Method 7 - BFGS More-Thuente Line Search \n");
  EXPECT_EQ(obj->optmethod, 0);
  arima_free(obj);
}

TEST(ArimaModel, VcovCopiesEveryEntry) {
  arima_object *obj = arima_init(2, 0, 1, 30);
  for (int k = 0; k < obj->lvcov; ++k) obj->vcov[k] = 0.5 * k - 1.0;
  std::vector<double> out(16, 42.0);
  arima_vcov(obj, out.data());
  for (int k = 0; k < 16; ++k) EXPECT_EQ(out[k], 0.5 * k - 1.0);
  arima_free(obj);
}

// An ARMA(1, 1) with a mean, as method 0 would leave it: positive AR and negative MA
// coefficient, so both equation endings appear.
TEST(ArimaModel, SummaryOfMle) {
  arima_object *obj = arima_init(1, 0, 1, 50);
  obj->phi[0] = 0.5;
  obj->theta[0] = -0.3;
  obj->mean = 10.0;
  obj->var = 2.0;
  const double diag[3] = {0.04, 0.09, 0.25};
  for (int i = 0; i < 3; ++i) obj->vcov[i * 3 + i] = diag[i];
  obj->loglik = -100.5;
  obj->aic = 209.0;
  obj->retval = 1;
  std::string expected = "\n\n Exit Status \nReturn Code : 1 \nExit Message : Probable Success\n\n"
                         " ARIMA Order : ( 1, 0, 1) \n\n" +
                         Pad("Coefficients", 20) + Pad("Value", 20) + Pad("Standard Error", 20) +
                         " \n\n" + "AR" + Pad("1", 15) + Pad("0.5", 20) + Pad("0.2", 20) + " \n" +
                         "MA" + Pad("1", 15) + Pad("-0.3", 20) + Pad("0.3", 20) + " \n" + "\n" +
                         Pad("MEAN", 17) + Pad("10", 20) + Pad("0.5", 20) + " \n" + "\n" +
                         Pad("SIGMA^2", 17) + Pad("2", 20) + " \n" + "\n" +
                         "ESTIMATION METHOD : MLE\n\n"
                         "OPTIMIZATION METHOD : BFGS More-Thuente Line Search\n\n"
                         "EQUATION FORM : x[t] - 0.5*x[t - 1]= 10 + a[t] + 0.3*a[t - 1] \n\n"
                         "Log Likelihood : -100.5 \n\n"
                         "AIC criterion : 209 \n\n";
  EXPECT_EQ(tsf_test::CaptureStdout([&] { arima_summary(obj); }), expected);
  arima_free(obj);
}

// Differenced model: no mean is estimated, so no standard error on that line and no mean
// term in the equation; a negative AR and a positive MA coefficient.
TEST(ArimaModel, SummaryOfCss) {
  arima_object *obj = arima_init(1, 1, 1, 50);
  arima_setMethod(obj, 1);
  arima_setOptMethod(obj, 0);
  obj->phi[0] = -0.25;
  obj->theta[0] = 0.75;
  obj->var = 1.5;
  obj->vcov[0] = 0.01;
  obj->vcov[3] = 0.0625;
  obj->loglik = -70.25;
  obj->retval = 4;
  std::string expected =
      "\n\n Exit Status \nReturn Code : 4 \nExit Message : Optimization Routine didn't converge"
      "\n\n ARIMA Order : ( 1, 1, 1) \n\n" +
      Pad("Coefficients", 20) + Pad("Value", 20) + Pad("Standard Error", 20) + " \n\n" + "AR" +
      Pad("1", 15) + Pad("-0.25", 20) + Pad("0.1", 20) + " \n" + "MA" + Pad("1", 15) +
      Pad("0.75", 20) + Pad("0.25", 20) + " \n" + "\n" + Pad("MEAN", 17) + Pad("0", 20) + " \n" +
      "\n" + Pad("SIGMA^2", 17) + Pad("1.5", 20) + " \n" + "\n" +
      "ESTIMATION METHOD : CSS\n\n"
      "OPTIMIZATION METHOD : Nelder-Mead\n\n"
      "EQUATION FORM : x[t] + 0.25*x[t - 1] = a[t] - 0.75*a[t - 1]\n\n"
      "Log Likelihood : -70.25 \n\n"
      "AIC Criterion : Unavailable \n\n";
  EXPECT_EQ(tsf_test::CaptureStdout([&] { arima_summary(obj); }), expected);
  arima_free(obj);
}

// Box-Jenkins: no exit block, "Newton-Raphson" whatever optmethod holds, both criteria
// unavailable. Its covariance has the level first, (level, phi, theta), and its mean
// term is the constant mu (1 - phi): each coefficient is printed with its own standard
// error, and the constant's follows from the level's by the delta method,
// sqrt((1 - phi)^2 var(level) + mu^2 var(phi)) = sqrt(0.25 * 0.16 + 100 * 0.04).
TEST(ArimaModel, SummaryOfBoxJenkins) {
  arima_object *obj = arima_init(1, 0, 1, 50);
  arima_setMethod(obj, 2);
  obj->phi[0] = 0.5;
  obj->theta[0] = 0.2;
  obj->mean = 5.0;
  obj->var = 3.0;
  const double diag[3] = {0.16, 0.04, 0.09};
  for (int i = 0; i < 3; ++i) obj->vcov[i * 3 + i] = diag[i];
  obj->retval = 1;
  std::string expected = "\n\n ARIMA Order : ( 1, 0, 1) \n\n" + Pad("Coefficients", 20) +
                         Pad("Value", 20) + Pad("Standard Error", 20) + " \n\n" + "AR" +
                         Pad("1", 15) + Pad("0.5", 20) + Pad("0.2", 20) + " \n" + "MA" +
                         Pad("1", 15) + Pad("0.2", 20) + Pad("0.3", 20) + " \n" + "\n" +
                         Pad("MEAN", 17) + Pad("5", 20) + Pad("2.00998", 20) + " \n" + "\n" +
                         Pad("SIGMA^2", 17) + Pad("3", 20) + " \n" + "\n" +
                         "ESTIMATION METHOD : BOX-JENKINS\n\n"
                         "OPTIMIZATION METHOD : Newton-Raphson\n\n"
                         "EQUATION FORM : x[t] - 0.5*x[t - 1]= 5 + a[t] - 0.2*a[t - 1]\n\n"
                         "Log Likelihood : Unavailable \n\n"
                         "AIC Criterion : Unavailable \n\n";
  EXPECT_EQ(tsf_test::CaptureStdout([&] { arima_summary(obj); }), expected);
  arima_free(obj);
}

TEST(ArimaModel, SummaryExitMessagesAndZeroTerms) {
  arima_object *obj = arima_init(2, 1, 0, 20);
  obj->phi[0] = 0.0;  // a zero coefficient prints no term
  obj->phi[1] = 0.4;
  const struct {
    int code;
    const char *message;
  } cases[] = {{0, "Input Error"},
               {15, "Optimization Routine Encountered Inf/Nan Values"},
               {6, ""}};
  for (const auto &c : cases) {
    obj->retval = c.code;
    std::string out = tsf_test::CaptureStdout([&] { arima_summary(obj); });
    std::string head = "\n\n Exit Status \nReturn Code : " + std::to_string(c.code) +
                       " \nExit Message : " + c.message + "\n\n ARIMA Order : ( 2, 1, 0) \n";
    EXPECT_EQ(out.substr(0, head.size()), head);
    EXPECT_NE(out.find("EQUATION FORM : x[t] - 0.4*x[t - 2]= a[t] \n\n"), std::string::npos);
  }
  arima_free(obj);
}

// Regression: a series no longer than d used to be differenced to a negative length.
// It is an input error now, with nothing estimated.
TEST(ArimaModel, SeriesNoLongerThanDIsInputError) {
  const double x[2] = {1.0, 2.0};
  for (int method = 0; method <= 2; ++method) {
    arima_object *obj = arima_init(1, 2, 1, 2);
    arima_setMethod(obj, method);
    obj->retval = 1;
    arima_exec(obj, x);
    EXPECT_EQ(obj->retval, 0);
    EXPECT_EQ(obj->phi[0], 0.0);
    EXPECT_EQ(obj->theta[0], 0.0);
    EXPECT_TRUE(std::isnan(obj->aic));
    arima_free(obj);
  }
}

// The exact log-likelihood of our objective at given parameters (no optimisation).
double LoglikAt(const std::vector<double> &x, const RFit &f) {
  const int N = static_cast<int>(x.size());
  std::vector<double> w(x);
  for (int k = 0; k < f.d; ++k)
    for (int t = N - 1; t > k; --t) w[t] -= w[t - 1];
  const int n = N - f.d;
  alik_object *obj = alik_init(f.p, f.d, f.q, N);
  obj->length = n;
  for (int t = 0; t < n; ++t) {
    obj->x[t] = obj->x[2 * n + t] = w[f.d + t];
    obj->x[n + t] = 0.0;
  }
  std::vector<double> b;
  for (double v : f.phi) b.push_back(v);
  for (double v : f.theta) b.push_back(-v);
  if (f.d == 0) b.push_back(f.mean);
  double l = fas154(b.data(), static_cast<int>(b.size()), obj);
  free_alik(obj);
  return -0.5 * n * (2.0 * l + 1.0 + std::log(2.0 * M_PI));
}

std::string Name(const RFit &f) {
  return f.dataset + " (" + std::to_string(f.p) + "," + std::to_string(f.d) + "," +
         std::to_string(f.q) + ")";
}

// Method 0 against R's exact ML on every well-behaved order of the five series. Our
// maximum is at least as high as the likelihood at R's estimates (to 1e-4), and for d = 0
// it is R's log-likelihood to 1e-4. For d >= 1 R's figure itself is off the exact
// likelihood by up to 4e-3 (it starts the integrated part from a variance of 1e6 instead
// of conditioning on the first d values), so the comparison is with the exact likelihood
// at R's point. Coefficients agree to 1e-3, or 5% of a standard error where the maximum
// is flat; standard errors to 2% after R's factor n instead of n - d in the Hessian.
//
// Where we differ:
// - lakehuron (1,1,1): the conditional fit that starts the exact one ends at a
//   non-invertible MA (theta -1.16, R's CSS -1.06), and from there the exact likelihood
//   climbs to a second maximum 0.07 below R's.
// - nile (0,0,2) and airpassengers (1,0,1): the search stops 9e-4 and 1.5e-4 short of
//   the maximum with the mean about one unit (0.04 and 0.02 standard errors) from R's:
//   the mean's scale (900, 280) against the coefficients' leaves the minimiser's
//   gradient test satisfied early.
TEST(ArimaModel, MleMatchesR) {
  int compared = 0, reflected = 0;
  for (const RFit &f : LoadRFits("ML")) {
    if (!WellBehaved(f)) continue;
    const std::string key = Name(f);
    auto x = tsf_test::LoadSeries(f.dataset + ".csv");
    arima_object *obj = Fit(x, f.p, f.d, f.q, 0);
    EXPECT_EQ(obj->retval, 1) << key;
    const double atR = LoglikAt(x, f);
    if (key == "lakehuron (1,1,1)" || key == "nile (0,0,2)" || key == "airpassengers (1,0,1)") {
      EXPECT_GT(obj->loglik, atR - 0.1) << key;
      arima_free(obj);
      continue;
    }
    EXPECT_GT(obj->loglik, atR - 1e-4) << key;
    if (f.d == 0) {
      EXPECT_NEAR(obj->loglik, f.loglik, 1e-4) << key;
      EXPECT_NEAR(obj->aic, f.aic, 2e-4) << key;
    }
    if (LargestReflection(std::vector<double>(obj->theta, obj->theta + f.q)) >= 1.0) {
      // Our maximum is the reflection of R's invertible MA part (roots z -> 1/z, sigma2
      // scaled): the same likelihood and the same autocovariances, so the same forecasts.
      ++reflected;
      arima_free(obj);
      continue;
    }
    for (int i = 0; i < f.p; ++i)
      EXPECT_NEAR(obj->phi[i], f.phi[i], std::fmax(1e-3, 0.05 * f.stderrs[i])) << key << " phi" << i;
    for (int j = 0; j < f.q; ++j)
      EXPECT_NEAR(obj->theta[j], f.theta[j], std::fmax(1e-3, 0.05 * f.stderrs[f.p + j]))
          << key << " theta" << j;
    if (f.d == 0) {
      EXPECT_NEAR(obj->mean, f.mean, 0.02 * f.stderrs[f.p + f.q]) << key;
    }
    EXPECT_REL_NEAR(obj->var, f.sigma2, 1e-3) << key;
    const int n = obj->Nused;
    for (int k = 0; k < obj->ncoeff; ++k)
      EXPECT_REL_NEAR(std::sqrt(obj->vcov[k * obj->ncoeff + k] * (n - f.d) / n), f.stderrs[k], 2e-2)
          << key << " stderr " << k;
    arima_free(obj);
    ++compared;
  }
  // 54 well-behaved orders, 3 of them documented above.
  EXPECT_EQ(compared + reflected, 51);
  EXPECT_GE(compared, 48);
}

// Method 1 against R's CSS on every order. The conditional sum of squares has no
// boundary, and where the two fits part ours is the better conditional optimum (R's
// minimiser stopped on a ridge: nile (2,0,1), lakehuron (1,1,1) and (3,1,2), wwwusage
// (1,0,0) and (1,0,1)); everywhere else the fits agree. On lakehuron (2,1,1) and
// airpassengers (1,0,1) the line search steps into the region where the conditional
// residuals explode and the objective overflows: status 15, as the minimiser reports it
// (the exact fit then starts afresh). R's CSS sigma2 divides by the n - p residuals used,
// ours by n.
TEST(ArimaModel, CssMatchesR) {
  int matched = 0, better = 0;
  for (const RFit &f : LoadRFits("CSS")) {
    const std::string key = Name(f);
    auto x = tsf_test::LoadSeries(f.dataset + ".csv");
    arima_object *obj = Fit(x, f.p, f.d, f.q, 1);
    if (key == "lakehuron (2,1,1)" || key == "airpassengers (1,0,1)") {
      EXPECT_EQ(obj->retval, 15) << key;
      arima_free(obj);
      continue;
    }
    EXPECT_EQ(obj->retval, 1) << key;
    EXPECT_GT(obj->loglik, f.loglik - 1e-4) << key;
    if (obj->loglik > f.loglik + 1e-4) {
      ++better;
      arima_free(obj);
      continue;
    }
    for (int i = 0; i < f.p; ++i)
      EXPECT_NEAR(obj->phi[i], f.phi[i], std::fmax(1e-3, 0.05 * f.stderrs[i])) << key << " phi" << i;
    for (int j = 0; j < f.q; ++j)
      EXPECT_NEAR(obj->theta[j], f.theta[j], std::fmax(1e-3, 0.05 * f.stderrs[f.p + j]))
          << key << " theta" << j;
    if (f.d == 0) {
      EXPECT_NEAR(obj->mean, f.mean, 0.02 * f.stderrs[f.p + f.q]) << key;
    }
    const int n = obj->Nused;
    EXPECT_REL_NEAR(obj->var * n / (n - f.p), f.sigma2, 1e-4) << key;
    arima_free(obj);
    ++matched;
  }
  EXPECT_EQ(matched + better, 63);
  EXPECT_GE(matched, 58);
}

// Box-Jenkins least squares with back-forecasts approximates the exact likelihood: on
// Lake Huron's AR(2) it lands near R's ML fit, and its mean term is the constant
// mu (1 - phi1 - phi2).
TEST(ArimaModel, BoxJenkinsNearMle) {
  auto x = tsf_test::LoadSeries("lakehuron.csv");
  arima_object *obj = Fit(x, 2, 0, 0, 2);
  EXPECT_EQ(obj->retval, 1);
  EXPECT_NEAR(obj->phi[0], 1.0436, 0.03);
  EXPECT_NEAR(obj->phi[1], -0.2495, 0.03);
  EXPECT_NEAR(obj->mean / (1.0 - obj->phi[0] - obj->phi[1]), 579.047, 0.2);
  EXPECT_REL_NEAR(obj->var, 0.4788, 0.05);
  arima_free(obj);
}

// arima_exec overwrites every result: a second call on the same object gives the same
// fit bit for bit.
TEST(ArimaModel, ExecTwiceGivesTheSameFit) {
  auto x = tsf_test::LoadSeries("lh.csv");
  arima_object *obj = Fit(x, 1, 0, 1, 0);
  std::vector<double> first = {obj->phi[0], obj->theta[0], obj->mean, obj->var, obj->loglik,
                               obj->aic};
  arima_exec(obj, x.data());
  std::vector<double> second = {obj->phi[0], obj->theta[0], obj->mean, obj->var, obj->loglik,
                                obj->aic};
  EXPECT_EQ(first, second);
  arima_free(obj);
}

// Regression: the number of coefficients was squared before it was checked, which
// overflows 64 bits for orders near INT_MAX.
TEST(ArimaModel, HugeOrdersAreRefusedBeforeAnySizeOverflows) {
  const int big = std::numeric_limits<int>::max();
  EXPECT_EQ(arima_init(big, big, big, 10), nullptr);
  EXPECT_EQ(arima_init(big, 0, big, 10), nullptr);
  EXPECT_EQ(arima_init(big, 0, 0, big), nullptr);
  EXPECT_EQ(arima_init(46340, 0, 0, 10), nullptr);  // 46341 coefficients: 46341^2 > INT_MAX
  // The seasonal model counts four orders (about 2^33 here) before squaring.
  EXPECT_EQ(sarima_init(big, 0, big, 12, big, 0, big, 10), nullptr);
  EXPECT_EQ(sarima_init(46339, 0, 0, 12, 1, 0, 0, 10), nullptr);  // with the mean, 46341
}
