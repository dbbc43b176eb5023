// The data file and the gnuplot script of bessel-recurrence-plot's picture.
#include "plot/drawing.hpp"

#include <cstdio>
#include <sstream>

#include "picture/gnuplot.hpp"
#include "results/result_files.hpp"

namespace {

std::string Scientific(double x) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6e", x);
  return text;
}

// Single quotes for gnuplot: a quote inside is doubled. Only the program's own labels are
// quoted; no name from outside ever reaches a script.
std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

// The script for one picture; `terminal` is a gnuplot terminal with its options. The numbers
// travel inside the script, as a data block, so gnuplot reads no file. The line at 1 is drawn
// first, behind all, and named where it is drawn (the 7-digit errors cross it at m = 6, the others
// at m = 10: its left end is clear); then each table's measured points, the first the largest,
// and the predicted lines over them, so that no point hides a line.
std::string SeriesScript(const AllSeries& series, const std::string& terminal) {
  std::ostringstream script;
  script << "$errors << EOD\n" << DataText(series) << "EOD\n";
  // The recurrence runs in binary128 (its seeds in each table's kind), at x = 1.
  script << "set title 'J_{m+1} = 2m J_m - J_{m-1} in binary128 at x = 1'\n"
            "set xlabel 'order m'\n"
            "set ylabel '|relative error|'\n"
            "set logscale y\n"
            "set format y '10^{%L}'\n"
            "set xrange [0.5:10.5]\n"
         << OrderTics(10)
         << "set yrange [1e-36:1e12]\n"
            "set ytics 1e-36, 1e6, 1e12\n"
            "set grid ytics xtics lc rgb '#dddddd'\n"
            "set key inside right bottom vertical Left reverse spacing 1.1 opaque font ',15'\n"
            "set key title 'in binary128'\n"
         << OrderIsX("1") << EveryDigitLostLabel("1", false, true) << "set terminal " << terminal
         << "\n"
         << "plot " << kEveryDigitLost;
  for (size_t i = 0; i < series.size(); ++i) {
    script << ", \\\n     $errors using 1:" << 2 + 2 * i << " with points "
           << NestedPoints(i, series.size()) << " lc rgb " << Quoted(FormatColour(kSeedFormats[i]))
           << " title " << Quoted(series[i].label + ", measured");
  }
  script << ", \\\n     " << kPredictedKeyEntry;
  for (size_t i = 0; i < series.size(); ++i) {
    script << ", \\\n     $errors using 1:" << 3 + 2 * i << " with lines dt 2 "
           << NestedWidth(i, series.size()) << " lc rgb " << Quoted(FormatColour(kSeedFormats[i]))
           << " notitle";
  }
  script << "\nunset output\n";
  return script.str();
}

std::string DataText(const AllSeries& series) {
  std::string text =
      "# |relative error| of the forward recurrence for J_m(1), measured (read from the result\n"
      "# files) and predicted (from the exact errors of the seeds, carried by J_m and Y_m)\n"
      "# m";
  for (const ErrorSeries& s : series) {
    const std::string digits = s.label.substr(0, s.label.find(' '));
    text += "  measured_" + digits + "  predicted_" + digits;
  }
  text += "\n";
  for (int row = 0; row < kRecurrenceLines; ++row) {
    text += std::to_string(kFirstRecurrenceOrder + row);
    for (const ErrorSeries& s : series) {
      text += " " + Scientific(s.measured[static_cast<size_t>(row)]) + " " +
              Scientific(s.predicted[static_cast<size_t>(row)]);
    }
    text += "\n";
  }
  return text;
}
