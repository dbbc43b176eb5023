// The walk of an edit list: tabs, colon, slash, scale factor, run-time tabs.
#include "output/statement.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace edit;

// The records of one statement, each followed by the line end a unit would add.
std::string Records(EditList list, std::initializer_list<Item> items) {
  std::string records;
  WriteRecords(list, items,
               [&records](std::string_view record) { records.append(record).append("\r\n"); });
  return records;
}

constexpr EditDescriptor kLine[] = {Lit(" "), I(3), T(8),  P(1),  E(13, 6), T(27),   P(1),
                                    E(14, 7), I(6), Colon, TR(4), P(1),     E(10, 3)};

TEST(Colon, StopsTheStatementWhenItemsRunOut) {
  const std::string four = Records(kLine, {int32_t{0}, 0.7651977f, 0.7651977f, int32_t{9}});
  EXPECT_EQ(four, "   0    7.651977E-01       7.6519769E-01     9\r\n");
  EXPECT_EQ(four.size(), 46u + 2u);
}

TEST(Colon, WithAFifthItemTheTabLeavesFourBlanks) {
  const std::string five =
      Records(kLine, {int32_t{2}, 0.1149035f, 0.1149035f, int32_t{8}, -1.297e-7f});
  ASSERT_EQ(five.size(), 60u + 2u);
  EXPECT_EQ(five.substr(46, 4), "    ");
  EXPECT_EQ(five.substr(50, 10), "-1.297E-07");
}

TEST(Slash, AtTheHeadAndTheEndEmitEmptyRecords) {
  constexpr EditDescriptor kHeading[] = {Slash, T(4), A, T(9), A, Slash};
  EXPECT_EQ(Records(kHeading, {"m", "Functia Bessel Jm(1)"}),
            "\r\n   m    Functia Bessel Jm(1)\r\n\r\n");
  constexpr EditDescriptor kTitle[] = {Slash, A};
  EXPECT_EQ(Records(kTitle, {"Apasa orice tasta"}), "\r\nApasa orice tasta\r\n");
}

TEST(Slash, KeepsTheScaleFactor) {
  constexpr EditDescriptor kTwoLines[] = {P(1), E(10, 3), Slash, E(10, 3)};
  EXPECT_EQ(Records(kTwoLines, {1.5f, 2.5f}), " 1.500E+00\r\n 2.500E+00\r\n");
}

TEST(Tabs, AddNoTrailingBlanksButTextKeepsItsOwn) {
  constexpr EditDescriptor kTabbed[] = {A, T(30), TR(5)};
  EXPECT_EQ(Records(kTabbed, {"ab"}), "ab\r\n");
  constexpr EditDescriptor kText[] = {A};
  EXPECT_EQ(Records(kText, {"ab  "}), "ab  \r\n");
}

TEST(Tabs, BackIntoTextOverwritesWithoutShortening) {
  constexpr EditDescriptor kBack[] = {A, T(3), A};
  EXPECT_EQ(Records(kBack, {"abcdefgh", "XY"}), "abXYefgh\r\n");
}

TEST(Tabs, PassedOverColumnsAreBlankWhenAFieldFollows) {
  constexpr EditDescriptor kGap[] = {A, T(19), A};
  EXPECT_EQ(Records(kGap, {" m   Nr_Termeni", "Primul termen neglijat"}),
            " m   Nr_Termeni   Primul termen neglijat\r\n");
}

TEST(Tabs, ARunTimeColumnIsReadAtEveryVisit) {
  int32_t column = 5;
  const EditDescriptor kMovable[] = {T(&column), A};
  EXPECT_EQ(Records(kMovable, {"x"}), "    x\r\n");
  column = 2;
  EXPECT_EQ(Records(kMovable, {"x"}), " x\r\n");
}

TEST(ScaleFactor, DoesNotLeakIntoTheNextStatement) {
  constexpr EditDescriptor kScaled[] = {P(1), E(10, 3)};
  constexpr EditDescriptor kPlain[] = {E(10, 3)};
  EXPECT_EQ(Records(kScaled, {0.5f}), " 5.000E-01\r\n");
  EXPECT_EQ(Records(kPlain, {0.5f}), " 0.500E+00\r\n");
  EXPECT_EQ(Records(kScaled, {0.5f}), " 5.000E-01\r\n");
}

TEST(Items, OutlastingTheListStartANewRecordFromItsHead) {
  constexpr EditDescriptor kOne[] = {I(2)};
  EXPECT_EQ(Records(kOne, {int32_t{1}, int32_t{2}}), " 1\r\n 2\r\n");
}

TEST(InternalEditing, FillsTheTargetFromItsFirstColumn) {
  constexpr EditDescriptor kOneDigit[] = {I(1)};
  constexpr EditDescriptor kTwoDigits[] = {I(2)};
  EXPECT_EQ(InternalEdit(2, kOneDigit, {int32_t{7}}), "7 ");
  EXPECT_EQ(InternalEdit(2, kTwoDigits, {int32_t{16}}), "16");
  EXPECT_EQ(InternalEdit(2, kTwoDigits, {int32_t{34}}), "34");
  constexpr EditDescriptor kWide[] = {I(4)};
  EXPECT_EQ(InternalEdit(2, kWide, {int32_t{1234}}), "12");
}

}  // namespace
