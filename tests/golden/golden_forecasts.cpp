// The promise that results are the same on every target, checked: the entry point
// CalculateOrderAndGetPredictions on each bundled series, the order it picks, its twelve
// forecasts and their mean square errors, each double written as the hexadecimal bits of
// its pattern and compared line by line with the stored file. A plain program (no test
// framework) so that the same source runs in the big-endian PowerPC cross build under
// emulation; CTest runs it with AVX-512 and with it turned off (TSFORGE_NO_AVX512).
//
//   golden_forecasts EXAMPLES_DIR GOLDEN_FILE [--write]
//
// NaN is written as "nan": the bits of a NaN made by an invalid operation differ between
// processors (the sign of the default NaN), and no result depends on them.
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Forecast/ARIMA.h"

namespace {

const char *const kSeries[] = {"airpassengers", "co2", "lakehuron", "lh", "nile", "wwwusage"};
constexpr int kHorizon = 12;

std::vector<double> load_series(const std::string &path) {
  std::ifstream in(path);
  std::vector<double> values;
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    const auto comma = line.find(',');
    if (comma != std::string::npos) values.push_back(std::stod(line.substr(comma + 1)));
  }
  return values;
}

std::string bits(double v) {
  if (std::isnan(v)) return "nan";
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  char text[20];
  std::snprintf(text, sizeof text, "%016" PRIx64, b);
  return text;
}

// The lines of one series: the order, then step, forecast and mean square error.
void describe(const std::string &name, const std::vector<double> &x, std::ostream &out) {
  std::vector<double> forecasts;
  std::vector<int> order;
  CalculateOrderAndGetPredictions(x, forecasts, kHorizon, order);
  out << name << " order " << order[0] << ' ' << order[1] << ' ' << order[2] << '\n';
  // The search keeps the forecasts of the best order but the model of the last; the
  // chosen order fitted once more gives its mean square errors (the fit is deterministic).
  TsARIMA model(ARIMAOrder{order[0], order[1], order[2]}, ARIMA_MLE, ARIMA_BFGS_MORE_THUENTE);
  std::vector<double> same;
  std::vector<int> fixed = order;
  model.CalculateOrderAndPredict(x, same, kHorizon, fixed);
  const std::vector<double> &mse = model.GetStdError();
  for (int h = 0; h < kHorizon; ++h) {
    const double f = h < static_cast<int>(forecasts.size()) ? forecasts[h] : std::nan("");
    const double m = h < static_cast<int>(mse.size()) ? mse[h] : std::nan("");
    out << name << ' ' << h + 1 << ' ' << bits(f) << ' ' << bits(m) << '\n';
  }
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s EXAMPLES_DIR GOLDEN_FILE [--write]\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const bool write = argc > 3 && std::strcmp(argv[3], "--write") == 0;
  std::ostringstream got;
  {
    // The estimators announce non-finite trial values on standard output; the check's
    // own report goes to standard error.
    std::fflush(stdout);
    for (const char *name : kSeries) describe(name, load_series(dir + "/" + name + ".csv"), got);
  }
  if (write) {
    std::ofstream(argv[2]) << got.str();
    return 0;
  }
  std::ifstream in(argv[2]);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", argv[2]);
    return 1;
  }
  std::istringstream produced(got.str());
  std::string want, have;
  int line = 0, differences = 0;
  while (true) {
    const bool more_want = static_cast<bool>(std::getline(in, want));
    const bool more_have = static_cast<bool>(std::getline(produced, have));
    if (!more_want && !more_have) break;
    ++line;
    if (!more_want) want = "(end of file)";
    if (!more_have) have = "(nothing)";
    if (want != have) {
      if (++differences <= 10) std::fprintf(stderr, "line %d: expected \"%s\", got \"%s\"\n", line, want.c_str(), have.c_str());
    }
  }
  if (differences > 0) {
    std::fprintf(stderr, "%d of %d lines differ from %s\n", differences, line, argv[2]);
    return 1;
  }
  std::fprintf(stderr, "%d lines as in %s\n", line, argv[2]);
  return 0;
}
