// Reads numeric columns of a delimited file through TsCSVLoader, with messages that
// name the file, the column, the row and the offending cell.
#ifndef TSFORGE_TOOLS_TABLE_INPUT_H
#define TSFORGE_TOOLS_TABLE_INPUT_H

#include <string>
#include <vector>

#include "CSVLoader/CSVLoader.h"

namespace tsforge_cli {

struct TableSource {
  std::string path;
  bool header = true;
  char delimiter = ',';
};

// A loaded file. Columns are named by their header text, or, without a header line,
// by their 1-based position.
class Table {
 public:
  explicit Table(const TableSource &source);  // throws InputError
  // The numbers of one column, one per data row; throws InputError for an unknown
  // column, a missing ("NA") cell or a cell that is not a finite number.
  std::vector<double> numeric_column(const std::string &column) const;
  size_t rows() const { return rows_; }
  const std::string &path() const { return source_.path; }

 private:
  size_t column_position(const std::string &column) const;
  TableSource source_;
  TsCSVLoader loader_;
  size_t rows_ = 0;
};

}  // namespace tsforge_cli

#endif  // TSFORGE_TOOLS_TABLE_INPUT_H
