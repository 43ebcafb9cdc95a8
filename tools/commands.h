#ifndef TSFORGE_TOOLS_COMMANDS_H
#define TSFORGE_TOOLS_COMMANDS_H

#include <string>
#include <vector>

namespace tsforge_cli {

// Each returns the process exit status: 0 success, 1 bad input, 2 usage error.
int forecast_command(const std::vector<std::string> &args);
int anomalies_command(const std::vector<std::string> &args);

extern const char *const kForecastHelp;
extern const char *const kAnomaliesHelp;

// Where several columns share one --plot path, each chart goes to PATH with the column
// name inserted before the extension (out.svg -> out-flow.svg).
std::string plot_path_for(const std::string &path, const std::string &column, bool several);
// Throws UsageError when two of several columns would write the same chart (names that
// differ only in characters a file name does not keep, such as 'a b' and 'a_b').
void check_plot_paths(const std::string &path, const std::vector<std::string> &columns);

}  // namespace tsforge_cli

#endif  // TSFORGE_TOOLS_COMMANDS_H
