/* BFGS with the More-Thuente line search, its values taken in batches from an objective
   that evaluates many points per call (see batch_internal.h), and the finite-difference
   Hessian of hessian_fd with each distinct point evaluated once. The difference schemes
   are those of grad_calc, grad_calc2 and hessian_fd (Dennis and Schnabel (1983),
   algorithms A5.6.3, A5.6.4), point for point and bit for bit; the checks of the scalar
   routines are replayed afterwards in their order. */
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <vector>

#include "core/optim/batch_internal.h"
#include "core/optim/optim.h"
#include "core/optim/optim_internal.h"

using tsf_optim::batch_objective;
using tsf_optim::check_value;
using tsf_optim::step_base;

namespace {

void evaluate(const batch_objective *bf, const double *points, int count, int N, double *values, long *counter) {
  bf->funcpt(points, count, N, values, bf->params);
  if (counter != nullptr) *counter += count;
}

/* The points of the minimiser in batches, with the values of recent trial points kept
   by the bits of the point (one block for the run: points, values and the cache). */
class batched_points final : public tsf_optim::point_source {
 public:
  batched_points(const batch_objective *bf, int N, const tsf_optim::batch_options &options)
      : bf_(bf),
        N_(N),
        entries_(options.cache_entries > 0 ? options.cache_entries : 0),
        counter_(options.evaluations),
        block_(static_cast<std::size_t>(2 * N + 1) * N + (2 * N + 1) +
               static_cast<std::size_t>(entries_) * entry_size()) {}

  int start(double *x, int N, double *dx, double h, double *f, double *g) override {
    double *points = block_.data();
    double *values = points + static_cast<std::size_t>(2 * N + 1) * N;
    // grad_calc: x + h_i e_i, h_i = h base_i, with f(x) for every component.
    std::copy(x, x + N, points);
    for (int i = 0; i < N; ++i) {
      double *row = points + static_cast<std::size_t>(i + 1) * N;
      std::copy(x, x + N, row);
      row[i] = x[i] + h * step_base(x[i], dx[i]);
    }
    evaluate(bf_, points, N + 1, N, values, counter_);
    *f = values[0];
    if (check_value(*f) != 0) return 15;
    for (int i = 0; i < N; ++i) {
      const double hi = h * step_base(x[i], dx[i]);
      g[i] = (values[i + 1] - values[0]) / hi;
      if (check_value(g[i]) != 0) return 15;
    }
    return 0;
  }

  int trial(double *x, int N, double *dx, double h, double *f, double *g) override {
    const double *values = cached(x);
    if (values == nullptr) values = evaluate_trial(x, dx, h);
    // grad_calc2: the value, then the two points of each component, checked in turn.
    *f = values[0];
    if (check_value(*f) != 0) return 15;
    for (int i = 0; i < N; ++i) {
      const double v = x[i];
      const double s = (v + h * step_base(v, dx[i])) - v;  // the step representable at x[i]
      const double fp = values[1 + 2 * i];
      if (check_value(fp) != 0) return 15;
      const double fm = values[2 + 2 * i];
      if (check_value(fm) != 0) return 15;
      g[i] = (fp - fm) / (2.0 * s);
    }
    return 0;
  }

 private:
  // A cache entry: the point (N), then its value and the 2N difference values.
  std::size_t entry_size() const { return static_cast<std::size_t>(3 * N_ + 1); }
  double *entry(int e) {
    return block_.data() + static_cast<std::size_t>(2 * N_ + 1) * N_ + (2 * N_ + 1) + e * entry_size();
  }

  const double *cached(const double *x) {
    for (int e = 0; e < used_; ++e) {
      const double *key = entry(e);
      if (std::memcmp(key, x, sizeof(double) * static_cast<std::size_t>(N_)) == 0) return key + N_;
    }
    return nullptr;
  }

  const double *evaluate_trial(const double *x, const double *dx, double h) {
    const int N = N_;
    double *points = block_.data();
    double *values = points + static_cast<std::size_t>(2 * N + 1) * N;
    std::copy(x, x + N, points);
    for (int i = 0; i < N; ++i) {
      double *plus = points + static_cast<std::size_t>(1 + 2 * i) * N;
      double *minus = plus + N;
      std::copy(x, x + N, plus);
      std::copy(x, x + N, minus);
      const double v = x[i];
      plus[i] = v + h * step_base(v, dx[i]);
      minus[i] = v - (plus[i] - v);
    }
    evaluate(bf_, points, 2 * N + 1, N, values, counter_);
    if (entries_ == 0) return values;
    // Oldest entry first out.
    double *slot = entry(next_);
    next_ = (next_ + 1) % entries_;
    if (used_ < entries_) ++used_;
    std::copy(x, x + N, slot);
    std::copy(values, values + 2 * N + 1, slot + N);
    return slot + N;
  }

  const batch_objective *bf_;
  int N_;
  int entries_;
  long *counter_;
  std::vector<double> block_;
  int used_ = 0;
  int next_ = 0;
};

}  // namespace

int tsf_optim::fminunc_batched(objective_function *f, const batch_objective *bf, int N, double *xi,
                               double maxstep, double *xf, const batch_options &options) {
  batched_points src(bf, N, options);
  return fminunc_from(f, nullptr, N, xi, maxstep, 7, xf, &src);
}

int tsf_optim::hessian_fd_batched(const batch_objective *bf, double *x, int N, double *dx, double eps,
                                  double *H, long *evaluations) {
  const double eta = std::pow(eps, 1.0 / 3.0);
  const std::size_t n = static_cast<std::size_t>(N);
  std::vector<double> h(n);
  for (int k = 0; k < N; ++k) h[k] = eta * step_base(x[k], dx[k]);
  // The points of hessian_fd, built by its own steps (a step taken back need not restore
  // the coordinate exactly): x, then x_j (the same for every row), x_i, x_ij.
  const std::size_t count = 1 + 2 * n + n * n;
  std::vector<double> points(count * n);
  auto point = [&](std::size_t k) { return points.data() + k * n; };
  std::copy(x, x + N, point(0));
  std::vector<double> xj(x, x + N), xij(n);
  for (int j = 0; j < N; ++j) {
    xj[j] += h[j];
    std::copy(xj.begin(), xj.end(), point(1 + j));
    xj[j] -= h[j];
  }
  for (int i = 0; i < N; ++i) {
    std::copy(x, x + N, point(1 + n + i));
    point(1 + n + i)[i] += h[i];
    xij.assign(x, x + N);
    xij[i] += h[i];
    for (int j = 0; j < N; ++j) {
      xij[j] += h[j];
      std::copy(xij.begin(), xij.end(), point(1 + 2 * n + i * n + j));
      xij[j] -= h[j];
    }
  }
  // Each distinct point once: sort by bits, evaluate the first of each run.
  std::vector<std::size_t> order(count), id(count);
  std::iota(order.begin(), order.end(), 0);
  auto less = [&](std::size_t a, std::size_t b) { return std::memcmp(point(a), point(b), n * sizeof(double)) < 0; };
  std::sort(order.begin(), order.end(), less);
  std::vector<double> distinct;
  std::size_t ndistinct = 0;
  for (std::size_t k = 0; k < count; ++k) {
    if (k == 0 || less(order[k - 1], order[k])) {
      distinct.insert(distinct.end(), point(order[k]), point(order[k]) + n);
      ++ndistinct;
    }
    id[order[k]] = ndistinct - 1;
  }
  std::vector<double> values(ndistinct);
  evaluate(bf, distinct.data(), static_cast<int>(ndistinct), N, values.data(), evaluations);
  auto f = [&](std::size_t k) { return values[id[k]]; };
  for (int i = 0; i < N; ++i) {
    for (int j = 0; j < N; ++j) {
      const double fij = f(1 + 2 * n + i * n + j), fi = f(1 + n + i), fj = f(1 + j), f0 = f(0);
      const double hij = ((fij - fi) - (fj - f0)) / (h[i] * h[j]);
      H[i * N + j] = hij;
      if (check_value(hij) != 0) return 15;
    }
  }
  return 0;
}
