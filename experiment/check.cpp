// A student's values read and compared with the lab's recurrence, step by step.
#include "experiment/check.hpp"

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "cli/messages.hpp"
#include "experiment/experiment.hpp"
#include "numeric/bessel_function.hpp"
#include "numeric/exponent_text.hpp"

namespace {

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A CSV field without the double quotes around it, if any.
std::string_view Unquoted(std::string_view field) {
  field = Trimmed(field);
  if (field.size() >= 2 && field.front() == '"' && field.back() == '"') {
    field = Trimmed(field.substr(1, field.size() - 2));
  }
  return field;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (size_t start = 0;;) {
    const size_t comma = line.find(',', start);
    fields.push_back(Unquoted(line.substr(start, comma - start)));
    if (comma == std::string_view::npos) return fields;
    start = comma + 1;
  }
}

std::string TooLong() {
  return "a value of more than " + std::to_string(kMaxValueText) + " characters";
}

std::string TooMany() {
  return "more than " + std::to_string(kMaxGivenValues) + " values (the orders 0 ... " +
         std::to_string(kMaxGivenValues - 1) + ")";
}

// Where a value stood, before a complaint about it: "line 12: ", "item 3: ".
std::string Placed(std::string_view place, long line) {
  return std::string(place) + " " + std::to_string(line) + ": ";
}

constexpr const char* kNotANumber =
    " is not a number (decimal, or C99 hexadecimal such as 0x1.8p-3)";

// Whether the text is one a number may be written with: digits, hexadecimal ones, a sign, a
// point, and the letters of an exponent or of "0x".
bool NumberCharacters(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.' ||
           c == 'x' || c == 'X' || c == 'p' || c == 'P';
  });
}

// The decimal text's digits: how many follow the point, and the exponent after 'e' (0 without
// one); false where the exponent is not a whole number of at most 9 digits.
bool DecimalPlaces(std::string_view text, long& after_point, long& exponent) {
  const size_t e = text.find_first_of("eE");
  const std::string_view significand = text.substr(0, e);
  const size_t point = significand.find('.');
  after_point =
      point == std::string_view::npos ? 0 : static_cast<long>(significand.size() - point - 1);
  exponent = 0;
  if (e == std::string_view::npos) return true;
  std::string_view digits = text.substr(e + 1);
  const bool negative = digits.starts_with('-');
  if (negative || digits.starts_with('+')) digits.remove_prefix(1);
  const auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
  if (digits.empty() || digits.size() > 9 || !std::all_of(digits.begin(), digits.end(), is_digit))
    return false;
  std::from_chars(digits.data(), digits.data() + digits.size(), exponent);
  if (negative) exponent = -exponent;
  return true;
}

// The sign of s in f_(m+1) = s (n_m / x) f_m + t f_(m-1), and of t.
IeeeNumber Signed(int sign, const IeeeNumber& v) {
  return sign < 0 ? -v : v;
}

}  // namespace

std::string SplitGivenValues(std::string_view content, std::string_view column,
                             std::vector<GivenText>& values) {
  values.clear();
  if (content.size() > kMaxGivenBytes) {
    return "more than " + std::to_string(kMaxGivenBytes) + " bytes: too many values to read";
  }
  long line = 0;
  long index = -1;  // the chosen column's, once the first line has named them
  for (size_t start = 0; start < content.size();) {
    size_t end = content.find('\n', start);
    if (end == std::string_view::npos) end = content.size();
    std::string_view text = content.substr(start, end - start);
    start = end + 1;
    ++line;
    if (text.ends_with('\r')) text.remove_suffix(1);
    text = Trimmed(text);
    if (text.empty() || text.front() == '#') continue;
    const std::string at = Placed("line", line);
    if (text.find('\0') != std::string_view::npos) return at + "holds a NUL byte";
    std::string_view value = text;
    if (column.empty()) {
      if (text.find(',') != std::string_view::npos) {
        return at + "holds several values separated by commas: name the column to read";
      }
    } else {
      const std::vector<std::string_view> fields = Fields(text);
      if (index < 0) {
        const auto named = std::find(fields.begin(), fields.end(), column);
        if (named == fields.end()) {
          std::string names;
          for (const std::string_view name : fields) {
            names += (names.empty() ? "" : ", ") + Printable(name);
          }
          return at + "no column is named '" + Printable(column) + "'; the columns are " + names;
        }
        index = named - fields.begin();
        continue;
      }
      if (static_cast<size_t>(index) >= fields.size()) {
        return at + "has no value in the column '" + Printable(column) + "'";
      }
      value = fields[static_cast<size_t>(index)];
    }
    if (value.size() > kMaxValueText) return at + TooLong();
    if (values.size() == kMaxGivenValues) return at + TooMany();
    values.push_back({line, std::string(value)});
  }
  if (index < 0 && !column.empty()) return "no line names the columns";
  return "";
}

std::string ReadGivenValue(const std::string& text, const IeeeFormat& format, GivenValue& value) {
  const std::string shown = "'" + Printable(text) + "'";
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  });
  if (lower.find("nan") != std::string::npos || lower.find("inf") != std::string::npos) {
    return shown + " is not finite: a value of the recurrence must be a number";
  }
  const std::string_view unsigned_text =
      std::string_view(lower).substr(!lower.empty() && (lower[0] == '-' || lower[0] == '+'));
  const bool hexadecimal = unsigned_text.starts_with("0x");
  long after_point = 0, exponent = 0;
  if (text.empty() || !NumberCharacters(text) || unsigned_text.starts_with("0b") ||
      (!hexadecimal && !DecimalPlaces(lower, after_point, exponent))) {
    return shown + kNotANumber;
  }
  // Its exact value, or bounds on it for a decimal: every digit counts, hexadecimal ones 4 bits.
  const mpfr_prec_t bits = static_cast<mpfr_prec_t>(4 * text.size()) + 2 * format.precision + 64;
  MpfrNumber below(bits), above(bits);
  char* end = nullptr;
  mpfr_strtofr(below.get(), text.c_str(), &end, 0, MPFR_RNDD);
  if (*end != '\0' || end == text.c_str()) return shown + kNotANumber;
  mpfr_strtofr(above.get(), text.c_str(), nullptr, 0, MPFR_RNDU);
  value.value = IeeeNumber(format);
  value.value.Set([&](mpfr_ptr v) { return mpfr_strtofr(v, text.c_str(), nullptr, 0, MPFR_RNDN); });
  if (!mpfr_number_p(value.value.get())) {
    return shown + " lies beyond " + std::string(format.name) + "'s largest finite value";
  }
  value.low = below;
  value.high = above;
  if (!hexadecimal) {
    // Half a unit of the last digit printed: 5 x 10^(exponent - after_point - 1).
    MpfrNumber half(bits);
    mpfr_set_ui(half.get(), 10, MPFR_RNDN);
    mpfr_pow_si(half.get(), half.get(), exponent - after_point - 1, MPFR_RNDU);
    mpfr_mul_ui(half.get(), half.get(), 5, MPFR_RNDU);
    mpfr_sub(value.low.get(), below.get(), half.get(), MPFR_RNDD);
    mpfr_add(value.high.get(), above.get(), half.get(), MPFR_RNDU);
  }
  const IeeeNumber low(format, value.low.get()), high(format, value.high.get());
  value.unique = low == high && mpfr_signbit(low.get()) == mpfr_signbit(high.get());
  if (hexadecimal) value.unique = mpfr_equal_p(below.get(), value.value.get()) != 0;
  return "";
}

std::string ReadGivenTexts(const std::vector<GivenText>& texts, const IeeeFormat& format,
                           std::string_view place, std::vector<GivenValue>& values) {
  if (texts.size() < 2) {
    return "at least two values are needed, f_0 and f_1; there " +
           std::string(texts.empty() ? "are none" : "is one");
  }
  if (texts.size() > kMaxGivenValues) return TooMany();
  values.assign(texts.size(), GivenValue{IeeeNumber(format), MpfrNumber(2), MpfrNumber(2)});
  for (size_t i = 0; i < texts.size(); ++i) {
    const std::string complaint = texts[i].text.size() > kMaxValueText
                                      ? TooLong()
                                      : ReadGivenValue(texts[i].text, format, values[i]);
    if (!complaint.empty()) return Placed(place, texts[i].line) + complaint;
  }
  return "";
}

namespace {

// Whether `computed` is what the student's text says: the same bits where the text names one
// value of the format, else a number within its printed digits.
bool Agrees(const GivenValue& given, const IeeeNumber& computed) {
  const mpfr_srcptr c = computed.get();
  if (!mpfr_number_p(c)) return false;
  if (given.unique) {
    return mpfr_equal_p(c, given.value.get()) && mpfr_signbit(c) == mpfr_signbit(given.value.get());
  }
  return mpfr_greaterequal_p(c, given.low.get()) && mpfr_lessequal_p(c, given.high.get());
}

// The format a variant's `wider` computes in, or null where there is none wider at hand (x87,
// binary128, binary256).
const IeeeFormat* WiderFormat(const IeeeFormat& format) {
  if (&format == &kBinary16 || &format == &kBfloat16) return &kBinary32;
  if (&format == &kBinary32) return &kBinary64;
  if (&format == &kBinary64) return &kX87;
  return nullptr;
}

// x as a student's code may hold it: read from its decimal into the format, into binary64 and
// into the wider format (the format's own where none is wider).
struct XReadings {
  IeeeNumber in_format, binary64, wider;
};
XReadings ReadXs(const std::string& text, const IeeeFormat& format) {
  const IeeeFormat* wider = WiderFormat(format);
  XReadings x{IeeeNumber(format), IeeeNumber(kBinary64), IeeeNumber(wider ? *wider : format)};
  // A text that lies below a format's range reads as 0 there, as a compiler reads it.
  ReadX(text, format, x.in_format);
  ReadX(text, kBinary64, x.binary64);
  ReadX(text, x.wider.format(), x.wider);
  return x;
}

// One step, f_(m+1) from f_m and f_(m-1) (values of the format), as `variant` computes it.
IeeeNumber VariantStep(const BesselFunction& function, const StepVariant& variant, long m,
                       const XReadings& x, const IeeeNumber& f_m, const IeeeNumber& f_before) {
  const IeeeFormat& format = x.in_format.format();
  if (!variant.product_first && !variant.fused && !variant.binary64_x && !variant.wider) {
    return ForwardStep(function, m, x.in_format, f_m, f_before);
  }
  const IeeeFormat* wider = variant.wider ? WiderFormat(format) : &format;
  const IeeeFormat& work = wider ? *wider : format;
  // The divisions by x: in binary64 where x is a binary64 literal and the work narrower.
  const IeeeFormat& divide =
      variant.binary64_x && work.precision < kBinary64.precision ? kBinary64 : work;
  const IeeeNumber x_used(divide, variant.wider_x      ? x.wider
                                  : variant.binary64_x ? x.binary64
                                                       : x.in_format);
  const IeeeNumber n(divide, 2 * m + function.offset);
  const IeeeNumber f(work, f_m), before(work, f_before);
  IeeeNumber result(work);
  if (variant.product_first) {
    const IeeeNumber product(work, IeeeNumber(divide, IeeeNumber(work, n) * f) / x_used);
    result = StepSum(function, product, before);
  } else {
    const IeeeNumber factor(work, n / x_used);
    if (variant.fused) {
      const IeeeNumber signed_factor = Signed(function.factor_sign, factor);
      const IeeeNumber signed_before = Signed(function.previous_sign, before);
      result.Set([&](mpfr_ptr v) {
        return mpfr_fma(v, signed_factor.get(), f.get(), signed_before.get(), MPFR_RNDN);
      });
    } else {
      result = StepSum(function, factor * f, before);
    }
  }
  return IeeeNumber(format, result);
}

// (value - reference) / ulp(reference) in the reference's format, ulp taken where the reference
// lies (the subnormals' spacing below its normal range); infinite where either is not finite.
ShortNumber UlpsApart(const IeeeNumber& value, const IeeeNumber& reference) {
  const IeeeFormat& format = reference.format();
  MpfrNumber apart(2 * kMaxIeeePrecision + 64);
  if (!mpfr_number_p(value.get()) || !mpfr_number_p(reference.get())) {
    mpfr_set_inf(apart.get(), 1);
    return ShortNumber(apart.get());
  }
  mpfr_sub(apart.get(), value.get(), reference.get(), MPFR_RNDN);
  const long exponent =
      mpfr_zero_p(reference.get()) ? LONG_MIN : static_cast<long>(mpfr_get_exp(reference.get()));
  const long place =
      std::max(exponent, static_cast<long>(format.min_exponent) + 1) - format.precision;
  mpfr_mul_2si(apart.get(), apart.get(), -place, MPFR_RNDN);
  return ShortNumber(apart.get());
}

// Compares `given` (f_0 ... f_M, M >= 1) with `lab` (the lab's recurrence in the same format,
// from its own seeds) and tries every variant on each step.
CheckComparison CompareWithLab(const BesselFunction& function, const XReadings& x,
                               const std::vector<GivenValue>& given,
                               const std::vector<IeeeNumber>& lab) {
  CheckComparison comparison;
  const bool has_wider = WiderFormat(x.in_format.format()) != nullptr;
  VariantSet open = 0;  // the variants that reproduce every step of the current run
  for (size_t m = 0; m < given.size(); ++m) {
    const long order = static_cast<long>(m);
    CheckRow row{.same = Agrees(given[m], lab[m])};
    if (!given[m].unique) ++comparison.short_values;
    if (!row.same) row.ulps = UlpsApart(given[m].value, lab[m]);
    if (!row.same && comparison.first_difference < 0) comparison.first_difference = order;
    if (m >= 2) {
      for (size_t i = 0; i < kStepVariantCount; ++i) {
        if (kStepVariants[i].wider && !has_wider) continue;
        const IeeeNumber step = VariantStep(function, kStepVariants[i], order - 1, x,
                                            given[m - 1].value, given[m - 2].value);
        if (Agrees(given[m], step)) row.steps |= VariantSet{1} << i;
      }
      // A run goes on while a variant gives every step of it; steps that none gives make a
      // run of their own.
      const bool unexplained = open == 0 && row.steps == 0;
      if (!comparison.runs.empty() && ((open & row.steps) != 0 || unexplained)) {
        open &= row.steps;
        comparison.runs.back().to = order;
      } else {
        open = row.steps;
        comparison.runs.push_back({order, order, -1});
      }
      comparison.runs.back().variant = open == 0 ? -1 : std::countr_zero(open);
    }
    comparison.rows.push_back(row);
  }
  return comparison;
}

// The summary in words: "your values equal the lab's binary64 recurrence exactly", or where
// they depart from it, which seeds and which steps explain them.
std::string CheckVerdict(const IeeeFormat& format, const CheckComparison& comparison) {
  const std::string lab = "the lab's " + std::string(format.name) + " recurrence";
  const long differ = comparison.first_difference;
  if (differ < 0 && comparison.short_values == 0) return "your values equal " + lab + " exactly";
  if (differ < 0) {
    // ceil(p log10 2) + 1 significant digits tell every value of the format apart.
    const int digits = static_cast<int>(std::ceil(format.precision * std::log10(2.0))) + 1;
    return "your values agree with " + lab +
           " to the digits you printed: " + std::to_string(comparison.short_values) +
           " of them name no single " + std::string(format.name) + " number (print " +
           std::to_string(digits) + " significant digits, or hexadecimal, to compare bit for bit)";
  }
  std::string verdict =
      differ == 0 ? "your values differ from " + lab + " from m = 0 on"
                  : "your values equal " + lab + " up to m = " + std::to_string(differ - 1) +
                        "; from m = " + std::to_string(differ) + " on they differ";
  const std::vector<CheckRow>& rows = comparison.rows;
  if (!rows[0].same || (rows.size() > 1 && !rows[1].same)) {
    const auto seed = [](const CheckRow& row) {
      return row.same ? std::string("the same") : ExponentText(row.ulps.get(), 3) + " ulps off";
    };
    verdict +=
        "; your seeds are not the lab's (f_0 " + seed(rows[0]) + ", f_1 " + seed(rows[1]) + ")";
  }
  for (size_t i = 0; i < comparison.runs.size(); ++i) {
    const StepRun& run = comparison.runs[i];
    verdict += i == 0 ? "; " : ", ";
    verdict += comparison.runs.size() == 1
                   ? "every step"
                   : "from m = " + std::to_string(run.from) + " to " + std::to_string(run.to);
    verdict += run.variant < 0 ? " matches no variant tried"
                               : " equals " + VariantName(kStepVariants[run.variant], format);
  }
  return verdict;
}

}  // namespace

std::string VariantName(const StepVariant& variant, const IeeeFormat& format) {
  const IeeeFormat* wider = WiderFormat(format);
  std::vector<std::string> parts;
  if (variant.product_first) parts.push_back("(n_m f_m) / x in place of (n_m / x) f_m");
  if (variant.fused) parts.push_back("a fused multiply-add");
  if (variant.binary64_x) parts.push_back("x as a binary64 literal");
  if (variant.wider_x) {
    const std::string name(wider ? wider->name : "wider");
    parts.push_back("x as " + std::string(name.starts_with('x') ? "an " : "a ") + name +
                    " literal");
  }
  if (variant.wider) {
    parts.push_back(std::string(wider ? wider->name : "a wider format") + " intermediates");
  }
  if (parts.empty()) return "the lab's (n_m / x) f_m";
  std::string name;
  for (size_t i = 0; i < parts.size(); ++i) {
    name += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
  }
  return name;
}

std::string VariantCode(const StepVariant& variant) {
  std::string code;
  const auto add = [&](bool on, std::string_view part) {
    if (on) code += (code.empty() ? "" : "+") + std::string(part);
  };
  add(variant.product_first, "nf/x");
  add(variant.fused, "fma");
  add(variant.binary64_x, "x64");
  add(variant.wider, "wide");
  add(variant.wider_x, "xw");
  return code.empty() ? "lab" : code;
}

bool RunCheck(Experiment experiment, const std::vector<GivenValue>& given, CheckOutcome& check,
              const StopToken& stop) {
  experiment.orders = static_cast<long>(given.size()) - 1;
  experiment.seed_formats = {experiment.arithmetic};
  check.yours.clear();
  for (const GivenValue& value : given) check.yours.push_back(value.value);
  experiment.given = check.yours;
  if (!Run(experiment, check.outcome, stop)) return false;
  const IeeeNumber& x = check.outcome.x;
  ForwardRecurrence lab(*experiment.function, x, check.outcome.columns.front());
  check.lab.clear();
  for (size_t m = 0; m < given.size(); ++m) check.lab.push_back(lab.Next());
  check.comparison =
      CompareWithLab(*experiment.function, ReadXs(experiment.x_text, x.format()), given, check.lab);
  check.verdict = CheckVerdict(x.format(), check.comparison);
  return true;
}
