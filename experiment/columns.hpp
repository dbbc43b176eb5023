// The columns of the lab's rows, each described once for every output: the table, the CSV, the
// JSON, the picture's data and the Python module's arrays.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "experiment/experiment.hpp"
#include "numeric/exponent_text.hpp"

// One part of a seed format's relative error, a column of every seed format: `name` is the
// SeedColumn member it reads, the CSV's heading after the format's name ("binary32_measured"),
// the JSON's and Python's key; the table heads it `table_heading` ("": not in the table). Its
// text is the column's as printed (SeedColumn). The CSV has the parts added later after
// "backward", behind the columns tools already read.
struct ErrorPart {
  std::string_view name;
  std::vector<PrintedNumber> SeedColumn::*values;
  std::string_view table_heading;
  bool csv_after_backward;
};

// In the order every output gives them.
inline constexpr ErrorPart kErrorParts[] = {
    {"measured", &SeedColumn::measured, "measured", false},
    {"predicted", &SeedColumn::predicted, "predicted", false},
    {"rounding", &SeedColumn::rounding, "rounding", true},
    {"rounding_bound", &SeedColumn::rounding_bound, "", true},
};
inline constexpr const ErrorPart &kMeasured = kErrorParts[0], &kPredicted = kErrorParts[1],
                                 &kRoundingBound = kErrorParts[3];

// "J", "Y", ...: the function's letter, as every output names it.
inline std::string Letter(const Outcome& outcome) {
  return std::string(outcome.truth.function->letter);
}

// The backward column's name: Miller's algorithm for a minimal function, the unstable
// direction for a dominant one.
inline std::string BackwardName(const Outcome& outcome) {
  return outcome.truth.function->minimal ? "Miller" : "unstable";
}

// The part's text at order m: "-1.297000e-07", a bound "1.61e-08", "inf", "nan".
inline std::string PartText(const ErrorPart& part, const SeedColumn& column, size_t m) {
  return (column.*part.values)[m].Text();
}

// A row's own numbers besides m: f_m(x), with 17 significant digits, named by the function's
// letter ("J_m" in the CSV and the JSON, "J_m(x)" heading the table, "truth" in Python); and
// the backward recurrence's relative error, an error's text (ErrorText), kBackward everywhere.
inline constexpr std::string_view kBackward = "backward";

// A row's marks: `name` is the JSON's and Python's key (and the picture data's column, where it
// is drawn), `symbol` the table's mark after the row.
struct RowMark {
  std::string_view name;
  char symbol;
  bool (*of)(const Outcome& outcome, size_t m);
};

inline constexpr RowMark kRowMarks[] = {
    {"near_zero", '*',
     [](const Outcome& outcome, size_t m) -> bool { return outcome.near_zero[m]; }},
    {"below_range", 'u',
     [](const Outcome& outcome, size_t m) -> bool { return outcome.below_range[m]; }},
    {"overflowed", 'o', Overflowed},
};
inline constexpr const RowMark &kNearZero = kRowMarks[0], &kBelowRange = kRowMarks[1];
