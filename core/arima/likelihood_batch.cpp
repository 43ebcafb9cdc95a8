/* Batched CSS and exact-likelihood objectives: the kernels of likelihood_internal.h on
   vectors of doubles compiled for AVX-512 (the whole kernel is inlined into a function
   built for that instruction set, so no AVX-512 code exists outside it), or for the
   baseline of the build. Each batch of points is cut into groups of a vector width; a short
   group repeats its last point in the spare lanes. The CSS recursion, whose time steps form
   one chain of dependent operations, runs two groups side by side with AVX-512: two of
   four lanes for 5 to 8 points (additions on 256-bit vectors take half the time of those
   on 512-bit ones), two of eight for 9 to 16. */
#include <cstdlib>
#include <cstring>

#include "core/arima/likelihood_batch_internal.h"
#include "core/arima/likelihood_internal.h"
#include "core/arima/log_internal.h"

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wpsabi"
#if defined(__x86_64__)
#define TSF_HAVE_AVX512_KERNELS 1
#endif
#endif

namespace {

using tsf_lanes::splat;
using wide = tsf_lanes::vector_of<8>::real;
using base = tsf_lanes::vector_of<4>::real;

/* Lanes of work space one group needs. */
int work_lanes(const alik_css_object *obj, bool exact) {
  const int r = obj->r;
  const int np = r * (r + 1) / 2;
  if (exact) return 4 * r + 3 * np + tsf_arima::stationary_work_size(r);
  return obj->p + obj->q + obj->length;
}

/* Lane j gets point min(j, count - 1) of the group. */
template <class L>
void load_lanes(const double *points, int count, int k, int first, int n, L *lanes) {
  constexpr int W = tsf_lanes::lanes<L>::width;
  for (int i = 0; i < n; ++i) {
    double v[W];
    for (int j = 0; j < W; ++j) v[j] = points[static_cast<std::size_t>(j < count ? j : count - 1) * k + first + i];
    std::memcpy(&lanes[i], v, sizeof v);
  }
}

template <class L>
L mean_lanes(const alik_css_object *obj, const double *points, int count) {
  L mu = splat<L>(0.0);
  if (obj->M == 1) load_lanes(points, count, obj->pq, obj->p + obj->q, 1, &mu);
  return mu;
}

template <class L>
void store_lanes(const L &v, int count, double *values) {
  for (int j = 0; j < count; ++j) values[j] = tsf_lanes::lane_value(v, j);
}

/* The lanes of fcss for up to W points. */
template <class L>
tsf_arima::css_lanes<L, tsf_arima::centred_series<L>> css_setup(const alik_css_object *obj, const double *points,
                                                                 int count, L *work) {
  const int p = obj->p, q = obj->q, n = obj->length;
  L *phi = work;
  L *c = phi + p;
  load_lanes(points, count, obj->pq, 0, p, phi);
  load_lanes(points, count, obj->pq, p, q, c);
  return {phi, c, {obj->x + 2 * n, mean_lanes<L>(obj, points, count), obj->M == 1}, c + q, splat<L>(0.0)};
}

template <class L>
void store_css(const alik_css_object *obj, const L &ssq, int count, double *values) {
  const int n = obj->length, p = obj->p;
  const double residuals = n > p ? static_cast<double>(n - p) : 0.0;
  store_lanes(0.5 * tsf_lanes::log_lanes(ssq / residuals), count, values);
}

/* fcss at up to W points. */
template <class L>
void css_group(const alik_css_object *obj, const double *points, int count, double *values, void *work) {
  auto g = css_setup(obj, points, count, static_cast<L *>(work));
  tsf_arima::css_sum_of_squares<false>(obj->p, obj->q, obj->length, g);
  store_css(obj, g.sum, count, values);
}

/* fcss at up to 2W points, as two groups side by side: the recursion is a chain of
   dependent operations from one time to the next, which a second group overlaps. */
template <class L>
void css_pair(const alik_css_object *obj, const double *points, int count, double *values, void *work) {
  constexpr int W = tsf_lanes::lanes<L>::width;
  L *work1 = static_cast<L *>(work);
  auto g1 = css_setup(obj, points, W, work1);
  auto g2 = css_setup(obj, points + static_cast<std::size_t>(W) * obj->pq, count - W, work1 + work_lanes(obj, false));
  tsf_arima::css_sums_of_squares(obj->p, obj->q, obj->length, g1, g2);
  store_css(obj, g1.sum, W, values);
  store_css(obj, g2.sum, count - W, values + W);
}

/* fas154 at up to W points. */
template <class L>
void kalman_group(const alik_css_object *obj, const double *points, int count, double *values, void *work_in) {
  const int p = obj->p, q = obj->q, r = obj->r, n = obj->length;
  const int np = r * (r + 1) / 2;
  L *phi = static_cast<L *>(work_in);
  L *theta = phi + r;
  L *a = theta + r;
  L *gain = a + r;
  L *P = gain + r;
  L *V = P + np;
  L *previous = V + np;
  L *solve = previous + np;
  for (int i = 0; i < r; ++i) phi[i] = theta[i] = splat<L>(0.0);
  load_lanes(points, count, obj->pq, 0, p, phi);
  load_lanes(points, count, obj->pq, p, q, theta);
  tsf_arima::initial_state(p, q, r, phi, theta, a, P, V, solve);
  const tsf_arima::centred_series<L> w{obj->x + 2 * n, mean_lanes<L>(obj, points, count), obj->M == 1};
  L sumlog = splat<L>(0.0), ssq = splat<L>(0.0);
  switch (r) {
    case 1: tsf_arima::filter_fixed<L, 1, false>(p, phi, a, P, V, n, w, 1, nullptr, sumlog, ssq); break;
    case 2: tsf_arima::filter_fixed<L, 2, false>(p, phi, a, P, V, n, w, 1, nullptr, sumlog, ssq); break;
    case 3: tsf_arima::filter_fixed<L, 3, false>(p, phi, a, P, V, n, w, 1, nullptr, sumlog, ssq); break;
    case 4: tsf_arima::filter_fixed<L, 4, false>(p, phi, a, P, V, n, w, 1, nullptr, sumlog, ssq); break;
    default:
      tsf_arima::filter_steps<L, false>(r, p, phi, a, P, V, gain, previous, true, n, w, 1, nullptr, sumlog, ssq);
      break;
  }
  const double nit = n > 0 ? static_cast<double>(n) : 1.0;
  store_lanes(0.5 * (sumlog / nit + tsf_lanes::log_lanes(ssq / nit)), count, values);
}

/* The objective at up to `lanes` points (count), into values; work is lane storage. */
using group_fn = void (*)(const alik_css_object *obj, const double *points, int count, double *values, void *work);

/* The kernels of one objective and instruction set, each for up to `lanes` points: a
   batch is cut into groups of the widest that a group fills more than half of (the cost
   of a group follows the width of its vectors, not the number of points in it). */
struct kernel {
  int lanes;
  group_fn fn;
};

void evaluate_groups(const kernel *kernels, int nkernels, const alik_css_object *obj, const double *points,
                     int count, double *values, void *work) {
  const int k = obj->pq;
  for (int first = 0; first < count;) {
    const int left = count - first;
    int i = 0;
    while (i + 1 < nkernels && left <= kernels[i].lanes / 2) ++i;
    const int m = left < kernels[i].lanes ? left : kernels[i].lanes;
    kernels[i].fn(obj, points + static_cast<std::size_t>(first) * k, m, values + first, work);
    first += m;
  }
}

/* Kernel tables: CSS first, then the exact likelihood. */
struct kernel_set {
  const kernel *css;
  int ncss;
  const kernel *exact;
  int nexact;
};

const kernel kSingleKernels[] = {{1, css_group<double>}, {1, kalman_group<double>}};
const kernel_set kSingle = {kSingleKernels, 1, kSingleKernels + 1, 1};
#if defined(__SSE2__) || defined(__VSX__) || defined(__ARM_NEON)
using half_base = tsf_lanes::vector_of<2>::real;
const kernel kBaseKernels[] = {{4, css_group<base>}, {2, css_group<half_base>},
                               {4, kalman_group<base>}, {2, kalman_group<half_base>}};
const kernel_set kBase = {kBaseKernels, 2, kBaseKernels + 2, 2};
#else
// No vector unit the build may assume (PowerPC without VSX): one point at a time, as the
// compiler would split the vectors into doubles anyway.
const kernel_set kBase = kSingle;
#endif

#ifdef TSF_HAVE_AVX512_KERNELS
template <group_fn F>
__attribute__((target("avx512f,avx512vl"), flatten)) void avx512(const alik_css_object *obj, const double *points,
                                                                    int count, double *values, void *work) {
  F(obj, points, count, values, work);
}
const kernel kAvx512Kernels[] = {{16, avx512<css_pair<wide>>},   {8, avx512<css_pair<base>>},
                                 {4, avx512<css_group<base>>},   {8, avx512<kalman_group<wide>>},
                                 {4, avx512<kalman_group<base>>}};
const kernel_set kAvx512 = {kAvx512Kernels, 3, kAvx512Kernels + 3, 2};
#endif

bool avx512_in_processor() {
#ifdef TSF_HAVE_AVX512_KERNELS
  // The four-lane groups use the extension to 256-bit vectors too (its 32 registers).
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
#else
  return false;
#endif
}

bool avx512_turned_off() {
  const char *v = std::getenv("TSFORGE_NO_AVX512");
  return v != nullptr && v[0] != '\0' && std::strcmp(v, "0") != 0;
}

}  // namespace

namespace tsf_arima {

bool avx512_usable() {
  static const bool usable = avx512_in_processor() && !avx512_turned_off();
  return usable;
}

batch_likelihood::batch_likelihood(const alik_css_object *obj, bool exact, lane_set lanes)
    : obj_(obj),
      exact_(exact),
      wide_(lanes == lane_set::avx512 ? avx512_in_processor() : lanes == lane_set::automatic && avx512_usable()),
      single_(lanes == lane_set::single),
      // Room for two groups of the widest vectors where CSS runs two side by side.
      work_(static_cast<std::size_t>((exact ? 1 : 2) * work_lanes(obj, exact)) *
            sizeof(tsf_lanes::vector_of<8>::real)) {}

void batch_likelihood::evaluate(const double *points, int count, double *values) {
  const kernel_set *set = single_ ? &kSingle : &kBase;
#ifdef TSF_HAVE_AVX512_KERNELS
  if (wide_) set = &kAvx512;
#endif
  if (exact_)
    evaluate_groups(set->exact, set->nexact, obj_, points, count, values, work_.p);
  else
    evaluate_groups(set->css, set->ncss, obj_, points, count, values, work_.p);
}

void batch_likelihood::evaluate_batch(const double *points, int count, int N, double *values, void *self) {
  (void)N;
  static_cast<batch_likelihood *>(self)->evaluate(points, count, values);
}

}  // namespace tsf_arima
