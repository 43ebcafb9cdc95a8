#include "tools/options.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>

namespace tsforge_cli {

namespace {
const OptionSpec *find_spec(const std::vector<OptionSpec> &specs, const std::string &name) {
  for (const OptionSpec &s : specs)
    if (s.name == name) return &s;
  return nullptr;
}
}  // namespace

ParsedArgs parse_args(const std::vector<std::string> &args, const std::vector<OptionSpec> &specs) {
  ParsedArgs out;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string &a = args[i];
    if (a.size() < 3 || a.compare(0, 2, "--") != 0) {
      if (a.size() > 1 && a[0] == '-') throw UsageError("unknown option '" + a + "'");
      out.positional.push_back(a);
      continue;
    }
    std::string name = a.substr(2), value;
    bool inline_value = false;
    size_t eq = name.find('=');
    if (eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      inline_value = true;
    }
    const OptionSpec *known = find_spec(specs, name);
    if (!known) throw UsageError("unknown option '--" + name + "'");
    if (known->takes_value && !inline_value) {
      if (i + 1 >= args.size()) throw UsageError("option '--" + name + "' needs a value");
      value = args[++i];
    }
    if (!known->takes_value && inline_value) throw UsageError("option '--" + name + "' takes no value");
    if (!known->repeatable && out.has(name)) throw UsageError("option '--" + name + "' given twice");
    out.values[name].push_back(value);
  }
  return out;
}

std::vector<std::string> distinct_values(const ParsedArgs &args, const std::string &name) {
  const std::vector<std::string> &given = args.values.at(name);
  std::set<std::string> seen;
  for (const std::string &v : given)
    if (!seen.insert(v).second) throw UsageError("option '--" + name + "' names '" + v + "' twice");
  return given;
}

int parse_int(const std::string &option, const std::string &text, int lo, int hi) {
  errno = 0;
  char *end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno == ERANGE || v < lo || v > hi)
    throw UsageError("option '--" + option + "' needs an integer from " + std::to_string(lo) + " to " +
                     std::to_string(hi) + ", not '" + text + "'");
  return static_cast<int>(v);
}

double parse_double(const std::string &option, const std::string &text, double lo, double hi) {
  char *end = nullptr;
  double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(v) || v < lo || v > hi) {
    char range[96];
    std::snprintf(range, sizeof range, "a number from %g to %g", lo, hi);
    throw UsageError("option '--" + option + "' needs " + range + ", not '" + text + "'");
  }
  return v;
}

char parse_delimiter(const std::string &text) {
  if (text == "\\t" || text == "tab") return '\t';
  if (text.size() != 1 || text[0] == '\n' || text[0] == '\r')
    throw UsageError("option '--delimiter' needs one character (or 'tab'), not '" + text + "'");
  return text[0];
}

}  // namespace tsforge_cli
