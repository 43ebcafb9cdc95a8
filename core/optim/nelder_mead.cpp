/* Nelder and Mead (1965) downhill simplex, with the convergence test on the spread of the
   function values and the restart probe around the best vertex of O'Neill (1971),
   "Algorithm AS 47: Function minimization using a simplex procedure". */
#include <cmath>
#include <vector>

#include "core/optim/optim.h"
#include "core/optim/optim_internal.h"

using tsf_optim::eval_f;

namespace {

const double kReflect = 1.0;
const double kExpand = 2.0;
const double kContract = 0.5;
const double kProbe = 0.001;

struct Simplex {
  int N;
  std::vector<double> v;  // (N + 1) x N, vertex k in row k
  std::vector<double> y;  // N + 1 values
  double *vertex(int k) { return v.data() + static_cast<size_t>(k) * N; }
};

int lowest_vertex(const Simplex &s) {
  int ilo = 0;
  for (int k = 1; k <= s.N; ++k)
    if (s.y[k] < s.y[ilo]) ilo = k;
  return ilo;
}

void replace_vertex(Simplex &s, int k, const double *x, double fx) {
  double *row = s.vertex(k);
  for (int j = 0; j < s.N; ++j) row[j] = x[j];
  s.y[k] = fx;
}

/* Vertex N at the start point, vertex i displaced by delta*dx[i] along axis i. */
void build_simplex(objective_function *f, Simplex &s, const double *start, const double *dx, double delta) {
  int N = s.N;
  replace_vertex(s, N, start, eval_f(f, const_cast<double *>(start), N));
  for (int i = 0; i < N; ++i) {
    double *row = s.vertex(i);
    for (int j = 0; j < N; ++j) row[j] = start[j];
    row[i] += delta * dx[i];
    s.y[i] = eval_f(f, row, N);
  }
}

/* Standard deviation-like spread of the values (no division inside the root). */
double value_spread(const Simplex &s) {
  double mean = 0.0;
  for (int k = 0; k <= s.N; ++k) mean += s.y[k];
  mean /= (s.N + 1);
  double ss = 0.0;
  for (int k = 0; k <= s.N; ++k) ss += (s.y[k] - mean) * (s.y[k] - mean);
  return std::sqrt(ss);
}

}  // namespace

int nel_min(objective_function *funcval, double *x0, int N, double *dx, double fsval, int maxiter, int *iter,
            double eps, double *xf) {
  (void)fsval;
  Simplex s{N, std::vector<double>(static_cast<size_t>(N + 1) * N), std::vector<double>(N + 1)};
  std::vector<double> start(x0, x0 + N), pbar(N), pstar(N), p2star(N), b(N), z(N);
  *iter = 0;
  double delta = 1.0, r = 1.0;
  int c = 0;
  int ilo = 0;
  if (maxiter <= 0) {
    // No simplex is ever built: the start point is the only one known.
    for (int j = 0; j < N; ++j) xf[j] = x0[j];
    return 4;
  }

  // A pass that runs no simplex iteration (eps >= 1) would restart for ever on a function
  // unbounded below; the passes are therefore bounded by maxiter as well.
  int passes = 0;
  while (c == 0 && *iter < maxiter && passes < maxiter) {
    ++passes;
    build_simplex(funcval, s, start.data(), dx, delta);
    ilo = lowest_vertex(s);
    double ylo = s.y[ilo];
    b.assign(s.vertex(ilo), s.vertex(ilo) + N);

    while (eps < std::fabs(r) && *iter < maxiter) {
      *iter += 1;
      int ihi = 0;
      for (int k = 1; k <= N; ++k)
        if (s.y[k] > s.y[ihi]) ihi = k;
      double *worst = s.vertex(ihi);
      for (int j = 0; j < N; ++j) {
        double sum = 0.0;
        for (int k = 0; k <= N; ++k) sum += s.v[static_cast<size_t>(k) * N + j];
        pbar[j] = (sum - worst[j]) / N;
      }
      for (int j = 0; j < N; ++j) pstar[j] = (1.0 + kReflect) * pbar[j] - kReflect * worst[j];
      double ystar = eval_f(funcval, pstar.data(), N);

      if (ystar < ylo) {
        for (int j = 0; j < N; ++j) p2star[j] = kExpand * pstar[j] + (1.0 - kExpand) * pbar[j];
        double y2star = eval_f(funcval, p2star.data(), N);
        if (y2star < ystar)
          replace_vertex(s, ihi, p2star.data(), y2star);
        else
          replace_vertex(s, ihi, pstar.data(), ystar);
      } else {
        int nbetter = 0;
        for (int k = 0; k <= N; ++k)
          if (ystar < s.y[k]) ++nbetter;
        if (nbetter == 0) {
          for (int j = 0; j < N; ++j) p2star[j] = kContract * worst[j] + (1.0 - kContract) * pbar[j];
          double y2star = eval_f(funcval, p2star.data(), N);
          if (y2star > s.y[ihi]) {
            // Shrink every vertex towards the anchor.
            for (int k = 0; k <= N; ++k) {
              double *row = s.vertex(k);
              for (int j = 0; j < N; ++j) row[j] = (row[j] + b[j]) * 0.5;
              s.y[k] = eval_f(funcval, row, N);
            }
            ilo = lowest_vertex(s);
            ylo = s.y[ilo];
            b.assign(s.vertex(ilo), s.vertex(ilo) + N);
          } else {
            replace_vertex(s, ihi, p2star.data(), y2star);
          }
        } else if (nbetter == 1) {
          for (int j = 0; j < N; ++j) p2star[j] = kContract * worst[j] + (1.0 - kContract) * pbar[j];
          double y2star = eval_f(funcval, p2star.data(), N);
          if (ystar < y2star)
            replace_vertex(s, ihi, pstar.data(), ystar);
          else
            replace_vertex(s, ihi, p2star.data(), y2star);
        } else {
          replace_vertex(s, ihi, pstar.data(), ystar);
        }
      }
      if (s.y[ihi] < ylo) {
        ylo = s.y[ihi];
        ilo = ihi;
      }
      r = value_spread(s);
      if (std::fabs(r) < eps) c = 1;
    }

    // Probe around the best vertex; the shifts of earlier coordinates are kept.
    z.assign(s.vertex(ilo), s.vertex(ilo) + N);
    double ybest = s.y[ilo];
    for (int i = 0; i < N; ++i) {
      double d = kProbe * dx[i];
      z[i] += d;
      if (eval_f(funcval, z.data(), N) < ybest) {
        c = 0;
        break;
      }
      c += 1;
      z[i] -= 2.0 * d;
      if (eval_f(funcval, z.data(), N) < ybest) {
        c = 0;
        break;
      }
      c += 1;
    }
    if (c == 0) {
      start = z;
      delta = kProbe;
      r = 1.0;
    }
  }

  const double *best = s.vertex(ilo);
  for (int j = 0; j < N; ++j) xf[j] = best[j];
  return (*iter >= maxiter || c == 0) ? 4 : 1;
}
