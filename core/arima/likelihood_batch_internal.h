/* The CSS and exact-likelihood objectives evaluated at many points at once, one SIMD lane
   per point (never installed). Lane j of a batch has the bits of fcss or fas154 at point j
   on every target and with every instruction set; the work object is only read.

   Instruction sets: AVX-512 where the processor has it (chosen at run time; setting the
   environment variable TSFORGE_NO_AVX512 to anything but 0 turns it off), otherwise the
   baseline of the build (SSE2 on x86-64, plain double arithmetic elsewhere). */
#ifndef TSFORGE_CORE_ARIMA_LIKELIHOOD_BATCH_INTERNAL_H
#define TSFORGE_CORE_ARIMA_LIKELIHOOD_BATCH_INTERNAL_H

#include <cstddef>
#include <new>

#include "core/arima/arima.h"
#include "core/arima/lanes_internal.h"
#include "core/optim/batch_internal.h"

namespace tsf_arima {

/* single: one point at a time on doubles (what the baseline is without a vector unit). */
enum class lane_set { automatic, single, baseline, avx512 };

/* How the CSS and exact-likelihood estimators run method 7: with the batched objective
   (lanes, the cache of trial points) or the scalar minimiser; evaluations, when set,
   counts the objective values computed. The other methods are scalar whatever is set. */
struct fit_options {
  bool batched = true;
  lane_set lanes = lane_set::automatic;
  int cache_entries = 8;
  long *evaluations = nullptr;
};

/* css and as154 with these options (the exported functions use the defaults). */
int css_fit(const fit_options &options, double *x, int N, int optmethod, int p, int d, int q, double *phi,
            double *theta, double *mean, double *var, double *res, double *loglik, double *vcov);
int as154_fit(const fit_options &options, double *x, int N, int optmethod, int p, int d, int q, double *phi,
              double *theta, double *mean, double *var, double *res, double *loglik, double *vcov);

class batch_likelihood;

/* minimise_and_report (estimators_internal.h), for method 7 with the values from batch
   when options.batched: the same outputs, bit for bit. */
int minimise_and_report(objective_function *f, batch_likelihood *batch, const fit_options &options,
                        alik_css_object *obj, double *b, int optmethod, double *phi, double *theta,
                        double *mean, double *var, double *res, double *loglik, double *vcov);

/* Whether AVX-512 kernels run here: built for x86-64, supported by the processor, and
   not turned off by TSFORGE_NO_AVX512. */
bool avx512_usable();

class batch_likelihood {
 public:
  /* The objective of obj: fas154 when exact, else fcss. lanes = avx512 where it is not
     usable falls back to the baseline. */
  batch_likelihood(const alik_css_object *obj, bool exact, lane_set lanes = lane_set::automatic);

  /* values[k] = the objective at points + k obj->pq, k < count. */
  void evaluate(const double *points, int count, double *values);

  /* The same, as the minimiser's batch objective. */
  tsf_optim::batch_objective objective() { return {&evaluate_batch, this}; }

  /* Whether the AVX-512 kernels are used. */
  bool wide() const { return wide_; }

 private:
  static void evaluate_batch(const double *points, int count, int N, double *values, void *self);

  /* Work space of the kernels, aligned for the widest vectors (their alignment depends on
     the instruction set a function is compiled for, so a container of them cannot be
     trusted to provide it). */
  struct aligned_block {
    static constexpr std::size_t kAlign = 64;
    void *p = nullptr;
    explicit aligned_block(std::size_t bytes) : p(::operator new(bytes, std::align_val_t(kAlign))) {}
    ~aligned_block() { ::operator delete(p, std::align_val_t(kAlign)); }
    aligned_block(const aligned_block &) = delete;
    aligned_block &operator=(const aligned_block &) = delete;
  };

  const alik_css_object *obj_;
  bool exact_;
  bool wide_;
  bool single_;
  aligned_block work_;
};

}  // namespace tsf_arima

#endif  // TSFORGE_CORE_ARIMA_LIKELIHOOD_BATCH_INTERNAL_H
