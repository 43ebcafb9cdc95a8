// Pieces the benchmark programs share: bundled and simulated series, and reporters that
// keep each benchmark's time for the ratio tables printed after the runs.
#ifndef TSFORGE_BENCH_UTIL_H
#define TSFORGE_BENCH_UTIL_H

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace bench_util {

// The second column of a bundled CSV file (examples/, header line skipped).
inline std::vector<double> LoadSeries(const std::string &name) {
  std::ifstream in(std::string(TSFORGE_DATA_DIR) + "/" + name);
  std::vector<double> v;
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    const auto c = line.find(',');
    if (c != std::string::npos) v.push_back(std::stod(line.substr(c + 1)));
  }
  return v;
}

// x[t] = 0.5 x[t-1] + 0.3 x[t-2] + e[t] + 0.4 e[t-1] around a level of 10, after a
// burn-in of 200 steps; the same series on every run.
inline std::vector<double> SimulatedArma21(int n) {
  std::mt19937_64 gen(20261208);
  std::normal_distribution<double> z(0.0, 1.0);
  std::vector<double> x(n);
  double x1 = 0, x2 = 0, e1 = 0;
  for (int t = -200; t < n; ++t) {
    const double e = z(gen), v = 0.5 * x1 + 0.3 * x2 + e + 0.4 * e1;
    x2 = x1;
    x1 = v;
    e1 = e;
    if (t >= 0) x[t] = 10.0 + v;
  }
  return x;
}

// Everything a shell command writes to its standard output ("" when it cannot run).
inline std::string CommandOutput(const std::string &cmd) {
  std::string text;
  FILE *pipe = popen(cmd.c_str(), "r");
  if (pipe == nullptr) return text;
  char buf[512];
  while (std::fgets(buf, sizeof buf, pipe) != nullptr) text += buf;
  pclose(pipe);
  return text;
}

// The number after key (e.g. "seconds=") in text, or -1 when key is absent.
inline double ValueAfter(const std::string &text, const std::string &key) {
  const auto at = text.find(key);
  return at == std::string::npos ? -1.0 : std::atof(text.c_str() + at + key.size());
}

// Console output as usual, and the smallest CPU time per iteration of every benchmark
// (by function name, in its display unit) over its repetitions: the least disturbed by
// other load on the machine.
class MinTimeReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run> &runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run &r : runs) {
      if (r.run_type != Run::RT_Iteration || r.iterations == 0) continue;
      const double t = r.GetAdjustedCPUTime();
      auto it = best_.find(r.run_name.function_name);
      if (it == best_.end() || t < it->second) best_[r.run_name.function_name] = t;
    }
  }
  // 0 for a benchmark that did not run.
  double Best(const std::string &name) const {
    auto it = best_.find(name);
    return it == best_.end() ? 0.0 : it->second;
  }

 private:
  std::map<std::string, double> best_;
};

// Console output as usual, and the seconds per iteration of every run by its full name,
// CPU or wall-clock time.
class SecondsReporter : public benchmark::ConsoleReporter {
 public:
  explicit SecondsReporter(bool wall_clock) : wall_clock_(wall_clock) {}
  std::map<std::string, double> seconds;
  void ReportRuns(const std::vector<Run> &runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run &r : runs) {
      if (r.iterations == 0) continue;
      seconds[r.benchmark_name()] = (wall_clock_ ? r.real_accumulated_time : r.cpu_accumulated_time) / r.iterations;
    }
  }

 private:
  bool wall_clock_;
};

}  // namespace bench_util

#endif  // TSFORGE_BENCH_UTIL_H
