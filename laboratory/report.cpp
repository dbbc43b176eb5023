// Writing the experiment out. Every number is MPFR's own correctly rounded text of it.
#include "laboratory/report.hpp"

#include <mpfr.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "numeric/exponent_text.hpp"
#include "picture/gnuplot.hpp"

namespace {

// 7 significant digits: "-1.297000e-07", "inf", "nan".
std::string Seven(mpfr_srcptr x) {
  return ExponentText(x, 7);
}

// 3 significant digits, rounded up, for a bound: "1.61e-08".
std::string Three(mpfr_srcptr x) {
  return ExponentText(x, 3, DigitRounding::kUp);
}

// 17 significant digits.
std::string Seventeen(mpfr_srcptr x) {
  return ExponentText(x, 17);
}

// Right-aligned in `width`, and always after a blank: a wider text (a five-digit exponent)
// widens its column rather than touch the one before.
std::string Padded(const std::string& text, size_t width) {
  return text.size() >= width ? " " + text : std::string(width - text.size(), ' ') + text;
}

constexpr size_t kNumberWidth = 21;

// A text gathered in a buffer and handed to the sink whenever the buffer passes 64 KiB, and at
// the end; once the sink fails, nothing more is gathered.
class ChunkedText {
 public:
  explicit ChunkedText(const TextSink& sink) : sink_(sink) {}
  ChunkedText& operator+=(std::string_view piece) {
    if (!failed_) {
      buffer_ += piece;
      if (buffer_.size() >= kChunk) Flush();
    }
    return *this;
  }
  // Everything gathered handed on; false when some of it could not be.
  bool Finish() {
    Flush();
    return !failed_;
  }

 private:
  static constexpr size_t kChunk = size_t{1} << 16;
  void Flush() {
    if (!failed_ && !buffer_.empty() && !sink_(buffer_)) failed_ = true;
    buffer_.clear();
  }
  const TextSink& sink_;
  std::string buffer_;
  bool failed_ = false;
};

// The text a writer gives, whole: for the tests and small outputs.
template <class Write>
std::string Gathered(Write write) {
  std::string text;
  write([&](std::string_view piece) {
    text += piece;
    return true;
  });
  return text;
}

// "2.8 digits (largest term 6.800e+02, sum 9.805e-01)": log10 of the largest term against the
// sum.
std::string DigitsLost(const IeeeNumber& largest_term, const IeeeNumber& sum) {
  char text[160];
  if (!mpfr_number_p(sum.get()) || !mpfr_number_p(largest_term.get()) || mpfr_zero_p(sum.get())) {
    mpfr_snprintf(text, sizeof text, "every digit (largest term %.3Re, sum %.3Re)",
                  largest_term.get(), sum.get());
    return text;
  }
  const double lost = Log2Ratio(largest_term.get(), sum.get()) * std::log10(2.0);
  std::snprintf(text, sizeof text, "%.1f digits", std::max(0.0, lost));
  std::string said = text;
  mpfr_snprintf(text, sizeof text, " (largest term %.3Re, sum %.3Re)", largest_term.get(),
                sum.get());
  return said + text;
}

// "J", "Y", ...: the function's letter, and its companion's.
std::string Letter(const Outcome& outcome) {
  return std::string(outcome.truth.function->letter);
}
std::string CompanionLetter(const Outcome& outcome) {
  return std::string(BesselFunctionOf(outcome.truth.function->companion).letter);
}

std::string SeedName(const Experiment& experiment) {
  const std::string f(experiment.function->letter);
  return experiment.seeds == SeedKind::kRounded
             ? "rounded:\n  " + f + "_0(x) and " + f + "_1(x) correctly rounded to each format"
             : "series:\n  the power series of " + f + "_0 and " + f + "_1 summed in each format";
}

// The backward column's name: Miller's algorithm for a minimal function, the unstable
// direction for a dominant one.
std::string BackwardName(const Outcome& outcome) {
  return outcome.truth.function->minimal ? "Miller" : "unstable";
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
// narrow the width): every block repeats m and f_m(x), then holds whole groups, three columns
// for each seed format and the backward column last; blocks are separated by a blank line.
void Blocks(const Outcome& outcome, int width, ChunkedText& text) {
  const size_t groups = outcome.columns.size() + 1;  // the seed formats, then backward
  const size_t rows = outcome.backward.size();
  // Every column as wide as its widest number needs, a blank before it (five-digit exponents).
  size_t order_width = kOrderWidth, truth_width = kTruthWidth;
  std::vector<size_t> column_width(groups, kErrorWidth);
  const auto widen = [](size_t& to, size_t length) { to = std::max(to, length + 1); };
  for (size_t m = 0; m < rows; ++m) {
    widen(order_width, std::to_string(m).size());
    widen(truth_width, TruthText(outcome, m).size());
    for (size_t g = 0; g < outcome.columns.size(); ++g) {
      const SeedColumn& column = outcome.columns[g];
      for (const CompactNumber* value :
           {&column.measured[m], &column.predicted[m], &column.rounding[m]}) {
        widen(column_width[g], ExponentTextLength(value->get(), 7));
      }
    }
    widen(column_width.back(), ExponentTextLength(outcome.backward[m].get(), 7));
  }
  const auto group_width = [&](size_t g) {
    return (g < outcome.columns.size() ? 3 : 1) * column_width[g];
  };
  for (size_t first = 0; first < groups;) {
    size_t end = first + 1;
    size_t used = order_width + truth_width + group_width(first) + kMarksWidth;
    while (end < groups && used + group_width(end) <= static_cast<size_t>(std::max(width, 0))) {
      used += group_width(end++);
    }
    std::string names = std::string(order_width + truth_width, ' ');
    std::string heads = Padded("m", order_width) + Padded(Letter(outcome) + "_m(x)", truth_width);
    for (size_t g = first; g < end; ++g) {
      const size_t w = column_width[g];
      if (g < outcome.columns.size()) {
        names += Padded(std::string(outcome.columns[g].format->name) + " seeds", 3 * w);
        heads += Padded("measured", w) + Padded("predicted", w) + Padded("rounding", w);
      } else {
        names += Padded(BackwardName(outcome), w);
        heads += Padded("backward", w);
      }
    }
    text += "\n" + names + "\n" + heads + "\n";
    for (size_t m = 0; m < rows; ++m) {
      text += Padded(std::to_string(m), order_width) + Padded(TruthText(outcome, m), truth_width);
      for (size_t g = first; g < end; ++g) {
        const size_t w = column_width[g];
        if (g < outcome.columns.size()) {
          const SeedColumn& column = outcome.columns[g];
          text += Padded(Seven(column.measured[m].get()), w) +
                  Padded(Seven(column.predicted[m].get()), w) +
                  Padded(Seven(column.rounding[m].get()), w);
        } else {
          text += Padded(Seven(outcome.backward[m].get()), w);
        }
      }
      text += Marks(outcome, m) + "\n";
    }
    first = end;
  }
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
std::string Fixed(double value) {
  if (std::isnan(value)) return "none";
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

// The backward recurrence's largest error in units in the last place with `digits` significant
// digits, as "%g" prints a double ("7.33", "1.2e+05"), and beyond a double's range too
// ("4.91e+484"); "inf" where a value overflowed.
std::string UlpsText(const Summary& summary, int digits) {
  char text[64];
  mpfr_snprintf(text, sizeof text, "%.*Rg", digits, summary.backward_largest_ulps.get());
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
    if (last < 2) {
      item += "; no step of the recurrence's own up to m = " + std::to_string(last);
    } else if (!std::isnan(said.digits_per_step)) {
      item += "; at m = " + std::to_string(last) + ", " + Fixed(said.digits_per_step) +
              " digits lost per step (theory: " + Fixed(said.theory_digits_per_step) + ")";
    } else {
      item += "; at m = " + std::to_string(last) +
              " no step to measure (theory: " + Fixed(said.theory_digits_per_step) +
              " digits per step)";
    }
    item += said.dominant == Dominant::kPredicted  ? "; the seeds' errors dominate"
            : said.dominant == Dominant::kRounding ? "; the rounding dominates"
                                                   : "; which part dominates cannot be told (a "
                                                     "value overflowed)";
    text += Wrapped(item, width, "  ", "      ");
  }
  std::string item = "backward (" + BackwardName(outcome) + "): ";
  if (summary.backward_worst_at < 0) {
    item += "no row away from zeros and within range";
  } else {
    item += "at most " + UlpsText(summary, 3) + " units in the last place of " +
            std::string(outcome.x.format().name) +
            " (at m = " + std::to_string(summary.backward_worst_at) +
            "; rows near a zero and below the range left out)";
  }
  return text + Wrapped(item, width, "  ", "      ");
}

}  // namespace

std::string ErrorText(const ShortNumber& error) {
  return Seven(error.get());
}

std::string ErrorText(const CompactNumber& error) {
  return Seven(error.get());
}

std::string BoundText(const CompactNumber& bound) {
  return Three(bound.get());
}

std::string TruthText(const Outcome& outcome, size_t m) {
  return MidpointText(outcome.truth.f[m], 17);
}

XUsed XUsedText(const Outcome& outcome) {
  const int precision = outcome.x.format().precision;
  const int digits = static_cast<int>(std::ceil(precision * std::log10(2.0))) + 1;
  char decimal[96], hexadecimal[96];
  mpfr_snprintf(decimal, sizeof decimal, "%.*Re", digits - 1, outcome.x.get());
  mpfr_snprintf(hexadecimal, sizeof hexadecimal, "%Ra", outcome.x.get());
  return {decimal, hexadecimal};
}

std::string MillerRule(const Outcome& outcome) {
  return BackwardStartRule(*outcome.truth.function) + ", bits = p + 8";
}

bool WriteTable(const Experiment& experiment, const Outcome& outcome, int width,
                const TextSink& sink) {
  const IeeeFormat& arithmetic = outcome.x.format();
  const long last = static_cast<long>(outcome.backward.size()) - 1;
  const BesselFunction& function = *outcome.truth.function;
  const std::string f = Letter(outcome);
  std::string text =
      Wrapped("Recurrences for " + f + "_m(x), m = 0 ... " + std::to_string(last) +
                  ", x = " + experiment.x_text + " (in " + std::string(arithmetic.name) + ": " +
                  Seventeen(outcome.x.get()) + ")",
              width, "", "  ");
  text += "Forward: " + std::string(function.recurrence) + " in " + std::string(arithmetic.name) +
          "; seeds " + SeedName(experiment) + "\n";
  const auto value_lines = [&](const IeeeNumber& j0, const ShortNumber& e0, const IeeeNumber& j1,
                               const ShortNumber& e1) {
    return "      " + f + "_0 = " + Seventeen(j0.get()) + " (relative error " + Seven(e0.get()) +
           ")\n" + "      " + f + "_1 = " + Seventeen(j1.get()) + " (relative error " +
           Seven(e1.get()) + ")\n";
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
              " digits):\n      " + f + "_0 lost " +
              DigitsLost(column.largest_term_0, column.seed_0) + "\n      " + f + "_1 lost " +
              DigitsLost(column.largest_term_1, column.seed_1) + "\n";
    }
  }
  if (function.minimal) {
    text +=
        "Backward (Miller) in " + std::string(arithmetic.name) + " from order " +
        std::to_string(outcome.backward_start) + ",\n" +
        Wrapped("normalised with " + std::string(MillerNormalisation(function)), width, "  ", "  ");
  } else {
    const std::string m = std::to_string(last), before = std::to_string(last - 1);
    text += "Backward in " + std::string(arithmetic.name) + " from " + f + "_" + m + " and " + f +
            "_" + before + " rounded to it,\n  the unstable direction of " + f + "\n";
  }
  text += Wrapped(
      "Relative errors (computed - true) / true: measured = predicted + rounding, the part "
      "theory predicts from the seeds' errors and the part the arithmetic's own roundings add.",
      width, "", "");
  const std::string minimal = function.minimal ? f : CompanionLetter(outcome),
                    dominant = function.minimal ? CompanionLetter(outcome) : f;
  const std::string zeros =
      !function.has_zeros ? ""
                          : "* near a zero of " + f + "_m(x) (" +
                                (function.minimal ? "past its first zero, " : "") +
                                "within a tenth of its amplitude sqrt(" + minimal + "_m^2 + " +
                                dominant + "_m^2)), where every method's relative error is large; ";
  text += Wrapped("Marks: " + zeros + "u " + f + "_m(x) below " + std::string(arithmetic.name) +
                      "'s range; o a forward value overflowed.",
                  width, "", "");
  ChunkedText out(sink);
  out += text;
  Blocks(outcome, width, out);
  out += SummaryText(outcome, width);
  return out.Finish();
}

std::string TableText(const Experiment& experiment, const Outcome& outcome, int width) {
  return Gathered(
      [&](const TextSink& sink) { return WriteTable(experiment, outcome, width, sink); });
}

bool WriteCsv(const Outcome& outcome, const TextSink& sink) {
  ChunkedText text(sink);
  text += "m," + Letter(outcome) + "_m,";
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
    text += std::to_string(m) + "," + TruthText(outcome, m) + ",";
    for (const SeedColumn& column : outcome.columns) {
      text += Seven(column.measured[m].get()) + "," + Seven(column.predicted[m].get()) + ",";
    }
    text += Seven(outcome.backward[m].get());
    for (const SeedColumn& column : outcome.columns) {
      text += "," + Seven(column.rounding[m].get()) + "," + Three(column.rounding_bound[m].get());
    }
    text += "\n";
  }
  return text.Finish();
}

std::string CsvText(const Outcome& outcome) {
  return Gathered([&](const TextSink& sink) { return WriteCsv(outcome, sink); });
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

bool WriteJson(const Experiment& experiment, const Outcome& outcome, const TextSink& sink) {
  const IeeeFormat& arithmetic = outcome.x.format();
  const XUsed x = XUsedText(outcome);
  ChunkedText text(sink);
  text += "{\n  \"parameters\": {\n";
  text += "    \"function\": " + JsonString(experiment.function->letter) + ",\n";
  text += "    \"x\": " + JsonString(experiment.x_text) + ",\n";
  text += "    \"x_used\": {\"decimal\": " + JsonString(x.decimal) +
          ", \"hexadecimal\": " + JsonString(x.hexadecimal) + "},\n";
  text += "    \"arithmetic\": " + JsonString(arithmetic.name) + ",\n";
  text += "    \"seeds\": " + JsonString(SeedKindName(experiment.seeds)) + ",\n";
  text += "    \"formats\": [";
  for (size_t i = 0; i < outcome.columns.size(); ++i) {
    text += (i > 0 ? ", " : "") + JsonString(outcome.columns[i].format->name);
  }
  text += "],\n    \"orders\": " + std::to_string(outcome.backward.size() - 1) + ",\n";
  text +=
      "    \"miller\": " +
      (outcome.truth.function->minimal ? "{\"start\": " + std::to_string(outcome.backward_start) +
                                             ", \"rule\": " + JsonString(MillerRule(outcome)) + "}"
                                       : std::string("null")) +
      "\n  },\n  \"rows\": [\n";
  for (size_t m = 0; m < outcome.backward.size(); ++m) {
    text += "    {\"m\": " + std::to_string(m) + ", " + JsonString(Letter(outcome) + "_m") + ": " +
            JsonNumber(TruthText(outcome, m), Mid(outcome.truth.f[m]).get()) +
            ", \"near_zero\": " + (outcome.near_zero[m] ? "true" : "false") +
            ", \"below_range\": " + (outcome.below_range[m] ? "true" : "false") +
            ", \"overflowed\": " + (Overflowed(outcome, m) ? "true" : "false") +
            ", \"backward\": " +
            JsonNumber(Seven(outcome.backward[m].get()), outcome.backward[m].get()) +
            ", \"formats\": {";
    for (size_t i = 0; i < outcome.columns.size(); ++i) {
      const SeedColumn& column = outcome.columns[i];
      text += (i > 0 ? ", " : "") + JsonString(column.format->name) + ": {\"measured\": " +
              JsonNumber(Seven(column.measured[m].get()), column.measured[m].get()) +
              ", \"predicted\": " +
              JsonNumber(Seven(column.predicted[m].get()), column.predicted[m].get()) +
              ", \"rounding\": " +
              JsonNumber(Seven(column.rounding[m].get()), column.rounding[m].get()) +
              ", \"rounding_bound\": " +
              JsonNumber(Three(column.rounding_bound[m].get()), column.rounding_bound[m].get()) +
              "}";
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
        ", \"dominant\": " +
        (said.dominant == Dominant::kUndetermined ? std::string("null")
                                                  : JsonString(DominantName(said.dominant))) +
        "}";
  }
  text += "\n    },\n    \"backward\": {\"largest_ulps\": " +
          (summary.backward_worst_at < 0
               ? std::string("null")
               : JsonNumber(UlpsText(summary, 4), summary.backward_largest_ulps.get())) +
          ", \"at\": " +
          (summary.backward_worst_at < 0 ? std::string("null")
                                         : std::to_string(summary.backward_worst_at)) +
          "}\n  }\n}\n";
  return text.Finish();
}

std::string JsonText(const Experiment& experiment, const Outcome& outcome) {
  return Gathered([&](const TextSink& sink) { return WriteJson(experiment, outcome, sink); });
}

namespace {

// A picture's vertical range: from a tenth of the least magnitude drawn to ten times the
// largest, within double's range (gnuplot's numbers are doubles), the line at 1 always inside.
// Magnitudes beyond it are drawn at its edges, with their own markers, not dropped.
struct PictureRange {
  double low = 1e-1, high = 10;
};

constexpr double kDoubleLow = 1e-300, kDoubleHigh = 1e300;

// |x| as a double, when it lies in double's range; NaN otherwise (0, infinite, NaN, too large,
// too small).
double InRange(mpfr_srcptr x) {
  if (!mpfr_regular_p(x)) return std::nan("");
  const double magnitude = std::fabs(mpfr_get_d(x, MPFR_RNDN));
  return magnitude >= kDoubleLow && magnitude <= kDoubleHigh ? magnitude : std::nan("");
}

// Where a magnitude beyond the range goes: the top edge (too large, infinite, NaN: overflowed)
// or the bottom one (too small); NaN for a magnitude drawn as it is, or a zero.
double AtEdge(mpfr_srcptr x, const PictureRange& range) {
  if (mpfr_zero_p(x) || !std::isnan(InRange(x))) return std::nan("");
  // Regular and out of range: too large if at least 1, too small otherwise.
  if (!mpfr_number_p(x) || mpfr_get_exp(x) > 0) return range.high;
  return range.low;
}

PictureRange RangeOf(const Outcome& outcome) {
  PictureRange range;
  double least = 1, most = 1;
  const auto take = [&](mpfr_srcptr x) {
    const double magnitude = InRange(x);
    if (std::isnan(magnitude)) return;
    least = std::min(least, magnitude);
    most = std::max(most, magnitude);
  };
  for (size_t m = 0; m < outcome.backward.size(); ++m) {
    for (const SeedColumn& column : outcome.columns) {
      take(column.measured[m].get());
      take(column.predicted[m].get());
    }
    take(outcome.backward[m].get());
  }
  range.low = std::max(least / 10, kDoubleLow);
  range.high = std::min(most * 10, kDoubleHigh);
  return range;
}

std::string Plotted(double value) {
  if (std::isnan(value)) return "NaN";
  char text[32];
  std::snprintf(text, sizeof text, "%.6e", value);
  return text;
}

// 1-based columns of PlotData: m; for each format measured, predicted and measured at an
// edge; then backward, backward at an edge, and the marks drawn at the bottom edge.
size_t FormatColumn(size_t format, size_t which) {
  return 2 + 3 * format + which;
}

}  // namespace

std::string PlotData(const Outcome& outcome) {
  const PictureRange range = RangeOf(outcome);
  std::string text = "# m";
  for (const SeedColumn& column : outcome.columns) {
    const std::string name(column.format->name);
    text += "  " + name + "_measured  " + name + "_predicted  " + name + "_measured_at_edge";
  }
  text +=
      "  backward  backward_at_edge  near_zero  below_range  (|relative error|; at_edge: beyond "
      "the picture's range, drawn at its edge; NaN: nothing to draw)\n";
  for (size_t m = 0; m < outcome.backward.size(); ++m) {
    text += std::to_string(m);
    for (const SeedColumn& column : outcome.columns) {
      text += " " + Plotted(InRange(column.measured[m].get())) + " " +
              Plotted(InRange(column.predicted[m].get())) + " " +
              Plotted(AtEdge(column.measured[m].get(), range));
    }
    text += " " + Plotted(InRange(outcome.backward[m].get())) + " " +
            Plotted(AtEdge(outcome.backward[m].get(), range)) + " " +
            Plotted(outcome.near_zero[m] ? range.low : std::nan("")) + " " +
            Plotted(outcome.below_range[m] ? range.low : std::nan("")) + "\n";
  }
  return text;
}

std::string PlotScript(const Outcome& outcome, const std::string& terminal) {
  static constexpr const char* kColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd",
                                             "#ff7f0e", "#8c564b", "#e377c2"};
  const PictureRange range = RangeOf(outcome);
  const std::string arithmetic(outcome.x.format().name);
  // The x of the title is the program's own rendering of the number, never the text given.
  char x_text[64], x_value[64];
  mpfr_snprintf(x_text, sizeof x_text, "%.6Rg", outcome.x.get());
  mpfr_snprintf(x_value, sizeof x_value, "%.17Rg", outcome.x.get());
  std::string script = "$errors << EOD\n" + PlotData(outcome) + "EOD\n";
  const std::string f = Letter(outcome);
  script += "set title '" + f + "_m(x) forward in " + arithmetic + ", x = " + x_text + "'\n";
  script +=
      "set xlabel 'order m'\n"
      "set ylabel '|relative error|'\n"
      "set logscale y\n"
      "set format y '10^{%L}'\n"
      "set grid ytics xtics lc rgb '#dddddd'\n"
      "set key outside right top vertical Left reverse font ',15' spacing 1\n";
  script += "set key title 'in " + arithmetic + "'\n";
  script += "set xrange [-0.5:" + std::to_string(outcome.backward.size() - 1) + ".5]\n";
  script += "set yrange [" + Plotted(range.low) + ":" + Plotted(range.high) + "]\n";
  // The rows below the arithmetic's range, shaded: no value of the format holds f_m there.
  int shaded = 0;
  for (size_t m = 0; m < outcome.backward.size() && shaded < 50;) {
    if (!outcome.below_range[m]) {
      ++m;
      continue;
    }
    size_t end = m;
    while (end + 1 < outcome.backward.size() && outcome.below_range[end + 1]) ++end;
    script += "set object " + std::to_string(++shaded) + " rectangle from " + std::to_string(m) +
              "-0.5, graph 0 to " + std::to_string(end) +
              "+0.5, graph 1 behind fillcolor rgb '#e8e8e8' fillstyle solid noborder\n";
    m = end + 1;
  }
  if (mpfr_cmp_ui(outcome.x.get(), static_cast<unsigned long>(outcome.backward.size() - 1)) <= 0) {
    script += OrderIsX(x_value);
  }
  script += "set terminal " + terminal + "\n";
  script += "plot ";
  // One entry a series; the arithmetic named once, as the key's title.
  const auto series = [](size_t column, const std::string& style, const std::string& title) {
    return "$errors using 1:" + std::to_string(column) + " with " + style +
           (title.empty() ? " notitle" : " title '" + title + "'") + ", \\\n     ";
  };
  // The key names a mark only where the picture has one.
  bool at_edge = false;
  for (size_t m = 0; m < outcome.backward.size(); ++m) {
    at_edge = at_edge || !std::isnan(AtEdge(outcome.backward[m].get(), range));
    for (const SeedColumn& column : outcome.columns) {
      at_edge = at_edge || !std::isnan(AtEdge(column.measured[m].get(), range));
    }
  }
  const auto any = [](const std::vector<bool>& marks) {
    return std::find(marks.begin(), marks.end(), true) != marks.end();
  };
  for (size_t i = 0; i < outcome.columns.size(); ++i) {
    const std::string name(outcome.columns[i].format->name);
    const std::string colour = std::string(" lc rgb '") + kColours[i % 7] + "'";
    script += series(FormatColumn(i, 0), "points pt 7 ps 1.2" + colour, name + " seeds") +
              series(FormatColumn(i, 1), "lines dt 2 lw 3" + colour, "  predicted") +
              series(FormatColumn(i, 2), "points pt 8 ps 1.6" + colour,
                     i == 0 && at_edge ? "beyond the range, at its edge" : "");
  }
  const size_t backward = FormatColumn(outcome.columns.size(), 0);
  script += series(backward, "linespoints pt 6 lw 3 lc rgb 'black'",
                   "backward (" + BackwardName(outcome) + ")") +
            series(backward + 1, "points pt 8 ps 1.6 lc rgb 'black'", "") +
            series(backward + 2, "points pt 9 ps 1.6 lc rgb '#555555'",
                   any(outcome.near_zero) ? "near a zero of " + f + "_m" : "") +
            series(backward + 3, "points pt 5 ps 0.8 lc rgb '#aaaaaa'",
                   any(outcome.below_range) ? f + "_m below the range (shaded)" : "") +
            kEveryDigitLost + "\nunset output\n";
  return script;
}
