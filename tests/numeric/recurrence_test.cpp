// The recurrence tables and the relative error.
#include "numeric/recurrence.hpp"

#include <gtest/gtest.h>

#include "output/fields.hpp"
#include "tests/support/bits.hpp"

namespace {

class RecurrenceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    SeriesLog = SeriesLogBlock{};
    SeedTables();
    ExtendTables();
  }
};

TEST_F(RecurrenceTest, SeedsAreTheWidenedSeriesValues) {
  for (int32_t m = 0; m <= 1; ++m) {
    const size_t i = static_cast<size_t>(m);
    EXPECT_EQ(Bits(RecSingle[i]), Bits(Widen(SeriesJ<Single>(m))));
    EXPECT_EQ(Bits(RecDouble[i]), Bits(Widen(SeriesJ<Double>(m))));
    EXPECT_EQ(Bits(RecQuad[i]), Bits(SeriesJ<Quad>(m)));
  }
}

TEST_F(RecurrenceTest, EachStepMultipliesThenSubtracts) {
  for (size_t m = 1; m < kMaxOrder; ++m) {
    const Quad expected = Widen(static_cast<int32_t>(2 * m)) * RecQuad[m] - RecQuad[m - 1];
    EXPECT_EQ(Bits(RecQuad[m + 1]), Bits(expected)) << "m = " << m;
  }
}

TEST_F(RecurrenceTest, QuadTableEndsNegative) {
  EXPECT_EQ(ExponentField(RecQuad[10], 40, 33, 1, 'E'), "-1.954917547827668559698473982820910E-09");
}

// The relative errors as printed, 1P,E10.3 (D10.3 for the Double table).
TEST_F(RecurrenceTest, RelativeErrorsAsPrinted) {
  struct Row {
    const char* table;
    int32_t m;
    Single error;
    const char* printed;
  };
  const Row rows[] = {
      {"Single", 2, RelErr<Single>(2), " -1.297E-07"},
      {"Single", 6, RelErr<Single>(6), " -1.736E+00"},
      {"Single", 10, RelErr<Single>(10), " -6.536E+09"},
      {"Double", 2, RelErr<Double>(2), " -4.831E-16"},
      {"Double", 10, RelErr<Double>(10), " -3.561E+00"},
      // The one value that depends on the last bit of Quad arithmetic.
      {"Quad", 2, RelErr<Quad>(2), "  4.190E-34"},
      {"Quad", 3, RelErr<Quad>(3), "  5.331E-15"},
      {"Quad", 10, RelErr<Quad>(10), "  8.431E+00"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ExponentField(row.error, 11, 3, 1, 'E'), row.printed)
        << row.table << " m = " << row.m;
  }
}

TEST_F(RecurrenceTest, RelativeErrorRefreshesTheTermCount) {
  SeriesLog.TermCount[7] = -1;
  (void)RelErr<Double>(7);
  EXPECT_EQ(SeriesLog.TermCount[7], 6);
}

}  // namespace
