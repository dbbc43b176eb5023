// The outputs of bessel-recurrence-plot: the numbers it plots, and the pictures gnuplot draws.
#pragma once

#include <array>
#include <filesystem>
#include <string>

#include "plot/result_table.hpp"

// Measured and predicted |relative error| of one table, m = 2 ... 10.
struct ErrorSeries {
  std::string label;  // "7 digits (binary32 seeds)"
  std::array<double, kRecurrenceRows> measured{};
  std::array<double, kRecurrenceRows> predicted{};
};
using AllSeries = std::array<ErrorSeries, 3>;

// bess-errors.dat: comment lines naming the columns, then for each m = 2 ... 10 a row of m and
// the measured and predicted values of each table in turn (7 columns).
std::string DataText(const AllSeries& series);

// Writes `bytes` under a temporary name in the same directory and renames it into place, so
// that `path` is never seen half written. False, with errno set, when that fails.
bool WriteAtomically(const std::filesystem::path& path, const std::string& bytes);

enum class Drawn { kDone, kNoGnuplot, kGnuplotFailed };

// Draws bess-errors.svg and bess-errors.png in `directory` from bess-errors.dat there, with
// gnuplot found in PATH; each picture appears under its name only once it is complete.
// kNoGnuplot when PATH holds no gnuplot.
Drawn DrawPictures(const std::filesystem::path& directory, const AllSeries& series);
