// The experiment written out: a table for a terminal, CSV for other tools, and the numbers of the
// picture.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "laboratory/experiment.hpp"

// Where a text goes, piece by piece, in pieces of about 64 KiB: false when a piece could not be
// written, and nothing more is sent. So a table of 100,000 rows never lies in memory whole.
using TextSink = std::function<bool(std::string_view)>;

// The numbers as every output prints them, each correctly rounded in exponent form ("inf",
// "nan" as they are): an error with 7 significant digits ("-1.297000e-07"), a bound with 3
// rounded up ("1.61e-08"), the truth f_m(x) with 17.
std::string ErrorText(const ShortNumber& error);
std::string ErrorText(const CompactNumber& error);
std::string BoundText(const CompactNumber& bound);
std::string TruthText(const Outcome& outcome, size_t m);

// x as the binary value the experiment used: in decimal, to as many digits as tell it apart
// from its neighbours in the arithmetic format, and in hexadecimal, exactly.
struct XUsed {
  std::string decimal, hexadecimal;
};
XUsed XUsedText(const Outcome& outcome);

// How Miller's start was chosen, in words, for a minimal function.
std::string MillerRule(const Outcome& outcome);

// Aligned columns under a heading that states x, the arithmetic, the backward start and every
// seed with its relative error, in blocks of seed formats that fit `width` columns (the backward
// column in the last); rows are marked "*" near a zero of J_m(x), "u" where J_m(x) lies below the
// arithmetic format's range, "o" where a forward value overflowed. A summary follows.
bool WriteTable(const Experiment& experiment, const Outcome& outcome, int width,
                const TextSink& sink);
std::string TableText(const Experiment& experiment, const Outcome& outcome, int width);

// "m,J_m,binary32_measured,binary32_predicted,...,backward,binary32_rounding,
// binary32_rounding_bound,...", then one line per order. Every number in exponent form with 7
// significant digits, correctly rounded ("inf", "nan" as they are); a bound with 3, rounded up.
bool WriteCsv(const Outcome& outcome, const TextSink& sink);
std::string CsvText(const Outcome& outcome);

// One JSON object: "parameters" (x as given and as the binary value used, in decimal, to as
// many digits as tell it apart, and in hexadecimal, exactly; the arithmetic; the seed kind; the
// formats; Miller's start and its rule), "rows" (m, J_m, the marks near_zero, below_range and
// overflowed, backward, and for each format measured, seeds, rounding and rounding_bound),
// "summary". Numbers as in the CSV; null for infinity and NaN (the row is then overflowed).
bool WriteJson(const Experiment& experiment, const Outcome& outcome, const TextSink& sink);
std::string JsonText(const Experiment& experiment, const Outcome& outcome);

// For gnuplot: m, then |measured| and |predicted| of each seed format, then |backward|, blank-
// separated; "NaN" where there is nothing to draw on a logarithmic axis.
std::string PlotData(const Outcome& outcome);

// The gnuplot script for one picture of PlotData, inline, for `terminal`.
std::string PlotScript(const Outcome& outcome, const std::string& terminal);
