// End-to-end tests of the tsforge program: the built binary on the example files and on
// broken input, checking stdout, stderr, exit status and the charts it writes.
#include <gtest/gtest.h>
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
  CliRun run(const std::string &args) const {
    std::string cmd = std::string(TSFORGE_CLI) + " " + args + " >" + path("stdout") + " 2>" + path("stderr");
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

// The forecast column of the printed table.
std::vector<double> printed_forecasts(const std::string &out) {
  std::vector<double> fc;
  std::stringstream ss(out.substr(out.find("step")));
  std::string line;
  std::getline(ss, line);
  while (std::getline(ss, line)) {
    std::stringstream ls(line);
    int step;
    double f;
    if (ls >> step >> f) fc.push_back(f);
  }
  return fc;
}

}  // namespace

TEST_F(Cli, ForecastNileMatchesEntryPoint) {
  CliRun r = run("forecast " + example("nile.csv") + " --column flow --horizon 5 --plot " + path("nile.svg"));
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
    double f = std::stod((*it)[2]), mse = std::stod((*it)[3]);
    EXPECT_NEAR(std::stod((*it)[4]), f - 1.96 * std::sqrt(mse), 2e-6);
    EXPECT_NEAR(std::stod((*it)[5]), f + 1.96 * std::sqrt(mse), 2e-6);
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
       "tsforge: " + few + ": column 'value' has 2 values; the model needs at least 4\n"},
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
  };
  for (const Case &c : cases) {
    CliRun r = run(c.args + " --plot " + svg);
    EXPECT_EQ(r.status, c.status) << c.args;
    EXPECT_EQ(r.err, c.message) << c.args;
    EXPECT_EQ(r.out, "") << c.args;
    EXPECT_FALSE(exists(svg)) << c.args;
  }
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

TEST_F(Cli, SeasonalOptionsAreChecked) {
  const std::string ap = "forecast " + example("airpassengers.csv") + " --column passengers ";
  const std::string see = "\n(see tsforge --help)\n";
  std::string short_file = write("short.csv", "t,v\n1,1\n2,2\n3,3\n4,4\n5,5\n6,6\n7,7\n8,8\n9,9\n10,10\n");
  struct Case {
    std::string args;
    int status;
    std::string message;
  } cases[] = {
      {ap + "--order 0,1,1 --seasonal 0,1,1", 2, "tsforge: option '--seasonal' needs '--period' too" + see},
      {ap + "--order 0,1,1 --period 12", 2, "tsforge: option '--period' needs '--seasonal' too" + see},
      {ap + "--seasonal 0,1,1 --period 12", 2,
       "tsforge: option '--seasonal' needs '--order' too: the order search is not seasonal" + see},
      {ap + "--order 0,1,1 --seasonal 0,1 --period 12", 2,
       "tsforge: option '--seasonal' needs three integers P,D,Q, not '0,1'" + see},
      {ap + "--order 0,1,1 --seasonal 4,1,1 --period 12", 2,
       "tsforge: option '--seasonal' needs an integer from 0 to 3, not '4'" + see},
      {ap + "--order 0,1,1 --seasonal 0,1,1 --period 0", 2,
       "tsforge: option '--period' needs an integer from 1 to 366, not '0'" + see},
      {ap + "--order 0,1,1 --seasonal 2,1,1 --period 52", 2,
       "tsforge: the seasonal model is too large: p + S*P and q + S*Q must be at most 100" + see},
      {"forecast " + short_file + " --column v --order 0,1,1 --seasonal 0,1,1 --period 4", 1,
       "tsforge: " + short_file + ": column 'v' has 10 values; the model needs at least 11\n"},
  };
  for (const Case &c : cases) {
    CliRun r = run(c.args);
    EXPECT_EQ(r.status, c.status) << c.args;
    EXPECT_EQ(r.err, c.message) << c.args;
    EXPECT_EQ(r.out, "") << c.args;
  }
}
