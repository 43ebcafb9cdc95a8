// One-sided chirp-z transform (Bluestein 1970; Rabiner, Schafer and Rader 1969): the bins
// k = 0..K, K = L/2, of the L-point DFT of a real series of n <= L values, for odd lengths
// whose complex plan would run Bluestein's algorithm.
//
// With k*j = (k^2 + j^2 - (k - j)^2)/2 and h[l] = exp(i*pi*l^2/L),
//   X[k] = conj(h[k]) * z[k],  z[k] = sum_{j<n} y[j] h[k - j],  y[j] = x[j] conj(h[j]),
// and |X[k]| = |z[k]|, so the last chirp product is never formed. For k <= K and j < n the
// lag k - j runs over the n + K values -(n - 1)..K, so a circular convolution of any length
// M >= n + K gives z[0..K] without wrap-around: about 1.5 L for the periodogram, where the
// full transform needs 2(L - 1). The kernel (h[0..K] at the front, h[1..n-1] mirrored at
// the back, zeros between) does not depend on x: its transform is made once with the
// object, which leaves two transforms of length M per call.
#include <cmath>
#include <cstdlib>
#include <vector>

#include "core/spectrum/spectrum_internal.h"

struct spectrum_chirp {
  int n;             // input length
  int L;             // transform length (odd)
  int M;             // padded length, at least n + L/2
  fft_object *plan;  // forward plan of length M
  fft_data *kernel;  // the M-point transform of the chirp kernel, in this block
};

namespace {

inline fft_data mul(fft_data a, fft_data b) { return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re}; }

// exp(i*pi*l^2/L) for l = 0, 1, ..., L - 1 in turn. With q = l^2 mod 2L written as
// q = a*B + b (B about sqrt(2L)), each value is the product of the tabulated
// exp(i*pi*a*B/L) and exp(i*pi*b/L): about one rounding, and only about 2*sqrt(2L) cosines
// and sines. q and the step 2l + 1 are kept in that split form, so no division is needed.
class ChirpSequence {
 public:
  explicit ChirpSequence(int L) : B_(static_cast<int>(std::ceil(std::sqrt(2.0 * L)))) {
    const double pi = 3.14159265358979323846264338327950288;
    const long long twoL = 2LL * L;
    Ta_ = static_cast<int>(twoL / B_);
    Tb_ = static_cast<int>(twoL % B_);
    hi_.resize(Ta_ + 1);
    lo_.resize(B_);
    for (int a = 0; a <= Ta_; ++a) {
      const double t = pi * (static_cast<double>(a) * B_) / L;
      hi_[a] = {std::cos(t), std::sin(t)};
    }
    for (int b = 0; b < B_; ++b) lo_[b] = {std::cos(pi * b / L), std::sin(pi * b / L)};
  }

  fft_data next() {
    const fft_data v = mul(hi_[qa_], lo_[qb_]);
    qa_ += da_;
    qb_ += db_;
    if (qb_ >= B_) {
      qb_ -= B_;
      ++qa_;
    }
    // q + 2l + 1 < 4L: one subtraction of 2L brings it back.
    if (qa_ > Ta_ || (qa_ == Ta_ && qb_ >= Tb_)) {
      qa_ -= Ta_;
      qb_ -= Tb_;
      if (qb_ < 0) {
        qb_ += B_;
        --qa_;
      }
    }
    db_ += 2;
    if (db_ >= B_) {
      db_ -= B_;
      ++da_;
    }
    return v;
  }

 private:
  int B_;
  int Ta_, Tb_;        // 2L = Ta*B + Tb
  int qa_ = 0, qb_ = 0;  // q = l^2 mod 2L
  int da_ = 0, db_ = 1;  // the step 2l + 1
  std::vector<fft_data> hi_, lo_;
};

// Relative cost per point of one pass of each radix of the mixed-radix transform, measured
// on x86-64 for lengths of about 10^6, where the passes are bound by memory traffic: the
// radix-2 and radix-4 ones are mostly the innermost leaves, and radix-8 passes pay for
// their power-of-two strides.
double pass_cost(int radix) {
  switch (radix) {
    case 2: return 1.4;
    case 3: return 4.4;
    case 4: return 4.5;
    case 5: return 5.2;
    case 7: return 5.8;
    default: return 7.6;  // 8
  }
}

// Estimated time of a transform of length M: M times the cost of its passes.
double transform_cost(int M) {
  int radices[64];
  const int count = factors(M, radices);
  double per_point = 0.0;
  for (int i = 0; i < count; ++i) per_point += pass_cost(radices[i]);
  return per_point * M;
}

// The length M >= bound with factors 2, 3, 5 and 7 only whose transform is estimated
// fastest, among the smallest multiple of 2^j >= bound of each odd 7-smooth number below
// 2 * bound (a larger power of two only adds passes).
int padded_length(int bound) {
  const long long limit = 2LL * bound;
  int best = 0;
  double best_cost = 0.0;
  for (long long p7 = 1; p7 < limit; p7 *= 7)
    for (long long p5 = p7; p5 < limit; p5 *= 5)
      for (long long p3 = p5; p3 < limit; p3 *= 3) {
        long long m = p3;
        while (m < bound) m *= 2;
        const double cost = transform_cost(static_cast<int>(m));
        if (best == 0 || cost < best_cost) {
          best = static_cast<int>(m);
          best_cost = cost;
        }
      }
  return best;
}

}  // namespace

namespace tsf_spectrum {

void chirp_free(spectrum_chirp *z) {
  if (!z) return;
  free_fft(z->plan);
  std::free(z);
}

bool needs_chirp(int L) { return L % 2 != 0 && !dividebyN(L); }

spectrum_chirp *chirp_init(int n, int L) {
  const int K = L / 2;
  const int M = padded_length(n + K);
  void *block = std::malloc(sizeof(spectrum_chirp) + sizeof(fft_data) * static_cast<size_t>(M));
  if (!block) return nullptr;
  spectrum_chirp *z = static_cast<spectrum_chirp *>(block);
  z->n = n;
  z->L = L;
  z->M = M;
  z->kernel = reinterpret_cast<fft_data *>(z + 1);
  z->plan = fft_init(M, 1);
  fft_data *g = static_cast<fft_data *>(std::malloc(sizeof(fft_data) * static_cast<size_t>(M)));
  if (!z->plan || !g) {
    std::free(g);
    chirp_free(z);
    return nullptr;
  }
  for (int l = 0; l < M; ++l) g[l] = {0.0, 0.0};
  ChirpSequence h(L);
  for (int l = 0; l <= K || l < n; ++l) {
    const fft_data v = h.next();
    if (l <= K) g[l] = v;
    if (l >= 1 && l < n) g[M - l] = v;
  }
  fft_exec(z->plan, g, z->kernel);
  std::free(g);
  return z;
}

void chirp_power_bins(const spectrum_chirp *z, const double *x, double edge, double interior, double *power,
                      const char *what) {
  const int n = z->n, M = z->M, K = z->L / 2;
  fft_data *a = static_cast<fft_data *>(work_block(2 * static_cast<size_t>(M) * sizeof(fft_data), what));
  fft_data *b = a + M;
  ChirpSequence h(z->L);
  for (int j = 0; j < n; ++j) {
    const fft_data c = h.next();
    a[j] = {x[j] * c.re, -x[j] * c.im};
  }
  for (int j = n; j < M; ++j) a[j] = {0.0, 0.0};
  fft_exec(z->plan, a, b);
  // The inverse transform as conj(FFT(conj(.))): only |z| is wanted, so the outer
  // conjugate is dropped, and the factor 1/M goes into the scales.
  for (int k = 0; k < M; ++k) {
    const fft_data p = mul(b[k], z->kernel[k]);
    a[k] = {p.re, -p.im};
  }
  fft_exec(z->plan, a, b);
  const double m2 = static_cast<double>(M) * M;
  edge /= m2;
  interior /= m2;
  power[0] = b[0].re * b[0].re * edge;
  for (int k = 1; k <= K; ++k) power[k] = (b[k].re * b[k].re + b[k].im * b[k].im) * interior;
  std::free(a);
}

}  // namespace tsf_spectrum
