// TsCSVLoader: a delimited text file held in memory as a table of strings.
//
// The loader reads rows of cells split at a one-character delimiter, keeps every cell as
// a string and lets the caller look columns up by header name, fetch rows and columns,
// and delete rows by index or by the value of a named column. Every operation that can
// fail returns a CNbError status; nothing throws, whatever the file holds or the
// arguments are.
//
// File format: one row per line (newline-terminated; a carriage return stays part of the
// last cell), no quoting or escaping, no trimming, no comments. Cells are taken from left
// to right; an empty cell (two adjacent delimiters, or a delimiter first on the line)
// reads as "NA"; a delimiter at the end of a line adds no cell; an empty line has no
// cells. A row with fewer cells than there are header names is padded with "NA". The
// header line, when there is one, is split by the same rule; its k-th name (0-based)
// maps to position k, and a repeated name keeps its last position.
//
// Load adds to what earlier loads stored (rows and header names alike). With maxRows
// not 0, the rows already held count towards the window: each row read while more than
// maxRows are held displaces the oldest one.
//
// A column position at or beyond the end of a row (possible only when the header repeats
// a name, or when a later load brought a longer header) reads as "NA": GetColumn reports
// "NA" for it and DropAllLike / DropAllIn compare "NA" against the value(s).
//
// Running out of memory is reported, not thrown: the status has code ENOMEM and the
// message "Out of memory", and the loader is left as it was before the call (cells and
// names appended by GetColumn / GetHeader are taken back, GetRow leaves row empty).
#ifndef TSFORGE_CSVLOADER_CSVLOADER_H
#define TSFORGE_CSVLOADER_CSVLOADER_H

#include <cstddef>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "core/export.h"
#include "host/NbError.h"

class TSFORGE_API TsCSVLoader {
 public:
  // Reads the file at path. header: the first line names the columns. maxRows: keep only
  // the last maxRows rows (0: no limit). Errors: code 2 "CSV file [path] not found"
  // (also for a path that opens but cannot be read, such as a directory);
  // code 4306 "CSV file [path] is empty" when header is requested and the file has no
  // line, or when no row is held at the end (the header names stay in that case).
  CNbError Load(const std::string &path, bool header, char delimiter, size_t maxRows);

  // Position of a header name. Error code 22 "Invalid column name [name]"; index is then
  // left as it was.
  CNbError GetColumnIndex(const std::string &name, size_t &index) const;

  // Appends every header name to names in ascending byte-wise order (not file order).
  CNbError GetHeader(std::vector<std::string> &names) const;

  // Replaces row with a copy of row i. Error code 22 "Invalid row index [i] - max [n-1]".
  CNbError GetRow(size_t i, std::vector<std::string> &row) const;

  // Appends the cell of the named column of every row, in row order. An unknown name
  // returns the GetColumnIndex error with this method's location pushed onto it.
  CNbError GetColumn(const std::string &name, std::vector<std::string> &cells) const;

  // Removes row i; later rows move up. Error code 22 "Invalid row index [i] - max [n-1]".
  CNbError Drop(size_t i);

  // Removes every row whose cell in the named column equals value exactly; the others
  // keep their order. Error code 22 "Invalid column name [name]".
  CNbError DropAllLike(const std::string &name, const std::string &value);

  // Removes every row whose cell in the named column equals one of values, which must be
  // sorted ascending byte-wise (membership is found by bisection). Error as DropAllLike.
  CNbError DropAllIn(const std::string &name, const std::vector<std::string> &values);

  // True when name is a header name.
  bool HasColumn(const std::string &name);

 private:
  std::map<std::string, size_t> m_columns;
  std::deque<std::vector<std::string>> m_rows;
};

#endif  // TSFORGE_CSVLOADER_CSVLOADER_H
