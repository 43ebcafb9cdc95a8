// Forecasts of TsAutoARIMA on the hold-out set (every series fitted on all but its last
// h points, period inferred from its time column), written as the scorer's CSV; prints the
// chosen model and the time of each series, the scorer's summary, and the time R's
// auto.arima (stepwise, default settings) takes on the same series in the same run. Times
// are processor time of the process (both sides run on one thread), which neighbours on a
// shared machine disturb less than elapsed time.
//
// It then runs the same test on the bundled example series (examples/, split by the same
// rule: h = 2 periods, or 12 values for non-seasonal series, at most a third of the
// series) and prints their MASE and 95% coverage next to the naive and seasonal naive
// forecasts: a check on series the hold-out set does not hold.
//
// usage: holdout_bench [--data DIR] [--out FILE.csv] [--full] [--no-r]
//   --data DIR   the hold-out folder (manifest.csv, <name>.csv); default ../shared/data/holdout
//                beside the source tree
//   --out FILE   where the forecasts go (default holdout-forecasts.csv)
//   --full       the full order search instead of the stepwise one
//   --no-r       skip the comparison with R
// The scorer is DIR/../../tools/holdout-score.py, run with python3; R is used when Rscript
// and its forecast package are installed (bench/holdout_auto_arima.R).
#include "bench/bench_util.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "Forecast/AutoARIMA.h"

namespace {

struct Series {
  std::string name;
  int frequency = 1, n = 0, h = 0;
  std::vector<double> time, value;
};

std::vector<std::string> Fields(const std::string &line) {
  std::vector<std::string> out;
  std::stringstream ss(line);
  std::string f;
  while (std::getline(ss, f, ',')) out.push_back(f);
  return out;
}

// The time and value columns of a series file into s (header line skipped).
void ReadTimeValue(const std::string &path, Series &s) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    const std::vector<std::string> g = Fields(line);
    if (g.size() < 2) continue;
    s.time.push_back(std::stod(g[0]));
    s.value.push_back(std::stod(g[1]));
  }
}

std::vector<Series> LoadSet(const std::string &dir) {
  std::vector<Series> set;
  std::ifstream manifest(dir + "/manifest.csv");
  std::string line;
  std::getline(manifest, line);
  while (std::getline(manifest, line)) {
    const std::vector<std::string> f = Fields(line);
    if (f.size() < 4) continue;
    Series s;
    s.name = f[0], s.frequency = std::stoi(f[1]), s.n = std::stoi(f[2]), s.h = std::stoi(f[3]);
    ReadTimeValue(dir + "/" + s.name + ".csv", s);
    set.push_back(s);
  }
  return set;
}

// Standard output sent to /dev/null for the lifetime of the object: the core announces
// every fit that meets a non-finite objective there.
class Silence {
 public:
  Silence() : m_saved(dup(1)) {
    std::fflush(stdout);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    close(null);
  }
  ~Silence() {
    std::fflush(stdout);
    dup2(m_saved, 1);
    close(m_saved);
  }

 private:
  int m_saved;
};

// A fit and forecast of TsAutoARIMA on the fitting part, with its processor time.
struct Outcome {
  bool ok = false;
  int period = 1, fits = 0;
  std::string model;
  double seconds = 0.0;
  std::vector<double> forecast, lower, upper;
};

Outcome ForecastSeries(const std::vector<double> &train, const std::vector<double> &time, int h, bool full) {
  Outcome o;
  Silence quiet;
  const std::clock_t start = std::clock();
  TsAutoARIMA model(TsAutoARIMA::InferPeriod(time));
  model.SetStepwise(!full);
  std::vector<double> forecasts;
  o.ok = model.Fit(train) && model.Predict(h, forecasts);
  o.seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  o.period = model.GetPeriod();
  o.fits = model.GetFitsTried();
  o.model = o.ok ? model.GetModel().Name() : "(no model)";
  if (o.ok) o.forecast = model.GetXPred(), o.lower = model.GetLower(), o.upper = model.GetUpper();
  return o;
}

// MASE of forecasts f of the test part, scaled by the in-sample lag-m naive error.
double Mase(const std::vector<double> &train, const std::vector<double> &test, const std::vector<double> &f, int m) {
  double scale = 0.0, err = 0.0;
  for (std::size_t t = static_cast<std::size_t>(m); t < train.size(); ++t) scale += std::fabs(train[t] - train[t - m]);
  scale /= static_cast<double>(train.size() - m);
  for (std::size_t k = 0; k < test.size(); ++k) err += std::fabs(test[k] - f[k]);
  return err / static_cast<double>(test.size()) / scale;
}

// MASE of the reference methods by series and method, from reference-summary.csv (whose
// third field, the model, is quoted and holds commas).
std::map<std::string, double> ReferenceMase(const std::string &dir) {
  std::map<std::string, double> mase;
  std::ifstream in(dir + "/reference-summary.csv");
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    const std::size_t open = line.find('"'), close = line.find('"', open + 1);
    if (open == std::string::npos || close == std::string::npos) continue;
    const std::vector<std::string> head = Fields(line.substr(0, open));
    const std::vector<std::string> tail = Fields(line.substr(close + 2));
    if (head.size() < 2 || tail.empty()) continue;
    mase[head[0] + "," + head[1]] = std::stod(tail[0]);
  }
  return mase;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n == 0 ? 0.0 : (n % 2 == 1 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]));
}

// Geometric-mean MASE by frequency of ours next to auto.arima's and ets's.
void PrintByFrequency(const std::vector<Series> &set, const std::map<std::string, double> &ours,
                      const std::map<std::string, double> &reference) {
  std::printf("geometric-mean MASE by frequency:\n%-10s %7s %10s %10s %10s\n", "frequency", "series", "ours",
              "auto.arima", "ets");
  for (int m : {12, 4, 1, 0}) {
    double lo = 0.0, la = 0.0, le = 0.0;
    int count = 0;
    for (const Series &s : set) {
      if ((m != 0 && s.frequency != m) || ours.count(s.name) == 0) continue;
      lo += std::log(ours.at(s.name));
      la += std::log(reference.count(s.name + ",auto.arima") ? reference.at(s.name + ",auto.arima") : NAN);
      le += std::log(reference.count(s.name + ",ets") ? reference.at(s.name + ",ets") : NAN);
      ++count;
    }
    if (count == 0) continue;
    std::printf("%-10s %7d %10.4f %10.4f %10.4f\n", m == 0 ? "all" : std::to_string(m).c_str(), count,
                std::exp(lo / count), std::exp(la / count), std::exp(le / count));
  }
}

// The example series split as the hold-out set is, scored against naive and seasonal
// naive forecasts.
void ExampleCheck(bool full) {
  std::vector<std::string> files;
  for (const auto &entry : std::filesystem::directory_iterator(TSFORGE_DATA_DIR))
    if (entry.path().extension() == ".csv") files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  std::printf("\nExample series (examples/), same split rule:\n");
  std::printf("%-18s %4s %4s %-36s %8s %8s %8s %6s\n", "series", "freq", "h", "model", "MASE", "naive", "snaive",
              "cov95");
  double logOurs = 0.0, logNaive = 0.0, logSnaive = 0.0;
  int count = 0, covered = 0, points = 0;
  for (const std::string &path : files) {
    Series s;
    s.name = std::filesystem::path(path).stem().string();
    ReadTimeValue(path, s);
    s.n = static_cast<int>(s.value.size());
    const int period = TsAutoARIMA::InferPeriod(s.time);
    s.h = std::min(period > 1 ? 2 * period : 12, s.n / 3);
    const std::size_t fitLength = static_cast<std::size_t>(s.n - s.h);
    const std::vector<double> train(s.value.begin(), s.value.begin() + fitLength);
    const std::vector<double> test(s.value.begin() + fitLength, s.value.end());
    const Outcome o = ForecastSeries(train, std::vector<double>(s.time.begin(), s.time.begin() + fitLength), s.h, full);
    if (!o.ok) {
      std::printf("%-18s %4d %4d %-36s\n", s.name.c_str(), period, s.h, o.model.c_str());
      continue;
    }
    std::vector<double> naive(test.size(), train.back()), snaive(test.size());
    for (std::size_t k = 0; k < test.size(); ++k) snaive[k] = train[train.size() - period + k % period];
    const double mase = Mase(train, test, o.forecast, period), mn = Mase(train, test, naive, period),
                 ms = Mase(train, test, snaive, period);
    int in95 = 0;
    for (std::size_t k = 0; k < test.size(); ++k) in95 += o.lower[k] <= test[k] && test[k] <= o.upper[k];
    std::printf("%-18s %4d %4d %-36s %8.4f %8.4f %8.4f %6.3f\n", s.name.c_str(), period, s.h, o.model.c_str(), mase,
                mn, ms, static_cast<double>(in95) / test.size());
    logOurs += std::log(mase), logNaive += std::log(mn), logSnaive += std::log(ms);
    covered += in95, points += static_cast<int>(test.size()), ++count;
  }
  if (count > 0)
    std::printf("geometric-mean MASE over %d series: TsAutoARIMA %.4f, naive %.4f, seasonal naive %.4f; 95%% "
                "coverage %.3f (%d points)\n",
                count, std::exp(logOurs / count), std::exp(logNaive / count), std::exp(logSnaive / count),
                static_cast<double>(covered) / points, points);
}

// Seconds per series of R's auto.arima on the same split, by name; empty without R.
std::map<std::string, double> TimeR(const std::string &dir) {
  std::map<std::string, double> seconds;
  const std::string script = std::string(TSFORGE_BENCH_DIR) + "/holdout_auto_arima.R";
  std::stringstream out(bench_util::CommandOutput("Rscript '" + script + "' '" + dir + "' 2>/dev/null"));
  std::string name;
  double sec = 0.0;
  while (out >> name >> sec) seconds[name] = sec;
  return seconds;
}

}  // namespace

int main(int argc, char **argv) {
  std::string dir = std::string(TSFORGE_SOURCE_DIR) + "/../shared/data/holdout";
  std::string outPath = "holdout-forecasts.csv";
  bool full = false, withR = true;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--data" && i + 1 < argc) dir = argv[++i];
    else if (a == "--out" && i + 1 < argc) outPath = argv[++i];
    else if (a == "--full") full = true;
    else if (a == "--no-r") withR = false;
    else {
      std::fprintf(stderr, "usage: holdout_bench [--data DIR] [--out FILE.csv] [--full] [--no-r]\n");
      return 2;
    }
  }
  const std::vector<Series> set = LoadSet(dir);
  if (set.empty()) {
    std::fprintf(stderr, "holdout_bench: no series in %s/manifest.csv\n", dir.c_str());
    return 1;
  }
  std::ofstream csv(outPath);
  csv << "name,step,forecast,lower95,upper95\n";
  csv.precision(17);
  std::map<std::string, double> ours, oursMase;
  double total = 0.0;
  std::printf("%-26s %4s %-36s %6s %9s\n", "series", "freq", "model", "fits", "seconds");
  for (const Series &s : set) {
    const std::size_t fitLength = static_cast<std::size_t>(s.n - s.h);
    const Outcome o = ForecastSeries(std::vector<double>(s.value.begin(), s.value.begin() + fitLength),
                                     std::vector<double>(s.time.begin(), s.time.begin() + fitLength), s.h, full);
    ours[s.name] = o.seconds;
    total += o.seconds;
    std::printf("%-26s %4d %-36s %6d %9.3f%s\n", s.name.c_str(), o.period, o.model.c_str(), o.fits, o.seconds,
                o.period == s.frequency ? "" : "  (period differs from the manifest)");
    for (int k = 0; o.ok && k < s.h; ++k)
      csv << s.name << ',' << k + 1 << ',' << o.forecast[k] << ',' << o.lower[k] << ',' << o.upper[k] << '\n';
    if (o.ok)
      oursMase[s.name] = Mase(std::vector<double>(s.value.begin(), s.value.begin() + fitLength),
                              std::vector<double>(s.value.begin() + fitLength, s.value.end()), o.forecast, s.frequency);
  }
  csv.close();
  std::printf("\n%s\n", bench_util::CommandOutput("python3 '" + dir + "/../../tools/holdout-score.py' '" + outPath + "'").c_str());
  PrintByFrequency(set, oursMase, ReferenceMase(dir));
  std::vector<double> times;
  for (const auto &kv : ours) times.push_back(kv.second);
  std::printf("\nTsAutoARIMA (%s): %.3f s over %zu series, %.3f s per series (median %.3f s)\n",
              full ? "full" : "stepwise", total, set.size(), total / set.size(), Median(times));
  ExampleCheck(full);
  if (!withR) return 0;
  const std::map<std::string, double> r = TimeR(dir);
  if (r.empty()) {
    std::printf("R's auto.arima: not timed (Rscript or its forecast package is missing)\n");
    return 0;
  }
  double rTotal = 0.0, oursMatched = 0.0;
  std::vector<double> rTimes, oursTimes;
  std::printf("\n%-26s %10s %10s %8s\n", "series", "ours (s)", "R (s)", "R/ours");
  for (const auto &kv : ours) {
    auto it = r.find(kv.first);
    if (it == r.end()) continue;
    rTotal += it->second;
    oursMatched += kv.second;
    rTimes.push_back(it->second);
    oursTimes.push_back(kv.second);
    std::printf("%-26s %10.3f %10.3f %8.2f\n", kv.first.c_str(), kv.second, it->second, it->second / kv.second);
  }
  std::printf("per series: ours %.3f s (median %.3f s), R's auto.arima %.3f s (median %.3f s); ratio R/ours %.2f "
              "(of the medians %.2f)\n",
              oursMatched / r.size(), Median(oursTimes), rTotal / r.size(), Median(rTimes), rTotal / oursMatched,
              Median(rTimes) / Median(oursTimes));
  return 0;
}
