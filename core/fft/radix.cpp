// Mixed-radix decimation-in-time FFT (Cooley and Tukey 1965; Singleton 1969 for the
// odd-radix butterflies). A transform of length n = r*m reads its input with stride is,
// transforms the r interleaved sub-sequences into consecutive blocks of m outputs and
// combines each group of r outputs with the twiddles of its level and an r-point DFT.
//
// The direction S is a template parameter so that the quarter-turn rotations and the sine
// terms of the butterflies fold into constants. The twiddle table of a plan holds, for
// the level of length n, the values w^(j*p) (w = exp(-2*pi*i*S/n), j < m, 1 <= p < r)
// starting at index m - 1, r - 1 consecutive values per j.
#include <cmath>
#include <cstring>

#include "core/fft/fft_internal.h"

namespace {

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

// Correctly rounded cos and sin of 2*pi*k/r for the fixed butterflies.
const double kSin3 = 0.8660254037844386;
const double kCos5a = 0.30901699437494745, kSin5a = 0.9510565162951535;
const double kCos5b = -0.8090169943749475, kSin5b = 0.5877852522924731;
const double kCos7a = 0.6234898018587335, kSin7a = 0.7818314824680298;
const double kCos7b = -0.2225209339563144, kSin7b = 0.9749279121818236;
const double kCos7c = -0.9009688679024191, kSin7c = 0.4338837391175581;
const double kSqrtHalf = 0.7071067811865476;

// The r-point DFTs: a[0..r-1] in, o[q*os] out.
template <int S>
inline void dft2(const cx *a, fft_data *o, int os) {
  cx a0 = a[0], a1 = a[1];
  store(o, a0 + a1);
  store(o + os, a0 - a1);
}

template <int S>
inline void dft3(const cx *a, fft_data *o, int os) {
  cx t1 = a[1] + a[2];
  cx t2 = a[1] - a[2];
  cx m = a[0] - scale(t1, 0.5);
  cx u = quarter<S>(scale(t2, kSin3));
  store(o, a[0] + t1);
  store(o + os, m + u);
  store(o + 2 * os, m - u);
}

template <int S>
inline void dft4(const cx *a, fft_data *o, int os) {
  cx s02 = a[0] + a[2], d02 = a[0] - a[2];
  cx s13 = a[1] + a[3], d13 = quarter<S>(a[1] - a[3]);
  store(o, s02 + s13);
  store(o + os, d02 + d13);
  store(o + 2 * os, s02 - s13);
  store(o + 3 * os, d02 - d13);
}

template <int S>
inline void dft5(const cx *a, fft_data *o, int os) {
  cx b1 = a[1] + a[4], d1 = a[1] - a[4];
  cx b2 = a[2] + a[3], d2 = a[2] - a[3];
  cx e1 = a[0] + scale(b1, kCos5a) + scale(b2, kCos5b);
  cx e2 = a[0] + scale(b1, kCos5b) + scale(b2, kCos5a);
  cx f1 = quarter<S>(scale(d1, kSin5a) + scale(d2, kSin5b));
  cx f2 = quarter<S>(scale(d1, kSin5b) - scale(d2, kSin5a));
  store(o, a[0] + b1 + b2);
  store(o + os, e1 + f1);
  store(o + 4 * os, e1 - f1);
  store(o + 2 * os, e2 + f2);
  store(o + 3 * os, e2 - f2);
}

template <int S>
inline void dft7(const cx *a, fft_data *o, int os) {
  cx b1 = a[1] + a[6], d1 = a[1] - a[6];
  cx b2 = a[2] + a[5], d2 = a[2] - a[5];
  cx b3 = a[3] + a[4], d3 = a[3] - a[4];
  cx e1 = a[0] + scale(b1, kCos7a) + scale(b2, kCos7b) + scale(b3, kCos7c);
  cx e2 = a[0] + scale(b1, kCos7b) + scale(b2, kCos7c) + scale(b3, kCos7a);
  cx e3 = a[0] + scale(b1, kCos7c) + scale(b2, kCos7a) + scale(b3, kCos7b);
  // sin(2*pi*p*q/7) for p*q mod 7 = 4, 5, 6 is minus that of 3, 2, 1.
  cx f1 = quarter<S>(scale(d1, kSin7a) + scale(d2, kSin7b) + scale(d3, kSin7c));
  cx f2 = quarter<S>(scale(d1, kSin7b) - scale(d2, kSin7c) - scale(d3, kSin7a));
  cx f3 = quarter<S>(scale(d1, kSin7c) - scale(d2, kSin7a) + scale(d3, kSin7b));
  store(o, a[0] + b1 + b2 + b3);
  store(o + os, e1 + f1);
  store(o + 6 * os, e1 - f1);
  store(o + 2 * os, e2 + f2);
  store(o + 5 * os, e2 - f2);
  store(o + 3 * os, e3 + f3);
  store(o + 4 * os, e3 - f3);
}

template <int S>
inline void dft8(const cx *a, fft_data *o, int os) {
  // Two 4-point DFTs of the even and odd samples, then the w8^q rotations.
  cx s04 = a[0] + a[4], d04 = a[0] - a[4];
  cx s26 = a[2] + a[6], d26 = quarter<S>(a[2] - a[6]);
  cx s15 = a[1] + a[5], d15 = a[1] - a[5];
  cx s37 = a[3] + a[7], d37 = quarter<S>(a[3] - a[7]);
  cx e0 = s04 + s26, e2 = s04 - s26;
  cx e1 = d04 + d26, e3 = d04 - d26;
  cx o0 = s15 + s37, o2 = quarter<S>(s15 - s37);
  cx u1 = d15 + d37, u3 = d15 - d37;
  // w8 = sqrt(1/2)*(1 - i*S); w8^3 = sqrt(1/2)*(-1 - i*S).
  cx o1 = scale(u1 + quarter<S>(u1), kSqrtHalf);
  cx o3 = scale(quarter<S>(u3) - u3, kSqrtHalf);
  store(o, e0 + o0);
  store(o + 4 * os, e0 - o0);
  store(o + os, e1 + o1);
  store(o + 5 * os, e1 - o1);
  store(o + 2 * os, e2 + o2);
  store(o + 6 * os, e2 - o2);
  store(o + 3 * os, e3 + o3);
  store(o + 7 * os, e3 - o3);
}

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
template <int S, int N, void (*DFT)(const cx *, fft_data *, int)>
void leaves_of(const fft_data *in, int is, int is_step, int count, fft_data *out) {
  for (int i = 0; i < count; ++i) leaf<N, DFT>(in + i * is_step, is, out + i * N);
}

template <int S>
void leaves(int n, const fft_data *in, int is, int is_step, int count, fft_data *out) {
  switch (n) {
    case 1: leaves_of<S, 1, copy_one>(in, is, is_step, count, out); break;
    case 2: leaves_of<S, 2, dft2<S>>(in, is, is_step, count, out); break;
    case 3: leaves_of<S, 3, dft3<S>>(in, is, is_step, count, out); break;
    case 4: leaves_of<S, 4, dft4<S>>(in, is, is_step, count, out); break;
    case 5: leaves_of<S, 5, dft5<S>>(in, is, is_step, count, out); break;
    case 7: leaves_of<S, 7, dft7<S>>(in, is, is_step, count, out); break;
    default: leaves_of<S, 8, dft8<S>>(in, is, is_step, count, out); break;
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

template <int S>
void combine(fft_data *out, int r, int m, const fft_data *tw) {
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

// Transform of length n of in[0], in[is], ..., with the radices rad[0], rad[1], ...
template <int S>
void transform(fft_data *out, const fft_data *in, int n, int is, const int *rad, const fft_data *tw) {
  if (n == 1 || has_kernel(n)) {
    leaves<S>(n, in, is, 0, 1, out);
    return;
  }
  const int r = rad[0];
  const int m = n / r;
  if (m == 1 || has_kernel(m)) {
    leaves<S>(m, in, is * r, is, r, out);
  } else {
    for (int p = 0; p < r; ++p) transform<S>(out + p * m, in + p * is, m, is * r, rad + 1, tw);
  }
  combine<S>(out, r, m, tw + (m - 1));
}

}  // namespace

namespace tsf_fft {

void mixed_radix(const fft_object *obj, int n, int sgn, const fft_data *in, fft_data *out) {
  if (sgn > 0) {
    transform<1>(out, in, n, 1, obj->radices, obj->twiddles);
  } else {
    transform<-1>(out, in, n, 1, obj->radices, obj->twiddles);
  }
}

}  // namespace tsf_fft
