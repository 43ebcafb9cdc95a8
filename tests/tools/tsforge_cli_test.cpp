// End-to-end tests of the tsforge program: the built binary on the example files and on
// broken input, checking stdout, stderr, exit status and the charts it writes.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "Forecast/ARIMA.h"
#include "Forecast/AutoARIMA.h"
#include "core/arima/arima.h"
#include "support/test_util.h"

namespace {

struct CliRun {
  int status;
  std::string out, err;
};

std::string read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool exists(const std::string &path) { return access(path.c_str(), F_OK) == 0; }

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tsforge-cli-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  std::string path(const std::string &name) const { return dir_ + "/" + name; }
  std::string write(const std::string &name, const std::string &text) const {
    std::ofstream(path(name), std::ios::binary) << text;
    return path(name);
  }
  // A run that outlives `seconds` is stopped (status 124), so a hang fails the test.
  CliRun run(const std::string &args, int seconds = 600) const {
    std::string cmd = "timeout " + std::to_string(seconds) + " " + std::string(TSFORGE_CLI) + " " + args + " >" +
                      path("stdout") + " 2>" + path("stderr");
    int raw = std::system(cmd.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read_file(path("stdout")), read_file(path("stderr"))};
  }
  std::string dir_;
};

std::string example(const std::string &name) { return tsf_test::DataPath(name); }

// A minimal well-formedness check: every element closed in order, attributes quoted.
bool well_formed_xml(const std::string &doc) {
  std::vector<std::string> open;
  size_t i = 0;
  while ((i = doc.find('<', i)) != std::string::npos) {
    size_t end = doc.find('>', i);
    if (end == std::string::npos) return false;
    std::string tag = doc.substr(i + 1, end - i - 1);
    i = end + 1;
    if (tag.empty()) return false;
    if (tag[0] == '?') continue;
    if (std::count(tag.begin(), tag.end(), '"') % 2) return false;
    if (tag[0] == '/') {
      if (open.empty() || open.back() != tag.substr(1)) return false;
      open.pop_back();
      continue;
    }
    std::string name = tag.substr(0, tag.find_first_of(" \t\n/"));
    if (tag.back() != '/') open.push_back(name);
  }
  return open.empty();
}

// Number of x,y pairs in the points attribute of the n-th polyline.
size_t polyline_points(const std::string &doc, int n) {
  size_t at = 0;
  for (int k = 0; k <= n; ++k) {
    at = doc.find("<polyline", at);
    if (at == std::string::npos) return 0;
    if (k < n) ++at;
  }
  size_t b = doc.find("points=\"", at) + 8, e = doc.find('"', b);
  std::stringstream ss(doc.substr(b, e - b));
  std::string pair;
  size_t count = 0;
  while (ss >> pair) ++count;
  return count;
}

size_t count_of(const std::string &doc, const std::string &what) {
  size_t n = 0;
  for (size_t at = doc.find(what); at != std::string::npos; at = doc.find(what, at + 1)) ++n;
  return n;
}

// Column k of the printed table (1 the forecast, 2 the mse, 3 and 4 the bounds).
std::vector<double> printed_column(const std::string &out, int k) {
  std::vector<double> fc;
  std::stringstream ss(out.substr(out.find("step")));
  std::string line;
  std::getline(ss, line);
  while (std::getline(ss, line)) {
    std::stringstream ls(line);
    double cell[5];
    int n = 0;
    while (n < 5 && ls >> cell[n]) ++n;
    if (n > k) fc.push_back(cell[k]);
  }
  return fc;
}
std::vector<double> printed_forecasts(const std::string &out) { return printed_column(out, 1); }

std::string series_csv(const std::vector<double> &v) {
  std::string csv = "v\n";
  char cell[40];
  for (double x : v) {
    std::snprintf(cell, sizeof cell, "%.17g\n", x);
    csv += cell;
  }
  return csv;
}

// Every number in the chart's attributes is finite: no "nan" or "inf" anywhere.
bool chart_is_finite(const std::string &svg) {
  return svg.find("nan") == std::string::npos && svg.find("inf") == std::string::npos;
}

// Peak resident set, in bytes, of the program run with args (stdout and stderr dropped).
long peak_rss_of(const std::vector<std::string> &args) {
  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1), dup2(null, 2);
    std::vector<char *> argv{const_cast<char *>(TSFORGE_CLI)};
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    execv(TSFORGE_CLI, argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? usage.ru_maxrss * 1024L : -1;
}

}  // namespace

TEST_F(Cli, ForecastGridMatchesEntryPoint) {
  CliRun r = run("forecast " + example("nile.csv") + " --column flow --grid --horizon 5 --plot " + path("nile.svg"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  std::vector<double> series = tsf_test::LoadSeries("nile.csv"), predictions;
  std::vector<int> order;
  CalculateOrderAndGetPredictions(series, predictions, 5, order);
  ASSERT_EQ(order.size(), 3u);
  char expected[128];
  std::snprintf(expected, sizeof expected, "Order: ARIMA(%d, %d, %d) (smallest AIC", order[0], order[1], order[2]);
  EXPECT_NE(r.out.find(expected), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("File: " + example("nile.csv") + ", column: flow, 100 values\n"), 0u);
  std::vector<double> fc = printed_forecasts(r.out);
  ASSERT_EQ(fc.size(), 5u);
  for (int h = 0; h < 5; ++h) EXPECT_NEAR(fc[h], predictions[h], 5e-7 * std::max(1.0, std::fabs(predictions[h])));

  std::string svg = read_file(path("nile.svg"));
  EXPECT_TRUE(well_formed_xml(svg));
  EXPECT_EQ(polyline_points(svg, 0), 100u);  // the series
  EXPECT_EQ(polyline_points(svg, 1), 5u);    // the forecasts
  EXPECT_EQ(count_of(svg, "<polygon"), 1u);  // the interval band
  EXPECT_NE(svg.find(">observation</text>"), std::string::npos);
}

TEST_F(Cli, ForecastFixedOrderTable) {
  CliRun r = run("forecast " + example("lakehuron.csv") + " --column level --order 1,0,1 --horizon 3");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Order: ARIMA(1, 0, 1) (given)\n"), std::string::npos);
  std::regex row(R"(\n    ([123]) +(-?[0-9.]+) +([0-9.]+) +(-?[0-9.]+) +(-?[0-9.]+))");
  int rows = 0;
  for (std::sregex_iterator it(r.out.begin(), r.out.end(), row), end; it != end; ++it, ++rows) {
    // The normal 97.5% point, scipy.stats.norm.ppf(0.975).
    double f = std::stod((*it)[2]), mse = std::stod((*it)[3]), z = 1.959963984540054;
    EXPECT_NEAR(std::stod((*it)[4]), f - z * std::sqrt(mse), 2e-6);
    EXPECT_NEAR(std::stod((*it)[5]), f + z * std::sqrt(mse), 2e-6);
  }
  EXPECT_EQ(rows, 3);
}

TEST_F(Cli, CarriageReturnLineEndingsReadAsPlainOnes) {
  std::string lf = "time,value\n", crlf = "time,value\r\n";
  std::vector<double> lh = tsf_test::LoadSeries("lh.csv");
  for (size_t i = 0; i < lh.size(); ++i) {
    std::string row = std::to_string(i + 1) + "," + std::to_string(lh[i]);
    lf += row + "\n";
    crlf += row + "\r\n";
  }
  std::string a = write("lf.csv", lf), b = write("crlf.csv", crlf);
  CliRun plain = run("forecast " + a + " --column value --order 1,0,0 --horizon 3");
  CliRun dos = run("forecast " + b + " --column value --order 1,0,0 --horizon 3");
  ASSERT_EQ(plain.status, 0) << plain.err;
  ASSERT_EQ(dos.status, 0) << dos.err;
  EXPECT_EQ(dos.out.substr(dos.out.find('\n')), plain.out.substr(plain.out.find('\n')));
  CliRun spikes = run("anomalies " + b + " --column value --time time --iqr");
  EXPECT_EQ(spikes.status, 0) << spikes.err;
}

TEST_F(Cli, SeveralColumnsOnThreadsPrintInOrder) {
  std::string csv = "t,a,b\n";
  std::vector<double> lh = tsf_test::LoadSeries("lh.csv");
  for (size_t i = 0; i < lh.size(); ++i)
    csv += std::to_string(i) + "," + std::to_string(lh[i]) + "," + std::to_string(2 * lh[i] + 1) + "\n";
  std::string file = write("two.csv", csv);
  CliRun serial = run("forecast " + file + " --column b --column a --order 1,0,0 --horizon 4");
  CliRun threaded = run("forecast " + file + " --column b --column a --order 1,0,0 --horizon 4 --jobs 2");
  ASSERT_EQ(serial.status, 0) << serial.err;
  EXPECT_EQ(serial.out, threaded.out);
  EXPECT_LT(serial.out.find("column: b"), serial.out.find("column: a"));
}

TEST_F(Cli, AnomaliesReportsSpikes) {
  std::string csv = "time,value\n";
  for (int i = 0; i < 40; ++i) csv += std::to_string(2000 + i) + "," + (i == 17 ? "500" : std::to_string(10 + i % 3)) + "\n";
  std::string file = write("spike.csv", csv);
  CliRun r = run("anomalies " + file + " --column value --time time --upper 0.9 --plot " + path("a.svg"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "File: " + file + ", column: value, 40 values, quantile fence\n" +
                       "     row             time            value\n" +
                       "      18             2017              500\n" + "1 anomaly\n");
  std::string svg = read_file(path("a.svg"));
  EXPECT_TRUE(well_formed_xml(svg));
  EXPECT_EQ(polyline_points(svg, 0), 40u);
  EXPECT_EQ(count_of(svg, "<circle"), 1u);

  CliRun iqr = run("anomalies " + file + " --column value --iqr");
  ASSERT_EQ(iqr.status, 0) << iqr.err;
  EXPECT_NE(iqr.out.find("      18               18              500\n1 anomaly\n"), std::string::npos) << iqr.out;
}

TEST_F(Cli, BadInputIsReportedAndWritesNothing) {
  std::string svg = path("never.svg");
  struct Case {
    std::string args;
    int status;
    std::string message;
  };
  std::string text = write("text.csv", "time,value\n1,3\n2,abc\n3,5\n");
  std::string na = write("na.csv", "time,value\n1,3\n2,\n3,5\n");
  std::string few = write("few.csv", "time,value\n1,3\n2,4\n");
  std::string empty = write("empty.csv", "");
  const std::string nile = "forecast " + example("nile.csv") + " --column flow ";
  const std::string ap = "forecast " + example("airpassengers.csv") + " --column passengers ";
  const std::string see = "\n(see tsforge --help)\n";
  std::string longcell = write("longcell.csv", "t,value\n1," + std::string(100000, 'x') + "\n");
  // "3\0" "4" used to read as 3.
  std::string nul = write("nul.csv", std::string("t,value\n1,2\n2,3\0" "4\n3,5\n", 21));
  std::string names = write("names.csv", "t,a b,a_b\n1,2,3\n2,3,4\n3,4,5\n");
  // ARIMA(3, 0, 3) on 8 values forecast with mse -35299; (20, 0, 20) on 41 values ran for
  // more than ten minutes.
  std::vector<double> v(41);
  for (size_t i = 0; i < v.size(); ++i) v[i] = 10 + std::sin(1.3 * i);
  std::string eight = write("eight.csv", series_csv(std::vector<double>(v.begin(), v.begin() + 8)));
  std::string many = write("many.csv", series_csv(v)), three = write("three.csv", "v\n1\n2\n4\n");
  std::string ten = write("ten.csv", "t,v\n1,1\n2,2\n3,3\n4,4\n5,5\n6,6\n7,7\n8,8\n9,9\n10,10\n");
  std::vector<Case> cases = {
      {"forecast " + path("missing.csv") + " --column flow", 1,
       "tsforge: " + path("missing.csv") + ": cannot open the file\n"},
      {"forecast " + example("nile.csv") + " --column nope", 1,
       "tsforge: " + example("nile.csv") + ": no column named 'nope'\n"},
      {"forecast " + text + " --column value", 1,
       "tsforge: " + text + ": column 'value', row 2 (line 3): cell 'abc' is not a number\n"},
      {"anomalies " + na + " --column value", 1,
       "tsforge: " + na + ": column 'value', row 2 (line 3): the cell is empty\n"},
      {"forecast " + few + " --column value --order 1,1,1", 1,
       "tsforge: " + few + ": column 'value' has 2 values; ARIMA(1, 1, 1) needs at least 6: more than twice its 2 "
       "coefficients after differencing\n"},
      {"forecast " + empty + " --column value", 1, "tsforge: " + empty + ": the file holds no data rows\n"},
      {"anomalies " + dir_ + " --column value", 1, "tsforge: " + dir_ + ": cannot read the file\n"},
      {"forecast " + example("nile.csv") + " --column flow --horizon 0", 2,
       "tsforge: option '--horizon' needs an integer from 1 to 10000, not '0'\n(see tsforge --help)\n"},
      {"forecast " + example("nile.csv") + " --column flow --order 1,-1,0", 2,
       "tsforge: option '--order' needs an integer from 0 to 3, not '-1'\n(see tsforge --help)\n"},
      {"forecast " + example("nile.csv") + " --column flow --method xyz", 2,
       "tsforge: option '--method' needs mle, css or bj, not 'xyz'\n(see tsforge --help)\n"},
      {"anomalies " + example("nile.csv") + " --column flow --upper 1.5", 2,
       "tsforge: option '--upper' needs a number from 0 to 1, not '1.5'\n(see tsforge --help)\n"},
      {"forecast --column flow", 2, "tsforge: forecast needs exactly one FILE\n(see tsforge --help)\n"},
      {"frobnicate x", 2, "tsforge: unknown command 'frobnicate'\n(see tsforge --help)\n"},
      {"forecast " + longcell + " --column value", 1,
       "tsforge: " + longcell + ": column 'value', row 1 (line 2): cell '" + std::string(40, 'x') +
           "...' (100000 bytes) is not a number\n"},
      {"anomalies " + nul + " --column value", 1,
       "tsforge: " + nul + ": column 'value', row 2 (line 3): the cell holds a NUL byte\n"},
      {nile + "--column flow", 2, "tsforge: option '--column' names 'flow' twice" + see},
      {"anomalies " + names + " --column 'a b' --column a_b", 2,
       "tsforge: columns 'a b' and 'a_b' would write the same chart '" + path("never-a_b.svg") + "'" + see},
      {"forecast " + eight + " --column v --order 3,0,3", 1,
       "tsforge: " + eight + ": column 'v' has 8 values; ARIMA(3, 0, 3) needs at least 15: more than twice its 7 "
       "coefficients after differencing\n"},
      {"forecast " + many + " --column v --order 20,0,20", 1,
       "tsforge: " + many + ": column 'v' has 41 values; ARIMA(20, 0, 20) needs at least 83: more than twice its "
       "41 coefficients after differencing\n"},
      {"forecast " + three + " --column v", 1,
       "tsforge: " + three + ": column 'v' has 3 values; the model needs at least 4\n"},
      {"forecast " + ten + " --column v --order 0,1,1 --seasonal 0,1,1 --period 4", 1,
       "tsforge: " + ten + ": column 'v' has 10 values; ARIMA(0, 1, 1)(0, 1, 1)[4] needs at least 11: more than its "
       "differences and expanded orders\n"},
      {ap + "--order 0,1,1 --seasonal 0,1,1", 2, "tsforge: option '--seasonal' needs '--period' too" + see},
      {ap + "--order 0,1,1 --period 12", 2, "tsforge: option '--period' needs '--seasonal' too" + see},
      {ap + "--seasonal 0,1,1 --period 12", 2,
       "tsforge: option '--seasonal' needs '--order' too: without it the model is chosen automatically" + see},
      {ap + "--order 0,1,1 --seasonal 0,1 --period 12", 2,
       "tsforge: option '--seasonal' needs three integers P,D,Q, not '0,1'" + see},
      {ap + "--order 0,1,1 --seasonal 4,1,1 --period 12", 2,
       "tsforge: option '--seasonal' needs an integer from 0 to 3, not '4'" + see},
      {ap + "--order 0,1,1 --seasonal 2,1,1 --period 52", 2,
       "tsforge: the seasonal model is too large: p + S*P and q + S*Q must be at most 100" + see},
      {nile + "--grid --order 1,0,0", 2, "tsforge: options '--grid' and '--order' exclude each other" + see},
      {nile + "--grid --time time", 2,
       "tsforge: option '--time' is for the automatic model: not with --grid or --order" + see},
      {nile + "--order 1,0,0 --full", 2,
       "tsforge: option '--full' is for the automatic model: not with --grid or --order" + see},
      {nile + "--level 100", 2, "tsforge: option '--level' needs a number above 0 and below 100, not '100'" + see},
      {nile + "--level abc", 2, "tsforge: option '--level' needs a number from 0 to 100, not 'abc'" + see},
      {nile + "--period 0", 2, "tsforge: option '--period' needs an integer from 1 to 366, not '0'" + see},
      {nile + "--method css", 2,
       "tsforge: the order searches compare likelihoods, which only --method mle provides: give --order too" + see},
      {nile + "--time when", 1, "tsforge: " + example("nile.csv") + ": no column named 'when'\n"},
  };
  for (const Case &c : cases) {
    CliRun r = run(c.args + " --plot " + svg, 60);
    EXPECT_EQ(r.status, c.status) << c.args;
    EXPECT_EQ(r.err, c.message) << c.args;
    EXPECT_EQ(r.out, "") << c.args;
    EXPECT_FALSE(exists(svg)) << c.args;
  }
  // The boundary: ARIMA(1, 1, 1) has 2 coefficients and needs 1 + 4 + 1 = 6 values.
  std::string six = write("six.csv", series_csv(std::vector<double>(v.begin(), v.begin() + 6)));
  EXPECT_EQ(run("forecast " + six + " --column v --order 1,1,1 --horizon 1").status, 0);
}

TEST_F(Cli, HelpAndVersion) {
  CliRun v = run("--version");
  EXPECT_EQ(v.status, 0);
  EXPECT_TRUE(std::regex_match(v.out, std::regex("tsforge [0-9]+\\.[0-9]+\\.[0-9]+\n")));
  CliRun f = run("forecast --help");
  EXPECT_EQ(f.status, 0);
  EXPECT_EQ(f.out.find("usage: tsforge forecast FILE --column NAME"), 0u);
  CliRun a = run("anomalies --help");
  EXPECT_EQ(a.out.find("usage: tsforge anomalies FILE --column NAME"), 0u);
  CliRun none = run("");
  EXPECT_EQ(none.status, 2);
}


TEST_F(Cli, ChartAxesAdvanceWhereValuesDifferByRounding) {
  // Values or times closer than their rounding stalled the tick walk (a hang growing
  // without bound); a constant 1e20 or values near the largest double made NaN
  // coordinates.
  std::string near = write("near.csv", "t,v\n1,0.3\n2,0.30000000000000004\n3,0.3\n");
  std::string times = write("times.csv", "t,v\n1e16,1\n10000000000000002,2\n");
  std::string large = write("large.csv", series_csv(std::vector<double>(6, 1e20)));
  std::string extreme = write("extreme.csv", series_csv({1.7e308, -1.7e308, 1.7e308, 1e308}));
  std::vector<double> flat(20, 0.3);
  for (size_t i = 1; i < flat.size(); i += 2) flat[i] = std::nextafter(0.3, 1.0);
  std::string level = write("level.csv", series_csv(flat));
  const std::vector<std::string> runs = {
      "anomalies " + near + " --column v", "anomalies " + times + " --column v --time t",
      "anomalies " + large + " --column v", "anomalies " + extreme + " --column v",
      "forecast " + level + " --column v --order 0,0,0 --horizon 3"};
  for (const std::string &args : runs) {
    std::string svg = path("chart.svg");
    CliRun r = run(args + " --plot " + svg, 60);
    ASSERT_EQ(r.status, 0) << args << "\n" << r.err;
    std::string doc = read_file(svg);
    EXPECT_TRUE(well_formed_xml(doc)) << args;
    EXPECT_TRUE(chart_is_finite(doc)) << args;
    EXPECT_LT(doc.size(), 8000u) << args;  // a few series points, at most ~20 ticks
    EXPECT_LE(count_of(doc, "<text"), 40u) << args;
  }
}

TEST_F(Cli, NamedPipeIsOpenedOnce) {
  // The file used to be opened to check it and again to load it: the first open could
  // take the data out of the pipe and the second wait for a writer that had gone (a
  // race, so the opens for reading are counted too).
  std::string fifo = path("pipe");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  int watch = inotify_init1(IN_NONBLOCK);
  ASSERT_GE(watch, 0);
  // Opens are watched too: they keep the queue from merging two identical closes.
  ASSERT_GE(inotify_add_watch(watch, fifo.c_str(), IN_OPEN | IN_CLOSE_NOWRITE), 0);
  std::string source = write("spike.csv", "t,v\n1,10\n2,11\n3,10\n4,500\n5,11\n6,10\n7,11\n8,10\n");
  ASSERT_EQ(std::system(("cat '" + source + "' > '" + fifo + "' &").c_str()), 0);
  CliRun r = run("anomalies " + fifo + " --column v --iqr", 30);
  int reads = 0;
  alignas(inotify_event) char events[4096];
  for (ssize_t n; (n = read(watch, events, sizeof events)) > 0;)
    for (char *e = events; e < events + n; e += sizeof(inotify_event) + reinterpret_cast<inotify_event *>(e)->len)
      reads += (reinterpret_cast<inotify_event *>(e)->mask & IN_CLOSE_NOWRITE) != 0;
  close(watch);
  // Release the writer if the program never opened the pipe.
  int fd = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  if (fd >= 0) close(fd);
  EXPECT_EQ(reads, 1);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "File: " + fifo + ", column: v, 8 values, interquartile test\n" +
                       "     row             time            value\n" +
                       "       4                4              500\n1 anomaly\n");
}

TEST_F(Cli, LongSingleLineStaysWithinASmallMultipleOfTheFileSize) {
  // One line of 2 million one-digit cells: the rows used to be copied while they were
  // counted, each cell a string, about 32 times the file. The line itself is all the
  // program needs to hold.
  std::string line;
  line.reserve(4u << 20);
  while (line.size() < (4u << 20)) line += "1,";
  line += "1\n";
  std::string big = write("wide.csv", line), small = write("narrow.csv", "1,1\n");
  long base = peak_rss_of({"anomalies", small, "--no-header", "--column", "1", "--iqr"});
  long peak = peak_rss_of({"anomalies", big, "--no-header", "--column", "1", "--iqr"});
  ASSERT_GT(base, 0);
  ASSERT_GT(peak, 0);
  EXPECT_LT(peak - base, 8 * static_cast<long>(line.size())) << "peak " << peak << ", base " << base;
}

TEST_F(Cli, ByteOrderMarkDoesNotHideTheFirstColumn) {
  std::string body = "t,v\n1,10\n2,11\n3,500\n4,10\n5,11\n6,10\n";
  std::string plain = write("plain.csv", body), marked = write("bom.csv", "\xEF\xBB\xBF" + body);
  CliRun a = run("anomalies " + plain + " --column v --time t --iqr"),
         b = run("anomalies " + marked + " --column v --time t --iqr");
  ASSERT_EQ(b.status, 0) << b.err;
  EXPECT_EQ(b.out.substr(b.out.find('\n')), a.out.substr(a.out.find('\n')));
  // Without a header line the mark would sit in the first cell.
  std::string numbers = write("bom-numbers.csv", "\xEF\xBB\xBF" "10\n11\n500\n10\n11\n10\n");
  EXPECT_EQ(run("anomalies " + numbers + " --no-header --column 1 --iqr").status, 0);
}

TEST_F(Cli, SearchWithNoAicBelowTheBoundFitsNothing) {
  // Near 1e300 every likelihood overflows: the search keeps no candidate, and the order
  // (0, 0, 0) it reports was never chosen. The automatic model fits the standardised
  // series, but the variances of values near 1e300 are beyond the largest double.
  std::vector<double> v;
  for (int t = 0; t < 30; ++t) v.push_back(1e300 * (1 + 0.1 * std::sin(1.3 * t)));
  std::string file = write("huge.csv", series_csv(v));
  const std::pair<std::string, std::string> modes[] = {
      {" --grid", "no order of the search has an AIC below 999999"},
      {"", "no candidate of the search is eligible (a converged, stationary and invertible fit with finite "
           "forecast variances)"}};
  for (const auto &m : modes) {
    CliRun r = run("forecast " + file + " --column v --horizon 3" + m.first);
    EXPECT_EQ(r.status, 1) << m.first;
    EXPECT_EQ(r.out, "File: " + file + ", column: v, 30 values\n") << m.first;
    EXPECT_EQ(r.err, "tsforge: " + file + ": column 'v': no model could be fitted: " + m.second + "\n");
  }
}

TEST_F(Cli, NonStationaryFitPrintsNoIntervalAndSaysSo) {
  // An explosive series: the fitted AR coefficient is above 1 and the forecast variances
  // came out negative, printed as -nan bounds.
  std::vector<double> v{1.0};
  for (int t = 1; t < 40; ++t) v.push_back(1.1 * v.back() + std::sin(1.7 * t));
  std::string file = write("explosive.csv", series_csv(v));
  CliRun r = run("forecast " + file + " --column v --order 1,0,0 --horizon 3 --plot " + path("e.svg"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "tsforge: warning: " + file + ": column 'v': the fitted model is not stationary: no interval\n");
  EXPECT_EQ(r.out.find("nan"), std::string::npos);
  EXPECT_EQ(printed_forecasts(r.out).size(), 3u) << r.out;
  EXPECT_EQ(count_of(r.out, " n/a"), 9u) << r.out;  // mse, lower and upper of each step
  std::string svg = read_file(path("e.svg"));
  EXPECT_EQ(count_of(svg, "<polygon"), 0u);
  EXPECT_TRUE(chart_is_finite(svg));
}

TEST_F(Cli, ForecastTableKeepsSignificantDigitsAtAnyScale) {
  // Six decimals printed every forecast of a series near 5e-8 as 0.000000 and one near
  // 1e300 as a 300-digit number.
  for (double scale : {5e-8, 1.0, 1e300}) {
    std::vector<double> v;
    for (int t = 0; t < 40; ++t) v.push_back(scale * (1 + 0.1 * std::sin(1.3 * t) + 0.05 * std::cos(0.4 * t)));
    std::string file = write("scaled.csv", series_csv(v));
    CliRun r = run("forecast " + file + " --column v --order 1,0,0 --horizon 3");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<double> predictions;
    std::vector<int> order{1, 0, 0};
    CalculateOrderAndGetPredictions(v, predictions, 3, order);
    std::vector<double> fc = printed_forecasts(r.out);
    ASSERT_EQ(fc.size(), 3u) << r.out;
    for (int h = 0; h < 3; ++h) EXPECT_NEAR(fc[h] / predictions[h], 1.0, 1e-9) << scale;
    std::stringstream lines(r.out.substr(r.out.find("step")));
    for (std::string line; std::getline(lines, line);) EXPECT_LT(line.size(), 90u) << line;
  }
}

// The seasonal fit prints the seasonal summary and the forecasts of sarima_predict, and
// charts them; on the raw series these are R's too, to the few parts in 1e7 by which R's
// fit of the undifferenced series differs (arima(AirPassengers, c(0, 1, 1), seasonal =
// c(0, 1, 1)) with predict()).
TEST_F(Cli, SeasonalForecastAirPassengers) {
  CliRun r = run("forecast " + example("airpassengers.csv") +
                 " --column passengers --order 0,1,1 --seasonal 0,1,1 --period 12 --horizon 3 --plot " + path("ap.svg"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find("Order: ARIMA(0, 1, 1)(0, 1, 1)[12] (given)\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\n  ARIMA Seasonal Order : ( 0, 1, 1) * (0, 1, 1) \n"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("EQUATION FORM"), std::string::npos);
  std::vector<double> x = tsf_test::LoadSeries("airpassengers.csv"), f(3), mse(3);
  sarima_object *obj = sarima_init(0, 1, 1, 12, 0, 1, 1, static_cast<int>(x.size()));
  sarima_exec(obj, x.data());
  sarima_predict(obj, x.data(), 3, f.data(), mse.data());
  sarima_free(obj);
  std::vector<double> printed = printed_forecasts(r.out);
  ASSERT_EQ(printed.size(), 3u);
  const double r_pred[3] = {447.053211074, 421.877427958, 453.526202194};
  for (int h = 0; h < 3; ++h) {
    EXPECT_NEAR(printed[h], f[h], 5e-7 * f[h]);
    EXPECT_NEAR(printed[h], r_pred[h], 1e-6 * r_pred[h]);
  }
  std::string svg = read_file(path("ap.svg"));
  EXPECT_TRUE(well_formed_xml(svg));
  EXPECT_EQ(polyline_points(svg, 0), 144u);
  EXPECT_EQ(polyline_points(svg, 1), 3u);
  EXPECT_NE(svg.find("ARIMA(0, 1, 1)(0, 1, 1)[12] forecast"), std::string::npos);
}

// A straight line is constant after one difference: ARIMA(0,1,0) with drift, exact
// forecasts and zero variances, found without a fit; its report is exact to the digit.
TEST_F(Cli, AutomaticModelReportLayout) {
  std::string csv = "t,v\n";
  for (int i = 1; i <= 30; ++i) csv += std::to_string(i) + "," + std::to_string(3 * i + 1) + "\n";
  std::string file = write("line.csv", csv);
  CliRun r = run("forecast " + file + " --column v --horizon 2");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "File: " + file + ", column: v, 30 values\n"
            "Model: ARIMA(0,1,0) with drift\n"
            "Chosen by: no fit, the series is constant after its differences; d = 1 by KPSS; period 1 (no "
            "--period or --time given)\n"
            "\n"
            "Coefficient               Estimate    Standard error\n"
            "drift                            3               n/a\n"
            "\n"
            "sigma^2                          0\n"
            "log-likelihood                 n/a\n"
            "AIC                            n/a\n"
            "AICc                           n/a\n"
            "BIC                            n/a\n"
            "\n"
            "Forecasts (95% interval: forecast +/- 2.052 * sqrt(mse), Student t with 27 degrees of freedom)\n"
            " step          forecast               mse             lower             upper\n"
            "    1                94                 0                94                94\n"
            "    2                97                 0                97                97\n");
}

// Four years of monthly data with their decimal-year times: the period is read from the
// time column, and model, forecasts and bounds are those of TsAutoARIMA.
TEST_F(Cli, AutomaticModelIsTheLibrarys) {
  const std::vector<double> all = tsf_test::LoadSeries("airpassengers.csv");
  const std::vector<double> x(all.begin(), all.begin() + 48);
  std::string csv = "time,passengers\n";
  std::vector<double> time;
  for (int i = 0; i < 48; ++i) {
    time.push_back(1949.0 + i / 12.0);
    char row[64];
    std::snprintf(row, sizeof row, "%.10g,%g\n", time.back(), x[i]);
    csv += row;
  }
  std::string file = write("ap48.csv", csv);
  CliRun r = run("forecast " + file + " --column passengers --time time --horizon 4 --level 80 --plot " +
                 path("ap.svg"));
  ASSERT_EQ(r.status, 0) << r.err;
  TsAutoARIMA model(TsAutoARIMA::InferPeriod(time));
  ASSERT_EQ(model.GetPeriod(), 12);
  model.SetLevel(80.0);
  std::vector<double> out;
  ASSERT_TRUE(model.Fit(x));
  ASSERT_TRUE(model.Predict(4, out));
  EXPECT_NE(r.out.find("\nModel: " + model.GetModel().Name() + "\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("; period 12 (from the time column)\n"), std::string::npos) << r.out;
  const std::vector<double> fc = printed_column(r.out, 1), lower = printed_column(r.out, 3),
                            upper = printed_column(r.out, 4);
  ASSERT_TRUE(fc.size() == 4u && lower.size() == 4u && upper.size() == 4u) << r.out;
  for (int h = 0; h < 4; ++h) {
    EXPECT_NEAR(fc[h], out[h], 1e-9 * std::fabs(out[h]));
    EXPECT_NEAR(lower[h], model.GetLower()[h], 1e-9 * std::fabs(out[h]));
    EXPECT_NEAR(upper[h], model.GetUpper()[h], 1e-9 * std::fabs(out[h]));
  }
  EXPECT_NE(read_file(path("ap.svg")).find("80% interval"), std::string::npos);
}
