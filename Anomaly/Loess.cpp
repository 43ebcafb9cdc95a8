// Locally weighted regression. Lowess and Lowest follow Cleveland (1979), "Robust locally
// weighted regression and smoothing scatterplots", JASA 74, 829-836: tricube distance
// weights, bisquare robustness weights from six times the median absolute residual, and
// linear interpolation between fitted points closer than delta.
#include "Anomaly/Loess.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "Anomaly/anomaly_internal.h"

namespace {

using tsf_anomaly::LessNanLast;

// Element k of the ascending order of v (v is reordered).
template <typename T>
T select_kth(std::vector<T> &v, size_t k) {
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(k), v.end(), LessNanLast());
  return v[k];
}

// floor(span * n) clamped to [1, n], decided before any conversion to an integer.
size_t smooth_neighbourhood(size_t n, long double span) {
  const long double t = span * static_cast<long double>(n);
  if (!(t >= 1)) return 1;
  if (t >= static_cast<long double>(n)) return n;
  return static_cast<size_t>(t);
}

// floor(n * f) clamped to [2, n] (n >= 2), decided before any conversion to an integer.
long lowess_neighbourhood(size_t n, double f) {
  const double t = static_cast<double>(n) * f;
  if (!(t >= 2)) return 2;
  if (t >= static_cast<double>(n)) return static_cast<long>(n);
  return static_cast<long>(std::floor(t));
}

// Start of an n-element scratch array inside buf (n + 256 elements) whose address lies half
// a 4 KiB page away from that of x modulo the page size. Large arrays freshly mapped by the
// allocator all start at the same page offset; with the weights stored at that offset too,
// the weight loop ran up to twice as slow on x86 (loads sharing the low 12 address bits
// with pending stores wait for them).
long double *scratch_apart_from(std::vector<long double> &buf, const std::vector<long double> &x) {
  const std::uintptr_t d =
      (reinterpret_cast<std::uintptr_t>(buf.data()) - reinterpret_cast<std::uintptr_t>(x.data())) %
      4096;
  const std::uintptr_t shift = ((2048 + 4096 - d) % 4096) / sizeof(long double);
  return buf.data() + shift;
}

// (1 - |u|^3)^3 for |u| < 1, else 0. TsLoess::Tricube is exported, so calls to it from
// inside the shared library are not inlined; the inner loop calls this copy.
inline long double tricube(long double u) {
  const long double a = std::fabs(u);
  if (!(a < 1)) return 0;
  const long double t = 1 - a * a * a;
  return t * t * t;
}

struct WeightedMoments {
  long double w, x, xx, y, xy;
};

// Sums of weight, weight x, weight x^2, weight y and weight x y over left..right, the
// weight of j being Tricube(|x[j] - x[i]| * scale) * robust[j] * w[j] (kept in wt[j]).
// |x[j] - x[i]| equals the distance x[i] - x[j] left of i and x[j] - x[i] from i on, and
// Tricube is even, so unsorted x give the same weights too. The sums are taken in three
// short loops rather than one: on x87 long double, five accumulators and the loop
// temporaries do not fit the register stack, and the spilled 80-bit values stall every
// iteration.
WeightedMoments neighbourhood_moments(const std::vector<long double> &x,
                                      const std::vector<long double> &y,
                                      const std::vector<long double> &w,
                                      const std::vector<long double> &robust, size_t i, size_t left,
                                      size_t right, long double scale, long double *wt) {
  const long double xi = x[i];
  for (size_t j = left; j <= right; ++j)
    wt[j] = tricube(std::fabs(x[j] - xi) * scale) * robust[j] * w[j];
  long double sw = 0, sx = 0, sxx = 0;
  for (size_t j = left; j <= right; ++j) {
    sw += wt[j];
    sx += wt[j] * x[j];
    sxx += wt[j] * x[j] * x[j];
  }
  long double sy = 0, sxy = 0;
  for (size_t j = left; j <= right; ++j) {
    sy += wt[j] * y[j];
    sxy += wt[j] * x[j] * y[j];
  }
  return WeightedMoments{sw, sx, sxx, sy, sxy};
}

// Value at xi of the weighted least-squares line of the sums; the slope is 0 when the
// weighted standard deviation of x is below tolerance, and a zero total weight gives 0.
long double weighted_line_at(const WeightedMoments &s, long double xi, long double tolerance) {
  long double mx = 0, my = 0, mxx = 0, mxy = 0;
  if (s.w > 0) {
    mx = s.x / s.w;
    my = s.y / s.w;
    mxx = s.xx / s.w;
    mxy = s.xy / s.w;
  }
  const long double var = mxx - mx * mx;
  const long double slope = (std::sqrt(std::fabs(var)) >= tolerance) ? (mxy - mx * my) / var : 0;
  return slope * xi + (my - slope * mx);
}

// Bisquare weights (1 - u^2)^2, u = residual / (6 m), from the absolute residuals.
void smooth_robustness_weights(const std::vector<long double> &resid, long double m,
                               std::vector<long double> &robust) {
  for (size_t j = 0; j < resid.size(); ++j) {
    const long double u = resid[j] / (6 * m);
    if (u < 1) {
      const long double t = 1 - u * u;
      robust[j] = t * t;
    } else {
      robust[j] = 0;
    }
  }
}

// Robustness weights of Lowess from the residuals; rw is reused as the sorting space.
void lowess_robustness_weights(const std::vector<double> &res, std::vector<double> &rw) {
  const size_t n = res.size();
  for (size_t i = 0; i < n; ++i) rw[i] = std::fabs(res[i]);
  const size_t m1 = n / 2;
  const size_t m2 = n - m1 - 1;
  const double v1 = select_kth(rw, m1);
  // After the selection every element before m1 is <= rw[m1]; for even n the other
  // middle value is the largest of them.
  const double v2 =
      (m2 == m1) ? v1
                 : *std::max_element(rw.begin(), rw.begin() + static_cast<std::ptrdiff_t>(m1),
                                     LessNanLast());
  const double cmad = 3 * (v1 + v2);
  const double c9 = 0.999 * cmad;
  const double c1 = 0.001 * cmad;
  for (size_t i = 0; i < n; ++i) {
    const double r = std::fabs(res[i]);
    if (r <= c1) {
      rw[i] = 1;
    } else if (r <= c9) {
      const double u = r / cmad;
      const double t = 1 - u * u;
      rw[i] = t * t;
    } else {
      rw[i] = 0;
    }
  }
}

// ys[j] for last < j < i on the line through (x[last], ys[last]) and (x[i], ys[i]).
void interpolate_skipped(const std::vector<double> &x, std::vector<double> &ys, long last, long i) {
  if (last < 0) {
    std::fputs("Lowess: out of range.\n", stdout);  // no fitted left end: nothing to interpolate
    return;
  }
  const double denom = x[i] - x[last];
  for (long j = last + 1; j < i; ++j) {
    const double alpha = (x[j] - x[last]) / denom;
    ys[j] = alpha * ys[i] + (1 - alpha) * ys[last];
  }
}

// One fitting sweep of Lowess over all points; res serves as Lowest's work vector.
void lowess_sweep(TsLoess &loess, const std::vector<double> &x, const std::vector<double> &y,
                  long ns, double delta, bool userw, std::vector<double> &ys,
                  std::vector<double> &rw, std::vector<double> &res) {
  const long n = static_cast<long>(x.size());
  long nleft = 0, nright = ns - 1, last = -1, i = 0;
  for (;;) {
    while (nright < n - 1 && x[nright + 1] - x[i] < x[i] - x[nleft]) {
      ++nleft;
      ++nright;
    }
    bool ok = false;
    loess.Lowest(x, y, x[i], ys[i], nleft, nright, res, userw, rw, ok);
    if (!ok) ys[i] = y[i];
    if (last < i - 1) interpolate_skipped(x, ys, last, i);
    last = i;
    const double cut = x[last] + delta;
    for (i = last + 1; i < n; ++i) {
      if (x[i] > cut) break;
      if (x[i] == x[last]) {
        ys[i] = ys[last];
        last = i;
      }
    }
    i = std::max(last + 1, i - 1);
    if (last >= n - 1) break;
  }
}

}  // namespace

long double TsLoess::Tricube(long double u) { return tricube(u); }

size_t TsLoess::NextNonZero(std::vector<long double> &w, size_t i) {
  size_t j = i + 1;
  while (j < w.size() && w[j] == 0) ++j;
  return j;
}

void TsLoess::UpdateBandwidthInterval(std::vector<long double> &x, std::vector<long double> &w,
                                      size_t i, std::vector<size_t> &interval) {
  const size_t n = x.size();
  if (interval.size() < 2 || i >= n || interval[0] >= n || interval[1] >= n) return;
  const size_t left = interval[0];
  const size_t next = NextNonZero(w, interval[1]);
  // next > left, and NextNonZero(w, left) <= next, so both ends stay below n.
  if (next < n && x[next] - x[i] < x[i] - x[left]) {
    interval[0] = NextNonZero(w, left);
    interval[1] = next;
  }
}

std::vector<long double> TsLoess::Smooth(std::vector<long double> &x, std::vector<long double> &y,
                                         std::vector<long double> &w, long double span) {
  const size_t n = x.size();
  if (n == 0 || y.size() != n || w.size() != n) return {};
  if (n <= 2) return std::vector<long double>(y.begin(), y.end());
  this->span = span;
  const size_t k = smooth_neighbourhood(n, span);
  std::vector<long double> fit(n), resid(n), sorted(n), robust(n, 1.0L), buf(n + 256);
  long double *wt = scratch_apart_from(buf, x);
  std::vector<size_t> interval(2);
  for (size_t pass = 0;; ++pass) {
    interval[0] = 0;
    interval[1] = k - 1;
    for (size_t i = 0; i < n; ++i) {
      if (i > 0) UpdateBandwidthInterval(x, w, i, interval);
      const size_t left = interval[0], right = interval[1];
      const size_t far = (x[right] - x[i] < x[i] - x[left]) ? left : right;
      long double h = x[far] - x[i];
      if (h == 0) h = 0.0001L;
      const long double scale = std::fabs(1 / h);
      const WeightedMoments s = neighbourhood_moments(x, y, w, robust, i, left, right, scale, wt);
      fit[i] = weighted_line_at(s, x[i], tolerance);
      resid[i] = std::fabs(y[i] - fit[i]);
    }
    if (pass >= iterations) break;
    std::copy(resid.begin(), resid.end(), sorted.begin());
    const long double m = select_kth(sorted, n / 2);
    if (std::fabs(m) < tolerance) break;
    smooth_robustness_weights(resid, m, robust);
  }
  return fit;
}

void TsLoess::Lowest(const std::vector<double> &x, const std::vector<double> &y, double xs,
                     double &ys, long nleft, long nright, std::vector<double> &w, bool userw,
                     std::vector<double> &rw, bool &ok) {
  ok = false;
  const long n = static_cast<long>(x.size());
  if (nleft < 0 || nright < nleft || nright >= n || static_cast<long>(y.size()) < n ||
      static_cast<long>(w.size()) < n || (userw && static_cast<long>(rw.size()) < n))
    return;
  const double range = x[n - 1] - x[0];
  const double h = std::max(xs - x[nleft], x[nright] - xs);
  const double h9 = 0.999 * h;
  const double h1 = 0.001 * h;
  double a = 0;
  long j = nleft;
  for (; j < n; ++j) {
    w[j] = 0;
    const double r = std::fabs(x[j] - xs);
    if (r <= h9) {
      if (r <= h1) {
        w[j] = 1;
      } else {
        const double q = r / h;
        const double t = 1 - q * q * q;
        w[j] = t * t * t;
      }
      if (userw) w[j] *= rw[j];
      a += w[j];
    } else if (x[j] > xs) {
      break;
    }
  }
  const long nrt = j - 1;
  if (a <= 0) return;
  ok = true;
  for (j = nleft; j <= nrt; ++j) w[j] /= a;
  if (h > 0) {
    double mean = 0;
    for (j = nleft; j <= nrt; ++j) mean += w[j] * x[j];
    double c = 0;
    for (j = nleft; j <= nrt; ++j) c += w[j] * (x[j] - mean) * (x[j] - mean);
    // Only a spread of x that is not negligible against the whole range supports a slope.
    if (std::sqrt(c) > 0.001 * range) {
      const double b = (xs - mean) / c;
      for (j = nleft; j <= nrt; ++j) w[j] *= b * (x[j] - mean) + 1;
    }
  }
  double fit = 0;
  for (j = nleft; j <= nrt; ++j) fit += w[j] * y[j];
  ys = fit;
}

void TsLoess::Lowess(const std::vector<double> &x, const std::vector<double> &y, double f,
                     long nsteps, double delta, std::vector<double> &ys, std::vector<double> &rw,
                     std::vector<double> &res) {
  const size_t n = x.size();
  if (n == 0 || y.size() != n) return;
  ys.resize(n);
  rw.resize(n);
  res.resize(n);
  if (n == 1) {
    ys[0] = y[0];
    return;
  }
  const long ns = lowess_neighbourhood(n, f);
  const long steps = std::max(nsteps, 0L);
  for (long it = 0;; ++it) {
    lowess_sweep(*this, x, y, ns, delta, it > 0, ys, rw, res);
    for (size_t i = 0; i < n; ++i) res[i] = y[i] - ys[i];
    if (it >= steps) break;
    lowess_robustness_weights(res, rw);
  }
}

void TsLoess::Lowess(const std::vector<double> &x, const std::vector<double> &y, double f,
                     long nsteps, std::vector<double> &ys) {
  std::vector<double> rw, res;
  Lowess(x, y, f, nsteps, 0.0, ys, rw, res);
}
