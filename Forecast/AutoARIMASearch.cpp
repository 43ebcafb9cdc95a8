// The order search of the automatic ARIMA forecaster, for differencing already chosen.
//
// Hyndman, R. J. and Khandakar, Y. (2008), Automatic time series forecasting: the forecast
// package for R, Journal of Statistical Software 27(3), section 3.2: four starting models,
// then the neighbours of the current model (one order changed by one, p and q or P and Q
// changed together, the constant switched), the first with a lower AICc becoming the
// current model, until none improves.
#include <cstddef>

#include "Forecast/auto_arima_internal.h"

namespace {

using tsf_auto::Candidate;

constexpr int kMaxP = 5, kMaxQ = 5, kMaxSeasonal = 2;
// Total order bound of the full search, and the most fits a stepwise search makes.
constexpr int kMaxTotalOrder = 5;
constexpr int kMaxStepwiseFits = 100;

// The search over the orders for fixed differencing: fits candidates once each and keeps
// every eligible model.
class OrderSearch {
 public:
  OrderSearch(const std::vector<double> &x, int d, int D, int s, bool seasonal, const tsf_auto::CoreFitter &fitter)
      : m_x(x),
        m_d(d),
        m_D(D),
        m_s(s),
        m_seasonal(seasonal),
        m_nused(static_cast<int>(x.size()) - d - s * D),
        m_fitter(fitter) {}

  // Fits c unless already tried or out of bounds; the index of its model when eligible,
  // else -1.
  int Try(const Candidate &c) {
    if (!Allowed(c)) return -1;
    for (std::size_t i = 0; i < m_tried.size(); ++i)
      if (m_tried[i] == c) return m_index[i];
    TsAutoARIMAModel model;
    int index = -1;
    if (tsf_auto::ModelOfFit(m_fitter(c), c, m_d, m_D, m_s, m_x, model)) {
      index = static_cast<int>(m_models.size());
      m_models.push_back(model);
    }
    m_tried.push_back(c);
    m_index.push_back(index);
    return index;
  }

  bool Allowed(const Candidate &c) const {
    if (c.p < 0 || c.q < 0 || c.P < 0 || c.Q < 0 || c.p > kMaxP || c.q > kMaxQ) return false;
    if (c.P > kMaxSeasonal || c.Q > kMaxSeasonal) return false;
    if (!m_seasonal && (c.P > 0 || c.Q > 0)) return false;
    if (!ConstantFits(c.constant)) return false;
    return tsf_auto::Feasible(m_nused, m_s, c);
  }

  // A mean is always estimated without differencing, a drift is optional with one
  // difference, and no constant goes with two.
  bool ConstantFits(bool constant) const {
    const int diffs = m_d + m_D;
    return diffs == 0 ? constant : (diffs == 1 || !constant);
  }
  bool DefaultConstant() const { return m_d + m_D <= 1; }
  bool DriftOptional() const { return m_d + m_D == 1; }
  bool Seasonal() const { return m_seasonal; }

  const std::vector<TsAutoARIMAModel> &Models() const { return m_models; }
  int Tried() const { return static_cast<int>(m_tried.size()); }

 private:
  const std::vector<double> &m_x;
  int m_d, m_D, m_s;
  bool m_seasonal;
  int m_nused;
  const tsf_auto::CoreFitter &m_fitter;
  std::vector<Candidate> m_tried;
  std::vector<int> m_index;
  std::vector<TsAutoARIMAModel> m_models;
};

// Neighbours of c in the order they are tried.
std::vector<Candidate> Neighbours(const Candidate &c, const OrderSearch &search) {
  std::vector<Candidate> out;
  auto add = [&](int dp, int dq, int dP, int dQ) {
    Candidate n = c;
    n.p += dp, n.q += dq, n.P += dP, n.Q += dQ;
    out.push_back(n);
  };
  for (int step : {-1, 1}) add(step, 0, 0, 0);
  for (int step : {-1, 1}) add(0, step, 0, 0);
  if (search.Seasonal()) {
    for (int step : {-1, 1}) add(0, 0, step, 0);
    for (int step : {-1, 1}) add(0, 0, 0, step);
  }
  for (int sp : {-1, 1})
    for (int sq : {-1, 1}) add(sp, sq, 0, 0);
  if (search.Seasonal())
    for (int sp : {-1, 1})
      for (int sq : {-1, 1}) add(0, 0, sp, sq);
  if (search.DriftOptional()) {
    Candidate n = c;
    n.constant = !n.constant;
    out.push_back(n);
  }
  return out;
}

int Better(const std::vector<TsAutoARIMAModel> &models, int a, int b) {
  if (a < 0) return b;
  if (b < 0) return a;
  return models[b].aicc < models[a].aicc ? b : a;
}

Candidate CandidateOf(const TsAutoARIMAModel &m) {
  Candidate c;
  c.p = m.p, c.q = m.q, c.P = m.P, c.Q = m.Q, c.constant = m.constant;
  return c;
}

void Stepwise(OrderSearch &search) {
  const bool k = search.DefaultConstant();
  int best = -1;
  const int starts[4][4] = {{2, 2, 1, 1}, {0, 0, 0, 0}, {1, 0, 1, 0}, {0, 1, 0, 1}};
  for (const auto &st : starts) {
    Candidate c;
    c.p = st[0], c.q = st[1];
    c.P = search.Seasonal() ? st[2] : 0;
    c.Q = search.Seasonal() ? st[3] : 0;
    c.constant = k;
    best = Better(search.Models(), best, search.Try(c));
  }
  // A start model may be out of bounds on a short series: the smallest one then starts.
  if (best < 0) {
    Candidate c;
    c.constant = k;
    best = search.Try(c);
    if (best < 0 && search.DriftOptional()) best = search.Try(Candidate{});
  }
  bool moved = best >= 0;
  while (moved && search.Tried() < kMaxStepwiseFits) {
    moved = false;
    for (const Candidate &n : Neighbours(CandidateOf(search.Models()[best]), search)) {
      if (search.Tried() >= kMaxStepwiseFits) break;
      const int i = search.Try(n);
      if (i >= 0 && search.Models()[i].aicc < search.Models()[best].aicc) {
        best = i;
        moved = true;
        break;
      }
    }
  }
}

void FullSearch(OrderSearch &search) {
  const int maxP = search.Seasonal() ? kMaxSeasonal : 0;
  for (int p = 0; p <= kMaxP; ++p)
    for (int q = 0; q <= kMaxQ; ++q)
      for (int P = 0; P <= maxP; ++P)
        for (int Q = 0; Q <= maxP; ++Q) {
          if (p + q + P + Q > kMaxTotalOrder) continue;
          for (bool constant : {true, false}) {
            Candidate c;
            c.p = p, c.q = q, c.P = P, c.Q = Q, c.constant = constant;
            search.Try(c);
          }
        }
}

}  // namespace

namespace tsf_auto {

SearchResult SearchOrders(const std::vector<double> &x, int d, int D, int s, bool seasonal, bool stepwise,
                          const CoreFitter &fitter) {
  OrderSearch search(x, d, D, s, seasonal, fitter);
  if (stepwise)
    Stepwise(search);
  else
    FullSearch(search);
  SearchResult result;
  result.models = search.Models();
  result.tried = search.Tried();
  return result;
}

}  // namespace tsf_auto
