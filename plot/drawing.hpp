// What bessel-recurrence-plot draws: the numbers it plots, and its gnuplot script.
#pragma once

#include <array>
#include <string>

#include "results/result_table.hpp"

// Measured and predicted |relative error| of one table, m = 2 ... 10.
struct ErrorSeries {
  std::string label;  // "7 digits (binary32 seeds)"
  std::array<double, kRecurrenceLines> measured{};
  std::array<double, kRecurrenceLines> predicted{};
};
using AllSeries = std::array<ErrorSeries, kResultFiles>;

// bess-errors.dat: comment lines naming the columns, then for each m = 2 ... 10 a row of m and
// the measured and predicted values of each table in turn (7 columns).
std::string DataText(const AllSeries& series);

// The plot script of the series (bessel-recurrence-plot's picture).
std::string SeriesScript(const AllSeries& series, const std::string& terminal);
