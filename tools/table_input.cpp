#include "tools/table_input.h"

#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "tools/options.h"

namespace tsforge_cli {

namespace {

const char kByteOrderMark[] = "\xEF\xBB\xBF";
// Longest cell quoted whole in a message; a longer one shows its start and length.
const std::size_t kShownCell = 40;

// The lines of a file opened once, each held whole (a cell may be as long as the file)
// and nothing more.
class LineSource {
 public:
  explicit LineSource(const std::string &path) : file_(std::fopen(path.c_str(), "rb")) {}
  ~LineSource() {
    std::free(buffer_);
    if (file_) std::fclose(file_);
  }
  LineSource(const LineSource &) = delete;
  LineSource &operator=(const LineSource &) = delete;

  bool opened() const { return file_ != nullptr; }
  // The next line without its newline; false at the end or when reading failed.
  bool next(const char *&line, std::size_t &length) {
    ssize_t n = getline(&buffer_, &capacity_, file_);
    if (n < 0) {
      failed_ = !std::feof(file_);  // a directory opens but cannot be read
      return false;
    }
    length = static_cast<std::size_t>(n);
    if (length > 0 && buffer_[length - 1] == '\n') --length;
    line = buffer_;
    return true;
  }
  bool failed() const { return failed_; }

 private:
  std::FILE *file_;
  char *buffer_ = nullptr;
  std::size_t capacity_ = 0;
  bool failed_ = false;
};

// Calls field(index, begin, length) for the fields of a line as the CSV loader splits
// them: between delimiters, none after a final delimiter, none on an empty line. Stops
// after field `last`.
template <class Field>
void for_each_field(const char *line, std::size_t length, char delimiter, std::size_t last, Field &&field) {
  const char *end = line + length;
  std::size_t index = 0;
  for (const char *start = line; start < end && index <= last; ++index) {
    const char *stop = static_cast<const char *>(std::memchr(start, delimiter, static_cast<std::size_t>(end - start)));
    if (!stop) stop = end;
    field(index, start, static_cast<std::size_t>(stop - start));
    start = stop + 1;
  }
}

// Line endings of files written on other systems leave a carriage return in the last
// field; blanks around a number are tolerated too.
std::string trimmed(const char *cell, std::size_t n) {
  std::size_t b = 0, e = n;
  while (b < e && (cell[b] == ' ' || cell[b] == '\t')) ++b;
  while (e > b && (cell[e - 1] == ' ' || cell[e - 1] == '\t' || cell[e - 1] == '\r')) --e;
  return std::string(cell + b, e - b);
}

bool to_number(const std::string &text, double &value) {
  if (text.empty()) return false;
  errno = 0;
  char *end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return *end == '\0' && errno != ERANGE && std::isfinite(value);
}

// A cell quoted in a message: control bytes escaped, and a long cell cut to its start
// (at a character boundary) with its length, so that one cell cannot flood the terminal.
std::string quoted(const std::string &cell) {
  std::size_t cut = cell.size();
  if (cut > kShownCell) {
    cut = kShownCell;
    while (cut > 0 && (static_cast<unsigned char>(cell[cut]) & 0xC0) == 0x80) --cut;
  }
  std::string out = "'";
  for (std::size_t i = 0; i < cut; ++i) {
    unsigned char c = static_cast<unsigned char>(cell[i]);
    if (c < 0x20 || c == 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += cell[i];
    }
  }
  out += cut < cell.size() ? "...' (" + std::to_string(cell.size()) + " bytes)" : "'";
  return out;
}

bool field_is(const char *field, std::size_t n, const std::string &text) {
  return n == text.size() && std::memcmp(field, text.data(), n) == 0;
}

const std::size_t kNoPosition = static_cast<std::size_t>(-1);

// Position of a name in the header line, kNoPosition when it is not there. A repeated
// name keeps its last position, as in the CSV loader. The last name of a file with
// carriage-return line endings ends in '\r'.
std::size_t header_position(char delimiter, const char *line, std::size_t length, const std::string &name) {
  std::size_t exact = kNoPosition, with_return = kNoPosition;
  for_each_field(line, length, delimiter, kNoPosition - 1, [&](std::size_t k, const char *field, std::size_t n) {
    if (field_is(field, n, name))
      exact = k;
    else if (n == name.size() + 1 && field[name.size()] == '\r' && field_is(field, name.size(), name))
      with_return = k;
  });
  return exact != kNoPosition ? exact : with_return;
}

std::size_t numbered_position(const TableSource &source, const std::string &name) {
  char *end = nullptr;
  long k = std::strtol(name.c_str(), &end, 10);
  if (name.empty() || *end != '\0' || k < 1)
    throw InputError(source.path + ": without a header line, columns are numbered from 1; '" + name +
                     "' is not a column number");
  return static_cast<std::size_t>(k - 1);
}

// A column being read: where it is in a row, its numbers so far and the first fault met
// in it.
struct Column {
  std::string name;
  std::size_t position = kNoPosition;
  std::vector<double> values;
  std::string fault;
};

// One pass over the file, line by line, keeping the numbers of the columns asked for.
class ColumnReader {
 public:
  ColumnReader(const TableSource &source, const std::vector<std::string> &names)
      : source_(source), in_(source.path), columns_(names.size()) {
    for (std::size_t i = 0; i < names.size(); ++i) columns_[i].name = names[i];
  }

  // Reads the whole file; throws the fault of the first column (in the order named)
  // that has one.
  void run() {
    if (!in_.opened()) throw InputError(source_.path + ": cannot open the file");
    if (source_.header) {
      if (!next_line()) throw InputError(source_.path + ": the file holds no data rows");
      skip_byte_order_mark();
      for (Column &c : columns_) c.position = header_position(source_.delimiter, line_, length_, c.name);
    }
    if (!next_line()) throw InputError(source_.path + ": the file holds no data rows");
    if (!source_.header) skip_byte_order_mark();
    locate_columns();
    // Once the first column named has a fault, nothing read later is reported.
    do {
      read_row();
      ++rows_;
    } while ((columns_.empty() || columns_.front().fault.empty()) && next_line());
    for (const Column &c : columns_)
      if (!c.fault.empty()) throw InputError(c.fault);
  }

  std::vector<Column> &columns() { return columns_; }
  std::size_t rows() const { return rows_; }

 private:
  bool next_line() {
    if (in_.next(line_, length_)) return true;
    if (in_.failed()) throw InputError(source_.path + ": cannot read the file");
    return false;
  }

  void skip_byte_order_mark() {
    if (length_ >= 3 && std::memcmp(line_, kByteOrderMark, 3) == 0) line_ += 3, length_ -= 3;
  }

  void locate_columns() {
    for (std::size_t i = 0; i < columns_.size(); ++i) {
      Column &c = columns_[i];
      if (!source_.header) c.position = numbered_position(source_, c.name);
      if (c.position == kNoPosition) throw InputError(source_.path + ": no column named '" + c.name + "'");
      by_position_.emplace_back(c.position, i);
    }
    std::sort(by_position_.begin(), by_position_.end());
  }

  void read_row() {
    if (by_position_.empty()) return;
    std::size_t next = 0;  // into by_position_
    for_each_field(line_, length_, source_.delimiter, by_position_.back().first,
                   [&](std::size_t k, const char *cell, std::size_t n) {
                     for (; next < by_position_.size() && by_position_[next].first == k; ++next)
                       take(columns_[by_position_[next].second], cell, n);
                   });
    // Cells past the end of the row: the CSV loader pads a row to its header with "NA".
    for (; next < by_position_.size(); ++next) {
      Column &c = columns_[by_position_[next].second];
      if (c.fault.empty()) fault(c, source_.header ? "the cell is empty" : "the row has no such column");
    }
  }

  void take(Column &c, const char *cell, std::size_t n) {
    if (!c.fault.empty()) return;
    if (std::memchr(cell, '\0', n)) return fault(c, "the cell holds a NUL byte");
    std::string text = trimmed(cell, n);
    if (text.empty() || text == "NA") return fault(c, "the cell is empty");
    double v = 0;
    if (!to_number(text, v)) return fault(c, "cell " + quoted(text) + " is not a number");
    c.values.push_back(v);
  }

  void fault(Column &c, const std::string &what) const {
    const std::size_t first_line = source_.header ? 2 : 1;
    c.fault = source_.path + ": column '" + c.name + "', row " + std::to_string(rows_ + 1) + " (line " +
              std::to_string(rows_ + first_line) + "): " + what;
  }

  const TableSource &source_;
  LineSource in_;
  const char *line_ = nullptr;
  std::size_t length_ = 0;
  std::vector<Column> columns_;
  std::vector<std::pair<std::size_t, std::size_t>> by_position_;  // (position, column)
  std::size_t rows_ = 0;
};

}  // namespace

Table::Table(const TableSource &source, const std::vector<std::string> &columns) : source_(source) {
  for (const std::string &c : columns)
    if (std::find(names_.begin(), names_.end(), c) == names_.end()) names_.push_back(c);
  ColumnReader reader(source_, names_);
  reader.run();
  for (Column &c : reader.columns()) values_.push_back(std::move(c.values));
  rows_ = reader.rows();
}

const std::vector<double> &Table::numeric_column(const std::string &column) const {
  for (std::size_t i = 0; i < names_.size(); ++i)
    if (names_[i] == column) return values_[i];
  throw InputError(source_.path + ": no column named '" + column + "'");
}

}  // namespace tsforge_cli
