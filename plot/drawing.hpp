// The outputs of bessel-recurrence-plot: the numbers it plots, and the pictures gnuplot draws.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>

#include "plot/result_table.hpp"

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

enum class Drawn { kDone, kNoGnuplot, kGnuplotFailed };

// What gnuplot printed on its standard output for `script`, or why there is nothing. gnuplot is
// found in PATH and started without a shell and without its init files (--default-settings);
// the script reaches it through an unnamed temporary file and it writes to another, so it
// opens no file by name: neither the script nor any name in the caller's hands becomes a
// command. It stops at the first error in the script.
struct GnuplotRun {
  Drawn drawn = Drawn::kGnuplotFailed;
  std::string output;
};
GnuplotRun RunGnuplot(const std::string& script);

// The two pictures of the series, complete (the SVG ends its document, the PNG has its end
// chunk), or why they could not be drawn.
struct Pictures {
  Drawn drawn = Drawn::kGnuplotFailed;
  std::string svg;
  std::string png;
};
// `script(terminal)` is the whole script for one gnuplot terminal.
using PlotScriptFor = std::function<std::string(const std::string& terminal)>;
Pictures DrawPictures(const PlotScriptFor& script);

// The plot script of the series (bessel-recurrence-plot's picture).
std::string SeriesScript(const AllSeries& series, const std::string& terminal);

// Writes BASE.dat (`data`), then BASE.svg and BASE.png drawn from `script`, into the open
// directory, each written exclusively and renamed into place; first refuses any of the three
// names that is taken by something other than a regular file. kDone, or why not with one line
// to show (names shown Printable): kFailed (nothing or only the data written), kNoPicture
// (gnuplot missing or failing; the data written).
enum class Written { kDone, kFailed, kNoPicture };
struct WriteOutcome {
  Written written = Written::kDone;
  std::string complaint;
};
WriteOutcome WriteDataAndPictures(int directory_fd, const std::string& base,
                                  const std::string& data, const PlotScriptFor& script);
