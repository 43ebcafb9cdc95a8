#include "core/matrix/matrix.h"
#include "core/matrix/matrix_internal.h"
#include "support/test_util.h"
#include "matrix_test_util.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

using matrix_test::RandomMatrix;
using matrix_test::ReferenceProduct;
using matrix_test::ScalarProduct;

TEST(Strassen, FindrecPadsToMultiplesOfTwoToTheK) {
  struct Case {
    int m, n, p, k, pm, pn, pp;
  };
  const Case cases[] = {{101, 50, 70, 1, 102, 50, 70}, {64, 64, 64, 0, 64, 64, 64},
                        {65, 64, 64, 1, 66, 64, 64},   {1024, 1024, 1024, 4, 1024, 1024, 1024},
                        {1000, 1000, 1000, 4, 1008, 1008, 1008}, {700, 3, 5, 2, 700, 4, 8},
                        {1, 1, 191, 1, 2, 2, 192},      {129, 129, 129, 2, 132, 132, 132}};
  for (const Case &c : cases) {
    int m = c.m, n = c.n, p = c.p;
    EXPECT_EQ(findrec(&m, &n, &p), c.k) << c.m << " " << c.n << " " << c.p;
    EXPECT_EQ(m, c.pm);
    EXPECT_EQ(n, c.pn);
    EXPECT_EQ(p, c.pp);
  }
}

TEST(Strassen, ZeroPadRoundTrip) {
  std::vector<double> A = RandomMatrix(3, 2, 4), X(5 * 4, -1.0), back(6, 0.0);
  add_zero_pad(A.data(), 3, 2, 2, 2, X.data());
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_EQ(X[i * 4 + j], (i < 3 && j < 2) ? A[i * 2 + j] : 0.0);
  remove_zero_pad(X.data(), 5, 4, 2, 2, back.data());
  EXPECT_EQ(back, A);
}

TEST(Strassen, PaddedShape101x50x70) {
  std::vector<double> A = RandomMatrix(101, 50, 1), B = RandomMatrix(50, 70, 2);
  // Sentinels after the 101 x 70 output show nothing of the padding is written.
  std::vector<double> C(101 * 70 + 70, 12345.0);
  mmult(A.data(), B.data(), C.data(), 101, 50, 70);
  for (int i = 101 * 70; i < 101 * 70 + 70; ++i) ASSERT_EQ(C[i], 12345.0);
  // One level of recursion with 51 x 25 x 35 leaves: agreement to rounding.
  std::vector<double> ref, bound;
  ReferenceProduct(A, B, 101, 50, 70, ref, bound);
  for (int i = 0; i < 101 * 70; ++i) ASSERT_LE(std::fabs(C[i] - ref[i]), 1e-14 * 50 * bound[i]);
}

TEST(Strassen, AgreesWithDirectProductOnRandomShapes) {
  std::mt19937 gen(2024);
  std::uniform_int_distribution<int> size(1, 700);
  const double eps = 2.220446049250313e-16;
  for (int trial = 0; trial < 14; ++trial) {
    int M = size(gen), N = size(gen), P = size(gen);
    if (trial == 0) M = N = P = 700;
    if (trial == 1) M = 1, N = 700, P = 2;
    std::vector<double> A = RandomMatrix(M, N, 100 + trial), B = RandomMatrix(N, P, 200 + trial);
    std::vector<double> C(static_cast<size_t>(M) * P);
    smult(A.data(), B.data(), C.data(), M, N, P);
    std::vector<double> D = ScalarProduct(A, B, M, N, P);
    // Strassen's error grows with the recursion depth; the norm-wise bound of Higham's
    // analysis uses max|a| max|b| in place of the element-wise |A||B|.
    double maxa = 0, maxb = 0, maxerr = 0;
    for (double v : A) maxa = std::max(maxa, std::fabs(v));
    for (double v : B) maxb = std::max(maxb, std::fabs(v));
    for (size_t i = 0; i < C.size(); ++i) maxerr = std::max(maxerr, std::fabs(C[i] - D[i]));
    double maxbound = N * maxa * maxb;
    EXPECT_LE(maxerr, 16 * eps * maxbound) << M << " x " << N << " x " << P;
  }
}

TEST(Strassen, SrecmultOnPaddedViews) {
  // A 256 x 256 product (two levels) computed on views inside wider arrays.
  const int n = 256, ld = 300;
  std::vector<double> A = RandomMatrix(n, ld, 7), B = RandomMatrix(n, ld, 8), C(n * ld, 9.0);
  srecmult(A.data(), B.data(), C.data(), n, n, n, ld, ld, ld);
  for (int i = 0; i < n; i += 17) {
    for (int j = 0; j < ld; ++j) {
      if (j >= n) {
        ASSERT_EQ(C[i * ld + j], 9.0);
        continue;
      }
      double s = 0, b = 0;
      for (int k = 0; k < n; ++k) {
        s += A[i * ld + k] * B[k * ld + j];
        b += std::fabs(A[i * ld + k] * B[k * ld + j]);
      }
      ASSERT_LE(std::fabs(C[i * ld + j] - s), 1e-13 * b);
    }
  }
}

TEST(Strassen, SrecmultOddSizesStayExact) {
  // 201 + 150 + 99 > 192 with odd sizes: no quadrant split can drop a row or column.
  std::vector<double> A = RandomMatrix(201, 150, 5), B = RandomMatrix(150, 99, 6), C(201 * 99);
  srecmult(A.data(), B.data(), C.data(), 201, 150, 99, 150, 99, 99);
  EXPECT_EQ(C, ScalarProduct(A, B, 201, 150, 99));
  // Even at the top, odd one level down (sizes 202, 150, 98 halve to 101, 75, 49).
  std::vector<double> A2 = RandomMatrix(202, 150, 7), B2 = RandomMatrix(150, 98, 8), C2(202 * 98);
  srecmult(A2.data(), B2.data(), C2.data(), 202, 150, 98, 150, 98, 98);
  std::vector<double> D2 = ScalarProduct(A2, B2, 202, 150, 98);
  for (size_t i = 0; i < C2.size(); ++i) ASSERT_NEAR(C2[i], D2[i], 1e-12);
}

#if !defined(__SANITIZE_ADDRESS__)
namespace {

// Caps the address space a little above what the process uses now.
void LimitAddressSpace(long long extra_bytes) {
  long long pages = 0;
  if (std::FILE *f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%lld", &pages) != 1) pages = 0;
    std::fclose(f);
  }
  rlimit lim{};
  lim.rlim_cur = lim.rlim_max = static_cast<rlim_t>(pages * sysconf(_SC_PAGESIZE) + extra_bytes);
  setrlimit(RLIMIT_AS, &lim);
}

}  // namespace
#endif

TEST(Strassen, FailedScratchAllocationEndsWithMessage) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer reserves address space of its own";
#else
  const int n = 600;  // padded to 608: three scratch copies of about 3 MB each
  std::vector<double> A = RandomMatrix(n, n, 1), B = RandomMatrix(n, n, 2), C(n * n);
  EXPECT_EXIT(
      {
        std::fflush(stdout);
        dup2(2, 1);
        std::printf(" ");  // the stdout buffer exists before the limit applies
        LimitAddressSpace(1 << 20);
        smult(A.data(), B.data(), C.data(), n, n, n);
      },
      ::testing::ExitedWithCode(1), "^ smult: out of memory\n$");
#endif
}

namespace {

// Inputs from a 64-bit LCG: the same doubles in [-1, 1) on every platform.
std::vector<double> LcgMatrix(int rows, int cols, uint64_t seed) {
  std::vector<double> a(static_cast<size_t>(rows) * cols);
  for (double &v : a) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    v = static_cast<double>(seed >> 11) * 0x1.0p-52 - 1.0;
  }
  return a;
}

// FNV-1a over the bit patterns of the values (not the bytes, so byte order is moot).
uint64_t BitsHash(const std::vector<double> &c) {
  uint64_t h = 1469598103934665603ULL;
  for (double v : c) {
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    h = (h ^ b) * 1099511628211ULL;
  }
  return h;
}

}  // namespace

TEST(Strassen, ProductBitsAreThoseOfTheScalarKernels) {
  // Hashes of mmult and rmult computed with the plain i-k-j leaves, before the
  // register-blocked kernels (and checked identical under qemu-ppc64), the last four with
  // the products formed one by one: the kernels, the one-pass combination of the
  // quadrants and the one-pass last split must not change a bit.
  struct Case {
    int m, n, p;
    uint64_t mmult, rmult;
  };
  const Case cases[] = {{47, 1, 48, 0xdb7c78a6d8f4d164ULL, 0xdb7c78a6d8f4d164ULL},
                        {101, 50, 70, 0x788c1ac0683e8c99ULL, 0xa41cfae57026f97dULL},
                        {200, 150, 170, 0x3467f96b7a15056dULL, 0x4c8ac56f8ba602f8ULL},
                        {257, 129, 193, 0x90eebe0927aa243fULL, 0xa606fa5a52eaafd7ULL},
                        // Panels whose last split runs in one pass (inner size 4 or less there).
                        {936, 64, 936, 0x39e4f937e06ae4b3ULL, 0x67ef03f2cb36deaaULL},
                        {236, 16, 236, 0x38a023729f9ef572ULL, 0xf1a68c7141013087ULL},
                        {300, 7, 301, 0x8248f8979885a08cULL, 0x7a877f3c72a0b597ULL},
                        {500, 3, 200, 0x3b6166b9b74532aeULL, 0x850e6307e1ca0010ULL}};
  for (const Case &c : cases) {
    std::vector<double> A = LcgMatrix(c.m, c.n, 1), B = LcgMatrix(c.n, c.p, 2);
    std::vector<double> C(static_cast<size_t>(c.m) * c.p), R(C.size(), 0.0);
    mmult(A.data(), B.data(), C.data(), c.m, c.n, c.p);
    rmult(A.data(), B.data(), R.data(), c.m, c.n, c.p);
    EXPECT_EQ(BitsHash(C), c.mmult) << c.m << " x " << c.n << " x " << c.p;
    EXPECT_EQ(BitsHash(R), c.rmult) << c.m << " x " << c.n << " x " << c.p;
  }
}

// The last split in one pass against the seven products formed one by one by the scalar
// loop and combined as the recursion combines them, bit for bit (any NaN standing for
// any NaN), on every kernel: awkward sizes, a strided C, signed zeros, infinities, NaN.
TEST(Strassen, LastSplitInOnePassHasTheBitsOfSevenProducts) {
  using tsf_matrix::product_kernel;
  const int shapes[][3] = {{1, 1, 1}, {59, 4, 59}, {17, 3, 9}, {8, 4, 16}, {5, 2, 33}, {30, 1, 23}};
  for (product_kernel kind : {product_kernel::baseline, product_kernel::avx2, product_kernel::avx512}) {
    if (!tsf_matrix::product_kernel_available(kind)) continue;
    for (const auto &s : shapes) {
      const int m = s[0], n = s[1], p = s[2], ldc = 2 * p + 3;
      std::vector<double> L = RandomMatrix(7 * m, n, 41), R = RandomMatrix(7 * n, p, 42);
      L[1] = -0.0;
      R[0] = -0.0;
      L[L.size() - 1] = HUGE_VAL;
      R[R.size() / 2] = -HUGE_VAL;
      R[R.size() - 1] = std::nan("");
      std::vector<double> M(7 * static_cast<size_t>(m) * p);
      for (int t = 0; t < 7; ++t)
        tsf_matrix::product_overwrite_with(product_kernel::scalar, L.data() + t * m * n, R.data() + t * n * p,
                                           M.data() + t * m * p, m, n, p, n, p, p);
      std::vector<double> got(static_cast<size_t>(2 * m) * ldc, 7.0), want = got;
      for (int i = 0; i < m; ++i) {
        for (int j = 0; j < p; ++j) {
          auto Mt = [&](int t) { return M[(static_cast<size_t>(t) * m + i) * p + j]; };
          const size_t top = static_cast<size_t>(i) * ldc + j, bottom = top + static_cast<size_t>(m) * ldc;
          want[top] = (Mt(0) + Mt(6)) + (Mt(3) - Mt(4));
          want[top + p] = Mt(2) + Mt(4);
          want[bottom] = Mt(3) + Mt(1);
          want[bottom + p] = (Mt(0) + Mt(5)) + (Mt(2) - Mt(1));
        }
      }
      ASSERT_TRUE(tsf_matrix::strassen_last_split_with(kind, L.data(), R.data(), m, n, p, got.data(), ldc));
      int differ = 0;
      for (size_t e = 0; e < got.size(); ++e)
        differ += (std::isnan(got[e]) && std::isnan(want[e])) || std::memcmp(&got[e], &want[e], 8) == 0 ? 0 : 1;
      EXPECT_EQ(differ, 0) << static_cast<int>(kind) << ": " << m << " x " << n << " x " << p;
    }
  }
  EXPECT_FALSE(tsf_matrix::strassen_last_split_with(product_kernel::scalar, nullptr, nullptr, 1, 1, 1, nullptr, 1));
}
