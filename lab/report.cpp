// Writing the experiment out. Every number goes through MPFR's own correctly rounded conversion.
#include "lab/report.hpp"

#include <mpfr.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace {

// 7 significant digits: "-1.297000e-07", "inf", "nan".
std::string Seven(mpfr_srcptr x) {
  char text[64];
  mpfr_snprintf(text, sizeof text, "%.6Re", x);
  return text;
}

// 3 significant digits, for a bound: "1.61e-08".
std::string Three(mpfr_srcptr x) {
  char text[64];
  mpfr_snprintf(text, sizeof text, "%.2RUe", x);
  return text;
}

// 17 significant digits.
std::string Seventeen(mpfr_srcptr x) {
  char text[64];
  mpfr_snprintf(text, sizeof text, "%.16Re", x);
  return text;
}

// The magnitude, for a logarithmic axis: "NaN" for zero, infinity and NaN.
std::string Magnitude(mpfr_srcptr x) {
  if (!mpfr_regular_p(x)) return "NaN";
  char text[64];
  mpfr_snprintf(text, sizeof text, "%.6Re", x);
  return text[0] == '-' ? text + 1 : text;
}

// Right-aligned in `width`, and always after a blank: a wider text (a five-digit exponent)
// widens its column rather than touch the one before.
std::string Padded(const std::string& text, size_t width) {
  return text.size() >= width ? " " + text : std::string(width - text.size(), ' ') + text;
}

constexpr size_t kNumberWidth = 21;

// "2.8 digits (largest term 6.800e+02, sum 9.805e-01)": log10 of the largest term against the
// sum, from binary exponents and significands, for numbers of any size.
std::string DigitsLost(const IeeeNumber& largest_term, const IeeeNumber& sum) {
  char text[160];
  if (!mpfr_number_p(sum.get()) || !mpfr_number_p(largest_term.get()) || mpfr_zero_p(sum.get())) {
    mpfr_snprintf(text, sizeof text, "every digit (largest term %.3Re, sum %.3Re)",
                  largest_term.get(), sum.get());
    return text;
  }
  long e_term = 0, e_sum = 0;
  const double term = mpfr_get_d_2exp(&e_term, largest_term.get(), MPFR_RNDN);
  const double whole = mpfr_get_d_2exp(&e_sum, sum.get(), MPFR_RNDN);
  const double lost =
      std::log10(term / std::fabs(whole)) + static_cast<double>(e_term - e_sum) * std::log10(2.0);
  std::snprintf(text, sizeof text, "%.1f digits", std::max(0.0, lost));
  std::string said = text;
  mpfr_snprintf(text, sizeof text, " (largest term %.3Re, sum %.3Re)", largest_term.get(),
                sum.get());
  return said + text;
}

std::string SeedName(const Experiment& experiment) {
  return experiment.seeds == SeedKind::kRounded
             ? "rounded:\n  J_0(x) and J_1(x) correctly rounded to each format"
             : "series:\n  the power series of J_0 and J_1 summed in each format";
}

constexpr size_t kOrderWidth = 6, kTruthWidth = 24, kErrorWidth = 14, kMarksWidth = 4;

// The rows' marks: "*" near a zero, "u" below the arithmetic's range, "o" overflowed.
std::string Marks(const Outcome& outcome, size_t m) {
  std::string marks;
  if (outcome.near_zero[m]) marks += "*";
  if (outcome.below_range[m]) marks += "u";
  if (Overflowed(outcome, m)) marks += "o";
  return marks.empty() ? "" : "  " + marks;
}

// The table in blocks that each fit `width` columns (a block holds one group at least, however
// narrow the width): every block repeats m and J_m(x), then holds whole groups, three columns
// for each seed format and the backward column last; blocks are separated by a blank line.
std::string Blocks(const Outcome& outcome, int width) {
  const size_t groups = outcome.columns.size() + 1;  // the seed formats, then backward
  const auto group_width = [&](size_t g) {
    return g < outcome.columns.size() ? 3 * kErrorWidth : kErrorWidth;
  };
  std::string text;
  for (size_t first = 0; first < groups;) {
    size_t end = first + 1;
    size_t used = kOrderWidth + kTruthWidth + group_width(first) + kMarksWidth;
    while (end < groups && used + group_width(end) <= static_cast<size_t>(std::max(width, 0))) {
      used += group_width(end++);
    }
    std::string names = std::string(kOrderWidth + kTruthWidth, ' ');
    std::string heads = Padded("m", kOrderWidth) + Padded("J_m(x)", kTruthWidth);
    for (size_t g = first; g < end; ++g) {
      if (g < outcome.columns.size()) {
        names += Padded(std::string(outcome.columns[g].format->name) + " seeds", 3 * kErrorWidth);
        heads += Padded("measured", kErrorWidth) + Padded("seeds", kErrorWidth) +
                 Padded("rounding", kErrorWidth);
      } else {
        names += Padded("Miller", kErrorWidth);
        heads += Padded("backward", kErrorWidth);
      }
    }
    text += "\n" + names + "\n" + heads + "\n";
    for (size_t m = 0; m < outcome.backward.size(); ++m) {
      text += Padded(std::to_string(m), kOrderWidth) +
              Padded(Seventeen(outcome.truth.j[m].get()), kTruthWidth);
      for (size_t g = first; g < end; ++g) {
        if (g < outcome.columns.size()) {
          const SeedColumn& column = outcome.columns[g];
          text += Padded(Seven(column.measured[m].get()), kErrorWidth) +
                  Padded(Seven(column.predicted[m].get()), kErrorWidth) +
                  Padded(Seven(column.rounding[m].get()), kErrorWidth);
        } else {
          text += Padded(Seven(outcome.backward[m].get()), kErrorWidth);
        }
      }
      text += Marks(outcome, m) + "\n";
    }
    first = end;
  }
  return text;
}

// The words of `text` in lines of at most `width` columns where they fit (a longer word gets
// a line of its own), the first line after `first`, the others after `rest`.
std::string Wrapped(const std::string& text, int width, const std::string& first,
                    const std::string& rest) {
  std::string out, line = first;
  bool empty = true;
  std::istringstream words(text);
  for (std::string word; words >> word;) {
    if (!empty && static_cast<int>(line.size() + 1 + word.size()) > width) {
      out += line + "\n";
      line = rest;
      empty = true;
    }
    line += (empty ? "" : " ") + word;
    empty = false;
  }
  return out + line + "\n";
}

// "%.2f" of a number, or "none" for NaN.
std::string Fixed(double value, const char* format = "%.2f") {
  if (std::isnan(value)) return "none";
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string SummaryText(const Outcome& outcome, int width) {
  const Summary summary = Summarize(outcome);
  const long last = static_cast<long>(outcome.backward.size()) - 1;
  std::string text = "\nSummary:\n";
  for (size_t i = 0; i < outcome.columns.size(); ++i) {
    const ColumnSummary& said = summary.columns[i];
    std::string item = std::string(outcome.columns[i].format->name) + " seeds: ";
    item += said.every_digit_lost_at < 0
                ? "no order up to " + std::to_string(last) + " has lost every digit"
                : "every digit lost from m = " + std::to_string(said.every_digit_lost_at);
    if (last >= 1 && !std::isnan(said.digits_per_step)) {
      item += "; at m = " + std::to_string(last) + ", " + Fixed(said.digits_per_step) +
              " digits lost per step (theory: " + Fixed(said.theory_digits_per_step) + ")";
    } else if (last >= 1) {
      item += "; at m = " + std::to_string(last) +
              " no step to measure (theory: " + Fixed(said.theory_digits_per_step) +
              " digits per step)";
    }
    item += said.seeds_dominate ? "; the seeds' errors dominate" : "; the rounding dominates";
    text += Wrapped(item, width, "  ", "      ");
  }
  std::string item = "backward (Miller): ";
  if (summary.backward_worst_at < 0) {
    item += "no row away from zeros and within range";
  } else {
    item += "at most " + Fixed(summary.backward_ulps, "%.3g") + " units in the last place of " +
            std::string(outcome.x.format().name) +
            " (at m = " + std::to_string(summary.backward_worst_at) +
            "; rows near a zero and below the range left out)";
  }
  return text + Wrapped(item, width, "  ", "      ");
}

}  // namespace

std::string TableText(const Experiment& experiment, const Outcome& outcome, int width) {
  const IeeeFormat& arithmetic = outcome.x.format();
  const long last = static_cast<long>(outcome.backward.size()) - 1;
  std::string text = Wrapped(
      "Recurrences for J_m(x), m = 0 ... " + std::to_string(last) + ", x = " + experiment.x_text +
          " (in " + std::string(arithmetic.name) + ": " + Seventeen(outcome.x.get()) + ")",
      width, "", "  ");
  text += "Forward: J_(m+1) = (2m / x) J_m - J_(m-1) in " + std::string(arithmetic.name) +
          "; seeds " + SeedName(experiment) + "\n";
  const auto value_lines = [](const IeeeNumber& j0, const MpfrNumber& e0, const IeeeNumber& j1,
                              const MpfrNumber& e1) {
    return "      J_0 = " + Seventeen(j0.get()) + " (relative error " + Seven(e0.get()) + ")\n" +
           "      J_1 = " + Seventeen(j1.get()) + " (relative error " + Seven(e1.get()) + ")\n";
  };
  for (const SeedColumn& column : outcome.columns) {
    text += "  " + std::string(column.format->name) + " seeds:\n" +
            value_lines(column.seed_0, column.seed_0_error, column.seed_1, column.seed_1_error);
    if (!(column.start_0 == column.seed_0) || !(column.start_1 == column.seed_1)) {
      text +=
          "    rounded to " + std::string(arithmetic.name) + ", where the recurrence starts:\n" +
          value_lines(column.start_0, column.start_0_error, column.start_1, column.start_1_error);
    }
    if (experiment.seeds == SeedKind::kSeries) {
      char holds[32];
      std::snprintf(holds, sizeof holds, "%.1f", column.format->precision * std::log10(2.0));
      text += "    series cancellation (" + std::string(column.format->name) + " holds " + holds +
              " digits):\n      J_0 lost " + DigitsLost(column.largest_term_0, column.seed_0) +
              "\n      J_1 lost " + DigitsLost(column.largest_term_1, column.seed_1) + "\n";
    }
  }
  text += "Backward (Miller) in " + std::string(arithmetic.name) + " from order " +
          std::to_string(outcome.backward_start) +
          ",\n  normalised with J_0 + 2 (J_2 + J_4 + ...) = 1\n";
  text += Wrapped(
      "Relative errors (computed - true) / true: measured = seeds + rounding, the part the "
      "seeds' errors give and the part the arithmetic's own roundings add.",
      width, "", "");
  text += Wrapped(
      "Marks: * near a zero of J_m(x) (past its first zero, within a tenth of its amplitude "
      "sqrt(J_m^2 + Y_m^2)), where every method's relative error is large; u J_m(x) below " +
          std::string(arithmetic.name) + "'s range; o a forward value overflowed.",
      width, "", "");
  text += Blocks(outcome, width);
  text += SummaryText(outcome, width);
  return text;
}

std::string CsvText(const Outcome& outcome) {
  std::string text = "m,J_m,";
  for (const SeedColumn& column : outcome.columns) {
    text += std::string(column.format->name) + "_measured," + std::string(column.format->name) +
            "_predicted,";
  }
  text += "backward";
  // Added later, after the columns that tools already read.
  for (const SeedColumn& column : outcome.columns) {
    text += "," + std::string(column.format->name) + "_rounding," +
            std::string(column.format->name) + "_rounding_bound";
  }
  text += "\n";
  for (size_t m = 0; m < outcome.backward.size(); ++m) {
    text += std::to_string(m) + "," + Seventeen(outcome.truth.j[m].get()) + ",";
    for (const SeedColumn& column : outcome.columns) {
      text += Seven(column.measured[m].get()) + "," + Seven(column.predicted[m].get()) + ",";
    }
    text += Seven(outcome.backward[m].get());
    for (const SeedColumn& column : outcome.columns) {
      text += "," + Seven(column.rounding[m].get()) + "," + Three(column.rounding_bound[m].get());
    }
    text += "\n";
  }
  return text;
}

namespace {

// A JSON string: quotes, backslashes and control bytes escaped.
std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// A number as the CSV gives it, or null for infinity and NaN.
std::string JsonNumber(const std::string& text, mpfr_srcptr x) {
  return mpfr_number_p(x) ? text : "null";
}

std::string JsonDouble(double value, const char* format) {
  if (!std::isfinite(value)) return "null";
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

std::string JsonText(const Experiment& experiment, const Outcome& outcome) {
  const IeeeFormat& arithmetic = outcome.x.format();
  // As many digits as tell the value apart from its neighbours in the format, and exactly.
  const int digits = static_cast<int>(std::ceil(arithmetic.precision * std::log10(2.0))) + 1;
  char decimal[96], hexadecimal[96];
  mpfr_snprintf(decimal, sizeof decimal, "%.*Re", digits - 1, outcome.x.get());
  mpfr_snprintf(hexadecimal, sizeof hexadecimal, "%Ra", outcome.x.get());
  std::string text = "{\n  \"parameters\": {\n";
  text += "    \"x\": " + JsonString(experiment.x_text) + ",\n";
  text += "    \"x_used\": {\"decimal\": " + JsonString(decimal) +
          ", \"hexadecimal\": " + JsonString(hexadecimal) + "},\n";
  text += "    \"arithmetic\": " + JsonString(arithmetic.name) + ",\n";
  text += "    \"seeds\": " +
          JsonString(experiment.seeds == SeedKind::kRounded ? "rounded" : "series") + ",\n";
  text += "    \"formats\": [";
  for (size_t i = 0; i < outcome.columns.size(); ++i) {
    text += (i > 0 ? ", " : "") + JsonString(outcome.columns[i].format->name);
  }
  text += "],\n    \"orders\": " + std::to_string(outcome.backward.size() - 1) + ",\n";
  text += "    \"miller\": {\"start\": " + std::to_string(outcome.backward_start) +
          ", \"rule\": " + JsonString(std::string(kBackwardStartRule) + ", bits = p + 8") +
          "}\n  },\n  \"rows\": [\n";
  for (size_t m = 0; m < outcome.backward.size(); ++m) {
    text +=
        "    {\"m\": " + std::to_string(m) +
        ", \"J_m\": " + JsonNumber(Seventeen(outcome.truth.j[m].get()), outcome.truth.j[m].get()) +
        ", \"near_zero\": " + (outcome.near_zero[m] ? "true" : "false") +
        ", \"below_range\": " + (outcome.below_range[m] ? "true" : "false") +
        ", \"overflowed\": " + (Overflowed(outcome, m) ? "true" : "false") + ", \"backward\": " +
        JsonNumber(Seven(outcome.backward[m].get()), outcome.backward[m].get()) +
        ", \"formats\": {";
    for (size_t i = 0; i < outcome.columns.size(); ++i) {
      const SeedColumn& column = outcome.columns[i];
      text +=
          (i > 0 ? ", " : "") + JsonString(column.format->name) + ": {\"measured\": " +
          JsonNumber(Seven(column.measured[m].get()), column.measured[m].get()) + ", \"seeds\": " +
          JsonNumber(Seven(column.predicted[m].get()), column.predicted[m].get()) +
          ", \"rounding\": " +
          JsonNumber(Seven(column.rounding[m].get()), column.rounding[m].get()) +
          ", \"rounding_bound\": " +
          JsonNumber(Three(column.rounding_bound[m].get()), column.rounding_bound[m].get()) + "}";
    }
    text += std::string("}}") + (m + 1 < outcome.backward.size() ? "," : "") + "\n";
  }
  const Summary summary = Summarize(outcome);
  text += "  ],\n  \"summary\": {\n    \"formats\": {";
  for (size_t i = 0; i < outcome.columns.size(); ++i) {
    const ColumnSummary& said = summary.columns[i];
    text +=
        std::string(i > 0 ? ", " : "") + "\n      " + JsonString(outcome.columns[i].format->name) +
        ": {\"every_digit_lost_at\": " +
        (said.every_digit_lost_at < 0 ? "null" : std::to_string(said.every_digit_lost_at)) +
        ", \"digits_lost_per_step\": " + JsonDouble(said.digits_per_step, "%.4f") +
        ", \"theory_digits_lost_per_step\": " + JsonDouble(said.theory_digits_per_step, "%.4f") +
        ", \"dominant\": " + (said.seeds_dominate ? "\"seeds\"" : "\"rounding\"") + "}";
  }
  text += "\n    },\n    \"backward\": {\"largest_ulps\": " +
          (summary.backward_worst_at < 0 ? std::string("null")
                                         : JsonDouble(summary.backward_ulps, "%.4g")) +
          ", \"at\": " +
          (summary.backward_worst_at < 0 ? std::string("null")
                                         : std::to_string(summary.backward_worst_at)) +
          "}\n  }\n}\n";
  return text;
}

std::string PlotData(const Outcome& outcome) {
  std::string text = "# m";
  for (const SeedColumn& column : outcome.columns) {
    text += "  " + std::string(column.format->name) + "_measured  " +
            std::string(column.format->name) + "_predicted";
  }
  text += "  backward  (|relative error|)\n";
  for (size_t m = 0; m < outcome.backward.size(); ++m) {
    text += std::to_string(m);
    for (const SeedColumn& column : outcome.columns) {
      text +=
          " " + Magnitude(column.measured[m].get()) + " " + Magnitude(column.predicted[m].get());
    }
    text += " " + Magnitude(outcome.backward[m].get()) + "\n";
  }
  return text;
}

std::string PlotScript(const Outcome& outcome, const std::string& terminal) {
  static constexpr const char* kColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd",
                                             "#ff7f0e", "#8c564b", "#e377c2"};
  // The x of the title is the program's own rendering of the number, never the text given.
  char x_text[64];
  mpfr_snprintf(x_text, sizeof x_text, "%.6Rg", outcome.x.get());
  std::string script = "$errors << EOD\n" + PlotData(outcome) + "EOD\n";
  script += "set title 'J_m(x) by the forward recurrence in " +
            std::string(outcome.x.format().name) + ", x = " + x_text +
            ": relative error by seed format'\n";
  script +=
      "set xlabel 'order m'\n"
      "set ylabel '|relative error|'\n"
      "set logscale y\n"
      "set format y '10^{%L}'\n"
      "set grid ytics xtics lc rgb '#dddddd'\n"
      "set key outside right top vertical Left reverse\n"
      "set terminal " +
      terminal + "\n";
  script += "plot ";
  size_t column = 2;
  for (size_t i = 0; i < outcome.columns.size(); ++i, column += 2) {
    const std::string name(outcome.columns[i].format->name);
    const std::string colour = std::string("'") + kColours[i % 7] + "'";
    script += "$errors using 1:" + std::to_string(column) + " with points pt 7 ps 0.8 lc rgb " +
              colour + " title '" + name +
              " seeds, measured', \\\n     $errors using 1:" + std::to_string(column + 1) +
              " with lines dt 2 lw 2 lc rgb " + colour + " title 'predicted', \\\n     ";
  }
  script += "$errors using 1:" + std::to_string(column) +
            " with linespoints pt 6 lw 2 lc rgb 'black' title 'backward (Miller)', \\\n"
            "     1 with lines dt 3 lc rgb 'gray' title 'every digit lost'\n"
            "unset output\n";
  return script;
}
