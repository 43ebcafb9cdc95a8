// Placeholder definitions while the methods are written; every call reports an input error.
#include "core/optim/optim.h"

extern "C" {
int newton_min_func(objective_function *, gradient_function *, double *, int, double *, double, double, int,
                    int *iter, double, double, double, double *) {
  *iter = 0;
  return 0;
}
int newton_min_trust(objective_function *, gradient_function *, double *, int, double *, double, double, int,
                     int, int *iter, double, double, double, double *) {
  *iter = 0;
  return 0;
}
int conjgrad_min_lin(objective_function *, gradient_function *, double *, int, double *, double, int, int *iter,
                     double, double, double, double, double *) {
  *iter = 0;
  return 0;
}
int bfgs_min(objective_function *, gradient_function *, double *, int, double *, double, double, int, int *iter,
             double, double, double, double *) {
  *iter = 0;
  return 0;
}
int bfgs_l_min(objective_function *, gradient_function *, double *, int, int, double *, double, double, int,
               int *iter, double, double, double, double, double *) {
  *iter = 0;
  return 0;
}
}
