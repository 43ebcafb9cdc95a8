// libFuzzer target for TsCSVLoader: the input is the content of a CSV file. Each input is
// written to a file under a private temporary directory and loaded with a few settings
// derived from its bytes, then every accessor runs with names and indices taken from the
// content and from arbitrary values. The first load is checked against a plain
// line-by-line reading of the same bytes; the accessors against the loader's own rules.
// Any exception leaving the loader aborts, like a crash.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "CSVLoader/CSVLoader.h"

namespace {

using Row = std::vector<std::string>;

std::string g_dir;
std::string g_path;

void RemoveScratch() {
  if (!g_path.empty()) std::remove(g_path.c_str());
  if (!g_dir.empty()) rmdir(g_dir.c_str());
}

[[noreturn]] void Fail(const char *what) {
  std::fprintf(stderr, "csvloader_fuzz: %s\n", what);
  std::abort();
}

void Check(bool ok, const char *what) {
  if (!ok) Fail(what);
}

uint64_t Hash(const uint8_t *data, size_t size) {
  uint64_t h = 1469598103934665603ull;
  for (size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 1099511628211ull;
  return h;
}

// Fields of a line by the loader's rule, empty fields kept as they are.
Row SplitFields(const std::string &line, char delimiter) {
  Row fields;
  std::istringstream in(line);
  std::string field;
  while (std::getline(in, field, delimiter)) fields.push_back(field);
  return fields;
}

struct Expected {
  std::set<std::string> names;
  std::vector<Row> rows;
  bool headerMissing = false;
};

Expected ReadPlainly(const std::string &content, bool header, char delimiter, size_t maxRows) {
  Expected e;
  std::istringstream in(content);
  std::string line;
  if (header) {
    if (!std::getline(in, line)) {
      e.headerMissing = true;
      return e;
    }
    for (const std::string &name : SplitFields(line, delimiter)) e.names.insert(name);
  }
  while (std::getline(in, line)) {
    Row row = SplitFields(line, delimiter);
    for (std::string &cell : row)
      if (cell.empty()) cell = "NA";
    while (row.size() < e.names.size()) row.push_back("NA");
    e.rows.push_back(row);
    if (maxRows != 0 && e.rows.size() > maxRows) e.rows.erase(e.rows.begin());
  }
  return e;
}

size_t RowCount(const TsCSVLoader &loader) {
  size_t n = 0;
  Row row;
  while (!loader.GetRow(n, row).IsError()) {
    for (const std::string &cell : row) Check(!cell.empty(), "empty cell stored");
    ++n;
  }
  return n;
}

void CheckLoadStatus(const CNbError &status, const std::string &path) {
  if (!status.IsError()) return;
  Check(status.Detail() != nullptr && status.Detail()->Code() == 4306, "Load error other than empty file");
  Check(status.Detail()->Message() == "CSV file [" + path + "] is empty", "Load message");
}

// Runs every accessor on one name; n is the number of rows held (kept up to date), pick
// supplies arbitrary numbers.
void ExerciseName(TsCSVLoader &loader, const std::string &name, size_t &n, uint64_t &pick) {
  auto next = [&pick] {
    pick = pick * 6364136223846793005ull + 1442695040888963407ull;
    return pick >> 17;
  };
  size_t index = 12345;
  bool known = !loader.GetColumnIndex(name, index).IsError();
  Check(known == loader.HasColumn(name), "HasColumn disagrees with GetColumnIndex");
  if (!known) Check(index == 12345, "index written on error");

  Row cells{"sentinel"};
  CNbError status = loader.GetColumn(name, cells);
  Check(status.IsError() == !known, "GetColumn status");
  if (!known) {
    Check(cells.size() == 1, "GetColumn appended on error");
    Check(status.Detail()->Locations().size() == 2 && status.Detail()->Locations()[1].line == 102,
          "GetColumn location not pushed");
    Check(loader.DropAllLike(name, "x").IsError() && loader.DropAllIn(name, {"x"}).IsError(), "drop by unknown name");
    return;
  }
  Check(cells.size() == n + 1, "GetColumn cell count");

  // Remove the rows holding one value, then those holding any of a few sorted values.
  std::string value = n ? cells[1 + next() % n] : std::string("NA");
  Check(!loader.DropAllLike(name, value).IsError(), "DropAllLike failed");
  Row after;
  Check(!loader.GetColumn(name, after).IsError(), "GetColumn after DropAllLike");
  Check(std::count(after.begin(), after.end(), value) == 0, "DropAllLike left a match");
  Check(after.size() + static_cast<size_t>(std::count(cells.begin() + 1, cells.end(), value)) == n,
        "DropAllLike removed the wrong rows");
  n = after.size();

  Row values;
  for (int k = 0; k < 3 && !after.empty(); ++k) values.push_back(after[next() % after.size()]);
  values.push_back(std::string(1, static_cast<char>(next())));
  std::sort(values.begin(), values.end());
  values.erase(std::unique(values.begin(), values.end()), values.end());
  Check(!loader.DropAllIn(name, values).IsError(), "DropAllIn failed");
  Row rest;
  Check(!loader.GetColumn(name, rest).IsError(), "GetColumn after DropAllIn");
  for (const std::string &cell : rest)
    Check(!std::binary_search(values.begin(), values.end(), cell), "DropAllIn left a match");
  n = rest.size();
}

void ExerciseIndices(TsCSVLoader &loader, size_t n, uint64_t pick) {
  Check(RowCount(loader) == n, "row count after the deletions");
  const size_t indices[] = {0, n, n ? n - 1 : 0, n + 1, static_cast<size_t>(pick % (n + 3)), SIZE_MAX, pick};
  Row row;
  for (size_t i : indices) {
    Check(loader.GetRow(i, row).IsError() == (i >= n), "GetRow status");
  }
  size_t i = static_cast<size_t>((pick >> 7) % (n + 2));
  CNbError status = loader.Drop(i);
  Check(status.IsError() == (i >= n), "Drop status");
  Check(RowCount(loader) == (status.IsError() ? n : n - 1), "Drop row count");
  Row names;
  Check(!loader.GetHeader(names).IsError(), "GetHeader failed");
  Check(std::is_sorted(names.begin(), names.end()) && std::adjacent_find(names.begin(), names.end()) == names.end(),
        "GetHeader order");
}

void Exercise(const uint8_t *data, size_t size) {
  const std::string content(reinterpret_cast<const char *>(data), size);
  const uint64_t h = Hash(data, size);
  const bool header = (h & 1) == 0;
  const char delimiters[] = {',', ';', '\t', '|', ' ', '\0', '\n', static_cast<char>(h >> 56)};
  const char delimiter = (h >> 1) % 4 == 0 ? delimiters[(h >> 3) % 8] : ',';
  const size_t maxRows = (h >> 6) % 3 == 0 ? static_cast<size_t>((h >> 8) % 6) : 0;

  TsCSVLoader loader;
  CNbError status = loader.Load(g_path, header, delimiter, maxRows);
  CheckLoadStatus(status, g_path);
  Expected expected = ReadPlainly(content, header, delimiter, maxRows);
  Check(status.IsError() == (expected.headerMissing || expected.rows.empty()), "Load status vs plain reading");
  if (status.IsError())
    Check(status.Detail()->Locations()[0].line == (expected.headerMissing ? 22 : 63), "Load error line");
  Row names;
  loader.GetHeader(names);
  Check(names == Row(expected.names.begin(), expected.names.end()), "header differs from plain reading");
  Check(RowCount(loader) == expected.rows.size(), "row count differs from plain reading");
  Row row;
  for (size_t i = 0; i < expected.rows.size(); ++i) {
    Check(!loader.GetRow(i, row).IsError() && row == expected.rows[i], "row differs from plain reading");
  }

  // A second load on top, with the other header setting and another delimiter: earlier
  // rows may now be shorter than the new header's positions.
  CheckLoadStatus(loader.Load(g_path, !header, delimiter == ',' ? ';' : ',', maxRows ? maxRows + 1 : 0), g_path);
  CNbError missing = loader.Load(g_dir + "/absent.csv", true, ',', 0);
  Check(missing.IsError() && missing.Detail()->Code() == 2, "missing file not reported");

  // A few header names (a header may hold thousands) and names that may be absent.
  Row header_names;
  loader.GetHeader(header_names);
  names.clear();
  for (size_t k = 0; k < 3 && !header_names.empty(); ++k)
    names.push_back(header_names[(h >> (8 * k)) % header_names.size()]);
  names.push_back("");
  names.push_back("NA");
  names.push_back(content.substr(0, static_cast<size_t>(h % 8)));
  names.push_back(std::string("\0x", 2));
  uint64_t pick = h;
  size_t n = RowCount(loader);
  for (const std::string &name : names) ExerciseName(loader, name, n, pick);
  ExerciseIndices(loader, n, h * 31 + size);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  const char *base = std::getenv("TMPDIR");
  g_dir = std::string(base && *base ? base : "/tmp") + "/csvloader_fuzz.XXXXXX";
  if (!mkdtemp(&g_dir[0])) Fail("cannot create a temporary directory");
  g_path = g_dir + "/input.csv";
  std::atexit(RemoveScratch);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  FILE *file = std::fopen(g_path.c_str(), "wb");
  if (!file) Fail("cannot write the input file");
  bool written = std::fwrite(data, 1, size, file) == size;
  if (std::fclose(file) != 0 || !written) Fail("cannot write the input file");
  try {
    Exercise(data, size);
  } catch (const std::exception &e) {
    std::fprintf(stderr, "csvloader_fuzz: exception escaped: %s\n", e.what());
    std::abort();
  } catch (...) {
    Fail("exception escaped");
  }
  return 0;
}
