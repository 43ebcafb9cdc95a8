#include "tools/svg_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>

#include "tools/options.h"

namespace tsforge_cli {

namespace {
const double kWidth = 900, kHeight = 460;
const double kLeft = 80, kRight = 170, kTop = 40, kBottom = 60;

const double kLargest = std::numeric_limits<double>::max();

// v + by, kept finite.
double moved(double v, double by) { return std::max(-kLargest, std::min(kLargest, v + by)); }

// Half the width of [lo, hi]: finite for any two finite ends, where hi - lo may overflow.
double half_width(double lo, double hi) { return hi / 2 - lo / 2; }

struct Range {
  double lo = INFINITY, hi = -INFINITY;
  void add(const std::vector<double> &v) {
    for (double d : v) {
      if (!std::isfinite(d)) continue;
      lo = std::min(lo, d);
      hi = std::max(hi, d);
    }
  }
  // A range the axis can be drawn over. A constant series is shown in a band around
  // its value; values that differ by less than a billionth of their magnitude (a few
  // roundings) are spread to that width, where ticks are still distinct numbers.
  void settle() {
    if (!(lo <= hi)) lo = 0, hi = 1;
    const double magnitude = std::max(std::fabs(lo), std::fabs(hi));
    const double least = lo == hi ? std::max(1.0, magnitude / 10) : std::max(magnitude * 1e-9, 1e-300);
    if (half_width(lo, hi) < least / 2) {
      const double mid = lo / 2 + hi / 2;
      lo = moved(mid, -least / 2);
      hi = moved(mid, least / 2);
    }
  }
  void pad(double fraction) {
    const double by = half_width(lo, hi) * 2 * fraction;
    lo = moved(lo, -by);
    hi = moved(hi, by);
  }
};

std::string escaped(const std::string &s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", v);
  return buf;
}

// Enough significant digits to tell ticks `step` apart (at least the usual six).
std::string tick_label(double v, double step) {
  if (std::fabs(v) < step * 1e-6) v = 0.0;
  int digits = 6;
  if (v != 0.0) {
    const double spread = std::floor(std::log10(std::fabs(v))) - std::floor(std::log10(step));
    digits = std::max(6, static_cast<int>(spread) + 2);
  }
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.*g", std::min(digits, 17), v);
  return buf;
}

struct Ticks {
  std::vector<double> at;
  double step = 1;
};

// Tick positions at 1, 2 or 5 times a power of ten, about `count` of them. Each is
// formed from its index, so rounding cannot stall the walk along the axis.
Ticks nice_ticks(double lo, double hi, int count) {
  Ticks t;
  const double raw = half_width(lo, hi) * 2 / count;
  const double mag = std::pow(10.0, std::floor(std::log10(raw)));
  t.step = mag;
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (m * mag >= raw) {
      t.step = m * mag;
      break;
    }
  const double first = std::ceil(lo / t.step);
  for (int k = 0; k <= 2 * count + 2; ++k) {
    const double v = (first + k) * t.step;
    if (!(v <= hi + t.step * 1e-9)) break;
    if (std::isfinite(v)) t.at.push_back(v);
  }
  return t;
}

class Frame {
 public:
  Frame(Range x, Range y) : x_(x), y_(y) {}
  // Halved operands keep every difference finite near the largest doubles.
  double px(double v) const {
    return kLeft + half_width(x_.lo, v) / half_width(x_.lo, x_.hi) * (kWidth - kLeft - kRight);
  }
  double py(double v) const {
    return kTop + half_width(v, y_.hi) / half_width(y_.lo, y_.hi) * (kHeight - kTop - kBottom);
  }
  const Range &x() const { return x_; }
  const Range &y() const { return y_; }

 private:
  Range x_, y_;
};

void draw_axes(std::ostringstream &out, const Chart &c, const Frame &f) {
  double x0 = kLeft, x1 = kWidth - kRight, y0 = kTop, y1 = kHeight - kBottom;
  out << "<rect x=\"" << x0 << "\" y=\"" << y0 << "\" width=\"" << x1 - x0 << "\" height=\"" << y1 - y0
      << "\" fill=\"none\" stroke=\"#444\"/>\n";
  Ticks xt = nice_ticks(f.x().lo, f.x().hi, 8), yt = nice_ticks(f.y().lo, f.y().hi, 6);
  for (double t : xt.at) {
    double p = f.px(t);
    out << "<line x1=\"" << num(p) << "\" y1=\"" << y1 << "\" x2=\"" << num(p) << "\" y2=\"" << y1 + 5
        << "\" stroke=\"#444\"/><text x=\"" << num(p) << "\" y=\"" << y1 + 20
        << "\" text-anchor=\"middle\" font-size=\"12\">" << tick_label(t, xt.step) << "</text>\n";
  }
  for (double t : yt.at) {
    double p = f.py(t);
    out << "<line x1=\"" << x0 - 5 << "\" y1=\"" << num(p) << "\" x2=\"" << x1 << "\" y2=\"" << num(p)
        << "\" stroke=\"#ddd\"/><text x=\"" << x0 - 8 << "\" y=\"" << num(p + 4)
        << "\" text-anchor=\"end\" font-size=\"12\">" << tick_label(t, yt.step) << "</text>\n";
  }
  out << "<text x=\"" << (x0 + x1) / 2 << "\" y=\"" << kHeight - 15
      << "\" text-anchor=\"middle\" font-size=\"14\">" << escaped(c.x_label) << "</text>\n";
  out << "<text x=\"18\" y=\"" << (y0 + y1) / 2 << "\" text-anchor=\"middle\" font-size=\"14\" "
      << "transform=\"rotate(-90 18 " << (y0 + y1) / 2 << ")\">" << escaped(c.y_label) << "</text>\n";
  out << "<text x=\"" << (x0 + x1) / 2 << "\" y=\"24\" text-anchor=\"middle\" font-size=\"16\">"
      << escaped(c.title) << "</text>\n";
}

// A point with a non-finite coordinate (a forecast that overflowed) is left out.
bool drawable(double x, double y) { return std::isfinite(x) && std::isfinite(y); }

void draw_legend(std::ostringstream &out, const std::vector<std::pair<std::string, std::string>> &items) {
  double x = kWidth - kRight + 15, y = kTop + 10;
  for (const auto &it : items) {
    out << "<rect x=\"" << x << "\" y=\"" << y - 9 << "\" width=\"14\" height=\"10\" fill=\"" << it.second
        << "\"/><text x=\"" << x + 20 << "\" y=\"" << y << "\" font-size=\"12\">" << escaped(it.first)
        << "</text>\n";
    y += 20;
  }
}
}  // namespace

std::string render_svg(const Chart &c) {
  Range xr, yr;
  for (const auto &l : c.lines) xr.add(l.x), yr.add(l.y);
  for (const auto &b : c.bands) xr.add(b.x), yr.add(b.lower), yr.add(b.upper);
  for (const auto &m : c.markers) xr.add(m.x), yr.add(m.y);
  xr.settle();
  yr.settle();
  yr.pad(0.04);  // keep lines off the frame
  Frame f(xr, yr);
  std::vector<std::pair<std::string, std::string>> legend;

  std::ostringstream out;
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth << "\" height=\"" << kHeight
      << "\" viewBox=\"0 0 " << kWidth << " " << kHeight << "\" font-family=\"sans-serif\">\n"
      << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  draw_axes(out, c, f);
  for (const auto &b : c.bands) {
    out << "<polygon class=\"band\" fill=\"" << b.colour << "\" fill-opacity=\"0.25\" stroke=\"none\" points=\"";
    auto shown = [&](size_t i) { return drawable(b.x[i], b.lower[i]) && drawable(b.x[i], b.upper[i]); };
    for (size_t i = 0; i < b.x.size(); ++i)
      if (shown(i)) out << num(f.px(b.x[i])) << "," << num(f.py(b.upper[i])) << " ";
    for (size_t i = b.x.size(); i-- > 0;)
      if (shown(i)) out << num(f.px(b.x[i])) << "," << num(f.py(b.lower[i])) << " ";
    out << "\"/>\n";
    legend.emplace_back(b.label, b.colour);
  }
  for (const auto &l : c.lines) {
    out << "<polyline class=\"series\" fill=\"none\" stroke=\"" << l.colour << "\" stroke-width=\"1.5\" points=\"";
    const char *gap = "";
    for (size_t i = 0; i < l.x.size(); ++i) {
      if (!drawable(l.x[i], l.y[i])) continue;
      out << gap << num(f.px(l.x[i])) << "," << num(f.py(l.y[i]));
      gap = " ";
    }
    out << "\"/>\n";
    legend.emplace_back(l.label, l.colour);
  }
  for (const auto &m : c.markers) {
    for (size_t i = 0; i < m.x.size(); ++i)
      if (drawable(m.x[i], m.y[i]))
        out << "<circle class=\"marker\" cx=\"" << num(f.px(m.x[i])) << "\" cy=\"" << num(f.py(m.y[i]))
            << "\" r=\"4\" fill=\"none\" stroke=\"" << m.colour << "\" stroke-width=\"2\"/>\n";
    legend.emplace_back(m.label, m.colour);
  }
  draw_legend(out, legend);
  out << "</svg>\n";
  return out.str();
}

void write_file(const std::string &path, const std::string &text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out || !(out << text) || !(out.flush()))
    throw InputError(path + ": cannot write the file");
}

}  // namespace tsforge_cli
