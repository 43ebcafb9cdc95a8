// Forecasts of TsAutoARIMA on the hold-out set (every series fitted on all but its last
// h points, period inferred from its time column), written as the scorer's CSV; prints the
// chosen model and the time of each series, the scorer's summary, and the time R's
// auto.arima (stepwise, default settings) takes on the same series in the same run. Times
// are processor time of the process (both sides run on one thread), which neighbours on a
// shared machine disturb less than elapsed time.
//
// usage: holdout_bench [--data DIR] [--out FILE.csv] [--full] [--no-r]
//   --data DIR   the hold-out folder (manifest.csv, <name>.csv); default ../shared/data/holdout
//                beside the source tree
//   --out FILE   where the forecasts go (default holdout-forecasts.csv)
//   --full       the full order search instead of the stepwise one
//   --no-r       skip the comparison with R
// The scorer is DIR/../../tools/holdout-score.py, run with python3; R is used when Rscript
// and its forecast package are installed (bench/holdout_auto_arima.R).
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

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
    std::ifstream in(dir + "/" + s.name + ".csv");
    std::getline(in, line);
    while (std::getline(in, line)) {
      const std::vector<std::string> g = Fields(line);
      if (g.size() < 2) continue;
      s.time.push_back(std::stod(g[0]));
      s.value.push_back(std::stod(g[1]));
    }
    set.push_back(s);
  }
  return set;
}

std::string Run(const std::string &command) {
  std::string out;
  FILE *pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  pclose(pipe);
  return out;
}

// Seconds per series of R's auto.arima on the same split, by name; empty without R.
std::map<std::string, double> TimeR(const std::string &dir) {
  std::map<std::string, double> seconds;
  const std::string script = std::string(TSFORGE_BENCH_DIR) + "/holdout_auto_arima.R";
  std::stringstream out(Run("Rscript '" + script + "' '" + dir + "' 2>/dev/null"));
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
  std::map<std::string, double> ours;
  double total = 0.0;
  std::printf("%-26s %4s %-36s %6s %9s\n", "series", "freq", "model", "fits", "seconds");
  for (const Series &s : set) {
    const std::size_t fitLength = static_cast<std::size_t>(s.n - s.h);
    const std::vector<double> train(s.value.begin(), s.value.begin() + fitLength);
    const std::vector<double> time(s.time.begin(), s.time.begin() + fitLength);
    const std::clock_t start = std::clock();
    TsAutoARIMA model(TsAutoARIMA::InferPeriod(time));
    model.SetStepwise(!full);
    std::vector<double> forecasts;
    const bool ok = model.Fit(train) && model.Predict(s.h, forecasts);
    const double sec = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    ours[s.name] = sec;
    total += sec;
    std::printf("%-26s %4d %-36s %6d %9.3f%s\n", s.name.c_str(), model.GetPeriod(),
                ok ? model.GetModel().Name().c_str() : "(no model)", model.GetFitsTried(), sec,
                model.GetPeriod() == s.frequency ? "" : "  (period differs from the manifest)");
    for (int k = 0; ok && k < s.h; ++k)
      csv << s.name << ',' << k + 1 << ',' << model.GetXPred()[k] << ',' << model.GetLower()[k] << ','
          << model.GetUpper()[k] << '\n';
  }
  csv.close();
  std::printf("\n%s\n", Run("python3 '" + dir + "/../../tools/holdout-score.py' '" + outPath + "'").c_str());
  std::printf("TsAutoARIMA (%s): %.3f s over %zu series, %.3f s per series\n", full ? "full" : "stepwise", total,
              set.size(), total / set.size());
  if (!withR) return 0;
  const std::map<std::string, double> r = TimeR(dir);
  if (r.empty()) {
    std::printf("R's auto.arima: not timed (Rscript or its forecast package is missing)\n");
    return 0;
  }
  double rTotal = 0.0, oursMatched = 0.0;
  std::printf("\n%-26s %10s %10s %8s\n", "series", "ours (s)", "R (s)", "R/ours");
  for (const auto &kv : ours) {
    auto it = r.find(kv.first);
    if (it == r.end()) continue;
    rTotal += it->second;
    oursMatched += kv.second;
    std::printf("%-26s %10.3f %10.3f %8.2f\n", kv.first.c_str(), kv.second, it->second, it->second / kv.second);
  }
  std::printf("per series: ours %.3f s, R's auto.arima %.3f s, ratio R/ours %.2f\n", oursMatched / r.size(),
              rTotal / r.size(), rTotal / oursMatched);
  return 0;
}
