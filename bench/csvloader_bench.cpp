// TsCSVLoader::Load on a generated table of 10^6 rows x 8 columns (about 60 MB):
// throughput in MB/s and peak resident memory. When a Python with pandas is found, the
// same file is read with pandas.read_csv(dtype=str, keep_default_na=False) by
// bench/csv_pandas.py in the same run and the ratio of the two times is printed.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "CSVLoader/CSVLoader.h"

namespace {

const size_t kRows = 1000000;

// A mix of the cell kinds real exports hold: ids, dates, decimals, labels, codes and the
// occasional empty cell.
std::string GenerateTable(const std::string &path) {
  const char *labels[] = {"alpha", "beta", "gamma", "delta", "omega", "kappa"};
  uint64_t state = 88172645463325252ull;
  auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  };
  std::ofstream out(path, std::ios::binary);
  out << "id,date,price,label,qty,ratio,code,score\n";
  char line[256];
  for (size_t i = 0; i < kRows; ++i) {
    uint64_t r = next();
    int n = std::snprintf(line, sizeof line, "%zu,20%02u-%02u-%02u,%u.%02u,%s,%u,0.%06u,%c%04u,%s\n", 1000000 + i,
                          unsigned(r % 25), unsigned(1 + (r >> 8) % 12), unsigned(1 + (r >> 12) % 28),
                          unsigned((r >> 16) % 100000), unsigned((r >> 30) % 100), labels[(r >> 36) % 6],
                          unsigned((r >> 40) % 5000), unsigned((r >> 44) % 1000000), char('A' + (r >> 50) % 26),
                          unsigned((r >> 55) % 10000), (r >> 60) % 8 == 0 ? "" : "17.25");
    out.write(line, n);
  }
  return path;
}

struct Table {
  std::string dir;
  std::string path;
  size_t bytes = 0;
  Table() {
    const char *base = std::getenv("TMPDIR");
    dir = std::string(base && *base ? base : "/tmp") + "/csvloader_bench.XXXXXX";
    if (!mkdtemp(&dir[0])) {
      std::perror("mkdtemp");
      std::exit(1);
    }
    path = GenerateTable(dir + "/table.csv");
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    bytes = static_cast<size_t>(in.tellg());
  }
  ~Table() {
    std::remove(path.c_str());
    rmdir(dir.c_str());
  }
};

Table &TheTable() {
  static Table table;
  return table;
}

double PeakRssMB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;  // kilobytes on Linux
}

double g_best_load_seconds = 1e300;

void BM_Load(benchmark::State &state) {
  Table &table = TheTable();
  double before = PeakRssMB();
  for (auto _ : state) {
    TsCSVLoader *loader = new TsCSVLoader;
    auto start = std::chrono::steady_clock::now();
    CNbError status = loader->Load(table.path, true, ',', 0);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    g_best_load_seconds = std::min(g_best_load_seconds, seconds);
    if (status.IsError()) state.SkipWithError("Load failed");
    state.PauseTiming();
    delete loader;  // freeing 8 million cells is not part of Load
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * table.bytes));
  state.counters["file_MB"] = table.bytes / 1e6;
  state.counters["peak_rss_MB"] = PeakRssMB();
  state.counters["rss_growth_MB"] = PeakRssMB() - before;
}
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// Runs bench/csv_pandas.py on the same file; false when no Python with pandas is found.
bool TimePandas(const std::string &path, double &seconds, double &peak) {
  const char *script = TSFORGE_DATA_DIR "/../bench/csv_pandas.py";
  for (const char *python : {"/usr/bin/python3", "python3"}) {
    std::string command = std::string(python) + " '" + script + "' '" + path + "' 3 2>/dev/null";
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) continue;
    char text[256] = {0};
    bool got = std::fgets(text, sizeof text, pipe) != nullptr;
    int status = pclose(pipe);
    if (got && status == 0 && std::sscanf(text, "seconds=%lf peak_rss_mb=%lf", &seconds, &peak) == 2) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (g_best_load_seconds > 1e299) return 0;

  Table &table = TheTable();
  double mb = table.bytes / 1e6;
  std::printf("\nLoad: best %.3f s, %.1f MB/s on %.1f MB (%zu rows x 8 columns), peak RSS %.1f MB\n",
              g_best_load_seconds, mb / g_best_load_seconds, mb, kRows, PeakRssMB());
  double pandas_seconds = 0, pandas_peak = 0;
  if (TimePandas(table.path, pandas_seconds, pandas_peak)) {
    std::printf("pandas.read_csv(dtype=str, keep_default_na=False): best %.3f s, %.1f MB/s, peak RSS %.1f MB\n",
                pandas_seconds, mb / pandas_seconds, pandas_peak);
    std::printf("Load is %.2fx as fast as pandas.read_csv\n", pandas_seconds / g_best_load_seconds);
  } else {
    std::printf("pandas not found (install python3-pandas): no comparison\n");
  }
  return 0;
}
