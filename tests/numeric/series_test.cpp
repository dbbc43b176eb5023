// The series evaluator: term counts, trace records, repeatability.
#include "numeric/series.hpp"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/child.hpp"

namespace {

using testing_support::CaptureStdout;

constexpr int32_t kTermCounts[] = {9, 9, 8, 8, 7, 7, 6, 6, 6, 5, 5};

template <class Kind>
class SeriesTest : public ::testing::Test {
 protected:
  void SetUp() override { SeriesLog = SeriesLogBlock{}; }
};
using Kinds = ::testing::Types<Single, Double, Quad>;
TYPED_TEST_SUITE(SeriesTest, Kinds);

TYPED_TEST(SeriesTest, StopsAtTheSameTermInEveryKind) {
  for (int32_t m = 0; m <= kMaxOrder; ++m) {
    SeriesLog.TermCount[static_cast<size_t>(m)] = -1;
    (void)SeriesJ<TypeParam>(m);
    EXPECT_EQ(SeriesLog.TermCount[static_cast<size_t>(m)], kTermCounts[m]) << "m = " << m;
  }
}

TYPED_TEST(SeriesTest, WithoutTraceNothingIsWritten) {
  const std::string written = CaptureStdout([] { (void)SeriesJ<TypeParam>(3); });
  EXPECT_EQ(written, "");
  EXPECT_EQ(SeriesLog.TermCount[3], 8);
}

TYPED_TEST(SeriesTest, RepeatedEvaluationsAreBitIdentical) {
  for (int32_t m = 0; m <= kMaxOrder; ++m) {
    const TypeParam first = SeriesJ<TypeParam>(m);
    const TypeParam second = SeriesJ<TypeParam>(m);
    EXPECT_EQ(std::memcmp(&first, &second, sizeof first), 0) << "m = " << m;
  }
}

TEST(SeriesTrace, RecordsNameTheFirstNeglectedTerm) {
  struct Row {
    int32_t m;
    const char* record;
  };
  const Row rows[] = {
      {0, " 0   9            -2.896903392D-17\r\n"},
      {6, " 6   6             7.078978471D-16\r\n"},
      {10, "10   5            -6.223277777D-18\r\n"},
  };
  for (const Row& row : rows) {
    SeriesLog.TraceOn = 1;
    const std::string written = CaptureStdout([&] { (void)SeriesJ<Quad>(row.m); });
    SeriesLog.TraceOn = 0;
    EXPECT_EQ(written, row.record);
  }
}

TEST(SeriesValues, MatchKnownDigits) {
  // J_0(1) = 0.76519768655796655145..., truncated at a term of about 1e-17.
  EXPECT_EQ(SeriesJ<Single>(0), 0.76519769f);
  EXPECT_NEAR(SeriesJ<Double>(0), 0.7651976865579666, 1e-16);
  EXPECT_NEAR(static_cast<double>(SeriesJ<Quad>(10)), 2.630615123748069e-10, 1e-25);
}

}  // namespace
