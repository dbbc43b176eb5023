// The error growth that theory predicts for the forward recurrence, from the errors of its seeds.
#pragma once

#include <array>
#include <string>

#include "numeric/precision.hpp"
#include "plot/result_table.hpp"

// J_m(1) and Y_m(1), m = 0 ... 10, as decimal text with 40 significant digits, computed with
// MPFR (correctly rounded Bessel functions) at a precision far beyond binary128.
struct BesselReference {
  std::array<std::string, 11> j;
  std::array<std::string, 11> y;
};
BesselReference ReferenceValues();

// The recurrence is linear: seeds off by e_0 = seed_0 - J_0(1) and e_1 = seed_1 - J_1(1) give
// values off by A J_m(1) + B Y_m(1), with A, B from e_0 = A J_0 + B Y_0, e_1 = A J_1 + B Y_1.
// Returns |(A J_m + B Y_m) / J_m| for m = 2 ... 10. The seeds are exact binary values; all the
// arithmetic is carried out with 256-bit MPFR numbers, so nothing cancels.
std::array<double, kRecurrenceLines> PredictedRelativeErrors(Quad seed_0, Quad seed_1);
