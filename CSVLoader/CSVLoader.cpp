#include "CSVLoader/CSVLoader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>

namespace {

// Locations reported by the host's error records: this file, the method's signature as
// the host logs it, and the line the host's tools key their messages on.
const char kFile[] = "CSVLoader.cpp";
const char kLoadFn[] = "CNbError TsCSVLoader::Load(const string&, bool, char, size_t)";
const char kGetColumnIndexFn[] = "CNbError TsCSVLoader::GetColumnIndex(const string&, size_t&) const";
const char kGetHeaderFn[] = "CNbError TsCSVLoader::GetHeader(std::vector<std::__cxx11::basic_string<char> >&) const";
const char kGetRowFn[] =
    "CNbError TsCSVLoader::GetRow(size_t, std::vector<std::__cxx11::basic_string<char> >&) const";
const char kGetColumnFn[] =
    "CNbError TsCSVLoader::GetColumn(const string&, std::vector<std::__cxx11::basic_string<char> >&) const";
const char kDropFn[] = "CNbError TsCSVLoader::Drop(size_t)";
const char kDropAllLikeFn[] = "CNbError TsCSVLoader::DropAllLike(const string&, const string&)";
const char kDropAllInFn[] =
    "CNbError TsCSVLoader::DropAllIn(const string&, const std::vector<std::__cxx11::basic_string<char> >&)";

const int kCodeNotFound = 2;
const int kCodeEmpty = 4306;
const int kCodeInvalid = 22;

const char kMissing[] = "NA";
const size_t kMissingLength = 2;

CNbError out_of_memory(const char *function, int line) {
  return GZErrorUtil::ErrorErrNo(GZCodeLocation(kFile, function, line), ENOMEM, "Out of memory");
}

// Runs work; if it runs out of memory, runs undo (which must not allocate) and reports
// ENOMEM at the given location instead of letting the exception out.
template <class Work, class Undo>
CNbError without_throwing(const char *function, int line, Work &&work, Undo &&undo) {
  try {
    return work();
  } catch (const std::bad_alloc &) {
  } catch (const std::length_error &) {
  }
  undo();
  return out_of_memory(function, line);
}

// Calls field(begin, length) for each field of a line: fields run from left to right
// between delimiters; a delimiter ending the line adds no field, an empty line has none.
template <class Field>
void for_each_field(const char *line, size_t length, char delimiter, Field &&field) {
  const char *end = line + length;
  const char *start = line;
  while (start < end) {
    const char *stop = static_cast<const char *>(std::memchr(start, delimiter, static_cast<size_t>(end - start)));
    if (!stop) stop = end;
    field(start, static_cast<size_t>(stop - start));
    start = stop + 1;
  }
}

size_t count_fields(const char *line, size_t length, char delimiter) {
  if (length == 0) return 0;
  size_t delimiters = 0;
  for (size_t i = 0; i < length; ++i) delimiters += line[i] == delimiter;
  return delimiters + (line[length - 1] == delimiter ? 0 : 1);
}

// One row of cells, empty cells read as "NA", padded with "NA" to width cells.
std::vector<std::string> split_row(const char *line, size_t length, char delimiter, size_t width) {
  std::vector<std::string> row;
  size_t fields = count_fields(line, length, delimiter);
  row.reserve(fields > width ? fields : width);
  for_each_field(line, length, delimiter, [&row](const char *cell, size_t n) {
    if (n == 0)
      row.emplace_back(kMissing, kMissingLength);
    else
      row.emplace_back(cell, n);
  });
  while (row.size() < width) row.emplace_back(kMissing, kMissingLength);
  return row;
}

// Newline-terminated lines of a stream, read in large blocks. A line is handed out as a
// pointer and length valid until the next call; the terminator is not part of it, and a
// last line without terminator still counts.
class LineReader {
 public:
  explicit LineReader(std::streambuf &source) : source_(source), block_(new char[kBlockSize]) {}

  bool Next(const char *&line, size_t &length) {
    spill_.clear();
    for (;;) {
      if (pos_ < end_) {
        const char *from = block_.get() + pos_;
        size_t avail = end_ - pos_;
        const char *nl = static_cast<const char *>(std::memchr(from, '\n', avail));
        if (nl) {
          size_t n = static_cast<size_t>(nl - from);
          pos_ += n + 1;
          if (spill_.empty()) {
            line = from;
            length = n;
          } else {
            spill_.append(from, n);
            line = spill_.data();
            length = spill_.size();
          }
          return true;
        }
        spill_.append(from, avail);  // a line running on into the next block
        pos_ = end_;
      }
      if (!Refill()) {
        if (spill_.empty()) return false;
        line = spill_.data();
        length = spill_.size();
        return true;
      }
    }
  }

  // True once a read failed (a directory opens like a file but cannot be read).
  bool Failed() const { return failed_; }

 private:
  bool Refill() {
    std::streamsize got = 0;
    try {
      got = source_.sgetn(block_.get(), static_cast<std::streamsize>(kBlockSize));
    } catch (const std::ios_base::failure &) {
      failed_ = true;
    }
    pos_ = 0;
    end_ = got > 0 ? static_cast<size_t>(got) : 0;
    return end_ > 0;
  }

  static const size_t kBlockSize = size_t(1) << 16;
  std::streambuf &source_;
  std::unique_ptr<char[]> block_;  // not zero-filled: every byte used is read first
  std::string spill_;
  size_t pos_ = 0;
  size_t end_ = 0;
  bool failed_ = false;
};

// Appends fresh to rows and removes the dropOld oldest rows. If appending runs out of
// memory, rows is restored before the exception goes on.
void commit_rows(std::deque<std::vector<std::string>> &rows, std::deque<std::vector<std::string>> &fresh,
                 size_t dropOld) {
  if (rows.empty()) {
    rows.swap(fresh);
    return;
  }
  size_t appended = 0;
  try {
    for (auto &row : fresh) {
      rows.push_back(std::move(row));
      ++appended;
    }
  } catch (...) {
    while (appended-- > 0) rows.pop_back();
    throw;
  }
  rows.erase(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(dropOld));
}

}  // namespace

CNbError TsCSVLoader::Load(const std::string &path, bool header, char delimiter, size_t maxRows) {
  auto work = [&]() -> CNbError {
    // A file that cannot be read is reported as one that cannot be opened, with the
    // loader left as it was.
    auto not_found = [&] {
      return GZErrorUtil::ErrorErrNo(GZCodeLocation(kFile, kLoadFn, 14), kCodeNotFound, "CSV file [%s] not found",
                                     path.c_str());
    };
    std::ifstream in(path, std::ios::in);
    if (!in.is_open()) return not_found();
    LineReader reader(*in.rdbuf());
    const char *line = nullptr;
    size_t length = 0;

    // Work on copies and commit at the end, so that running out of memory part-way
    // leaves the loader untouched.
    std::map<std::string, size_t> columns(m_columns);
    if (header) {
      if (!reader.Next(line, length)) {
        if (reader.Failed()) return not_found();
        return GZErrorUtil::ErrorErrNo(GZCodeLocation(kFile, kLoadFn, 22), kCodeEmpty, "CSV file [%s] is empty",
                                       path.c_str());
      }
      size_t position = 0;
      for_each_field(line, length, delimiter, [&](const char *name, size_t n) {
        columns[std::string(name, n)] = position++;
      });
    }

    // Rows already held count towards the window; dropOld of them leave at commit.
    std::deque<std::vector<std::string>> fresh;
    size_t dropOld = 0;
    const size_t width = columns.size();
    while (reader.Next(line, length)) {
      fresh.push_back(split_row(line, length, delimiter, width));
      if (maxRows != 0 && m_rows.size() - dropOld + fresh.size() > maxRows) {
        if (dropOld < m_rows.size())
          ++dropOld;
        else
          fresh.pop_front();
      }
    }

    if (reader.Failed()) return not_found();

    commit_rows(m_rows, fresh, dropOld);
    m_columns.swap(columns);
    if (m_rows.empty())
      return GZErrorUtil::ErrorErrNo(GZCodeLocation(kFile, kLoadFn, 63), kCodeEmpty, "CSV file [%s] is empty",
                                     path.c_str());
    return CNbError::Success();
  };
  return without_throwing(kLoadFn, __LINE__, work, [] {});
}

CNbError TsCSVLoader::GetColumnIndex(const std::string &name, size_t &index) const {
  auto it = m_columns.find(name);
  if (it == m_columns.end())
    return GZErrorUtil::ErrorErrNo(GZCodeLocation(kFile, kGetColumnIndexFn, 73), kCodeInvalid,
                                   "Invalid column name [%s]", name.c_str());
  index = it->second;
  return CNbError::Success();
}

CNbError TsCSVLoader::GetHeader(std::vector<std::string> &names) const {
  const size_t before = names.size();
  return without_throwing(
      kGetHeaderFn, __LINE__,
      [&]() -> CNbError {
        names.reserve(before + m_columns.size());
        for (const auto &column : m_columns) names.push_back(column.first);
        return CNbError::Success();
      },
      [&] { names.erase(names.begin() + static_cast<std::ptrdiff_t>(before), names.end()); });
}

CNbError TsCSVLoader::GetRow(size_t i, std::vector<std::string> &row) const {
  if (i >= m_rows.size())
    return GZErrorUtil::ErrorErrNo(GZCodeLocation(kFile, kGetRowFn, 92), kCodeInvalid,
                                   "Invalid row index [%zu] - max [%zu]", i, m_rows.size() - 1);
  return without_throwing(
      kGetRowFn, __LINE__,
      [&]() -> CNbError {
        row = m_rows[i];
        return CNbError::Success();
      },
      [&] { row.clear(); });
}

CNbError TsCSVLoader::GetColumn(const std::string &name, std::vector<std::string> &cells) const {
  size_t index = 0;
  CNbError status = GetColumnIndex(name, index);
  if (status.IsError()) return status.Push(GZCodeLocation(kFile, kGetColumnFn, 102));
  const size_t before = cells.size();
  return without_throwing(
      kGetColumnFn, __LINE__,
      [&]() -> CNbError {
        cells.reserve(before + m_rows.size());
        for (const auto &row : m_rows) {
          if (index < row.size())
            cells.push_back(row[index]);
          else
            cells.emplace_back(kMissing, kMissingLength);
        }
        return CNbError::Success();
      },
      [&] { cells.erase(cells.begin() + static_cast<std::ptrdiff_t>(before), cells.end()); });
}

CNbError TsCSVLoader::Drop(size_t i) {
  if (i >= m_rows.size())
    return GZErrorUtil::ErrorErrNo(GZCodeLocation(kFile, kDropFn, 115), kCodeInvalid,
                                   "Invalid row index [%zu] - max [%zu]", i, m_rows.size() - 1);
  m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(i));
  return CNbError::Success();
}

namespace {
// The cell at a column position, or "NA" past the end of a short row. Compares without
// building a string, so no allocation can happen while rows are being removed.
bool cell_equals(const std::vector<std::string> &row, size_t index, const std::string &value) {
  if (index < row.size()) return row[index] == value;
  return value.size() == kMissingLength && value.compare(0, kMissingLength, kMissing) == 0;
}

int compare_cell(const std::vector<std::string> &row, size_t index, const std::string &value) {
  if (index < row.size()) return row[index].compare(value);
  int order = value.compare(kMissing);
  return order < 0 ? 1 : (order > 0 ? -1 : 0);
}

// Bisection over values sorted ascending byte-wise.
bool cell_in(const std::vector<std::string> &row, size_t index, const std::vector<std::string> &values) {
  std::ptrdiff_t lo = 0;
  std::ptrdiff_t hi = static_cast<std::ptrdiff_t>(values.size()) - 1;
  while (lo <= hi) {
    std::ptrdiff_t mid = lo + (hi - lo) / 2;
    int order = compare_cell(row, index, values[static_cast<size_t>(mid)]);
    if (order == 0) return true;
    if (order > 0)
      lo = mid + 1;
    else
      hi = mid - 1;
  }
  return false;
}
}  // namespace

CNbError TsCSVLoader::DropAllLike(const std::string &name, const std::string &value) {
  auto it = m_columns.find(name);
  if (it == m_columns.end())
    return GZErrorUtil::ErrorErrNo(GZCodeLocation(kFile, kDropAllLikeFn, 126), kCodeInvalid,
                                   "Invalid column name [%s]", name.c_str());
  const size_t index = it->second;
  m_rows.erase(std::remove_if(m_rows.begin(), m_rows.end(),
                              [&](const std::vector<std::string> &row) { return cell_equals(row, index, value); }),
               m_rows.end());
  return CNbError::Success();
}

CNbError TsCSVLoader::DropAllIn(const std::string &name, const std::vector<std::string> &values) {
  auto it = m_columns.find(name);
  if (it == m_columns.end())
    return GZErrorUtil::ErrorErrNo(GZCodeLocation(kFile, kDropAllInFn, 145), kCodeInvalid,
                                   "Invalid column name [%s]", name.c_str());
  const size_t index = it->second;
  m_rows.erase(std::remove_if(m_rows.begin(), m_rows.end(),
                              [&](const std::vector<std::string> &row) { return cell_in(row, index, values); }),
               m_rows.end());
  return CNbError::Success();
}

bool TsCSVLoader::HasColumn(const std::string &name) {
  size_t index = 0;
  return !GetColumnIndex(name, index).IsError();
}
