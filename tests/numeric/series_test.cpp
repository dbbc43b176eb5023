// The series evaluator: term counts, trace records, repeatability.
#include "numeric/series.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/fields.hpp"
#include "tests/support/bits.hpp"

namespace {

constexpr int32_t kTermCounts[] = {9, 9, 8, 8, 7, 7, 6, 6, 6, 5, 5};

// What the evaluations reported through the trace hook: m, terms, and the first neglected
// term as the trace record writes it (1P, D18.9).
struct Reported {
  int32_t m;
  int32_t terms;
  std::string first_neglected;
};
std::vector<Reported> reported;

void Record(int32_t m, int32_t terms, Quad first_neglected) {
  reported.push_back({m, terms, ExponentField(first_neglected, 18, 9, 1, 'D')});
}

class TraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SeriesLog = SeriesLogBlock{};
    SeriesTrace = Record;
    reported.clear();
  }
  void TearDown() override { SeriesTrace = nullptr; }
};

template <class Kind>
class SeriesTest : public TraceTest {};
using Kinds = ::testing::Types<Single, Double, Quad>;
TYPED_TEST_SUITE(SeriesTest, Kinds);

TYPED_TEST(SeriesTest, StopsAtTheSameTermInEveryKind) {
  for (int32_t m = 0; m <= kMaxOrder; ++m) {
    SeriesLog.TermCount[static_cast<size_t>(m)] = -1;
    (void)SeriesJ<TypeParam>(m);
    EXPECT_EQ(SeriesLog.TermCount[static_cast<size_t>(m)], kTermCounts[m]) << "m = " << m;
  }
}

TYPED_TEST(SeriesTest, WithoutTraceNothingIsReported) {
  (void)SeriesJ<TypeParam>(3);
  EXPECT_TRUE(reported.empty());
  EXPECT_EQ(SeriesLog.TermCount[3], 8);
}

TYPED_TEST(SeriesTest, RepeatedEvaluationsAreBitIdentical) {
  for (int32_t m = 0; m <= kMaxOrder; ++m) {
    const TypeParam first = SeriesJ<TypeParam>(m);
    const TypeParam second = SeriesJ<TypeParam>(m);
    EXPECT_EQ(Bits(first), Bits(second)) << "m = " << m;
  }
}

TEST_F(TraceTest, NamesTheFirstNeglectedTermOfTheQuadSeries) {
  struct Row {
    int32_t m;
    int32_t terms;
    const char* first_neglected;
  };
  const Row rows[] = {
      {0, 9, "  -2.896903392D-17"},
      {6, 6, "   7.078978471D-16"},
      {10, 5, "  -6.223277777D-18"},
  };
  SeriesLog.TraceOn = 1;
  for (const Row& row : rows) (void)SeriesJ<Quad>(row.m);
  ASSERT_EQ(reported.size(), std::size(rows));
  for (size_t i = 0; i < reported.size(); ++i) {
    EXPECT_EQ(reported[i].m, rows[i].m);
    EXPECT_EQ(reported[i].terms, rows[i].terms) << "m = " << rows[i].m;
    EXPECT_EQ(reported[i].first_neglected, rows[i].first_neglected) << "m = " << rows[i].m;
  }
}

TEST(SeriesValues, MatchKnownDigits) {
  // J_0(1) = 0.76519768655796655145..., truncated at a term of about 1e-17.
  EXPECT_EQ(SeriesJ<Single>(0), 0.76519769f);
  EXPECT_NEAR(SeriesJ<Double>(0), 0.7651976865579666, 1e-16);
  EXPECT_NEAR(static_cast<double>(SeriesJ<Quad>(10)), 2.630615123748069e-10, 1e-25);
}

}  // namespace
