// Every data field as a statement writes it: Iw, Ew.d and Dw.d under 1P, for all kinds.
#include "output/fields.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "output/statement.hpp"
#include "tests/support/bits.hpp"

namespace {

using namespace edit;

std::string Blanks(size_t n) {
  return std::string(n, ' ');
}

struct FieldRow {
  const char* name;
  std::vector<EditDescriptor> list;
  Item item;
  std::string field;
};

// The field written by a one-item statement into a record exactly w columns wide.
std::string Edited(const FieldRow& row) {
  return InternalEdit(row.field.size(), row.list, {row.item});
}

TEST(EditedFields, EdgeTable) {
  const FieldRow rows[] = {
      {"E13.6 Single", {P(1), E(13, 6)}, 0.7651977f, Blanks(1) + "7.651977E-01"},
      {"E13.6 Single neg", {P(1), E(13, 6)}, -0.7651977f, "-7.651977E-01"},
      {"E14.6 Single", {P(1), E(14, 6)}, -1234.5678f, Blanks(1) + "-1.234568E+03"},
      {"E13.6 Quad", {P(1), E(13, 6)}, ParseQuad("1.7192484"), Blanks(1) + "1.719248E+00"},
      {"E13.6 Quad neg", {P(1), E(13, 6)}, ParseQuad("-1.9549175e-9"), "-1.954918E-09"},
      {"E14.7 Single", {P(1), E(14, 7)}, 2.4975773e-10f, Blanks(1) + "2.4975774E-10"},
      {"E10.3 zero", {P(1), E(10, 3)}, 0.0f, Blanks(1) + "0.000E+00"},
      {"E10.3 negative zero", {P(1), E(10, 3)}, -0.0f, Blanks(1) + "0.000E+00"},
      {"E10.3 tie down", {P(1), E(10, 3)}, 1.0625f, Blanks(1) + "1.062E+00"},
      {"E10.3 tie up", {P(1), E(10, 3)}, 1.1875f, Blanks(1) + "1.188E+00"},
      {"E10.3 carry", {P(1), E(10, 3)}, 9.9996f, Blanks(1) + "1.000E+01"},
      {"E10.3 negative", {P(1), E(10, 3)}, -3.5e-7f, "-3.500E-07"},
      {"D10.3 Single", {P(1), D(10, 3)}, 2.5e-9f, Blanks(1) + "2.500D-09"},
      {"D18.9 Single", {P(1), D(18, 9)}, 0.7651977f, Blanks(3) + "7.651976943D-01"},
      {"D18.9 Double", {P(1), D(18, 9)}, -1.0e-15, Blanks(2) + "-1.000000000D-15"},
      {"D18.9 Quad", {P(1), D(18, 9)}, Quad{1} / 3, Blanks(3) + "3.333333333D-01"},
      {"D22.15 Double", {P(1), D(22, 15)}, 0.7651976865579666, Blanks(1) + "7.651976865579666D-01"},
      {"D22.16 Double", {P(1), D(22, 16)}, 0.7651976865579666, "7.6519768655796661D-01"},
      {"D22.16 negative", {P(1), D(22, 16)}, -0.7651976865579666, std::string(22, '*')},
      {"D22.16 negative tiny", {P(1), D(22, 16)}, -1e-300, std::string(22, '*')},
      {"D22.15 Double neg", {P(1), D(22, 15)}, -12345.678, "-1.234567800000000D+04"},
      {"D22.15 e-100", {P(1), D(22, 15)}, 1.0e-100, Blanks(1) + "1.000000000000000-100"},
      {"D22.15 e+100 neg", {P(1), D(22, 15)}, -1.0e+100, "-1.000000000000000+100"},
      {"E40.33 Quad",
       {P(1), E(40, 33)},
       Quad{1} / 10,
       Blanks(1) + "1.000000000000000000000000000000000E-01"},
      {"E40.33 Quad neg",
       {P(1), E(40, 33)},
       Quad{-1} / 3,
       "-3.333333333333333333333333333333333E-01"},
      {"I3", {I(3)}, int32_t{7}, Blanks(2) + "7"},
      {"I3 negative", {I(3)}, int32_t{-12}, "-12"},
      {"I3 too wide", {I(3)}, int32_t{-123}, "***"},
      {"I7 zero", {I(7)}, int32_t{0}, Blanks(6) + "0"},
      {"I1 too wide", {I(1)}, int32_t{10}, "*"},
      {"I2", {I(2)}, int32_t{34}, "34"},
      {"I11 most negative", {I(11)}, int32_t{-2147483647 - 1}, "-2147483648"},
  };
  for (const FieldRow& row : rows) EXPECT_EQ(Edited(row), row.field) << row.name;
}

// w = d + 6 fits a positive value exactly and no negative one; w = d + 7 fits both.
TEST(EditedFields, WidthAgainstSign) {
  const std::vector<EditDescriptor> tight = {P(1), E(9, 3)};
  const std::vector<EditDescriptor> loose = {P(1), E(10, 3)};
  EXPECT_EQ(InternalEdit(9, tight, {1.5}), "1.500E+00");
  EXPECT_EQ(InternalEdit(9, tight, {-1.5}), "*********");
  EXPECT_EQ(InternalEdit(10, loose, {-1.5}), "-1.500E+00");
  EXPECT_EQ(InternalEdit(9, tight, {1.0e-100}), "1.000-100");
}

TEST(EditedFields, ExponentsBeyondThreeDigitsAreAsterisks) {
  const Quad tiny = Quad{1} / Power(Quad{2}, 4000);  // about 7.6e-1205
  EXPECT_EQ(ExponentField(tiny, 12, 3, 1, 'E'), std::string(12, '*'));
}

TEST(EditedFields, InfinityAndNaNFromTheSecondColumn) {
  const Double infinity = std::numeric_limits<Double>::infinity();
  EXPECT_EQ(ExponentField(infinity, 12, 3, 1, 'E'), " Infinity   ");
  EXPECT_EQ(ExponentField(-infinity, 12, 3, 1, 'E'), " -Infinity  ");
  EXPECT_EQ(ExponentField(std::numeric_limits<Single>::quiet_NaN(), 10, 3, 1, 'D'), " NaN      ");
  EXPECT_EQ(ExponentField(-infinity, 8, 1, 1, 'E'), "********");
}

// Scale factors other than 1 follow the usual exponent-form rules.
TEST(EditedFields, OtherScaleFactors) {
  EXPECT_EQ(ExponentField(0.7651977f, 10, 3, 0, 'E'), " 0.765E+00");
  EXPECT_EQ(ExponentField(-1234.5678f, 11, 3, -1, 'E'), " -0.012E+05");
  EXPECT_EQ(ExponentField(1234.5678f, 11, 3, 2, 'E'), "  12.35E+02");
  EXPECT_EQ(ExponentField(1234.5678f, 11, 3, 5, 'E'), std::string(11, '*'));
}

TEST(EditedFields, MismatchedItemsGiveAsterisks) {
  EXPECT_EQ(InternalEdit(3, std::vector<EditDescriptor>{I(3)}, {1.5}), "***");
  EXPECT_EQ(InternalEdit(5, std::vector<EditDescriptor>{P(1), E(5, 1)}, {int32_t{1}}), "*****");
}

}  // namespace
