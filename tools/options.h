// Command-line parsing of the tsforge program: one parser for every command, so that
// usage errors are found and reported before any data is read or any library call is
// made.
#ifndef TSFORGE_TOOLS_OPTIONS_H
#define TSFORGE_TOOLS_OPTIONS_H

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace tsforge_cli {

// Wrong command line: reported with exit status 2.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Bad input file or data: reported with exit status 1.
struct InputError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct OptionSpec {
  std::string name;   // without the leading dashes
  bool takes_value;
  bool repeatable;
};

// The parsed command line: the positional arguments and, per option, every value given
// (a flag holds one empty value per occurrence).
struct ParsedArgs {
  std::vector<std::string> positional;
  std::map<std::string, std::vector<std::string>> values;
  bool has(const std::string &name) const { return values.count(name) != 0; }
  const std::string &last(const std::string &name) const { return values.at(name).back(); }
};

ParsedArgs parse_args(const std::vector<std::string> &args, const std::vector<OptionSpec> &specs);

// The values of a repeatable option, each allowed once: a repeated one is a usage error.
std::vector<std::string> distinct_values(const ParsedArgs &args, const std::string &name);

int parse_int(const std::string &option, const std::string &text, int lo, int hi);
double parse_double(const std::string &option, const std::string &text, double lo, double hi);
char parse_delimiter(const std::string &text);

}  // namespace tsforge_cli

#endif  // TSFORGE_TOOLS_OPTIONS_H
