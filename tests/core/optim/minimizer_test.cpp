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
    for (int b = 0; b < 8; ++b) {
      h ^= (w >> (8 * b)) & 0xffu;
      h *= 1099511628211ull;
    }
  }
  void value(double v) {
    std::uint64_t w;
    std::memcpy(&w, &v, sizeof w);
    word(w);
  }
  void values(const double *v, int n) {
    for (int i = 0; i < n; ++i) value(v[i]);
  }
  void text(const std::string &s) {
    for (unsigned char c : s) word(c);
  }
};

// Every point an objective is evaluated at goes into the digest, in order.
struct Recorder {
  double (*f)(double *, int, void *) = nullptr;
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

// Recorded with the methods' own drivers (tsforge 4dcb3d6), one row per method in the
// order of kMethods, one column per case in the order of cases().
const std::uint64_t kRecorded[9][15] = {
    {0xf8fcabd5eb7f7e94ull, 0xc12d9181f7852cd2ull, 0x63b05cc42388799cull, 0x9874a37e3d2625a8ull,
     0xd18fa7a46e7be9fcull, 0xb3e47ecd83696c14ull, 0xa48e0fd31879d29eull, 0xec826350988d60e7ull,
     0xd263e4e4005b75c8ull, 0x1083d2378d1d2c7dull, 0x729b4648d8c8bc15ull, 0x4c2db9fada15eb80ull,
     0x8005960a672f8910ull, 0xd3ead102cead2db9ull, 0x81d23fd7003c2305ull},
    {0xce504d99bba05426ull, 0xcc8d5a7eeaecf8ccull, 0x63b05cc42388799cull, 0x2b0f5ac8d48a15b2ull,
     0xe76a02645e6e5fa8ull, 0x7cd998fd2b7e039eull, 0x2e78e0b6cffd9982ull, 0x58ec086b3af5b801ull,
     0xfe1ea394554f0878ull, 0xb56c8fdef1653d79ull, 0x729b4648d8c8bc15ull, 0x4c2db9fada15eb80ull,
     0x8005960a672f8910ull, 0x03198ff2fd431209ull, 0x81d23fd7003c2305ull},
    {0x1a8d57c63601b53full, 0xaab6c6b12cf56c9aull, 0x808f3e0dcc789bf5ull, 0x93dee44c99a70799ull,
     0x4c8e3450b24c4ca9ull, 0x831a103713c6cec2ull, 0xc3fbdd8f6dddf2b0ull, 0x9d23a7dd6267679bull,
     0xa3c25ab2f02925caull, 0xe534ed9ea2fc3690ull, 0x729b4648d8c8bc15ull, 0x4c2db9fada15eb80ull,
     0x8005960a672f8910ull, 0x6818d79629f213a9ull, 0x81d23fd7003c2305ull},
    {0xb3dfe4156f7d0430ull, 0x6fc7a223542ccb81ull, 0x3fca5ac4bd3b1bfcull, 0x2b6735ef484fa384ull,
     0xc51846836dfd06bfull, 0x2c5a01df2aab8607ull, 0xe72515173d1e5150ull, 0x1e51fdec138a0bfcull,
     0x381aa2fc8c1d2421ull, 0xab7e971b905b8e83ull, 0x663f67832deb2528ull, 0xc6a693528ecd6a5dull,
     0xa071902129a1d6cdull, 0x1e619781b2e99398ull, 0x81d23fd7003c2305ull},
    {0xb3dfe4156f7d0430ull, 0xf19f03b3dd609252ull, 0x3fca5ac4bd3b1bfcull, 0xc990961857449025ull,
     0xc51846836dfd06bfull, 0x5ed36425fe585a7aull, 0xe72515173d1e5150ull, 0xc189abd85b7c30b6ull,
     0x381aa2fc8c1d2421ull, 0xab7e971b905b8e83ull, 0x663f67832deb2528ull, 0xc6a693528ecd6a5dull,
     0xa071902129a1d6cdull, 0x1e619781b2e99398ull, 0x81d23fd7003c2305ull},
    {0xe9faea4041a6c79bull, 0xcd5c2ed8b1056df4ull, 0x7b01876e038e26faull, 0x55c4055cac035aefull,
     0xcc1163e406558aeeull, 0xb7c2963ae2326f67ull, 0x3e581990c413b1b3ull, 0xfe075b0ee51b2560ull,
     0xd78a5f78e5f38a9eull, 0x066f81d2ead032adull, 0xd62b81ad705987c2ull, 0x1d78f6f77924cbf7ull,
     0x8005960a672f8910ull, 0x5b99bea7f06d6240ull, 0x81d23fd7003c2305ull},
    {0x27d97576a9aa1af8ull, 0xd1a94d20ef0804b0ull, 0x473c911ccdb41d88ull, 0x8c689088e2825a23ull,
     0x24267c6a1c17cdd7ull, 0xb6028e46c894fa26ull, 0x54dab8a5476aa9aeull, 0xc846baa63b3379caull,
     0x05dd83a5a05e9d60ull, 0x342f34de8b4cc0fbull, 0x729b4648d8c8bc15ull, 0x4c2db9fada15eb80ull,
     0x8005960a672f8910ull, 0xd3ac9ff800092c00ull, 0x81d23fd7003c2305ull},
    {0x7d0e46a155a407f2ull, 0x398ba589827a0eb1ull, 0xa67124f3584911ebull, 0xc3d8e0d0bbf489d3ull,
     0x5436db0e129c1d10ull, 0x4161511f494ece6eull, 0x5c19577c743ed407ull, 0x2e5541c4778dbf74ull,
     0x5d0f8c26fefc8ac9ull, 0xfa7ea199a633d033ull, 0x729b4648d8c8bc15ull, 0x4c2db9fada15eb80ull,
     0x8005960a672f8910ull, 0x4323d8b64370399dull, 0x81d23fd7003c2305ull},
    {0xa049a73eefb23fcbull, 0x6e3627487f06e793ull, 0xbe3c509224c47aa7ull, 0x00bc916c73bf57e1ull,
     0x708c521cd131e2a5ull, 0xd31b704b05e70b50ull, 0xce3f1ff97f7996e5ull, 0xc8d35ca1c7fd36ebull,
     0xac85aef6c2a025a2ull, 0xf3592bfc94d2b840ull, 0xd62b81ad705987c2ull, 0x1d78f6f77924cbf7ull,
     0x8005960a672f8910ull, 0xd88c3c9d22d64becull, 0x7a255da44dc182c5ull},
};

}  // namespace

TEST(Minimizer, EveryRunIsTheRecordedOne) {
  std::vector<Case> all = cases();
  for (int m = 0; m < 9; ++m) {
    for (std::size_t k = 0; k < all.size(); ++k) {
      Case c = all[k];
      Recorder rec;
      rec.f = c.f;
      objective_function f{recorded, &rec};
      std::vector<double> xf(c.x0.size(), -9.0);
      int iter = -1, code = 0, N = static_cast<int>(c.x0.size());
      std::string out = tsf_test::CaptureStdout([&] { code = run(m, &f, c, N, &iter, xf.data()); });
      Digest &d = rec.digest;
      d.word(static_cast<std::uint64_t>(code));
      d.word(static_cast<std::uint64_t>(m == 7 ? 0 : iter));
      d.word(static_cast<std::uint64_t>(rec.evals));
      d.values(xf.data(), static_cast<int>(xf.size()));
      d.values(c.x0.data(), static_cast<int>(c.x0.size()));
      d.values(c.dx.data(), static_cast<int>(c.dx.size()));
      d.text(out);
      EXPECT_EQ(d.h, kRecorded[m][k]) << kMethods[m] << ", " << c.name << ": code " << code << ", " << iter
                                      << " iterations, " << rec.evals << " evaluations, printed \"" << out << "\"";
    }
  }
}

TEST(Minimizer, NegativeSizeIsAnInputErrorNotACrash) {
  // bfgs_min2 sized its work from N before any check and failed to allocate.
  Case c{"negative size", optim_test::rosenbrock, {-1.2, 1.0}, {1.0, 1.0}, -1.0, 1000};
  for (int m = 0; m < 9; ++m) {
    Recorder rec;
    rec.f = c.f;
    objective_function f{recorded, &rec};
    double xf[2] = {-9.0, -9.0};
    int iter = -1;
    EXPECT_EQ(run(m, &f, c, -1, &iter, xf), 0) << kMethods[m];
    EXPECT_EQ(rec.evals, 0) << kMethods[m];
    if (m != 7) {
      EXPECT_EQ(iter, 0) << kMethods[m];
    }
  }
}
