#include "ArxUtils/ExcelUtils.h"

#include <gtest/gtest.h>

#include <array>

#include "tests/ArxUtils/message_boxes.h"

namespace {

using gm::test::MessageBoxRecorder;

TEST(FormatCellAddress, OneTwoAndThreeLetterColumns) {
  MessageBoxRecorder boxes;
  EXPECT_EQ(FormatCellAddress(3, 2), L"$B$3");
  EXPECT_EQ(FormatCellAddress(1, 26), L"$Z$1");
  EXPECT_EQ(FormatCellAddress(1, 27), L"$AA$1");
  EXPECT_EQ(FormatCellAddress(10, 28), L"$AB$10");
  EXPECT_EQ(FormatCellAddress(1, 52), L"$AZ$1");
  EXPECT_EQ(FormatCellAddress(1, 53), L"$BA$1");
  EXPECT_EQ(FormatCellAddress(1, 702), L"$ZZ$1");
  EXPECT_EQ(FormatCellAddress(1, 703), L"$AAA$1");
  EXPECT_EQ(FormatCellAddress(1048576, 16384), L"$XFD$1048576");
  EXPECT_TRUE(boxes.shown().empty());
}

TEST(FormatCellAddressErrors, NonPositiveIndexesShowAMessage) {
  MessageBoxRecorder boxes;
  EXPECT_EQ(FormatCellAddress(0, 5), L"");
  EXPECT_EQ(FormatCellAddress(4, -1), L"");
  ASSERT_EQ(boxes.shown().size(), 2u);
  EXPECT_EQ(boxes.shown()[0].text, L"The row index and column index should be a positive number.");
  EXPECT_EQ(boxes.shown()[0].type, MB_OK);
}

TEST(FormatCellAddressErrors, ColumnsBeyondTheLastSheetColumnAreRefused) {
  MessageBoxRecorder boxes;
  EXPECT_EQ(FormatCellAddress(1, 16385), L"");
  EXPECT_EQ(FormatCellAddress(1, 18279), L"");  // would need four letters
  ASSERT_EQ(boxes.shown().size(), 2u);
  EXPECT_NE(boxes.shown()[0].text.find(L"16385"), std::wstring::npos);
  EXPECT_NE(boxes.shown()[0].text.find(L"XFD"), std::wstring::npos);
}

TEST(ParseRange, StartAndEndOfARange) {
  int row = 0, column = 0;
  EXPECT_TRUE(ParseRangeStart(L"$B$3:$D$5", row, column));
  EXPECT_EQ(row, 3);
  EXPECT_EQ(column, 2);
  EXPECT_TRUE(ParseRangeEnd(L"$B$3:$D$5", row, column));
  EXPECT_EQ(row, 5);
  EXPECT_EQ(column, 4);
  EXPECT_TRUE(ParseRangeStart(L"$AB$12", row, column));
  EXPECT_EQ(row, 12);
  EXPECT_EQ(column, 28);
  EXPECT_TRUE(ParseRangeEnd(L"$A$1:$XFD$1048576", row, column));
  EXPECT_EQ(row, 1048576);
  EXPECT_EQ(column, 16384);
  EXPECT_TRUE(ParseRangeStart(L"$b$3", row, column));
  EXPECT_EQ(column, 2);
}

TEST(ParseRange, EveryFormattedColumnReadsBack) {
  for (int column = 1; column <= 16384; ++column) {
    const std::wstring range = FormatCellAddress(7, column) + L":" + FormatCellAddress(9, column);
    int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
    ASSERT_TRUE(ParseRangeStart(range, r1, c1)) << column;
    ASSERT_TRUE(ParseRangeEnd(range, r2, c2)) << column;
    ASSERT_EQ((std::array{r1, c1, r2, c2}), (std::array{7, column, 9, column})) << column;
  }
}

TEST(ParseRangeErrors, UnreadableTexts) {
  int row = 0, column = 0;
  EXPECT_FALSE(ParseRangeStart(L"", row, column));
  EXPECT_FALSE(ParseRangeStart(L"B3", row, column));
  EXPECT_FALSE(ParseRangeEnd(L"$B$3", row, column));
  EXPECT_FALSE(ParseRangeEnd(L"$B$3:D5", row, column));
  EXPECT_FALSE(ParseRangeEnd(L"$B$3:", row, column));
  EXPECT_EQ(row, 0);
  EXPECT_EQ(column, 0);

  // A digit right after the '$' reads a row but no column.
  EXPECT_FALSE(ParseRangeStart(L"$5", row, column));
  EXPECT_EQ(row, 5);
  EXPECT_EQ(column, 0);

  // Beyond the last column (or four letters): refused, and no column is left
  // behind for callers that only test the numbers.
  row = 0;
  EXPECT_FALSE(ParseRangeStart(L"$XFE$1", row, column));
  EXPECT_EQ(column, 0);
  EXPECT_FALSE(ParseRangeStart(L"$ABCD$1", row, column));
  EXPECT_EQ(column, 0);
  EXPECT_EQ(row, 0);
}

}  // namespace
