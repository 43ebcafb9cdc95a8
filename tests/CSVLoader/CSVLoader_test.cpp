#include "CSVLoader/CSVLoader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_util.h"

namespace {

using Row = std::vector<std::string>;

const char kLoadFn[] = "CNbError TsCSVLoader::Load(const string&, bool, char, size_t)";
const char kIndexFn[] = "CNbError TsCSVLoader::GetColumnIndex(const string&, size_t&) const";
const char kGetRowFn[] =
    "CNbError TsCSVLoader::GetRow(size_t, std::vector<std::__cxx11::basic_string<char> >&) const";
const char kGetColumnFn[] =
    "CNbError TsCSVLoader::GetColumn(const string&, std::vector<std::__cxx11::basic_string<char> >&) const";

// Files written for one test under a fresh temporary directory, removed afterwards.
class TempFiles {
 public:
  TempFiles() {
    const char *base = std::getenv("TMPDIR");
    dir_ = std::string(base && *base ? base : "/tmp") + "/csvloader_test.XXXXXX";
    if (!mkdtemp(&dir_[0])) ADD_FAILURE() << "mkdtemp failed for " << dir_;
  }
  ~TempFiles() {
    for (const auto &p : paths_) std::remove(p.c_str());
    rmdir(dir_.c_str());
  }
  std::string Write(const std::string &name, const std::string &content) {
    std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    paths_.push_back(path);
    return path;
  }
  std::string Missing() const { return dir_ + "/no_such_file.csv"; }

 private:
  std::string dir_;
  std::vector<std::string> paths_;
};

// Checks an error status against the code, message and location it must carry.
void ExpectError(const CNbError &status, int code, const std::string &message, const char *function, int line) {
  ASSERT_TRUE(status.IsError());
  ASSERT_NE(status.Detail(), nullptr);
  EXPECT_EQ(status.Detail()->Code(), code);
  EXPECT_EQ(status.Detail()->Message(), message);
  ASSERT_FALSE(status.Detail()->Locations().empty());
  EXPECT_EQ(status.Detail()->Locations()[0].file, "CSVLoader.cpp");
  EXPECT_EQ(status.Detail()->Locations()[0].function, function);
  EXPECT_EQ(status.Detail()->Locations()[0].line, line);
}

std::vector<Row> AllRows(const TsCSVLoader &loader) {
  std::vector<Row> rows;
  Row row;
  for (size_t i = 0; !loader.GetRow(i, row).IsError(); ++i) rows.push_back(row);
  return rows;
}

Row Header(const TsCSVLoader &loader) {
  Row names;
  EXPECT_FALSE(loader.GetHeader(names).IsError());
  return names;
}

Row Column(const TsCSVLoader &loader, const std::string &name) {
  Row cells;
  EXPECT_FALSE(loader.GetColumn(name, cells).IsError());
  return cells;
}

}  // namespace

TEST(CSVLoader, SplitsRowsUnderAHeader) {
  TempFiles files;
  TsCSVLoader loader;
  ASSERT_FALSE(loader.Load(files.Write("h.csv", "a,b,c\n1,,3\n1\n1,2,\n\n,,\n"), true, ',', 0).IsError());
  EXPECT_EQ(AllRows(loader),
            (std::vector<Row>{{"1", "NA", "3"}, {"1", "NA", "NA"}, {"1", "2", "NA"}, {"NA", "NA", "NA"},
                              {"NA", "NA", "NA"}}));
}

TEST(CSVLoader, SplitsRowsWithoutHeader) {
  TempFiles files;
  TsCSVLoader loader;
  // The last line has no terminator and still counts.
  ASSERT_FALSE(loader.Load(files.Write("n.csv", "1,,3\n1,2,\n\n,\n,,\n;x;y;"), false, ',', 0).IsError());
  EXPECT_EQ(AllRows(loader), (std::vector<Row>{{"1", "NA", "3"}, {"1", "2"}, {}, {"NA"}, {"NA", "NA"}, {";x;y;"}}));
  EXPECT_TRUE(Header(loader).empty());

  TsCSVLoader semicolon;
  ASSERT_FALSE(semicolon.Load(files.Write("s.csv", ";x;;y;\n"), false, ';', 0).IsError());
  EXPECT_EQ(AllRows(semicolon), (std::vector<Row>{{"NA", "x", "NA", "y"}}));
}

TEST(CSVLoader, NoQuotingNoTrimming) {
  TempFiles files;
  TsCSVLoader loader;
  ASSERT_FALSE(loader.Load(files.Write("q.csv", "k, v\r\n 1 ,\"2,3\"\r\n"), true, ',', 0).IsError());
  EXPECT_EQ(Header(loader), (Row{" v\r", "k"}));
  EXPECT_FALSE(loader.HasColumn("v"));
  EXPECT_TRUE(loader.HasColumn(" v\r"));
  EXPECT_EQ(AllRows(loader), (std::vector<Row>{{" 1 ", "\"2", "3\"\r"}}));
}

TEST(CSVLoader, HeaderNamesAndPositions) {
  TempFiles files;
  TsCSVLoader loader;
  ASSERT_FALSE(loader.Load(files.Write("ba.csv", "b,a\n1,2\n"), true, ',', 0).IsError());
  Row names{"kept"};
  EXPECT_FALSE(loader.GetHeader(names).IsError());
  EXPECT_EQ(names, (Row{"kept", "a", "b"}));  // appended, in byte-wise order
  size_t index = 99;
  EXPECT_FALSE(loader.GetColumnIndex("b", index).IsError());
  EXPECT_EQ(index, 0u);
  EXPECT_FALSE(loader.GetColumnIndex("a", index).IsError());
  EXPECT_EQ(index, 1u);
  EXPECT_TRUE(loader.HasColumn("a"));
  EXPECT_FALSE(loader.HasColumn("B"));

  index = 99;
  CNbError status = loader.GetColumnIndex("zz", index);
  ExpectError(status, 22, "Invalid column name [zz]", kIndexFn, 73);
  EXPECT_EQ(status.Detail()->Locations().size(), 1u);
  EXPECT_EQ(index, 99u);

  // A repeated name keeps its last position; empty names count.
  TsCSVLoader repeated;
  ASSERT_FALSE(repeated.Load(files.Write("r.csv", "x,,x,y\n1,2,3,4\n"), true, ',', 0).IsError());
  EXPECT_EQ(Header(repeated), (Row{"", "x", "y"}));
  EXPECT_FALSE(repeated.GetColumnIndex("x", index).IsError());
  EXPECT_EQ(index, 2u);
  EXPECT_FALSE(repeated.GetColumnIndex("", index).IsError());
  EXPECT_EQ(index, 1u);
  EXPECT_EQ(Column(repeated, "y"), (Row{"4"}));
}

TEST(CSVLoader, MaxRowsKeepsTheLastRows) {
  TempFiles files;
  std::string path = files.Write("five.csv", "v\n1\n2\n3\n4\n5\n");
  for (size_t maxRows : {0, 1, 2, 5, 9}) {
    TsCSVLoader loader;
    ASSERT_FALSE(loader.Load(path, true, ',', maxRows).IsError());
    Row all{"1", "2", "3", "4", "5"};
    size_t keep = maxRows == 0 || maxRows > 5 ? 5 : maxRows;
    EXPECT_EQ(Column(loader, "v"), Row(all.end() - static_cast<long>(keep), all.end())) << maxRows;
  }
}

TEST(CSVLoader, EmptyAndMissingFiles) {
  TempFiles files;
  std::string headerOnly = files.Write("ho.csv", "p,q\n");
  std::string empty = files.Write("empty.csv", "");

  TsCSVLoader loader;
  ExpectError(loader.Load(headerOnly, true, ',', 0), 4306, "CSV file [" + headerOnly + "] is empty", kLoadFn, 63);
  EXPECT_EQ(Header(loader), (Row{"p", "q"}));  // the header stays

  TsCSVLoader fresh;
  ExpectError(fresh.Load(empty, true, ',', 0), 4306, "CSV file [" + empty + "] is empty", kLoadFn, 22);
  ExpectError(fresh.Load(empty, false, ',', 0), 4306, "CSV file [" + empty + "] is empty", kLoadFn, 63);
  std::string missing = files.Missing();
  ExpectError(fresh.Load(missing, true, ',', 0), 2, "CSV file [" + missing + "] not found", kLoadFn, 14);
  EXPECT_TRUE(Header(fresh).empty());
  EXPECT_TRUE(AllRows(fresh).empty());
  // A directory opens like a file but cannot be read: reported, not thrown, and the
  // loader keeps what it held.
  TsCSVLoader held;
  ASSERT_FALSE(held.Load(files.Write("one.csv", "x\n1\n"), true, ',', 0).IsError());
  for (bool header : {true, false})
    ExpectError(held.Load("/tmp", header, ',', 0), 2, "CSV file [/tmp] not found", kLoadFn, 14);
  EXPECT_EQ(Header(held), (Row{"x"}));
  EXPECT_EQ(AllRows(held), (std::vector<Row>{{"1"}}));

  // A single empty line is one row without cells.
  TsCSVLoader blank;
  EXPECT_FALSE(blank.Load(files.Write("nl.csv", "\n"), false, ',', 0).IsError());
  EXPECT_EQ(AllRows(blank), (std::vector<Row>{{}}));
}

TEST(CSVLoader, LoadAddsToEarlierLoads) {
  TempFiles files;
  TsCSVLoader loader;
  ASSERT_FALSE(loader.Load(files.Write("a.csv", "x\n1\n2\n3\n"), true, ',', 0).IsError());
  // A header-only file now succeeds: rows are held. Its names join the map.
  ASSERT_FALSE(loader.Load(files.Write("b.csv", "y,z\n"), true, ',', 0).IsError());
  EXPECT_EQ(Header(loader), (Row{"x", "y", "z"}));
  ASSERT_FALSE(loader.Load(files.Write("c.csv", "4\n5\n"), false, ',', 0).IsError());
  EXPECT_EQ(AllRows(loader), (std::vector<Row>{{"1"}, {"2"}, {"3"}, {"4", "NA", "NA"}, {"5", "NA", "NA"}}));

  // The window counts the rows already held: each row read displaces the oldest.
  ASSERT_FALSE(loader.Load(files.Write("d.csv", "6\n7\n"), false, ',', 4).IsError());
  EXPECT_EQ(Column(loader, "x"), (Row{"3", "4", "5", "6", "7"}));
  ASSERT_FALSE(loader.Load(files.Write("e.csv", "8\n9\n"), false, ',', 1).IsError());
  EXPECT_EQ(Column(loader, "x"), (Row{"5", "6", "7", "8", "9"}));
}

TEST(CSVLoader, GetRowBoundsAndCopy) {
  TempFiles files;
  TsCSVLoader empty;
  Row row{"old"};
  ExpectError(empty.GetRow(0, row), 22, "Invalid row index [0] - max [18446744073709551615]", kGetRowFn, 92);
  EXPECT_EQ(row, (Row{"old"}));

  TsCSVLoader loader;
  ASSERT_FALSE(loader.Load(files.Write("t.csv", "a,b\n1,2\n3,4\n5,6\n"), true, ',', 0).IsError());
  ExpectError(loader.GetRow(3, row), 22, "Invalid row index [3] - max [2]", kGetRowFn, 92);
  ExpectError(loader.GetRow(std::numeric_limits<size_t>::max(), row), 22,
              "Invalid row index [18446744073709551615] - max [2]", kGetRowFn, 92);
  row = {"x", "y", "z", "w"};
  EXPECT_FALSE(loader.GetRow(2, row).IsError());
  EXPECT_EQ(row, (Row{"5", "6"}));  // replaced, not appended
}

TEST(CSVLoader, GetColumnAppendsAndPushesItsLocation) {
  TempFiles files;
  TsCSVLoader loader;
  ASSERT_FALSE(loader.Load(files.Write("t.csv", "a,b\n1,2\n3\n5,6\n"), true, ',', 0).IsError());
  Row cells{"first"};
  EXPECT_FALSE(loader.GetColumn("b", cells).IsError());
  EXPECT_EQ(cells, (Row{"first", "2", "NA", "6"}));

  CNbError status = loader.GetColumn("c", cells);
  ExpectError(status, 22, "Invalid column name [c]", kIndexFn, 73);
  ASSERT_EQ(status.Detail()->Locations().size(), 2u);
  EXPECT_EQ(status.Detail()->Locations()[1].file, "CSVLoader.cpp");
  EXPECT_EQ(status.Detail()->Locations()[1].function, kGetColumnFn);
  EXPECT_EQ(status.Detail()->Locations()[1].line, 102);
  EXPECT_EQ(cells.size(), 4u);
}

TEST(CSVLoader, DropRenumbersRows) {
  TempFiles files;
  TsCSVLoader loader;
  ASSERT_FALSE(loader.Load(files.Write("d.csv", "v\na\nb\nc\nd\n"), true, ',', 0).IsError());
  EXPECT_FALSE(loader.Drop(1).IsError());
  EXPECT_FALSE(loader.Drop(0).IsError());
  EXPECT_EQ(Column(loader, "v"), (Row{"c", "d"}));
  ExpectError(loader.Drop(2), 22, "Invalid row index [2] - max [1]", "CNbError TsCSVLoader::Drop(size_t)", 115);
  EXPECT_FALSE(loader.Drop(1).IsError());
  EXPECT_FALSE(loader.Drop(0).IsError());
  ExpectError(loader.Drop(0), 22, "Invalid row index [0] - max [18446744073709551615]",
              "CNbError TsCSVLoader::Drop(size_t)", 115);
  EXPECT_EQ(Header(loader), (Row{"v"}));  // deletions never touch the header
}

TEST(CSVLoader, DropAllLikeMatchesExactly) {
  TempFiles files;
  TsCSVLoader loader;
  ASSERT_FALSE(loader.Load(files.Write("l.csv", "id,s\n1,x\n2,\n3,X\n4,x \n5\n6,x\n"), true, ',', 0).IsError());
  EXPECT_FALSE(loader.DropAllLike("s", "NA").IsError());  // empty and missing cells alike
  EXPECT_EQ(Column(loader, "id"), (Row{"1", "3", "4", "6"}));
  EXPECT_FALSE(loader.DropAllLike("s", "x").IsError());
  EXPECT_EQ(Column(loader, "id"), (Row{"3", "4"}));
  EXPECT_FALSE(loader.DropAllLike("s", "nothing").IsError());
  EXPECT_EQ(Column(loader, "id"), (Row{"3", "4"}));
  ExpectError(loader.DropAllLike("S", "x"), 22, "Invalid column name [S]",
              "CNbError TsCSVLoader::DropAllLike(const string&, const string&)", 126);
  EXPECT_EQ(Column(loader, "id"), (Row{"3", "4"}));
}

TEST(CSVLoader, DropAllInUsesTheSortedList) {
  TempFiles files;
  std::string path = files.Write("in.csv", "k,n\na,1\nb,2\nc,3\nd,4\ne,5\nx,6\nb,7\n,8\n");
  const char *fn =
      "CNbError TsCSVLoader::DropAllIn(const string&, const std::vector<std::__cxx11::basic_string<char> >&)";
  struct Case {
    Row values;
    Row kept;
  };
  const Case cases[] = {
      {{"x"}, {"1", "2", "3", "4", "5", "7", "8"}},
      {{"a", "c", "e"}, {"2", "4", "6", "7", "8"}},
      {{}, {"1", "2", "3", "4", "5", "6", "7", "8"}},
      {{"NA", "a", "b", "c", "d", "e", "x"}, {}},
      {{"0", "b", "bb", "d", "y", "z"}, {"1", "3", "5", "6", "8"}},
  };
  for (const Case &c : cases) {
    TsCSVLoader loader;
    ASSERT_FALSE(loader.Load(path, true, ',', 0).IsError());
    EXPECT_FALSE(loader.DropAllIn("k", c.values).IsError());
    EXPECT_EQ(Column(loader, "n"), c.kept) << ::testing::PrintToString(c.values);
  }
  TsCSVLoader loader;
  ASSERT_FALSE(loader.Load(path, true, ',', 0).IsError());
  ExpectError(loader.DropAllIn("K", {"a"}), 22, "Invalid column name [K]", fn, 145);
  EXPECT_EQ(AllRows(loader).size(), 8u);
}

// Regression: a header that repeats a name, or a later load with a longer header, leaves
// rows shorter than a column position. Reading such a cell used to throw out_of_range
// out of GetColumn; it now reads "NA" there and in the bulk deletions.
TEST(CSVLoader, ShortRowsReadAsMissingWithoutThrowing) {
  TempFiles files;
  TsCSVLoader loader;
  ASSERT_FALSE(loader.Load(files.Write("rep.csv", "a,b,a\n1,2,3\n4\n5,6\n"), true, ',', 0).IsError());
  EXPECT_EQ(AllRows(loader), (std::vector<Row>{{"1", "2", "3"}, {"4", "NA"}, {"5", "6"}}));
  Row cells;
  EXPECT_NO_THROW(EXPECT_FALSE(loader.GetColumn("a", cells).IsError()));
  EXPECT_EQ(cells, (Row{"3", "NA", "NA"}));
  EXPECT_NO_THROW(EXPECT_FALSE(loader.DropAllIn("a", {"3", "7"}).IsError()));
  EXPECT_EQ(Column(loader, "b"), (Row{"NA", "6"}));
  EXPECT_NO_THROW(EXPECT_FALSE(loader.DropAllLike("a", "NA").IsError()));
  EXPECT_TRUE(Column(loader, "b").empty());

  TsCSVLoader merged;
  ASSERT_FALSE(merged.Load(files.Write("one.csv", "u\n1\n2\n"), true, ',', 0).IsError());
  ASSERT_FALSE(merged.Load(files.Write("three.csv", "p,q,r\n7,8,9\n"), true, ',', 0).IsError());
  EXPECT_EQ(Column(merged, "r"), (Row{"NA", "NA", "9"}));
  EXPECT_NO_THROW(EXPECT_FALSE(merged.DropAllIn("r", {"0", "NA"}).IsError()));
  EXPECT_EQ(Column(merged, "u"), (Row{"7"}));
}

TEST(CSVLoader, ReadsTheBundledSeries) {
  TsCSVLoader loader;
  ASSERT_FALSE(loader.Load(tsf_test::DataPath("nile.csv"), true, ',', 0).IsError());
  EXPECT_EQ(Header(loader), (Row{"flow", "time"}));
  Row flow = Column(loader, "flow");
  std::vector<double> expected = tsf_test::LoadSeries("nile.csv");
  ASSERT_EQ(flow.size(), expected.size());
  for (size_t i = 0; i < flow.size(); ++i) EXPECT_EQ(std::stod(flow[i]), expected[i]) << i;
  EXPECT_EQ(Column(loader, "time").front(), "1871");
}

// Long lines and lines crossing the reader's block boundaries, against a plain
// line-by-line reading of the same text.
TEST(CSVLoader, MatchesLineByLineReadingOfALargeFile) {
  std::string text;
  uint32_t state = 12345;
  auto next = [&state] { return state = state * 1664525u + 1013904223u; };
  const char alphabet[] = "ab,,\"\r 9;";
  while (text.size() < (size_t(5) << 20)) {
    size_t length = (next() >> 8) % 4001 == 0 ? 1500000 + next() % 1000 : (next() >> 8) % 40;
    for (size_t i = 0; i < length; ++i) text += alphabet[(next() >> 8) % (sizeof alphabet - 1)];
    text += '\n';
  }
  text += "tail,,";  // no terminator

  std::vector<Row> expected;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    Row row;
    std::istringstream fields(line);
    std::string field;
    while (std::getline(fields, field, ',')) row.push_back(field.empty() ? "NA" : field);
    expected.push_back(row);
  }

  TempFiles files;
  TsCSVLoader loader;
  ASSERT_FALSE(loader.Load(files.Write("big.csv", text), false, ',', 0).IsError());
  std::vector<Row> rows = AllRows(loader);
  ASSERT_EQ(rows.size(), expected.size());
  for (size_t i = 0; i < rows.size(); ++i) ASSERT_EQ(rows[i], expected[i]) << "row " << i;
}

// Allocation failure injected at every allocation of a call in turn: the call reports
// ENOMEM instead of throwing and leaves the loader (and the output vectors) as they were.
namespace {
long g_allocations_before_failure = -1;  // < 0: never fail
}  // namespace

// Out of line, so that the compiler never pairs an inlined malloc with operator delete.

__attribute__((noinline)) void *operator new(size_t size) {
  if (g_allocations_before_failure >= 0 && g_allocations_before_failure-- == 0) throw std::bad_alloc();
  if (void *p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
__attribute__((noinline)) void *operator new[](size_t size) { return ::operator new(size); }
__attribute__((noinline)) void operator delete(void *p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete[](void *p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete(void *p, size_t) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete[](void *p, size_t) noexcept { std::free(p); }

namespace {
// Runs call() with its k-th allocation failing, for k = 0, 1, ... until a run needs
// fewer than k allocations; check(status, failed) judges each run. Returns that k.
template <class Call, class Check>
long InjectEachAllocationFailure(Call call, Check check) {
  for (long k = 0;; ++k) {
    CNbError status;
    bool escaped = false;
    g_allocations_before_failure = k;
    try {
      status = call();
    } catch (...) {
      escaped = true;
    }
    bool failed = g_allocations_before_failure < 0;
    g_allocations_before_failure = -1;
    EXPECT_FALSE(escaped) << "exception escaped with allocation " << k << " failing";
    check(status, failed);
    if (!failed) return k;
  }
}

void ExpectOutOfMemory(const CNbError &status, const char *function) {
  ASSERT_TRUE(status.IsError());
  EXPECT_EQ(status.Detail()->Code(), ENOMEM);
  EXPECT_EQ(status.Detail()->Message(), "Out of memory");
  EXPECT_EQ(status.Detail()->Locations()[0].function, function);
}
}  // namespace

TEST(CSVLoader, OutOfMemoryIsReportedNotThrown) {
  TempFiles files;
  std::string first = files.Write("first.csv", "a,b\n1,2\n3,4\n");
  std::string second = files.Write("second.csv", "c,a,d\nlonger than any short string,5\n6,,7\n8\n");
  TsCSVLoader loader;
  ASSERT_FALSE(loader.Load(first, true, ',', 0).IsError());
  const std::vector<Row> rows = AllRows(loader);
  const Row header = Header(loader);

  TsCSVLoader copy(loader);
  long runs = InjectEachAllocationFailure(
      [&] { return copy.Load(second, true, ',', 3); },
      [&](const CNbError &status, bool failed) {
        if (failed) {
          ExpectOutOfMemory(status, kLoadFn);
          EXPECT_EQ(AllRows(copy), rows);
          EXPECT_EQ(Header(copy), header);
        } else {
          EXPECT_FALSE(status.IsError());
        }
        copy = loader;
      });
  EXPECT_GT(runs, 10);

  ASSERT_FALSE(loader.Load(second, true, ',', 3).IsError());
  Row cells{"x"};
  InjectEachAllocationFailure([&] { return loader.GetColumn("c", cells); },
                              [&](const CNbError &status, bool failed) {
                                if (failed) {
                                  ExpectOutOfMemory(status, kGetColumnFn);
                                  EXPECT_EQ(cells, (Row{"x"}));
                                } else {
                                  EXPECT_EQ(cells, (Row{"x", "longer than any short string", "6", "8"}));
                                }
                                cells = {"x"};
                              });
  Row row{"y"};
  InjectEachAllocationFailure([&] { return loader.GetRow(0, row); },
                              [&](const CNbError &status, bool failed) {
                                if (failed) {
                                  ExpectOutOfMemory(status, kGetRowFn);
                                  EXPECT_TRUE(row.empty());
                                } else {
                                  EXPECT_EQ(row, (Row{"longer than any short string", "5", "NA", "NA"}));
                                }
                                row = {"y"};
                              });
  Row names{"z"};
  InjectEachAllocationFailure([&] { return loader.GetHeader(names); },
                              [&](const CNbError &status, bool failed) {
                                EXPECT_EQ(status.IsError(), failed);
                                EXPECT_EQ(names, failed ? Row{"z"} : (Row{"z", "a", "b", "c", "d"}));
                                names = {"z"};
                              });
}
