// The error growth that theory predicts for the main program's tables, from the errors of their
// seeds: the one Bessel reference at x = 1.
#pragma once

#include <array>
#include <optional>

#include "numeric/bessel_truth.hpp"
#include "numeric/precision.hpp"
#include "results/result_files.hpp"

// A binary128 value, exactly.
MpfrNumber ExactlyInMpfr(Quad x);

// |(A J_m(1) + B Y_m(1)) / J_m(1)| for m = 2 ... 10, from seeds taken exactly (PredictedRelative-
// Errors in numeric/bessel_truth.hpp); nothing if the truth could not be computed.
std::optional<std::array<double, kRecurrenceLines>> PredictedAtOne(Quad seed_0, Quad seed_1);
