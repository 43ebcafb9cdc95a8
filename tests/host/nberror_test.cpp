#include "host/NbError.h"
#include "host/NbSleep.h"

#include <gtest/gtest.h>

TEST(NbError, DefaultIsSuccess) {
  CNbError ok;
  EXPECT_FALSE(ok.IsError());
  EXPECT_EQ(ok.Code(), 0);
  EXPECT_EQ(ok.Detail(), nullptr);
  EXPECT_FALSE(CNbError::Success().IsError());
  ok.Push(GZCodeLocation("f.cpp", "fn", 3));  // a success stays a success
  EXPECT_FALSE(ok.IsError());
}

TEST(NbError, ErrorErrNoFormatsAndKeepsLocation) {
  GZCodeLocation where("CSVLoader.cpp", "CNbError TsCSVLoader::Drop(size_t)", 115);
  CNbError e = GZErrorUtil::ErrorErrNo(where, 22, "Invalid row index [%zu] - max [%zu]", size_t(3), size_t(2));
  ASSERT_TRUE(e.IsError());
  EXPECT_LT(e.Code(), 0);
  ASSERT_NE(e.Detail(), nullptr);
  EXPECT_EQ(e.Detail()->Code(), 22);
  EXPECT_EQ(e.Detail()->Message(), "Invalid row index [3] - max [2]");
  ASSERT_EQ(e.Detail()->Locations().size(), 1u);
  EXPECT_EQ(e.Detail()->Locations()[0].file, "CSVLoader.cpp");
  EXPECT_EQ(e.Detail()->Locations()[0].function, "CNbError TsCSVLoader::Drop(size_t)");
  EXPECT_EQ(e.Detail()->Locations()[0].line, 115);
}

TEST(NbError, PushAppendsAndCopiesShareTheRecord) {
  CNbError e = GZErrorUtil::ErrorErrNo(GZCodeLocation("a.cpp", "first", 1), 2, "CSV file [%s] not found", "x.csv");
  CNbError copy = e;
  CNbError &same = copy.Push(GZCodeLocation("b.cpp", "second", 2));
  EXPECT_EQ(&same, &copy);
  ASSERT_EQ(e.Detail()->Locations().size(), 2u);  // shared detail record
  EXPECT_EQ(e.Detail()->Locations()[1].function, "second");
  EXPECT_EQ(e.Detail()->Locations()[1].line, 2);
  CNbError assigned;
  assigned = e;
  EXPECT_TRUE(assigned.IsError());
  EXPECT_EQ(assigned.Detail(), e.Detail());
}

TEST(NbError, ZeroErrnoStillAnError) {
  CNbError e = GZErrorUtil::ErrorErrNo(GZCodeLocation("a", "b", 1), 0, "plain");
  EXPECT_TRUE(e.IsError());
  EXPECT_EQ(e.Detail()->Message(), "plain");
}

TEST(NbSleep, ReturnsAtOnce) { EXPECT_EQ(NBSLEEP_InTeRnAl(1, __FILE__, 130), 0); }
