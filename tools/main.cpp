// tsforge: forecast and flag anomalies in the columns of CSV files.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "tools/commands.h"
#include "tools/options.h"

#ifndef TSFORGE_VERSION
#define TSFORGE_VERSION "unknown"
#endif

namespace {
const char *const kMainHelp =
    "usage: tsforge COMMAND FILE [options]\n"
    "\n"
    "commands:\n"
    "  forecast    choose an ARIMA order by AIC (or fit a given one) and forecast\n"
    "  anomalies   flag anomalous points of a series\n"
    "\n"
    "  tsforge COMMAND --help   options of a command\n"
    "  tsforge --version        version of the program\n"
    "\n"
    "Exit status: 0 success, 1 bad input or data, 2 usage error.\n";

bool wants_help(const std::vector<std::string> &args) {
  for (const std::string &a : args)
    if (a == "--help" || a == "-h") return true;
  return false;
}
}  // namespace

int main(int argc, char **argv) {
  using namespace tsforge_cli;
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::fputs(kMainHelp, stderr);
    return 2;
  }
  std::string command = args[0];
  args.erase(args.begin());
  try {
    if (command == "--help" || command == "-h") {
      std::fputs(kMainHelp, stdout);
      return 0;
    }
    if (command == "--version") {
      std::printf("tsforge %s\n", TSFORGE_VERSION);
      return 0;
    }
    if (command == "forecast") {
      if (wants_help(args)) return std::fputs(kForecastHelp, stdout), 0;
      return forecast_command(args);
    }
    if (command == "anomalies") {
      if (wants_help(args)) return std::fputs(kAnomaliesHelp, stdout), 0;
      return anomalies_command(args);
    }
    throw UsageError("unknown command '" + command + "'");
  } catch (const UsageError &e) {
    std::fprintf(stderr, "tsforge: %s\n(see tsforge --help)\n", e.what());
    return 2;
  } catch (const InputError &e) {
    std::fprintf(stderr, "tsforge: %s\n", e.what());
    return 1;
  } catch (const std::exception &e) {
    std::fprintf(stderr, "tsforge: %s\n", e.what());
    return 1;
  }
}
