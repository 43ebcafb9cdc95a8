// Zeros of a complex polynomial by the three-stage variable-shift iteration of Jenkins and
// Traub: M. A. Jenkins and J. F. Traub, "Algorithm 419: Zeros of a complex polynomial",
// Communications of the ACM 15 (1972), 97-99; the method in "A three-stage variable-shift
// iteration for polynomial zeros and its relation to generalized Rayleigh iteration",
// Numerische Mathematik 14 (1970), 252-263. The stopping rule bounds the rounding error of
// Horner's rule as in D. A. Adams, "A stopping criterion for polynomial root finding",
// Communications of the ACM 10 (1967), 655-658.
//
// P has nn = n + 1 coefficients p[0] (leading) ... p[n]. Every H polynomial has degree
// n - 1 and keeps the leading coefficient of P, so s - P(s)/H(s) estimates the zero that
// the shift s is drawn to. The next H for a shift s is (t*H + P)/(z - s) with t = -P(s)/H(s):
// the numerator vanishes at s, and its quotient is t times the Horner quotient of H plus
// the Horner quotient of P.
#include <cmath>
#include <vector>

#include "core/matrix/matrix.h"
#include "core/polyroot/polyroot.h"

namespace {

struct cplx {
  double re;
  double im;
};

inline cplx operator+(cplx a, cplx b) { return {a.re + b.re, a.im + b.im}; }
inline cplx operator-(cplx a, cplx b) { return {a.re - b.re, a.im - b.im}; }
inline cplx operator-(cplx a) { return {-a.re, -a.im}; }
inline cplx operator*(cplx a, cplx b) { return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re}; }
inline cplx operator*(double a, cplx b) { return {a * b.re, a * b.im}; }

struct Machine {
  double eta;     // relative precision
  double infin;   // largest double
  double smalno;  // smallest normal double
  double base;
  double are;     // relative error bound of a complex addition
  double mre;     // relative error bound of a complex multiplication
};

Machine mcon() {
  Machine m;
  m.eta = macheps();
  m.infin = 1.7976931348623157e308;
  m.smalno = 2.2250738585072014e-308;
  m.base = 2.0;
  m.are = m.eta;
  m.mre = 2.0 * std::sqrt(2.0) * m.eta;
  return m;
}

// |a| without overflow or underflow of the squares.
double CMOD(cplx a) {
  const double ar = std::fabs(a.re), ai = std::fabs(a.im);
  if (ar < ai) return ai * std::sqrt(1.0 + (ar / ai) * (ar / ai));
  if (ar > ai) return ar * std::sqrt(1.0 + (ai / ar) * (ai / ar));
  return ar * std::sqrt(2.0);
}

// a / b by Smith's scaling; division by zero gives (infin, infin).
cplx CDIVID(cplx a, cplx b, double infin) {
  if (b.re == 0.0 && b.im == 0.0) return {infin, infin};
  if (std::fabs(b.re) < std::fabs(b.im)) {
    const double r = b.re / b.im, d = b.im + r * b.re;
    return {(a.re * r + a.im) / d, (a.im * r - a.re) / d};
  }
  const double r = b.im / b.re, d = b.re + r * b.im;
  return {(a.re + a.im * r) / d, (a.im - a.re * r) / d};
}

// Power of the base that brings the non-zero moduli pt (nn) inside the range where the
// iteration neither overflows nor underflows; 1 when they already are.
double RESCALE(int nn, const double *pt, const Machine &m) {
  const double hi = std::sqrt(m.infin), lo = m.smalno / m.eta;
  double max = 0.0, min = m.infin;
  for (int i = 0; i < nn; ++i) {
    if (pt[i] > max) max = pt[i];
    if (pt[i] != 0.0 && pt[i] < min) min = pt[i];
  }
  if (min >= lo && max <= hi) return 1.0;
  const double x = lo / min;
  double sc;
  if (x <= 1.0) {
    sc = 1.0 / (std::sqrt(max) * std::sqrt(min));
  } else {
    sc = x;
    if (m.infin / sc <= max) sc = 1.0;  // raising the small ones would overflow the large ones
  }
  const int l = static_cast<int>(std::log(sc) / std::log(m.base) + 0.5);
  return std::pow(m.base, l);
}

// Lower bound on the moduli of the zeros: the positive zero of
// |p0| x^n + ... + |p_{n-1}| x - |p_n|, approached from above. pt (nn) holds the moduli
// and is changed; q (nn) is scratch.
double CAUCHY(int nn, double *pt, double *q) {
  const int n = nn - 1;
  pt[n] = -pt[n];
  // The geometric mean of the moduli of the zeros and the Newton step from 0 both lie
  // above the bound.
  double x = std::exp((std::log(-pt[n]) - std::log(pt[0])) / n);
  if (pt[n - 1] != 0.0) {
    const double xm = -pt[n] / pt[n - 1];
    if (xm < x) x = xm;
  }
  for (;;) {  // step down by tenths while the polynomial stays positive
    const double xm = x * 0.1;
    double f = pt[0];
    for (int i = 1; i < nn; ++i) f = f * xm + pt[i];
    if (f <= 0.0) break;
    x = xm;
  }
  // Newton from above: the polynomial is convex and increasing for x > 0.
  double dx = x;
  while (std::fabs(dx / x) > 0.005) {
    q[0] = pt[0];
    for (int i = 1; i < nn; ++i) q[i] = q[i - 1] * x + pt[i];
    const double f = q[n];
    double df = q[0];
    for (int i = 1; i < n; ++i) df = df * x + q[i];
    dx = f / df;
    x -= dx;
  }
  return x;
}

// P(s) by Horner's rule; q (nn) receives the partial sums, q[0..nn-2] being the quotient
// P(z)/(z - s) when P(s) = 0.
cplx POLYEV(int nn, cplx s, const cplx *p, cplx *q) {
  cplx pv = p[0];
  q[0] = pv;
  for (int i = 1; i < nn; ++i) {
    pv = pv * s + p[i];
    q[i] = pv;
  }
  return pv;
}

// Bound on the rounding error of POLYEV, from its partial sums q (nn), ms = |s| and
// mp = |P(s)|.
double ERREV(int nn, const cplx *q, double ms, double mp, double are, double mre) {
  double e = CMOD(q[0]) * mre / (are + mre);
  for (int i = 0; i < nn; ++i) e = e * ms + CMOD(q[i]);
  return e * (are + mre) - mp * mre;
}

// State of the search for one zero of the current (deflated) polynomial.
struct Search {
  Machine m;
  int nn;                // coefficients of p
  std::vector<cplx> p;   // the polynomial, descending
  std::vector<cplx> h;   // H polynomial (nn - 1)
  std::vector<cplx> qp;  // Horner partial sums of p at s
  std::vector<cplx> qh;  // Horner partial sums of h at s
  std::vector<cplx> sh;  // H saved before a variable-shift attempt
  cplx s;                // shift
  cplx pv;               // P(s)
  cplx t;                // -P(s)/H(s)
};

// t for the current H at s; returns true (and t = 0) when H(s) is negligible.
bool CALCT(Search &w) {
  const int n = w.nn - 1;
  const cplx hv = POLYEV(n, w.s, w.h.data(), w.qh.data());
  const bool negligible = CMOD(hv) <= w.m.are * 10.0 * CMOD(w.h[n - 1]);
  w.t = negligible ? cplx{0.0, 0.0} : CDIVID(-w.pv, hv, w.m.infin);
  return negligible;
}

// Next H for the shift s from the partial sums of CALCT and POLYEV; when H(s) is
// negligible the next H is H/(z - s).
void NEXTH(Search &w, bool negligible) {
  const int n = w.nn - 1;
  if (!negligible) {
    for (int j = 1; j < n; ++j) w.h[j] = w.t * w.qh[j - 1] + w.qp[j];
    w.h[0] = w.qp[0];
  } else {
    for (int j = 1; j < n; ++j) w.h[j] = w.qh[j - 1];
    w.h[0] = {0.0, 0.0};
  }
}

// Stage one: H from the scaled derivative P'/n, then l1 steps with shift 0, which bring
// out the zeros of smallest modulus.
void NOSHFT(Search &w, int l1) {
  const int n = w.nn - 1;
  for (int i = 0; i < n; ++i) w.h[i] = (static_cast<double>(n - i) / n) * w.p[i];
  for (int jj = 0; jj < l1; ++jj) {
    if (CMOD(w.h[n - 1]) > w.m.eta * 10.0 * CMOD(w.p[n - 1])) {
      w.t = CDIVID(-w.p[w.nn - 1], w.h[n - 1], w.m.infin);
      for (int j = n - 1; j >= 1; --j) w.h[j] = w.t * w.h[j - 1] + w.p[j];
      w.h[0] = w.p[0];
    } else {
      for (int j = n - 1; j >= 1; --j) w.h[j] = w.h[j - 1];
      w.h[0] = {0.0, 0.0};
    }
  }
}

// A shift off s by a relative step sqrt(relstp) (at least sqrt(eta)): a few fixed-shift
// steps from it let one zero of a cluster dominate.
void step_into_cluster(Search &w, double relstp) {
  const double r1 = std::sqrt(relstp < w.m.eta ? w.m.eta : relstp);
  w.s = w.s * cplx{1.0 + r1, r1};
  w.pv = POLYEV(w.nn, w.s, w.p.data(), w.qp.data());
  for (int j = 0; j < 5; ++j) NEXTH(w, CALCT(w));
}

// Stage three: Newton-like steps s <- s - P(s)/H(s) with H renewed at every shift, at most
// l3 of them, from z. Returns true with the zero in z when |P(s)| is within the rounding
// error of its evaluation.
bool VRSHFT(Search &w, int l3, cplx *z) {
  bool cluster_tried = false;
  double omp = 0.0, relstp = 1.0;
  w.s = *z;
  for (int i = 1; i <= l3; ++i) {
    w.pv = POLYEV(w.nn, w.s, w.p.data(), w.qp.data());
    const double mp = CMOD(w.pv), ms = CMOD(w.s);
    // The factor 20 leaves a margin over the bound, which is not attained in practice.
    if (mp <= 20.0 * ERREV(w.nn, w.qp.data(), ms, mp, w.m.are, w.m.mre)) {
      *z = w.s;
      return true;
    }
    if (i != 1 && !cluster_tried && mp >= omp && relstp < 0.05) {
      // No decrease after a small step: the iteration is stalled among close zeros.
      cluster_tried = true;
      step_into_cluster(w, relstp);
      omp = w.m.infin;
    } else {
      if (i != 1 && mp * 0.1 > omp) return false;  // the value grows: diverging
      omp = mp;
    }
    NEXTH(w, CALCT(w));
    if (!CALCT(w)) {
      relstp = CMOD(w.t) / CMOD(w.s);
      w.s = w.s + w.t;
    }
  }
  return false;
}

// The variable-shift stage from z, H being restored if it fails.
bool try_variable_shift(Search &w, cplx *z) {
  const int n = w.nn - 1;
  const cplx svs = w.s;
  for (int i = 0; i < n; ++i) w.sh[i] = w.h[i];
  if (VRSHFT(w, 10, z)) return true;
  for (int i = 0; i < n; ++i) w.h[i] = w.sh[i];
  w.s = svs;
  w.pv = POLYEV(w.nn, w.s, w.p.data(), w.qp.data());
  return false;
}

// Stage two: l2 steps with the fixed shift s. When two successive estimates s + t move
// by less than half their modulus the estimates are converging to one zero and stage
// three starts from there, once; it starts in any case after the last step.
bool FXSHFT(Search &w, int l2, cplx *z) {
  w.pv = POLYEV(w.nn, w.s, w.p.data(), w.qp.data());
  bool test = true, passed = false;
  bool negligible = CALCT(w);
  for (int j = 1; j <= l2; ++j) {
    const cplx ot = w.t;
    NEXTH(w, negligible);
    negligible = CALCT(w);
    *z = w.s + w.t;
    if (negligible || !test || j == l2) continue;
    if (CMOD(w.t - ot) < 0.5 * CMOD(*z)) {
      if (passed) {
        if (try_variable_shift(w, z)) return true;
        test = false;
        negligible = CALCT(w);
        continue;
      }
      passed = true;
    } else {
      passed = false;
    }
  }
  return VRSHFT(w, 10, z);
}

// Rotation of the shift direction between fixed shifts (about 94 degrees).
const double kCosr = -0.060756474;
const double kSinr = 0.99756405;

// One zero of the current polynomial (nn > 2) into *z: two rounds of five no-shift steps
// and nine fixed shifts on the circle of the Cauchy bound. xx, yy carry the shift
// direction from one zero to the next.
bool find_zero(Search &w, double *xx, double *yy, std::vector<double> &moduli,
               std::vector<double> &scratch, cplx *z) {
  for (int i = 0; i < w.nn; ++i) moduli[i] = CMOD(w.p[i]);
  const double bnd = CAUCHY(w.nn, moduli.data(), scratch.data());
  for (int cnt1 = 1; cnt1 <= 2; ++cnt1) {
    NOSHFT(w, 5);
    for (int cnt2 = 1; cnt2 <= 9; ++cnt2) {
      const double xxx = kCosr * *xx - kSinr * *yy;
      *yy = kSinr * *xx + kCosr * *yy;
      *xx = xxx;
      w.s = {bnd * *xx, bnd * *yy};
      if (FXSHFT(w, 10 * cnt2, z)) return true;
    }
  }
  return false;
}

// |z - zeros[k]| for the zero k nearest to z other than zeros[self] (infinity when alone).
double distance_to_others(const std::vector<cplx> &zeros, int self, const Machine &m) {
  double d = m.infin;
  for (int k = 0; k < static_cast<int>(zeros.size()); ++k) {
    if (k == self) continue;
    const double dk = CMOD(zeros[k] - zeros[self]);
    if (dk < d) d = dk;
  }
  return d;
}

// Forward deflation hands the error of each zero on to the next quotient: where many zeros
// share one modulus (z^48 - c) the last ones keep only about half the digits. A few Newton
// steps on the undeflated polynomial p (nn) restore them. A step is taken only while P(z)
// exceeds its rounding error, when it lowers |P| and moves the zero by less than half its
// distance to the nearest other zero, so that no two zeros are drawn to the same one.
void polish_zeros(const std::vector<cplx> &p, int nn, std::vector<cplx> &zeros, const Machine &m) {
  std::vector<cplx> q(nn), dq(nn);
  for (int k = 0; k < static_cast<int>(zeros.size()); ++k) {
    for (int iter = 0; iter < 5; ++iter) {
      const cplx z = zeros[k];
      const cplx pv = POLYEV(nn, z, p.data(), q.data());
      const double mp = CMOD(pv);
      if (mp <= 20.0 * ERREV(nn, q.data(), CMOD(z), mp, m.are, m.mre)) break;
      const cplx dv = POLYEV(nn - 1, z, q.data(), dq.data());  // P'(z)
      const cplx step = CDIVID(pv, dv, m.infin);
      const cplx znew = z - step;
      if (!(CMOD(step) < 0.5 * distance_to_others(zeros, k, m))) break;
      if (!(CMOD(POLYEV(nn, znew, p.data(), q.data())) < mp)) break;
      zeros[k] = znew;
    }
  }
}

bool all_finite(const double *a, int n) {
  for (int i = 0; i < n; ++i)
    if (!std::isfinite(a[i])) return false;
  return true;
}

void store_zeros(const std::vector<cplx> &zeros, int from, double *zeror, double *zeroi) {
  for (int k = 0; k < static_cast<int>(zeros.size()); ++k) {
    zeror[from + k] = zeros[k].re;
    zeroi[from + k] = zeros[k].im;
  }
}

}  // namespace

int cpoly(double *opr, double *opi, int degree, double *zeror, double *zeroi) {
  if (degree < 0 || !all_finite(opr, degree + 1) || !all_finite(opi, degree + 1)) return 1;
  if (opr[0] == 0.0 && opi[0] == 0.0) return 1;
  int nn = degree + 1;
  int found = 0;
  while (nn > 1 && opr[nn - 1] == 0.0 && opi[nn - 1] == 0.0) {
    zeror[found] = 0.0;
    zeroi[found] = 0.0;
    ++found;
    --nn;
  }
  if (nn == 1) return 0;

  Search w;
  w.m = mcon();
  w.nn = nn;
  w.p.resize(nn);
  w.h.resize(nn);
  w.qp.resize(nn);
  w.qh.resize(nn);
  w.sh.resize(nn);
  std::vector<double> moduli(nn), scratch(nn);
  for (int i = 0; i < nn; ++i) {
    w.p[i] = {opr[i], opi[i]};
    moduli[i] = CMOD(w.p[i]);
  }
  // Scaling every coefficient by a power of the base leaves the zeros and the rounding
  // unchanged.
  const double factor = RESCALE(nn, moduli.data(), w.m);
  if (factor != 1.0)
    for (int i = 0; i < nn; ++i) w.p[i] = factor * w.p[i];

  const std::vector<cplx> scaled = w.p;
  std::vector<cplx> zeros;
  double xx = 0.70710678, yy = -xx;
  while (w.nn > 2) {
    cplx z;
    if (!find_zero(w, &xx, &yy, moduli, scratch, &z)) {
      store_zeros(zeros, found, zeror, zeroi);
      return 1;
    }
    zeros.push_back(z);
    --w.nn;
    for (int i = 0; i < w.nn; ++i) w.p[i] = w.qp[i];  // deflate by the quotient at z
  }
  zeros.push_back(CDIVID(-w.p[1], w.p[0], w.m.infin));
  polish_zeros(scaled, nn, zeros, w.m);
  store_zeros(zeros, found, zeror, zeroi);
  return 0;
}
