// A result file's numbers checked against each other and against the program's own seeds, so
// that nothing is drawn beside a prediction that does not belong to it.
#pragma once

#include <optional>
#include <string>

#include "numeric/recurrence.hpp"
#include "results/result_table.hpp"

// Why the numbers of `table` (read from `name`) cannot be the program's, or nothing: a seed row
// (m = 0, 1) whose two values are not `seeded`'s seed, correctly rounded to the digits printed;
// a recurrence row whose relative error is not (series - recurrence) / series of its own two
// values, within what the printed digits leave open (and the rounding to binary32 that the
// error goes through before it is printed).
std::optional<ReadFailure> Disagreement(const ResultTable& table, const std::string& name,
                                        const RecurrenceTable& seeded);
