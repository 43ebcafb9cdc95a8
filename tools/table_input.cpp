#include "tools/table_input.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>

#include "tools/options.h"

namespace tsforge_cli {

namespace {
// Line endings of files written on other systems leave a carriage return in the last
// field; blanks around a number are tolerated too.
std::string trimmed(const std::string &cell) {
  size_t b = 0, e = cell.size();
  while (b < e && (cell[b] == ' ' || cell[b] == '\t')) ++b;
  while (e > b && (cell[e - 1] == ' ' || cell[e - 1] == '\t' || cell[e - 1] == '\r')) --e;
  return cell.substr(b, e - b);
}

bool to_number(const std::string &cell, double &value) {
  std::string t = trimmed(cell);
  if (t.empty()) return false;
  errno = 0;
  char *end = nullptr;
  value = std::strtod(t.c_str(), &end);
  return *end == '\0' && errno != ERANGE && std::isfinite(value);
}
}  // namespace

Table::Table(const TableSource &source) : source_(source) {
  {
    std::ifstream probe(source.path);
    if (!probe) throw InputError(source.path + ": cannot open the file");
  }
  CNbError status = loader_.Load(source.path, source.header, source.delimiter, 0);
  if (status.IsError() && status.Detail() != nullptr && status.Detail()->Code() == 2)
    throw InputError(source.path + ": cannot read the file");
  if (status.IsError()) throw InputError(source.path + ": the file holds no data rows");
  std::vector<std::string> row;
  while (!loader_.GetRow(rows_, row).IsError()) ++rows_;
}

size_t Table::column_position(const std::string &column) const {
  if (source_.header) {
    size_t index = 0;
    // The last header name of a file with carriage-return line endings ends in '\r'.
    if (loader_.GetColumnIndex(column, index).IsError() && loader_.GetColumnIndex(column + '\r', index).IsError())
      throw InputError(source_.path + ": no column named '" + column + "'");
    return index;
  }
  char *end = nullptr;
  long k = std::strtol(column.c_str(), &end, 10);
  if (column.empty() || *end != '\0' || k < 1)
    throw InputError(source_.path + ": without a header line, columns are numbered from 1; '" + column +
                     "' is not a column number");
  return static_cast<size_t>(k - 1);
}

std::vector<double> Table::numeric_column(const std::string &column) const {
  size_t position = column_position(column);
  std::vector<double> values;
  values.reserve(rows_);
  std::vector<std::string> row;
  size_t first_line = source_.header ? 2 : 1;
  for (size_t i = 0; i < rows_; ++i) {
    loader_.GetRow(i, row);
    std::string where = source_.path + ": column '" + column + "', row " + std::to_string(i + 1) + " (line " +
                        std::to_string(i + first_line) + ")";
    if (position >= row.size()) throw InputError(where + ": the row has no such column");
    const std::string &cell = row[position];
    double v = 0;
    if (cell == "NA") throw InputError(where + ": the cell is empty");
    if (!to_number(cell, v)) throw InputError(where + ": cell '" + trimmed(cell) + "' is not a number");
    values.push_back(v);
  }
  return values;
}

}  // namespace tsforge_cli
