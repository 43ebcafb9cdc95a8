/* The natural logarithm used by every likelihood, variance and information criterion of
   the ARIMA family (never installed). All of them call tsf_log rather than the C
   library's log, so that one definition decides their bits on every target. */
#ifndef TSFORGE_CORE_ARIMA_LOG_INTERNAL_H
#define TSFORGE_CORE_ARIMA_LOG_INTERNAL_H

#include <cmath>

inline double tsf_log(double x) { return std::log(x); }

#endif  // TSFORGE_CORE_ARIMA_LOG_INTERNAL_H
