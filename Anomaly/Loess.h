// TsLoess: locally weighted scatterplot smoothing in two forms.
//
// Smooth: a local-linear smoother over long double series with prior weights per point,
// tricube distance weights over a neighbourhood of floor(span * n) points that slides
// right one step per point (skipping points of prior weight zero), a fixed number of
// bisquare robustness passes (stopping early once the median absolute residual is below
// tolerance) and a slope fitted only where the weighted spread of x reaches tolerance.
// Used by the time-series anomaly detector to remove a trend.
//
// Lowess: the classical robust LOWESS of Cleveland (1979), with neighbourhood fraction f,
// nsteps robustness iterations and interpolation distance delta, built on the
// single-point fit Lowest. Nothing in the library calls it.
//
// The x values are expected in non-decreasing order. Inputs the smoothers do not
// otherwise accept are handled as follows, never reading or writing outside a vector:
// - Smooth: y or w of a length other than that of x gives an empty result (no fit), as
//   does an empty x; span * n below 1 (including a span of zero, negative or NaN) uses a
//   neighbourhood of 1 point, span * n above n uses all n points.
// - Lowess: floor(n * f) is clamped to [2, n] before any conversion to an integer (so a huge,
//   negative or NaN f is safe); a negative nsteps counts as 0.
// - Lowest: an interval outside [0, n) or with nleft > nright, y or w shorter than x, or
//   rw shorter than x when userw is set, gives ok = false and leaves ys alone.
// - UpdateBandwidthInterval: an interval vector of fewer than two elements, or ends or
//   i at or beyond the length of x, leaves the interval unchanged.
//
// One object must not be used from two threads at once: Smooth stores its span argument
// in the object.
#ifndef TSFORGE_ANOMALY_LOESS_H
#define TSFORGE_ANOMALY_LOESS_H

#include <cstddef>
#include <vector>

#include "core/export.h"

class TSFORGE_API TsLoess {
 public:
  long double span = 0.5;         // fraction of the points in each neighbourhood (Smooth)
  long double tolerance = 1e-12;  // smallest spread of x for a slope; smallest median residual
  size_t iterations = 2;          // robustness passes after the first fit (Smooth)

  // Fitted values at every x (y and w read only, of the length of x).
  std::vector<long double> Smooth(std::vector<long double> &x, std::vector<long double> &y,
                                  std::vector<long double> &w, long double span);

  // Robust LOWESS: fitted values ys, residuals res = y - ys, and in rw the robustness
  // weights used by the last iteration (with nsteps = 0 rw is only resized). Nothing is
  // done when x is empty or y does not have the length of x.
  void Lowess(const std::vector<double> &x, const std::vector<double> &y, double f, long nsteps,
              double delta, std::vector<double> &ys, std::vector<double> &rw,
              std::vector<double> &res);
  // The full form with delta = 0; weights and residuals discarded.
  void Lowess(const std::vector<double> &x, const std::vector<double> &y, double f, long nsteps,
              std::vector<double> &ys);

  // Local-linear fit at xs over the points nleft..nright (0-based) with tricube weights,
  // multiplied by rw when userw is set; w is work space of the length of x. ok is false
  // when the total weight is zero, and ys is then not written.
  void Lowest(const std::vector<double> &x, const std::vector<double> &y, double xs, double &ys,
              long nleft, long nright, std::vector<double> &w, bool userw, std::vector<double> &rw,
              bool &ok);

  // (1 - |u|^3)^3 for |u| < 1, else 0.
  long double Tricube(long double u);
  // Smallest j > i with j >= length of w or w[j] != 0.
  size_t NextNonZero(std::vector<long double> &w, size_t i);
  // Moves interval {left, right} of point i one step right (to the next points of
  // non-zero weight) when the next point is closer to x[i] than the left end.
  void UpdateBandwidthInterval(std::vector<long double> &x, std::vector<long double> &w, size_t i,
                               std::vector<size_t> &interval);
};

#endif  // TSFORGE_ANOMALY_LOESS_H
