// Mixed-radix decimation-in-time FFT (Cooley and Tukey 1965; Singleton 1969 for the
// odd-radix butterflies). A transform of length n = r*m reads its input with stride is,
// transforms the r interleaved sub-sequences into consecutive blocks of m outputs and
// combines each group of r outputs with the twiddles of its level and an r-point DFT.
//
// The direction S is a template parameter so that the quarter-turn rotations and the sine
// terms of the butterflies fold into constants. The twiddle table of a plan holds, for
// the level of length n, the values w^(j*p) (w = exp(-2*pi*i*S/n), j < m, 1 <= p < r)
// starting at index m - 1, r - 1 consecutive values per j.
//
// On x86-64 with GCC, machines with AVX combine two adjacent columns j, j + 1 at once in
// four-lane registers. Every lane performs the same operations as the one-column code, so
// the results are the same bit for bit on every machine.
#include <cmath>
#include <cstring>

#include "core/fft/fft_internal.h"

namespace {

// Correctly rounded cos and sin of 2*pi*k/r for the fixed butterflies.
const double kSin3 = 0.8660254037844386;
const double kCos5a = 0.30901699437494745, kSin5a = 0.9510565162951535;
const double kCos5b = -0.8090169943749475, kSin5b = 0.5877852522924731;
const double kCos7a = 0.6234898018587335, kSin7a = 0.7818314824680298;
const double kCos7b = -0.2225209339563144, kSin7b = 0.9749279121818236;
const double kCos7c = -0.9009688679024191, kSin7c = 0.4338837391175581;
const double kSqrtHalf = 0.7071067811865476;

namespace one {

// Complex values in registers. With GCC and Clang a two-lane vector (one SSE2, VSX or NEON
// register), otherwise a pair of doubles; both give the same roundings: every lane
// operation is the scalar operation, and the complex product sums the same two terms.
#if defined(__GNUC__) || defined(__clang__)
typedef double v2 __attribute__((vector_size(16)));

struct cx {
  v2 v;
};

inline cx load(const fft_data *p) {
  cx r;
  std::memcpy(&r.v, p, sizeof(r.v));
  return r;
}
inline void store(fft_data *p, cx a) { std::memcpy(p, &a.v, sizeof(a.v)); }
inline cx operator+(cx a, cx b) { return {a.v + b.v}; }
inline cx operator-(cx a, cx b) { return {a.v - b.v}; }
inline cx scale(cx a, double c) { return {a.v * c}; }
inline v2 swapped(v2 a) { return v2{a[1], a[0]}; }
inline cx mul(cx a, cx w) {
  v2 wr = {w.v[0], w.v[0]};
  v2 wi = {-w.v[1], w.v[1]};
  return {a.v * wr + swapped(a.v) * wi};
}
// a * (-i*S): a quarter turn in the direction of the transform.
template <int S>
inline cx quarter(cx a) {
  const v2 sign = {S > 0 ? 1.0 : -1.0, S > 0 ? -1.0 : 1.0};
  return {swapped(a.v) * sign};
}
#else
struct cx {
  double re, im;
};

inline cx load(const fft_data *p) { return {p->re, p->im}; }
inline void store(fft_data *p, cx a) { *p = {a.re, a.im}; }
inline cx operator+(cx a, cx b) { return {a.re + b.re, a.im + b.im}; }
inline cx operator-(cx a, cx b) { return {a.re - b.re, a.im - b.im}; }
inline cx scale(cx a, double c) { return {a.re * c, a.im * c}; }
inline cx mul(cx a, cx w) { return {a.re * w.re - a.im * w.im, a.im * w.re + a.re * w.im}; }
template <int S>
inline cx quarter(cx a) {
  return S > 0 ? cx{a.im, -a.re} : cx{-a.im, a.re};
}
#endif

#include "core/fft/radix_kernels.inc"

inline bool has_kernel(int n) { return n == 2 || n == 3 || n == 4 || n == 5 || n == 7 || n == 8; }

// Direct DFT of N samples read with stride is.
template <int N, void (*DFT)(const cx *, fft_data *, int)>
inline void leaf(const fft_data *in, int is, fft_data *out) {
  cx a[N];
  for (int k = 0; k < N; ++k) a[k] = load(in + k * is);
  DFT(a, out, 1);
}

inline void copy_one(const cx *a, fft_data *o, int) { store(o, a[0]); }

// count transforms of length n in {1, 2, 3, 4, 5, 7, 8}: the i-th reads in + i*is_step
// with stride is and writes n values at out + i*n.
template <int N, void (*DFT)(const cx *, fft_data *, int)>
void leaves_of(const fft_data *in, int is, int is_step, int count, fft_data *out) {
  for (int i = 0; i < count; ++i) leaf<N, DFT>(in + i * is_step, is, out + i * N);
}

template <int S>
void leaves(int n, const fft_data *in, int is, int is_step, int count, fft_data *out) {
  switch (n) {
    case 1: leaves_of<1, copy_one>(in, is, is_step, count, out); break;
    case 2: leaves_of<2, dft2<S>>(in, is, is_step, count, out); break;
    case 3: leaves_of<3, dft3<S>>(in, is, is_step, count, out); break;
    case 4: leaves_of<4, dft4<S>>(in, is, is_step, count, out); break;
    case 5: leaves_of<5, dft5<S>>(in, is, is_step, count, out); break;
    case 7: leaves_of<7, dft7<S>>(in, is, is_step, count, out); break;
    default: leaves_of<8, dft8<S>>(in, is, is_step, count, out); break;
  }
}

// Combines r blocks of m outputs in place with a fixed r-point butterfly.
template <int R, void (*DFT)(const cx *, fft_data *, int)>
void combine_fixed(fft_data *out, int m, const fft_data *tw) {
  cx a[R];
  for (int p = 0; p < R; ++p) a[p] = load(out + p * m);
  DFT(a, out, m);
  for (int j = 1; j < m; ++j) {
    const fft_data *w = tw + j * (R - 1);
    a[0] = load(out + j);
    for (int p = 1; p < R; ++p) a[p] = mul(load(out + p * m + j), load(w + p - 1));
    DFT(a, out + j, m);
  }
}

// Any odd radix r <= 63: the DFT of r values through the symmetric and antisymmetric
// sums of the pairs (p, r - p), with the rotations cos and sin of 2*pi*t/r.
template <int S>
void combine_generic(fft_data *out, int r, int m, const fft_data *tw) {
  double cs[64], sn[64];
  for (int t = 0; t < r; ++t) {
    double theta = 6.283185307179586476925286766559 * t / r;
    cs[t] = std::cos(theta);
    sn[t] = std::sin(theta);
  }
  cx a[64], b[32], d[32];
  const int h = r / 2;
  for (int j = 0; j < m; ++j) {
    a[0] = load(out + j);
    if (j == 0) {
      for (int p = 1; p < r; ++p) a[p] = load(out + p * m);
    } else {
      const fft_data *w = tw + j * (r - 1);
      for (int p = 1; p < r; ++p) a[p] = mul(load(out + p * m + j), load(w + p - 1));
    }
    cx sum = a[0];
    for (int p = 1; p <= h; ++p) {
      b[p] = a[p] + a[r - p];
      d[p] = a[p] - a[r - p];
      sum = sum + b[p];
    }
    store(out + j, sum);
    for (int q = 1; q <= h; ++q) {
      cx e = a[0];
      cx f = scale(d[1], sn[q]);
      e = e + scale(b[1], cs[q]);
      int t = q;
      for (int p = 2; p <= h; ++p) {
        t += q;
        if (t >= r) t -= r;
        e = e + scale(b[p], cs[t]);
        f = f + scale(d[p], sn[t]);
      }
      cx u = quarter<S>(f);
      store(out + q * m + j, e + u);
      store(out + (r - q) * m + j, e - u);
    }
  }
}

}  // namespace one

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define TSF_FFT_TWO_COLUMNS 1
#pragma GCC push_options
#pragma GCC target("avx")
namespace two {

// Two complex values: columns j and j + 1.
typedef double v4 __attribute__((vector_size(32)));

struct cx {
  v4 v;
};

inline cx load(const fft_data *p) {
  cx r;
  std::memcpy(&r.v, p, sizeof(r.v));
  return r;
}
inline void store(fft_data *p, cx a) { std::memcpy(p, &a.v, sizeof(a.v)); }
inline cx operator+(cx a, cx b) { return {a.v + b.v}; }
inline cx operator-(cx a, cx b) { return {a.v - b.v}; }
inline cx scale(cx a, double c) { return {a.v * c}; }
inline v4 swapped(v4 a) { return v4{a[1], a[0], a[3], a[2]}; }
template <int S>
inline cx quarter(cx a) {
  const double p = S > 0 ? 1.0 : -1.0;
  const v4 sign = {p, -p, p, -p};
  return {swapped(a.v) * sign};
}
// a times the twiddles w[0] (column j) and w[step] (column j + 1).
inline cx mul_twiddles(cx a, const fft_data *w, int step) {
  const v4 wr = {w[0].re, w[0].re, w[step].re, w[step].re};
  const v4 wi = {-w[0].im, w[0].im, -w[step].im, w[step].im};
  return {a.v * wr + swapped(a.v) * wi};
}

#include "core/fft/radix_kernels.inc"

template <int R, void (*DFT)(const cx *, fft_data *, int), void (*DFT1)(const one::cx *, fft_data *, int)>
void combine_fixed(fft_data *out, int m, const fft_data *tw) {
  if (m < 2) {
    one::combine_fixed<R, DFT1>(out, m, tw);
    return;
  }
  cx a[R];
  // Columns 0 and 1; column 0 has unit twiddles and keeps its values unmultiplied.
  a[0] = load(out);
  for (int p = 1; p < R; ++p) {
    cx x = load(out + p * m);
    cx y = mul_twiddles(x, tw + p - 1, R - 1);
    a[p].v = v4{x.v[0], x.v[1], y.v[2], y.v[3]};
  }
  DFT(a, out, m);
  int j = 2;
  for (; j + 1 < m; j += 2) {
    const fft_data *w = tw + j * (R - 1);
    a[0] = load(out + j);
    for (int p = 1; p < R; ++p) a[p] = mul_twiddles(load(out + p * m + j), w + p - 1, R - 1);
    DFT(a, out + j, m);
  }
  if (j < m) {
    const fft_data *w = tw + j * (R - 1);
    one::cx b[R];
    b[0] = one::load(out + j);
    for (int p = 1; p < R; ++p) b[p] = one::mul(one::load(out + p * m + j), one::load(w + p - 1));
    DFT1(b, out + j, m);
  }
}

template <int S>
void combine(fft_data *out, int r, int m, const fft_data *tw) {
  switch (r) {
    case 2: combine_fixed<2, dft2<S>, one::dft2<S>>(out, m, tw); break;
    case 3: combine_fixed<3, dft3<S>, one::dft3<S>>(out, m, tw); break;
    case 4: combine_fixed<4, dft4<S>, one::dft4<S>>(out, m, tw); break;
    case 5: combine_fixed<5, dft5<S>, one::dft5<S>>(out, m, tw); break;
    case 7: combine_fixed<7, dft7<S>, one::dft7<S>>(out, m, tw); break;
    case 8: combine_fixed<8, dft8<S>, one::dft8<S>>(out, m, tw); break;
    default: one::combine_generic<S>(out, r, m, tw); break;
  }
}

}  // namespace two
#pragma GCC pop_options
#endif

template <int S>
void combine_one(fft_data *out, int r, int m, const fft_data *tw) {
  using namespace one;
  switch (r) {
    case 2: combine_fixed<2, dft2<S>>(out, m, tw); break;
    case 3: combine_fixed<3, dft3<S>>(out, m, tw); break;
    case 4: combine_fixed<4, dft4<S>>(out, m, tw); break;
    case 5: combine_fixed<5, dft5<S>>(out, m, tw); break;
    case 7: combine_fixed<7, dft7<S>>(out, m, tw); break;
    case 8: combine_fixed<8, dft8<S>>(out, m, tw); break;
    default: combine_generic<S>(out, r, m, tw); break;
  }
}

template <int S, bool TWO>
inline void combine(fft_data *out, int r, int m, const fft_data *tw) {
#ifdef TSF_FFT_TWO_COLUMNS
  if (TWO) {
    two::combine<S>(out, r, m, tw);
    return;
  }
#endif
  combine_one<S>(out, r, m, tw);
}

// Transform of length n of in[0], in[is], ..., with the radices rad[0], rad[1], ...
template <int S, bool TWO>
void transform(fft_data *out, const fft_data *in, int n, int is, const int *rad, const fft_data *tw) {
  if (n == 1 || one::has_kernel(n)) {
    one::leaves<S>(n, in, is, 0, 1, out);
    return;
  }
  const int r = rad[0];
  const int m = n / r;
  if (m == 1 || one::has_kernel(m)) {
    one::leaves<S>(m, in, is * r, is, r, out);
  } else {
    for (int p = 0; p < r; ++p) transform<S, TWO>(out + p * m, in + p * is, m, is * r, rad + 1, tw);
  }
  combine<S, TWO>(out, r, m, tw + (m - 1));
}

bool has_two_columns() {
#ifdef TSF_FFT_TWO_COLUMNS
  return __builtin_cpu_supports("avx");
#else
  return false;
#endif
}

}  // namespace

namespace tsf_fft {

void mixed_radix_columns(const fft_object *obj, int n, int sgn, const fft_data *in, fft_data *out,
                         bool two_columns) {
  const bool two = two_columns && has_two_columns();
  if (sgn > 0) {
    if (two) {
      transform<1, true>(out, in, n, 1, obj->radices, obj->twiddles);
    } else {
      transform<1, false>(out, in, n, 1, obj->radices, obj->twiddles);
    }
  } else {
    if (two) {
      transform<-1, true>(out, in, n, 1, obj->radices, obj->twiddles);
    } else {
      transform<-1, false>(out, in, n, 1, obj->radices, obj->twiddles);
    }
  }
}

void mixed_radix(const fft_object *obj, int n, int sgn, const fft_data *in, fft_data *out) {
  mixed_radix_columns(obj, n, sgn, in, out, true);
}

bool two_column_kernels() { return has_two_columns(); }

}  // namespace tsf_fft
