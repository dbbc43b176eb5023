// Checking a student's own loop: loops written here as students write them, in the hardware's
// float, double and long double, each recognised as the lab's recurrence or named by the
// variant that reproduces it; and their texts read, or refused, as a student's file gives them.
#include "experiment/check.hpp"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "experiment/settings.hpp"
#include "tests/lab/contracted_loop.hpp"

namespace {

// J_0(x) and J_1(x) at x = 1.3 rounded once to float and to double, correctly rounded (mpmath at
// 300 bits, at x's value in each format, rounded to 24 and 53 bits): the lab's rounded seeds.
constexpr float kJ0Float = 0x1.3d7beap-1f, kJ1Float = 0x1.0b46a2p-1f;
constexpr double kJ0Double = 0x1.3d7be92bbfbbbp-1, kJ1Double = 0x1.0b46a18ecb9d2p-1;
constexpr int kOrders = 24;

// A student's loop: f_0, f_1 given, then f_(m+1) from f_m and f_(m-1), m = 1 ... kOrders - 1.
template <class T>
using Step = std::function<T(int m, T f_m, T f_before)>;

template <class T>
std::vector<T> Loop(T f_0, T f_1, const Step<T>& step) {
  std::vector<T> f = {f_0, f_1};
  for (int m = 1; m < kOrders; ++m) f.push_back(step(m, f[m], f[m - 1]));
  return f;
}

// The values as a student's file holds them: one a line, in C99 hexadecimal (exact).
template <class T>
std::string HexLines(const std::vector<T>& values) {
  std::string text = "# f_m, m = 0 ... M\n";
  char line[64];
  for (const T v : values) {
    std::snprintf(line, sizeof line, "%a\n", static_cast<double>(v));
    text += line;
  }
  return text;
}

CheckOutcome Checked(const std::string& content, const IeeeFormat& format,
                     const std::string& column = "") {
  std::vector<GivenText> texts;
  EXPECT_EQ(SplitGivenValues(content, column, texts), "");
  std::vector<GivenValue> values;
  EXPECT_EQ(ReadGivenTexts(texts, format, "line", values), "");
  Experiment experiment;
  EXPECT_EQ(SetX(experiment, "1.3"), "");
  experiment.arithmetic = &format;
  CheckOutcome check;
  EXPECT_TRUE(RunCheck(experiment, values, check));
  return check;
}

// The one variant that the check names for every step, -1 for none or for several runs.
int NamedVariant(const CheckOutcome& check) {
  const std::vector<StepRun>& runs = check.comparison.runs;
  return runs.size() == 1 ? runs[0].variant : -1;
}

int VariantIndex(const StepVariant& wanted) {
  for (size_t i = 0; i < kStepVariantCount; ++i) {
    const StepVariant& v = kStepVariants[i];
    if (v.product_first == wanted.product_first && v.fused == wanted.fused &&
        v.binary64_x == wanted.binary64_x && v.wider == wanted.wider &&
        v.wider_x == wanted.wider_x) {
      return static_cast<int>(i);
    }
  }
  return -2;
}

struct LoopCase {
  const char* name;
  StepVariant expected;
  Step<float> in_float;    // null: not a float loop
  Step<double> in_double;  // null: not a double loop
};

TEST(Check, NamesTheVariantEachStudentLoopUses) {
  const float x = 1.3f;
  const double xd = 1.3;
  const LoopCase cases[] = {
    {"the lab's own loop",
     {},
     [&](int m, float f, float b) { return (2 * m / x) * f - b; },
     [&](int m, double f, double b) { return (2 * m / xd) * f - b; }},
    {"2m f / x",
     {.product_first = true},
     [&](int m, float f, float b) { return (2 * m * f) / x - b; },
     [&](int m, double f, double b) { return (2 * m * f) / xd - b; }},
    {"fma",
     {.fused = true},
     [&](int m, float f, float b) { return std::fma(2 * m / x, f, -b); },
     [&](int m, double f, double b) { return std::fma(2 * m / xd, f, -b); }},
    {"x a double literal, the factor rounded to float",
     {.binary64_x = true},
     [&](int m, float f, float b) { return static_cast<float>(2.0 * m / 1.3) * f - b; },
     nullptr},
    {"float code evaluated in double",
     {.wider = true},
     [&](int m, float f, float b) {
       return static_cast<float>(2.0 * m / static_cast<double>(x) * f - static_cast<double>(b));
     },
     nullptr},
    {"float code with a double literal, evaluated in double",
     {.binary64_x = true, .wider = true},
     [&](int m, float f, float b) { return static_cast<float>(2.0 * m / 1.3 * f - b); },
     nullptr},
#if LDBL_MANT_DIG == 64
    {"double code evaluated on the x87",
     {.wider = true},
     nullptr,
     [&](int m, double f, double b) {
       return static_cast<double>(2.0L * m / static_cast<long double>(xd) * f -
                                  static_cast<long double>(b));
     }},
    {"long double code with x a long double literal",
     {.wider = true, .wider_x = true},
     nullptr,
     [&](int m, double f, double b) {
       return static_cast<double>(2.0L * m / 1.3L * f - static_cast<long double>(b));
     }},
#endif
  };
  for (const LoopCase& c : cases) {
    SCOPED_TRACE(c.name);
    const int expected = VariantIndex(c.expected);
    if (c.in_float) {
      const CheckOutcome check =
          Checked(HexLines(Loop<float>(kJ0Float, kJ1Float, c.in_float)), kBinary32);
      EXPECT_EQ(NamedVariant(check), expected) << check.verdict;
      EXPECT_EQ(check.comparison.first_difference < 0, expected == 0) << check.verdict;
    }
    if (c.in_double) {
      const CheckOutcome check =
          Checked(HexLines(Loop<double>(kJ0Double, kJ1Double, c.in_double)), kBinary64);
      EXPECT_EQ(NamedVariant(check), expected) << check.verdict;
      EXPECT_EQ(check.comparison.first_difference < 0, expected == 0) << check.verdict;
    }
  }
}

// The lab's loop in C, compiled with -ffp-contract=fast: where the compiler contracted it (on
// x86-64 with FMA and on aarch64 it must), the check names the fused multiply-add, else the
// lab's own step.
TEST(Check, NamesTheFusedMultiplyAddACompilerContractedInto) {
#if defined(__x86_64__)
  if (!__builtin_cpu_supports("fma")) GTEST_SKIP() << "this processor has no fused multiply-add";
#endif
  std::vector<double> contracted(kOrders + 1);
  ContractedLoop(1.3, kJ0Double, kJ1Double, kOrders, contracted.data());
  const std::vector<double> plain = Loop<double>(
      kJ0Double, kJ1Double, [](int m, double f, double b) { return (2 * m / 1.3) * f - b; });
  const bool fused = contracted != plain;
#if defined(__x86_64__) || defined(__aarch64__)
  EXPECT_TRUE(fused) << "the compiler did not contract the loop";
#endif
  const CheckOutcome check = Checked(HexLines(contracted), kBinary64);
  EXPECT_EQ(NamedVariant(check), fused ? VariantIndex({.fused = true}) : 0) << check.verdict;
}

TEST(Check, SaysWhenYourValuesAreTheLabsExactly) {
  const CheckOutcome check = Checked(
      HexLines(Loop<double>(kJ0Double, kJ1Double,
                            [](int m, double f, double b) { return (2 * m / 1.3) * f - b; })),
      kBinary64);
  EXPECT_EQ(check.verdict, "your values equal the lab's binary64 recurrence exactly");
  EXPECT_EQ(check.comparison.first_difference, -1);
}

// A J_0 one ulp off, as a library's may be: the seeds are named, and every step is the lab's.
TEST(Check, NamesSeedsThatAreNotCorrectlyRounded) {
  const double off = std::nextafter(kJ0Double, 1.0);
  const CheckOutcome check =
      Checked(HexLines(Loop<double>(
                  off, kJ1Double, [](int m, double f, double b) { return (2 * m / 1.3) * f - b; })),
              kBinary64);
  EXPECT_EQ(check.comparison.first_difference, 0);
  EXPECT_EQ(NamedVariant(check), 0);
  EXPECT_NE(check.verdict.find("your seeds are not the lab's (f_0 1.00e+00 ulps off, f_1 the "
                               "same)"),
            std::string::npos)
      << check.verdict;
}

// Values printed to 6 digits name no float for certain: they agree with the lab's to the digits
// printed.
TEST(Check, ComparesValuesPrintedShortToTheirDigits) {
  const std::vector<float> f = Loop<float>(
      kJ0Float, kJ1Float, [](int m, float v, float b) { return (2 * m / 1.3f) * v - b; });
  std::string text;
  char line[64];
  for (const float v : f) {
    std::snprintf(line, sizeof line, "%.6g\n", static_cast<double>(v));
    text += line;
  }
  const CheckOutcome check = Checked(text, kBinary32);
  EXPECT_EQ(check.comparison.first_difference, -1) << check.verdict;
  EXPECT_EQ(check.verdict,
            "your values agree with the lab's binary32 recurrence to the digits you printed: " +
                std::to_string(check.comparison.short_values) +
                " of them name no single binary32 number (print 9 significant digits, or "
                "hexadecimal, to compare bit for bit)");
  EXPECT_GT(check.comparison.short_values, 20);
}

// Each text read as the format's nearest value, and whether its digits name that value alone
// (binary32 values: 0.1 is 0x1.99999ap-4, its neighbours 2^-27 away).
TEST(Check, ReadsEachValueAsTheNearestOfItsFormat) {
  struct Row {
    const char* text;
    double expected;
    bool unique;
  } rows[] = {
      {"0.1", 0x1.99999ap-4, false},
      {"0.100000001", 0x1.99999ap-4, true},
      {"1.00000001e-1", 0x1.99999ap-4, true},
      {"0x1.99999ap-4", 0x1.99999ap-4, true},
      {"0x1.99999a1p-4", 0x1.99999ap-4, false},  // not a binary32 value: rounded
      {"0x1.999999p-4", 0x1.999998p-4, false},   // halfway: to even
      {"-2.5", -2.5, false},
      {"-2.50000000", -2.5, true},
      {"1e-50", 0.0, true},  // all it may stand for is below half the least subnormal
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    GivenValue value{IeeeNumber(kBinary32), MpfrNumber(2), MpfrNumber(2), false};
    ASSERT_EQ(ReadGivenValue(row.text, kBinary32, value), "");
    EXPECT_EQ(value.value.ToDouble(), row.expected);
    EXPECT_EQ(value.unique, row.unique);
  }
}

TEST(Check, RefusesWhatIsNotAValue) {
  struct Row {
    const char* text;
    const char* complaint;
  } rows[] = {
      {"abc", "'abc' is not a number (decimal, or C99 hexadecimal such as 0x1.8p-3)"},
      {"1.5.2", "'1.5.2' is not a number (decimal, or C99 hexadecimal such as 0x1.8p-3)"},
      {"1e", "'1e' is not a number (decimal, or C99 hexadecimal such as 0x1.8p-3)"},
      {"0b101", "'0b101' is not a number (decimal, or C99 hexadecimal such as 0x1.8p-3)"},
      {"1e9999999999",
       "'1e9999999999' is not a number (decimal, or C99 hexadecimal such as "
       "0x1.8p-3)"},
      {"nan", "'nan' is not finite: a value of the recurrence must be a number"},
      {"-Infinity", "'-Infinity' is not finite: a value of the recurrence must be a number"},
      {"1e39", "'1e39' lies beyond binary32's largest finite value"},
  };
  for (const Row& row : rows) {
    GivenValue value{IeeeNumber(kBinary32), MpfrNumber(2), MpfrNumber(2), false};
    EXPECT_EQ(ReadGivenValue(row.text, kBinary32, value), row.complaint);
  }
}

TEST(Check, TakesOneValueALineOrTheNamedColumn) {
  std::vector<GivenText> values;
  ASSERT_EQ(SplitGivenValues("# mine\n1.5\r\n\n  -2 \n", "", values), "");
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].line, 2);
  EXPECT_EQ(values[0].text, "1.5");
  EXPECT_EQ(values[1].line, 4);
  EXPECT_EQ(values[1].text, "-2");

  ASSERT_EQ(SplitGivenValues("m,\"f\",g\n0,0.5,1\n1, 0.25 ,2\n", "f", values), "");
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[1].text, "0.25");
  EXPECT_EQ(values[1].line, 3);

  struct Row {
    const char* content;
    const char* column;
    const char* complaint;
  } rows[] = {
      {"1,2\n", "", "line 1: holds several values separated by commas: name the column to read"},
      {"m,f\n0,1\n", "J", "line 1: no column is named 'J'; the columns are m, f"},
      {"m,f\n0\n", "f", "line 2: has no value in the column 'f'"},
      {"# nothing\n", "f", "no line names the columns"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(SplitGivenValues(row.content, row.column, values), row.complaint) << row.content;
  }
  EXPECT_EQ(SplitGivenValues(std::string("1\n\0\n", 4), "", values), "line 2: holds a NUL byte");
  EXPECT_EQ(SplitGivenValues(std::string(kMaxValueText + 1, '1'), "", values),
            "line 1: a value of more than 200 characters");
  std::string many;
  for (size_t i = 0; i <= kMaxGivenValues; ++i) many += "1\n";
  EXPECT_EQ(SplitGivenValues(many, "", values),
            "line 100002: more than 100001 values (the orders 0 ... 100000)");
}

}  // namespace
