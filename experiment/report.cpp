// Writing the experiment out. Every number is MPFR's own correctly rounded text of it.
#include "experiment/report.hpp"

#include <mpfr.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <sstream>

#include "numeric/exponent_text.hpp"

namespace {

// "%.*f" of a value: "1.13", "1.1300", "nan".
std::string Decimals(double value, int places) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", places, value);
  return text;
}

// A text gathered in a buffer and handed to the sink whenever the buffer passes 64 KiB, and at
// the end; once the sink fails, nothing more is gathered.
class ChunkedText {
 public:
  explicit ChunkedText(const TextSink& sink) : sink_(sink) {}
  ChunkedText& operator+=(std::string_view piece) { return Cell(piece, 0); }
  // The piece right-aligned in `width` columns, a blank before it at least (as Padded lays it
  // out), with no text made for it.
  ChunkedText& Cell(std::string_view piece, size_t width) {
    if (!failed_) {
      if (width > 0) buffer_.append(piece.size() >= width ? 1 : width - piece.size(), ' ');
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
  std::string said = "every digit";
  if (mpfr_number_p(sum.get()) && mpfr_number_p(largest_term.get()) && !mpfr_zero_p(sum.get())) {
    const double lost = Log2Ratio(largest_term.get(), sum.get()) * std::log10(2.0);
    said = Decimals(std::max(0.0, lost), 1) + " digits";
  }
  mpfr_snprintf(text, sizeof text, " (largest term %.3Re, sum %.3Re)", largest_term.get(),
                sum.get());
  return said + text;
}

// The function's companion's letter.
std::string CompanionLetter(const Outcome& outcome) {
  return std::string(BesselFunctionOf(outcome.truth.function->companion).letter);
}

// f_m(x)'s name in the CSV and the JSON: "J_m".
std::string TruthName(const Outcome& outcome) {
  return Letter(outcome) + "_m";
}

std::string SeedName(const Experiment& experiment) {
  const std::string f(experiment.function->letter);
  return experiment.seeds == SeedKind::kRounded
             ? "rounded:\n  " + f + "_0(x) and " + f + "_1(x) correctly rounded to each format"
             : "series:\n  the power series of " + f + "_0 and " + f + "_1 summed in each format";
}

constexpr size_t kOrderWidth = 6, kTruthWidth = 24, kErrorWidth = 14, kMarksWidth = 4;

// The rows' marks, "  *u" (kRowMarks' symbols), or "" for none.
std::string Marks(const Outcome& outcome, size_t m) {
  std::string marks;
  for (const RowMark& mark : kRowMarks) {
    if (mark.of(outcome, m)) marks += mark.symbol;
  }
  return marks.empty() ? "" : "  " + marks;
}

// The table in blocks that each fit `width` columns (a block holds one group at least, however
// narrow the width): every block repeats m and f_m(x), then holds whole groups, the table's
// parts of each seed format and the backward column last; blocks are separated by a blank line.
void Blocks(const Outcome& outcome, int width, ChunkedText& text) {
  std::vector<const ErrorPart*> parts;  // those with a column
  for (const ErrorPart& part : kErrorParts) {
    if (!part.table_heading.empty()) parts.push_back(&part);
  }
  const size_t formats = outcome.columns.size(), groups = formats + 1,
               rows = outcome.backward.size();
  // Every column as wide as its widest number needs, a blank before it (five-digit exponents).
  size_t order_width = kOrderWidth, truth_width = kTruthWidth;
  std::vector<size_t> column_width(groups, kErrorWidth);
  const auto widen = [](size_t& to, size_t length) { to = std::max(to, length + 1); };
  for (size_t m = 0; m < rows; ++m) {
    widen(order_width, std::to_string(m).size());
    widen(truth_width, outcome.truth_text[m].size());
    for (size_t g = 0; g < formats; ++g) {
      for (const ErrorPart* part : parts) {
        widen(column_width[g], (outcome.columns[g].*part->values)[m].TextLength());
      }
    }
    widen(column_width.back(), outcome.backward_text[m].TextLength());
  }
  const auto group_width = [&](size_t g) {
    return (g < formats ? parts.size() : 1) * column_width[g];
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
      if (g < formats) {
        names += Padded(std::string(outcome.columns[g].format->name) + " seeds", parts.size() * w);
        for (const ErrorPart* part : parts) heads += Padded(std::string(part->table_heading), w);
      } else {
        names += Padded(BackwardName(outcome), w);
        heads += Padded(std::string(kBackward), w);
      }
    }
    text += "\n" + names + "\n" + heads + "\n";
    for (size_t m = 0; m < rows; ++m) {
      text.Cell(std::to_string(m), order_width).Cell(TruthText(outcome, m), truth_width);
      for (size_t g = first; g < end; ++g) {
        const size_t w = column_width[g];
        if (g < formats) {
          for (const ErrorPart* part : parts) text.Cell(PartText(*part, outcome.columns[g], m), w);
        } else {
          text.Cell(BackwardText(outcome, m), w);
        }
      }
      text += Marks(outcome, m);
      text += "\n";
    }
    first = end;
  }
}

// "%.2f" of a number, or "none" for NaN.
std::string Fixed(double value) {
  return std::isnan(value) ? "none" : Decimals(value, 2);
}

// The backward recurrence's largest error in units in the last place with `digits` significant
// digits, as "%g" prints a double ("7.33", "1.2e+05"), and beyond a double's range too
// ("4.91e+484"); "inf" where a value overflowed.
std::string UlpsText(const Summary& summary, int digits) {
  char text[64];
  mpfr_snprintf(text, sizeof text, "%.*Rg", digits, summary.backward_largest_ulps.get());
  return text;
}

}  // namespace

std::string Padded(const std::string& text, size_t width) {
  return text.size() >= width ? " " + text : std::string(width - text.size(), ' ') + text;
}

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

namespace {

// A CSV line: m, f_m, every seed format's parts before backward, backward, then every seed
// format's parts after it; without an order, the columns' names.
std::string CsvLine(const Outcome& outcome, std::optional<size_t> m) {
  std::string line =
      m ? std::to_string(*m) + "," + TruthText(outcome, *m) : "m," + TruthName(outcome);
  const auto parts = [&](bool after_backward) {
    for (const SeedColumn& column : outcome.columns) {
      for (const ErrorPart& part : kErrorParts) {
        if (part.csv_after_backward != after_backward) continue;
        line += "," + (m ? PartText(part, column, *m)
                         : std::string(column.format->name) + "_" + std::string(part.name));
      }
    }
  };
  parts(false);
  line += "," + (m ? BackwardText(outcome, *m) : std::string(kBackward));
  parts(true);
  return line + "\n";
}

}  // namespace

std::string ErrorText(const ShortNumber& error) {
  return ExponentText(error.get(), 7);
}

std::string TruthText(const Outcome& outcome, size_t m) {
  return std::string(outcome.truth_text[m]);
}

std::string BackwardText(const Outcome& outcome, size_t m) {
  return outcome.backward_text[m].Text();
}

bool WriteTable(const Experiment& experiment, const Outcome& outcome, int width,
                const TextSink& sink) {
  const std::string arithmetic(outcome.x.format().name);
  const long last = static_cast<long>(outcome.backward.size()) - 1;
  const BesselFunction& function = *outcome.truth.function;
  const std::string f = Letter(outcome);
  std::string text = Wrapped("Recurrences for " + f + "_m(x), m = 0 ... " + std::to_string(last) +
                                 ", x = " + experiment.x_text + " (in " + arithmetic + ": " +
                                 ExponentText(outcome.x.get(), 17) + ")",
                             width, "", "  ");
  text += "Forward: " + std::string(function.recurrence) + " in " + arithmetic + "; seeds " +
          SeedName(experiment) + "\n";
  const auto value_lines = [&](const IeeeNumber& j0, const ShortNumber& e0, const IeeeNumber& j1,
                               const ShortNumber& e1) {
    return "      " + f + "_0 = " + ExponentText(j0.get(), 17) + " (relative error " +
           ErrorText(e0) + ")\n" + "      " + f + "_1 = " + ExponentText(j1.get(), 17) +
           " (relative error " + ErrorText(e1) + ")\n";
  };
  for (const SeedColumn& column : outcome.columns) {
    text += "  " + std::string(column.format->name) + " seeds:\n" +
            value_lines(column.seed_0, column.seed_0_error, column.seed_1, column.seed_1_error);
    if (!(column.start_0 == column.seed_0) || !(column.start_1 == column.seed_1)) {
      text +=
          "    rounded to " + arithmetic + ", where the recurrence starts:\n" +
          value_lines(column.start_0, column.start_0_error, column.start_1, column.start_1_error);
    }
    if (experiment.seeds == SeedKind::kSeries) {
      const std::string holds = Decimals(column.format->precision * std::log10(2.0), 1);
      text += "    series cancellation (" + std::string(column.format->name) + " holds " + holds +
              " digits):\n      " + f + "_0 lost " +
              DigitsLost(column.largest_term_0, column.seed_0) + "\n      " + f + "_1 lost " +
              DigitsLost(column.largest_term_1, column.seed_1) + "\n";
    }
  }
  if (function.minimal) {
    text +=
        "Backward (Miller) in " + arithmetic + " from order " +
        std::to_string(outcome.backward_start) + ",\n" +
        Wrapped("normalised with " + std::string(MillerNormalisation(function)), width, "  ", "  ");
  } else {
    const std::string m = std::to_string(last), before = std::to_string(last - 1);
    text += "Backward in " + arithmetic + " from " + f + "_" + m + " and " + f + "_" + before +
            " rounded to it,\n  the unstable direction of " + f + "\n";
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
  text += Wrapped("Marks: " + zeros + "u " + f + "_m(x) below " + arithmetic +
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
  text += CsvLine(outcome, std::nullopt);
  for (size_t m = 0; m < outcome.backward.size(); ++m) text += CsvLine(outcome, m);
  return text.Finish();
}

std::string CsvText(const Outcome& outcome) {
  return Gathered([&](const TextSink& sink) { return WriteCsv(outcome, sink); });
}

namespace {

using enum Field::Kind;
using enum JsonLayout;

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

// An order, or null for none (-1).
Field Order(std::string_view key, long m) {
  return m < 0 ? ScalarField(kNull, key) : ScalarField(kInteger, key, std::to_string(m));
}

// One row of the JSON's "rows", on one line; its numbers without their `value` (the Python
// module takes the rows as the table's columns).
Field RowOf(const Outcome& outcome, size_t m) {
  Field row = GroupField(kObject, "", kInline,
                         {Order("m", static_cast<long>(m)),
                          ScalarField(kNumber, TruthName(outcome), TruthText(outcome, m))});
  for (const RowMark& mark : kRowMarks) {
    row.members.push_back(ScalarField(kBoolean, mark.name, mark.of(outcome, m) ? "true" : "false"));
  }
  row.members.push_back(ScalarField(kNumber, kBackward, BackwardText(outcome, m)));
  Field& formats = row.members.emplace_back(GroupField(kObject, "formats", kInline));
  for (const SeedColumn& column : outcome.columns) {
    Field& parts = formats.members.emplace_back(GroupField(kObject, column.format->name, kInline));
    parts.members.reserve(std::size(kErrorParts));
    for (const ErrorPart& part : kErrorParts) {
      parts.members.push_back(ScalarField(kNumber, part.name, PartText(part, column, m)));
    }
  }
  return row;
}

// JsonOf(field, depth) appended to `json`: a string quoted; a number's text as it stands, or null
// for infinity and NaN, which JSON lacks ("inf", "-inf", "nan" and "-nan" as MPFR and printf print
// them); the members laid out as `layout` says.
void AppendJson(const Field& field, size_t depth, std::string& json) {
  const std::string_view text = field.text;
  const bool object = field.kind == kObject;
  if (field.kind == kString) {
    json += JsonString(text);
  } else if (field.kind == kNull || text.ends_with("inf") || text.ends_with("nan")) {
    json += "null";
  } else if (!object && field.kind != kArray) {
    json += text;
  } else {
    const std::string indent = "\n" + std::string(2 * depth + 2, ' ');
    json += object ? '{' : '[';
    for (const Field& member : field.members) {
      if (&member != &field.members.front()) json += field.layout == kLines ? "," : ", ";
      if (field.layout != kInline) json += indent;
      if (object) json += JsonString(member.key) + ": ";
      AppendJson(member, depth + 1, json);
    }
    if (field.layout != kInline && !field.members.empty()) json += indent.substr(0, 2 * depth + 1);
    json += object ? '}' : ']';
  }
}

}  // namespace

std::string XUsedDecimalText(const IeeeNumber& x) {
  const int decimals = static_cast<int>(std::ceil(x.format().precision * std::log10(2.0)));
  char decimal[96];
  mpfr_snprintf(decimal, sizeof decimal, "%.*Re", decimals, x.get());
  return decimal;
}

// Written from the significand's limbs, not by mpfr_snprintf, which took most of the time of the
// Python module's forward values. MPFR's v = 0.1b_2 b_3 ... x 2^e is written as d.ddd... x 2^q
// with q = 4 floor((e - 1) / 4), the multiple of 4 that leaves 1 to 4 bits (e - q) before the
// point: those are the first digit, the rest follow four bits a digit, trailing zeros dropped.
std::string HexadecimalText(const IeeeNumber& value) {
  const mpfr_srcptr v = value.get();
  if (mpfr_nan_p(v)) return "nan";
  if (mpfr_inf_p(v)) return mpfr_signbit(v) ? "-inf" : "inf";
  if (mpfr_zero_p(v)) return mpfr_signbit(v) ? "-0x0p+0" : "0x0p+0";
  constexpr long kLimbBits = GMP_NUMB_BITS;
  const long precision = static_cast<long>(mpfr_get_prec(v));
  const long limb_count = (precision - 1) / kLimbBits + 1;
  // The significand's bits from the top, as `width` (at most 4) bits at `position`; none beyond
  // the last limb.
  const auto bits = [&](long position, long width) {
    const auto limb = [&](long i) -> mp_limb_t {
      return i < limb_count ? v->_mpfr_d[limb_count - 1 - i] : 0;
    };
    const long index = position / kLimbBits;
    const long offset = position % kLimbBits;
    const long mask = (1L << width) - 1;
    if (offset + width <= kLimbBits) {
      return static_cast<long>(limb(index) >> (kLimbBits - width - offset)) & mask;
    }
    const long spill = offset + width - kLimbBits;  // the bits taken from the next limb
    return static_cast<long>((limb(index) << spill) | (limb(index + 1) >> (kLimbBits - spill))) &
           mask;
  };
  const long e = static_cast<long>(mpfr_get_exp(v));
  const long q = 4 * (e - 1 >= 0 ? (e - 1) / 4 : -((4 - e) / 4));
  const long first = e - q;
  static constexpr char kDigits[] = "0123456789abcdef";
  // "-0x", the first digit, a point, 60 digits for binary256's 237 bits, "p" and a 64-bit
  // exponent with its sign: 86 bytes at most.
  char text[96];
  char* out = text;
  if (mpfr_signbit(v)) *out++ = '-';
  *out++ = '0';
  *out++ = 'x';
  *out++ = kDigits[bits(0, first)];
  char* point = out;
  *out++ = '.';
  for (long position = first; position < precision; position += 4) {
    *out++ = kDigits[bits(position, 4)];
  }
  while (out > point + 1 && out[-1] == '0') --out;
  if (out == point + 1) out = point;
  *out++ = 'p';
  *out++ = q < 0 ? '-' : '+';
  out = std::to_chars(out, text + sizeof text, q < 0 ? -q : q).ptr;
  return std::string(text, out);
}

Field ParametersOf(const Experiment& experiment, const Outcome& outcome) {
  Field formats = GroupField(kArray, "formats", kInline);
  for (const SeedColumn& column : outcome.columns) {
    formats.members.push_back(ScalarField(kString, "", column.format->name));
  }
  const std::string rule = BackwardStartRule(*outcome.truth.function) + ", bits = p + " +
                           std::to_string(kMillerGuardBits);
  return GroupField(
      kObject, "parameters", kLines,
      {ScalarField(kString, "function", experiment.function->letter),
       ScalarField(kString, "x", experiment.x_text),
       GroupField(kObject, "x_used", kInline,
                  {ScalarField(kString, "decimal", XUsedDecimalText(outcome.x)),
                   ScalarField(kString, "hexadecimal", HexadecimalText(outcome.x))}),
       ScalarField(kString, "arithmetic", outcome.x.format().name),
       ScalarField(kString, "seeds", SeedKindName(experiment.seeds)), std::move(formats),
       Order("orders", static_cast<long>(outcome.backward.size()) - 1),
       outcome.truth.function->minimal ? GroupField(kObject, "miller", kInline,
                                                    {Order("start", outcome.backward_start),
                                                     ScalarField(kString, "rule", rule)})
                                       : ScalarField(kNull, "miller")});
}

Field SummaryOf(const Outcome& outcome) {
  const Summary summary = Summarize(outcome);
  Field formats = GroupField(kObject, "formats", kLinesCommaBlank);
  for (size_t i = 0; i < outcome.columns.size(); ++i) {
    const ColumnSummary& said = summary.columns[i];
    const std::string_view dominant = DominantName(said.dominant);
    formats.members.push_back(GroupField(
        kObject, outcome.columns[i].format->name, kInline,
        {Order("every_digit_lost_at", said.every_digit_lost_at),
         ScalarField(kNumber, "digits_lost_per_step", Decimals(said.digits_per_step, 4),
                     said.digits_per_step),
         ScalarField(kNumber, "theory_digits_lost_per_step",
                     Decimals(said.theory_digits_per_step, 4), said.theory_digits_per_step),
         ScalarField(dominant.empty() ? kNull : kString, "dominant", dominant)}));
  }
  const bool none = summary.backward_worst_at < 0;
  return GroupField(kObject, "summary", kLines,
                    {std::move(formats),
                     GroupField(kObject, "backward", kInline,
                                {none ? ScalarField(kNull, "largest_ulps")
                                      : ScalarField(kNumber, "largest_ulps", UlpsText(summary, 4),
                                                    summary.backward_ulps),
                                 Order("at", summary.backward_worst_at)})});
}

std::string JsonOf(const Field& field, size_t depth) {
  std::string json;
  AppendJson(field, depth, json);
  return json;
}

bool WriteJson(const Experiment& experiment, const Outcome& outcome, const TextSink& sink) {
  // JsonOf's layout of {"parameters", "rows", "summary"} on lines of their own, written out here
  // so that the rows (never none) are made and handed on one at a time.
  ChunkedText text(sink);
  text +=
      "{\n  \"parameters\": " + JsonOf(ParametersOf(experiment, outcome), 1) + ",\n  \"rows\": [";
  std::string row;
  for (size_t m = 0; m < outcome.backward.size(); ++m) {
    row = m == 0 ? "\n    " : ",\n    ";
    AppendJson(RowOf(outcome, m), 2, row);
    text += row;
  }
  text += "\n  ],\n  \"summary\": " + JsonOf(SummaryOf(outcome), 1) + "\n}\n";
  return text.Finish();
}

std::string JsonText(const Experiment& experiment, const Outcome& outcome) {
  return Gathered([&](const TextSink& sink) { return WriteJson(experiment, outcome, sink); });
}
