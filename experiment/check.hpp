// A student's own forward recurrence checked against the lab's: their values f_0 ... f_M read as
// the nearest numbers of the format they computed in, each compared bit for bit with the lab's
// recurrence in that format, and each of their steps with the usual other ways of computing it,
// to name the one that reproduces their numbers.
#pragma once

#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "experiment/experiment.hpp"
#include "numeric/ieee_number.hpp"
#include "numeric/mpfr_number.hpp"
#include "numeric/short_number.hpp"
#include "numeric/stop.hpp"

// The most values a check reads (orders 0 ... 100000), the longest text a value may have, and
// the most bytes of a file of them: what is read is bounded before it is read.
inline constexpr size_t kMaxGivenValues = 100001;
inline constexpr size_t kMaxValueText = 200;
inline constexpr size_t kMaxGivenBytes = 32 * 1024 * 1024;

// One value as the student gave it: its text, and where it stood (the line of a file, from 1;
// or the position in a list, from 0).
struct GivenText {
  long line = 0;
  std::string text;
};

// The values of a text: one a line, or the column named `column` of a CSV whose first line
// names its columns ("" : one value a line, and no comma anywhere). Blank lines and lines that
// begin with '#' are passed over; a line may end in CR LF. "" and the values, or the complaint,
// naming its line.
std::string SplitGivenValues(std::string_view content, std::string_view column,
                             std::vector<GivenText>& values);

// A value read: the nearest number of the format (decimal read as written, ties to even; C99
// hexadecimal, "0x1.8p-3", too). `low` and `high` bound every number the text may stand for:
// a decimal with d significant digits, any number within half a unit of its last digit; a
// hexadecimal one, its exact value alone. `unique`: every number between them has the same
// nearest value in the format, so the text names one value of it; where not, a comparison
// holds only to the printed digits.
struct GivenValue {
  IeeeNumber value;
  MpfrNumber low, high;
  bool unique = true;
};

// Reads `text` into `format`; "" or the complaint ("not a number", "nan and inf are not
// values a recurrence of finite seeds gives", ...).
std::string ReadGivenValue(const std::string& text, const IeeeFormat& format, GivenValue& value);

// Every text read into `format`, at least 2 of them (f_0 and f_1): "" or the first complaint,
// after where its text stood: "line 12: " (`place` "line"), "item 3: ".
std::string ReadGivenTexts(const std::vector<GivenText>& texts, const IeeeFormat& format,
                           std::string_view place, std::vector<GivenValue>& values);

// How a step may be computed: the lab's way, f_(m+1) = s ((n_m / x) f_m) + t f_(m-1), the
// factor, the product and the sum each rounded in the format, with x rounded to the format, or
// with these departures from it:
//   product_first: (n_m f_m) / x, in place of (n_m / x) f_m;
//   fused:         the product and the sum rounded once, a fused multiply-add;
//   binary64_x:    x rounded to binary64 (a binary64 literal) in place of the format, the
//                  division by it carried out in binary64 where the format is narrower;
//   wider:         every operation in the next wider format (binary32 for binary16 and
//                  bfloat16, binary64 for binary32, x87 for binary64), the result rounded once
//                  more into the format, as x87 code or binary64 evaluation of binary32 code
//                  does;
//   wider_x:       with wider, x a literal of the wider format (1.3L in long double code).
struct StepVariant {
  bool product_first = false, fused = false, binary64_x = false, wider = false, wider_x = false;
};

// Every variant worth trying, the lab's way first, then by how many departures they make: where
// several reproduce a student's values, the first is named.
inline constexpr StepVariant kStepVariants[] = {
    {},
    {.product_first = true},
    {.fused = true},
    {.binary64_x = true},
    {.wider = true},
    {.binary64_x = true, .wider = true},
    {.fused = true, .wider = true},
    {.product_first = true, .wider = true},
    {.product_first = true, .binary64_x = true},
    {.fused = true, .binary64_x = true},
    {.product_first = true, .binary64_x = true, .wider = true},
    {.fused = true, .binary64_x = true, .wider = true},
    {.wider = true, .wider_x = true},
    {.fused = true, .wider = true, .wider_x = true},
    {.product_first = true, .wider = true, .wider_x = true},
};
inline constexpr size_t kStepVariantCount = std::size(kStepVariants);
using VariantSet = uint32_t;  // bit i: kStepVariants[i]
static_assert(kStepVariantCount <= 32);

// The variant in words, for the format: "the lab's (2m / x) f_m", "a fused multiply-add", ...
std::string VariantName(const StepVariant& variant, const IeeeFormat& format);

// How the student's values compare with the lab's recurrence, order by order, and which
// variants reproduce each of their steps from their own two values before it.
struct CheckRow {
  bool same = true;      // agrees with the lab's value of this order
  ShortNumber ulps{};    // the nearest value's distance from the lab's, in its ulps
  VariantSet steps = 0;  // m >= 2: the variants whose step gives this value
};

// A run of orders whose steps one variant reproduces throughout (`variant` < 0: none does).
struct StepRun {
  long from = 0, to = 0;
  int variant = -1;
};

struct CheckComparison {
  std::vector<CheckRow> rows;  // m = 0 ... M
  long first_difference = -1;  // the first order that differs from the lab's, -1: none
  long short_values = 0;       // how many texts name no single value of the format
  std::vector<StepRun> runs;   // m = 2 ... M, the fewest runs, each its first variant
};

// A short name of the variant for a table's column: "lab", "fma", "nf/x", "x64", "wide", "xw",
// or several joined by "+".
std::string VariantCode(const StepVariant& variant);

// A whole check: the lab's experiment in the student's format alone (its x, function, seeds;
// orders 0 ... M), their values measured against the truth as one more column, beside the
// lab's own values and the comparison.
struct CheckOutcome {
  Outcome outcome;                // columns: the lab's, then the student's
  std::vector<IeeeNumber> yours;  // the student's values as read, f_0 ... f_M
  std::vector<IeeeNumber> lab;    // the lab's recurrence, f_0 ... f_M
  CheckComparison comparison;
  std::string verdict;
};

// Runs the check of `given` (at least 2 values, at most kMaxGivenValues, read into the
// experiment's arithmetic format), taking the experiment's function, x, arithmetic and seeds;
// its orders and seed formats are set from the values. False when the truth could not be
// proven, as Run; Stopped as Run.
bool RunCheck(Experiment experiment, const std::vector<GivenValue>& given, CheckOutcome& check,
              const StopToken& stop = {});
