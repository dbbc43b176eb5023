// The experiment written out: a table for a terminal, CSV for other tools, and the numbers of the
// picture.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "experiment/columns.hpp"
#include "experiment/experiment.hpp"

// Where a text goes, piece by piece, in pieces of about 64 KiB: false when a piece could not be
// written, and nothing more is sent. So a table of 100,000 rows never lies in memory whole.
using TextSink = std::function<bool(std::string_view)>;

// Right-aligned in `width`, and always after a blank: a wider text (a five-digit exponent)
// widens its column rather than touch the one before.
std::string Padded(const std::string& text, size_t width);
// The words of `text` in lines of at most `width` columns where they fit (a longer word gets
// a line of its own), the first line after `first`, the others after `rest`.
std::string Wrapped(const std::string& text, int width, const std::string& first,
                    const std::string& rest);

// The numbers as every output prints them besides the error parts (PartText), each correctly
// rounded in exponent form ("inf", "nan" as they are): an error with 7 significant digits
// ("-1.297000e-07"), the truth f_m(x) with 17, named "J_m" in the CSV and the JSON.
std::string ErrorText(const ShortNumber& error);
std::string TruthText(const Outcome& outcome, size_t m);
std::string BackwardText(const Outcome& outcome, size_t m);

// x as the binary value computed with, in decimal, the JSON's "x_used" "decimal": to as many
// significant digits as tell it apart from its neighbours in its format, ceil(p log10 2) + 1
// ("1.0000000000000001e-01" for 0.1 in binary64).
std::string XUsedDecimalText(const IeeeNumber& x);
// A value exactly, in hexadecimal as MPFR's "%Ra" writes it, the exponent a multiple of 4 (x_used's
// "hexadecimal", and the Python module's forward values): "0x1.8p+0", "-0x1.999999999999ap-4",
// "0x4p-1076" (binary64's smallest subnormal), "-0x0p+0", "inf", "-inf", "nan".
std::string HexadecimalText(const IeeeNumber& value);

// Aligned columns under a heading that states x, the arithmetic, the backward start and every
// seed with its relative error, in blocks of seed formats that fit `width` columns (the backward
// column in the last); rows are marked "*" near a zero of J_m(x), "u" where J_m(x) lies below the
// arithmetic format's range, "o" where a forward value overflowed. A summary follows.
bool WriteTable(const Experiment& experiment, const Outcome& outcome, int width,
                const TextSink& sink);
std::string TableText(const Experiment& experiment, const Outcome& outcome, int width);

// The summary that ends the table: a blank line, "Summary:", then for each seed format where it
// lost every digit, how many digits a step loses at M (and theory's figure) and which part
// dominates, and the backward recurrence's largest error in units in the last place; each item
// wrapped to `width` columns.
std::string SummaryText(const Outcome& outcome, int width);

// "m,J_m,binary32_measured,binary32_predicted,...,backward,binary32_rounding,
// binary32_rounding_bound,...", then one line per order. Every number in exponent form with 7
// significant digits, correctly rounded ("inf", "nan" as they are); a bound with 3, rounded up.
bool WriteCsv(const Outcome& outcome, const TextSink& sink);
std::string CsvText(const Outcome& outcome);

// One JSON object: "parameters" (x as given and as the binary value used, in decimal, to as
// many digits as tell it apart, and in hexadecimal, exactly; the arithmetic; the seed kind; the
// formats; Miller's start and its rule), "rows" (m, J_m, the marks near_zero, below_range and
// overflowed, backward, and for each format measured, predicted, rounding and rounding_bound),
// "summary". Numbers as in the CSV; null for infinity and NaN (the row is then overflowed).
bool WriteJson(const Experiment& experiment, const Outcome& outcome, const TextSink& sink);
std::string JsonText(const Experiment& experiment, const Outcome& outcome);

// How a JSON object or array is laid out: its members on one line, ", " between them; or each on
// a line of its own, indented two blanks a level, "," after each but the last (", " for
// kLinesCommaBlank: the summary's formats, as they have always been written).
enum class JsonLayout { kInline, kLines, kLinesCommaBlank };

// A value of the JSON, under its key ("" in an array): an object or an array of `members` laid
// out as `layout` says, or a string, integer, number or boolean as `text` ("a", "68", "1.1300",
// "-inf", "true"), or null. The parameters and the summary are the Python module's dicts too,
// which take a number's `value` (NaN and infinity as they are; JSON has neither and writes null
// for "inf" and "-nan").
struct Field {
  enum Kind { kObject, kArray, kString, kInteger, kNumber, kBoolean, kNull };
  std::string key;
  Kind kind = kNull;
  std::string text;
  double value = 0;
  JsonLayout layout = JsonLayout::kInline;
  std::vector<Field> members;
};

// A field with a text (a number's `value` as well), and one with members.
inline Field ScalarField(Field::Kind kind, std::string_view key, std::string_view text = "",
                         double value = 0) {
  return {std::string(key), kind, std::string(text), value, JsonLayout::kInline, {}};
}
inline Field GroupField(Field::Kind kind, std::string_view key, JsonLayout layout,
                        std::vector<Field> members = {}) {
  return {std::string(key), kind, "", 0, layout, std::move(members)};
}

// The JSON's "parameters" and "summary".
Field ParametersOf(const Experiment& experiment, const Outcome& outcome);
Field SummaryOf(const Outcome& outcome);

// `field`'s value as JSON, `depth` levels in: members on lines of their own are indented
// 2 (depth + 1) blanks, the closing bracket 2 depth. An object of layout kLines holding
// {"m", kInteger, "0"} and an inline array {"f", kArray} of {"", kString, "a"} and {"", kNull} is,
// at depth 0, {\n  "m": 0,\n  "f": ["a", null]\n}.
std::string JsonOf(const Field& field, size_t depth = 0);

// For gnuplot, blank-separated under a line naming the columns: m, then the picture's series in
// this order (PlotScript draws them in layers, points before lines): each seed format's |measured|
// and |predicted|, and its measured beyond the picture's range, at the edge; |backward| and the
// same at the edge; the rows near a zero and below the range, at the bottom edge. "NaN" where there
// is nothing to draw.
std::string PlotData(const Outcome& outcome);

// The gnuplot script for one picture of PlotData, inline, for `terminal`.
std::string PlotScript(const Outcome& outcome, const std::string& terminal);
