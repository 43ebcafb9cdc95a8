// Anomaly layer: the Smooth trend fit, the time-series detector with smoothing, and the
// classical Lowess with delta = 0 and delta = 1% of the range, on n = 10^3, 10^4, 10^5
// points. When Rscript is on the PATH, R's lowess is timed on the same data in the same
// run (processor time inside R, excluding start-up and reading), its fitted values are
// compared with ours, and the ratio of the two processor times is printed at the end.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "Anomaly/Loess.h"
#include "Anomaly/TimeSeriesAnomalyDetection.h"

namespace {

constexpr double kF = 2.0 / 3.0;  // R's default neighbourhood fraction
constexpr long kIter = 3;         // R's default number of robustness iterations

struct Series {
  std::vector<double> x, y;
};

// Sorted uniform abscissae on [0, 100], a smooth signal with noise and a few spikes.
const Series &series(size_t n) {
  static std::map<size_t, Series> cache;
  auto it = cache.find(n);
  if (it != cache.end()) return it->second;
  std::mt19937_64 gen(12345 + n);
  std::uniform_real_distribution<double> unif(0, 100);
  std::normal_distribution<double> noise(0, 0.3);
  Series s;
  s.x.resize(n);
  for (auto &v : s.x) v = unif(gen);
  std::sort(s.x.begin(), s.x.end());
  s.y.resize(n);
  for (size_t i = 0; i < n; ++i) {
    s.y[i] = std::sin(s.x[i] / 8) * 3 + 0.05 * s.x[i] + noise(gen);
    if (i % 997 == 500) s.y[i] += 8;
  }
  return cache.emplace(n, std::move(s)).first->second;
}

double delta_for(const Series &s, long pct) { return pct * 0.01 * (s.x.back() - s.x.front()); }

std::vector<long double> widen(const std::vector<double> &v) { return {v.begin(), v.end()}; }

void BM_Smooth(benchmark::State &state) {
  const Series &s = series(static_cast<size_t>(state.range(0)));
  std::vector<long double> x = widen(s.x), y = widen(s.y), w(x.size(), 1.0L);
  TsLoess loess;
  for (auto _ : state) {
    std::vector<long double> fit = loess.Smooth(x, y, w, 0.5L);
    benchmark::DoNotOptimize(fit.data());
  }
}

void BM_DetectorSmoothed(benchmark::State &state) {
  const Series &s = series(static_cast<size_t>(state.range(0)));
  TsTimeSeriesAnomalyDetection d(TsDataVec<long double>(widen(s.x)));
  d.SetSmooth(true);
  d.SetWeights(TsDataVec<long double>(std::vector<long double>(s.x.size(), 1.0L)));
  const TsDataVec<long double> data(widen(s.y));
  size_t found = 0;
  for (auto _ : state) found = d.Detect(data).Size();
  state.counters["anomalies"] = static_cast<double>(found);
}

void BM_Lowess(benchmark::State &state) {
  const Series &s = series(static_cast<size_t>(state.range(0)));
  const double delta = delta_for(s, state.range(1));
  TsLoess loess;
  std::vector<double> ys, rw, res;
  for (auto _ : state) {
    loess.Lowess(s.x, s.y, kF, kIter, delta, ys, rw, res);
    benchmark::DoNotOptimize(ys.data());
  }
}

// ---------------------------------------------------------------------------
// R's lowess, driven through Rscript.

const char *kRScript = R"(a <- commandArgs(TRUE)
d <- read.csv(a[1])
f <- as.numeric(a[2]); it <- as.integer(a[3]); delta <- as.numeric(a[4])
cpu <- function() { p <- proc.time(); p[["user.self"]] + p[["sys.self"]] }
reps <- 0L
t0 <- cpu()
repeat {
  r <- lowess(d$x, d$y, f = f, iter = it, delta = delta)
  reps <- reps + 1L
  el <- cpu() - t0
  if (el >= 1) break
}
write.csv(data.frame(ys = r$y), a[5], row.names = FALSE)
cat(sprintf("%.9g %d\n", el / reps, reps))
)";

bool have_rscript() { return std::system("command -v Rscript > /dev/null 2>&1") == 0; }

std::string temp_path(const char *stem) {
  return std::string("/tmp/tsforge-anomaly-bench-") + std::to_string(getpid()) + "-" + stem;
}

// Largest relative difference between R's fitted values and ours.
std::map<std::string, double> r_agreement;

void BM_RLowess(benchmark::State &state) {
  const size_t n = static_cast<size_t>(state.range(0));
  const Series &s = series(n);
  const double delta = delta_for(s, state.range(1));
  const std::string script = temp_path("lowess.R"), data = temp_path("data.csv"),
                    out = temp_path("fit.csv");
  {
    std::ofstream(script) << kRScript;
    std::ofstream d(data);
    d << "x,y\n";
    char line[96];
    for (size_t i = 0; i < n; ++i) {
      std::snprintf(line, sizeof line, "%.17g,%.17g\n", s.x[i], s.y[i]);
      d << line;
    }
  }
  char cmd[1024];
  std::snprintf(cmd, sizeof cmd, "Rscript --vanilla %s %s %.17g %ld %.17g %s", script.c_str(),
                data.c_str(), kF, kIter, delta, out.c_str());
  for (auto _ : state) {
    double seconds = 0;
    long reps = 0;
    FILE *p = popen(cmd, "r");
    if (p == nullptr || std::fscanf(p, "%lf %ld", &seconds, &reps) != 2) {
      if (p) pclose(p);
      state.SkipWithError("Rscript failed");
      break;
    }
    pclose(p);
    state.SetIterationTime(seconds);
    state.counters["R_reps"] = static_cast<double>(reps);
  }
  // Compare R's fit with ours on the same data.
  std::ifstream in(out);
  std::string line;
  std::getline(in, line);
  TsLoess loess;
  std::vector<double> ys, rw, res;
  loess.Lowess(s.x, s.y, kF, kIter, delta, ys, rw, res);
  double worst = 0;
  size_t i = 0;
  for (; std::getline(in, line) && i < n; ++i) {
    const double r = std::stod(line);
    worst = std::max(worst, std::fabs(r - ys[i]) / std::max(std::fabs(r), 1.0));
  }
  if (i != n) worst = INFINITY;
  std::ostringstream key;
  key << "n:" << n << "/delta_pct:" << state.range(1);
  r_agreement[key.str()] = worst;
  std::remove(script.c_str());
  std::remove(data.c_str());
  std::remove(out.c_str());
}

// Console output as usual, plus the processor time per call of every Lowess and R_lowess
// run, keyed by their arguments. Processor time, not wall time: the comparison should not
// depend on what else the machine runs. R_lowess reports R's own processor time per call
// as its (manual) time.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> ours, r;
  void ReportRuns(const std::vector<Run> &runs) override {
    for (const Run &run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      if (run.run_name.function_name == "Lowess")
        ours[run.run_name.args] = run.GetAdjustedCPUTime();
      if (run.run_name.function_name == "R_lowess")
        r[run.run_name.args] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

void apply_sizes(benchmark::internal::Benchmark *b, bool with_delta) {
  for (long n : {1000L, 10000L, 100000L}) {
    if (with_delta) {
      b->Args({n, 0})->Args({n, 1});
    } else {
      b->Arg(n);
    }
  }
  b->Unit(benchmark::kMillisecond);
  if (with_delta)
    b->ArgNames({"n", "delta_pct"});
  else
    b->ArgNames({"n"});
}

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  apply_sizes(benchmark::RegisterBenchmark("Smooth", BM_Smooth), false);
  apply_sizes(benchmark::RegisterBenchmark("DetectorSmoothed", BM_DetectorSmoothed), false);
  apply_sizes(benchmark::RegisterBenchmark("Lowess", BM_Lowess), true);
  const bool with_r = have_rscript();
  if (with_r) {
    auto *b = benchmark::RegisterBenchmark("R_lowess", BM_RLowess);
    apply_sizes(b, true);
    b->UseManualTime()->Iterations(1);
  }
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  if (!with_r) {
    std::printf("\nRscript not found: R's lowess not timed, no ratio.\n");
    return 0;
  }
  std::printf("\n%-22s %14s %14s %12s %14s\n", "Lowess vs R (CPU)", "tsforge (ms)", "R (ms)",
              "ratio", "max rel diff");
  for (const auto &[args, t] : reporter.ours) {
    auto it = reporter.r.find(args);
    if (it == reporter.r.end()) continue;
    auto agree = r_agreement.find(args);
    std::printf("%-22s %14.3f %14.3f %12.3f %14.3g\n", args.c_str(), t, it->second, t / it->second,
                agree == r_agreement.end() ? NAN : agree->second);
  }
  return 0;
}
