// A check of a student's values written out: a table for a terminal, CSV and JSON, each row
// their value and the lab's, how many ulps apart, which variant reproduces the step, and their
// error against the truth split as the lab's table splits its own.
#pragma once

#include <string>
#include <vector>

#include "experiment/check.hpp"
#include "experiment/report.hpp"

// A check's own columns, before the error parts of your values (kErrorParts): the CSV's and the
// JSON's names and the JSON's kinds. The JSON's rows add "same" (a boolean) after them.
struct CheckColumn {
  std::string_view name;
  Field::Kind kind;
};
inline constexpr CheckColumn kCheckColumns[] = {{"m", Field::kInteger},
                                                {"yours", Field::kString},
                                                {"lab", Field::kString},
                                                {"ulps_apart", Field::kNumber},
                                                {"step", Field::kString}};

// The texts of order m's row: kCheckColumns', then the error parts'.
std::vector<std::string> CheckRowTexts(const CheckOutcome& check, size_t m);

// The JSON's "parameters": the function, x as given and as used, the arithmetic, the seed kind
// and the orders; the Python module's dict too.
Field CheckParametersOf(const Experiment& experiment, const CheckOutcome& check);

// A heading that states what was checked, then aligned columns: m, yours, the lab's, ulps
// apart, step, and your measured, predicted and rounding errors; a key to the steps' codes, and
// the verdict, wrapped to `width` columns.
bool WriteCheckTable(const Experiment& experiment, const CheckOutcome& check, int width,
                     const TextSink& sink);

// "m,yours,lab,ulps_apart,step,measured,predicted,rounding,rounding_bound", then one line per
// order; the values with as many digits as tell them apart in their format.
bool WriteCheckCsv(const CheckOutcome& check, const TextSink& sink);

// One JSON object: "parameters" (as the lab's, the formats aside), "rows" (m, yours, lab,
// same, ulps_apart, step, and the error parts) and "verdict".
bool WriteCheckJson(const Experiment& experiment, const CheckOutcome& check, const TextSink& sink);
