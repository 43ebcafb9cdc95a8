// Reads numeric columns of a delimited file, with messages that name the file, the
// column, the row and the offending cell.
//
// The file is split by the rules of TsCSVLoader (one row per line, cells between
// delimiters, an empty cell or "NA" is missing, no quoting) but read here in one pass
// that keeps only the numbers of the columns asked for: memory stays near the longest
// line plus eight bytes per value kept, whatever the file holds, and the file is opened
// once, so a named pipe works. Two rules of the program's own, for files from other
// tools: a UTF-8 byte-order mark at the start of the file is ignored, and a cell holding
// a NUL byte is an error (as text it would read as the number before the NUL).
#ifndef TSFORGE_TOOLS_TABLE_INPUT_H
#define TSFORGE_TOOLS_TABLE_INPUT_H

#include <cstddef>
#include <string>
#include <vector>

namespace tsforge_cli {

struct TableSource {
  std::string path;
  bool header = true;
  char delimiter = ',';
};

// The columns of a file that a command needs. Columns are named by their header text,
// or, without a header line, by their 1-based position.
class Table {
 public:
  // Reads the named columns (a name may appear twice). Throws InputError for a file
  // that cannot be opened or read or holds no data rows, an unknown column, or a
  // missing ("NA") cell or a cell that is not a finite number in any of them; of
  // several faults, the first row's of the first column named is reported.
  Table(const TableSource &source, const std::vector<std::string> &columns);
  // The numbers of a column named to the constructor, one per data row.
  const std::vector<double> &numeric_column(const std::string &column) const;
  std::size_t rows() const { return rows_; }
  const std::string &path() const { return source_.path; }

 private:
  TableSource source_;
  std::vector<std::string> names_;
  std::vector<std::vector<double>> values_;
  std::size_t rows_ = 0;
};

}  // namespace tsforge_cli

#endif  // TSFORGE_TOOLS_TABLE_INPUT_H
