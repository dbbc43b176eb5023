// The experiment written out: a table for a terminal, CSV for other tools, and the numbers of the
// picture.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "laboratory/columns.hpp"
#include "laboratory/experiment.hpp"

// Where a text goes, piece by piece, in pieces of about 64 KiB: false when a piece could not be
// written, and nothing more is sent. So a table of 100,000 rows never lies in memory whole.
using TextSink = std::function<bool(std::string_view)>;

// The numbers as every output prints them besides the error parts (PartText), each correctly
// rounded in exponent form ("inf", "nan" as they are): an error with 7 significant digits
// ("-1.297000e-07"), the truth f_m(x) with 17, named "J_m" in the CSV and the JSON.
std::string ErrorText(const ShortNumber& error);
std::string TruthText(const Outcome& outcome, size_t m);
std::string TruthName(const Outcome& outcome);

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
// overflowed, backward, and for each format measured, predicted, rounding and rounding_bound),
// "summary". Numbers as in the CSV; null for infinity and NaN (the row is then overflowed).
bool WriteJson(const Experiment& experiment, const Outcome& outcome, const TextSink& sink);
std::string JsonText(const Experiment& experiment, const Outcome& outcome);

// How a JSON object or array is laid out: its members on one line, ", " between them; or each on
// a line of its own, indented two blanks a level, "," after each but the last (", " for
// kLinesCommaBlank: the summary's formats, as they have always been written).
enum class JsonLayout { kInline, kLines, kLinesCommaBlank };

// Where the parameters and the summary go, value by value: the JSON and the Python module's
// dicts. In an object every value has its key, in an array the key is "". A number comes as its
// text, for JSON (which has no infinity or NaN: "inf", "-nan" are written null), and its value.
class FieldWriter {
 public:
  virtual ~FieldWriter() = default;
  virtual void Open(std::string_view key, char bracket, JsonLayout layout) = 0;  // '{' or '['
  virtual void Close() = 0;
  virtual void String(std::string_view key, std::string_view text) = 0;
  virtual void Integer(std::string_view key, long value) = 0;
  virtual void Number(std::string_view key, std::string_view text, double value) = 0;
  virtual void Null(std::string_view key) = 0;
};

// The JSON's "parameters" and "summary", into their open objects.
void WriteParameters(const Experiment& experiment, const Outcome& outcome, FieldWriter& out);
void WriteSummary(const Outcome& outcome, FieldWriter& out);

// JSON handed to `write` piece by piece, the commas, line breaks and indents placed by the
// writer; Raw writes a value's text as it stands. Open("", '{', kLines), Raw("m", "0"),
// Open("f", '[', kInline), String("", "a"), Null(""), Close(), Close() write
// {\n  "m": 0,\n  "f": ["a", null]\n}.
class JsonWriter final : public FieldWriter {
 public:
  explicit JsonWriter(std::function<void(std::string_view)> write) : write_(std::move(write)) {}
  void Open(std::string_view key, char bracket, JsonLayout layout) override;
  void Close() override;
  void String(std::string_view key, std::string_view text) override;
  void Integer(std::string_view key, long value) override { Raw(key, std::to_string(value)); }
  void Number(std::string_view key, std::string_view text, double value) override;
  void Null(std::string_view key) override { Raw(key, "null"); }
  void Raw(std::string_view key, std::string_view text);

 private:
  struct Level {
    char close;
    JsonLayout layout;
    bool empty;
  };
  std::function<void(std::string_view)> write_;
  std::vector<Level> open_;
};

// For gnuplot, blank-separated under a line naming the columns: m, then the picture's series in
// the order PlotScript draws them: each seed format's |measured| and |predicted|, and its
// measured beyond the picture's range, at the edge; |backward| and the same at the edge; the
// rows near a zero and below the range, at the bottom edge. "NaN" where there is nothing to draw.
std::string PlotData(const Outcome& outcome);

// The gnuplot script for one picture of PlotData, inline, for `terminal`.
std::string PlotScript(const Outcome& outcome, const std::string& terminal);
