// Bluestein's chirp-z transform (Bluestein 1970): with k*n = (k^2 + n^2 - (k - n)^2)/2 the
// DFT of length N becomes a convolution with the chirp h[l] = exp(i*pi*l^2/N), done by
// three mixed-radix transforms of the padded power-of-two length M >= 2(N - 1).
//
// The inverse transform of step three is taken as conj(FFT(conj(Z))) with the plan's own
// twiddles and sign, which gives the same values as a transform with negated twiddles and
// sign, so the plan is never modified.
#include <cmath>
#include <cstdlib>

#include "core/fft/fft_internal.h"

namespace {

using cx = fft_data;

inline cx mul(cx a, cx b) { return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re}; }
inline cx conj(cx a) { return {a.re, -a.im}; }

// Working length of the plan: the product of its radices.
int padded_length(const fft_object *obj) {
  int M = 1;
  for (int i = 0; i < obj->lf; ++i) M *= obj->radices[i];
  return M;
}

// Chirp h[l] = exp(i*pi*q/N) with q = l^2 mod 2N kept by incremental update. Each value is
// the product of two tabulated factors exp(i*pi*a*B/N) * exp(i*pi*b/N), q = a*B + b, so only
// about 2*sqrt(2N) cosines and sines are evaluated; the product costs about one rounding.
struct ChirpTables {
  int B, A;  // q = a*B + b with b < B and a < A
};

ChirpTables chirp_tables(int N) {
  long long twoN = 2LL * N;
  int B = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(twoN))));
  return {B, static_cast<int>(twoN / B) + 1};
}

// work holds A + B values (see chirp_tables).
void bluestein_exp(cx *h, int N, cx *work) {
  const double pi = 3.14159265358979323846264338327950288;
  const long long twoN = 2LL * N;
  const ChirpTables t = chirp_tables(N);
  cx *hi = work;
  cx *lo = work + t.A;
  for (int a = 0; a < t.A; ++a) {
    double theta = pi * (static_cast<double>(a) * t.B) / N;
    hi[a] = {std::cos(theta), std::sin(theta)};
  }
  for (int b = 0; b < t.B; ++b) {
    double theta = pi * b / N;
    lo[b] = {std::cos(theta), std::sin(theta)};
  }
  long long q = 0;
  for (int l = 0; l < N; ++l) {
    h[l] = (q < t.B) ? lo[q] : mul(hi[q / t.B], lo[q % t.B]);
    q += 2LL * l + 1;
    if (q >= twoN) q -= twoN;
  }
}

}  // namespace

namespace tsf_fft {

void bluestein(const fft_object *obj, const fft_data *in, fft_data *out) {
  const int N = obj->N;
  const int S = obj->sgn;
  const int M = padded_length(obj);
  size_t total = 3 * static_cast<size_t>(M) + static_cast<size_t>(N);
  cx *block = static_cast<cx *>(std::malloc(sizeof(cx) * total));
  if (!block) out_of_memory("fft_exec");
  cx *h = block;
  cx *a = h + N;
  cx *b = a + M;
  cx *c = b + M;

  bluestein_exp(h, N, c);  // c is free until Y is formed; A + B <= M
  // g: the chirp and its mirror, scaled by 1/M (exact: M is a power of two).
  const double scale = 1.0 / M;
  for (int l = 0; l < N; ++l) a[l] = {h[l].re * scale, h[l].im * scale};
  for (int l = N; l <= M - N; ++l) a[l] = {0.0, 0.0};
  for (int l = M - N + 1; l < M; ++l) a[l] = {h[M - l].re * scale, h[M - l].im * scale};
  mixed_radix(obj, M, S, a, b);  // G

  for (int l = 0; l < N; ++l) a[l] = (S > 0) ? mul(in[l], conj(h[l])) : mul(in[l], h[l]);
  for (int l = N; l < M; ++l) a[l] = {0.0, 0.0};
  mixed_radix(obj, M, S, a, c);  // Y

  // conj(Z), Z = Y*G (forward) or Y*conj(G) (backward).
  for (int k = 0; k < M; ++k) a[k] = conj((S > 0) ? mul(c[k], b[k]) : mul(c[k], conj(b[k])));
  mixed_radix(obj, M, S, a, b);  // conj(z)

  for (int k = 0; k < N; ++k) {
    cx z = conj(b[k]);
    out[k] = (S > 0) ? mul(z, conj(h[k])) : mul(z, h[k]);
  }
  std::free(block);
}

}  // namespace tsf_fft
