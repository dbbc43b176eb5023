// A check of a student's values written out: a table for a terminal, CSV and JSON, each row
// their value and the lab's, how many ulps apart, which variant reproduces the step, and their
// error against the truth split as the lab's table splits its own.
#pragma once

#include <string>

#include "experiment/check.hpp"
#include "experiment/report.hpp"

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
