// Iw and exponent-form fields: size the text first, then pad it once into the field.
#include "output/fields.hpp"

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "output/decimal.hpp"

namespace {

// Text placed into a field of w columns: right-justified behind blanks ("7" in 3 -> "  7") or
// left-justified before them; w asterisks when it is longer than the field.
enum class Justify { kRight, kLeft };
std::string FitField(std::string_view text, int w, Justify justify = Justify::kRight) {
  const size_t width = static_cast<size_t>(std::max(w, 0));
  if (text.size() > width) return Asterisks(w);
  const std::string blanks(width - text.size(), ' ');
  return justify == Justify::kRight ? blanks + std::string(text) : std::string(text) + blanks;
}

// The exponent part: "E-01" for |x| <= 99; "-100" (no letter) for 100 <= |x| <= 999;
// empty when even three digits cannot hold it.
std::string ExponentPart(int x, char letter) {
  const int magnitude = std::abs(x);
  if (magnitude > 999) return {};
  std::string part;
  if (magnitude <= 99) part += letter;
  part += x < 0 ? '-' : '+';
  if (magnitude <= 9) part += '0';
  return part + std::to_string(magnitude);
}

// How many significant digits Ew.d shows under the scale factor k: d + 1 for 0 < k < d + 2,
// d + k for -d < k <= 0; 0 where the pair has no layout (the field is then asterisks).
int SignificantDigitsFor(int d, int k) {
  if (k > 0 && k < d + 2) return d + 1;
  if (k <= 0 && k > -d) return d + k;
  return 0;
}

// The layout behind ExponentField, from digits already rounded to SignificantDigitsFor(d, k).
std::string ExponentLayout(const DecimalDigits& value, int w, int d, int k, char letter) {
  switch (value.value_class) {
    case DecimalDigits::Class::kZero:
      // Zero of either sign, whatever the scale factor: 0.000E+00 for d = 3.
      return FitField("0." + std::string(static_cast<size_t>(d), '0') + letter + "+00", w);
    case DecimalDigits::Class::kInfinite:
    case DecimalDigits::Class::kNaN:
      // Written from the field's second column, blanks after it.
      return FitField(std::string(value.negative ? " -" : " ") +
                          (value.value_class == DecimalDigits::Class::kNaN ? "NaN" : "Infinity"),
                      w, Justify::kLeft);
    case DecimalDigits::Class::kFinite:
      break;
  }
  // The digits D1 D2 ... read as 0.D1D2... x 10^(exponent + 1); under kP the first k of them
  // stand before the point and the exponent shrinks by k.
  const std::string& digits = value.digits;
  if (digits.size() < static_cast<size_t>(std::max(k, 1))) return Asterisks(w);  // no digits came
  std::string mantissa;
  if (k > 0) {
    mantissa =
        digits.substr(0, static_cast<size_t>(k)) + "." + digits.substr(static_cast<size_t>(k));
  } else {
    mantissa = "0." + std::string(static_cast<size_t>(-k), '0') + digits;
  }
  const std::string exponent = ExponentPart(value.exponent + 1 - k, letter);
  if (exponent.empty()) return Asterisks(w);
  return FitField((value.negative ? "-" : "") + mantissa + exponent, w);
}

template <class Kind>
std::string ExponentFieldOf(Kind x, int w, int d, int k, char letter) {
  const int count = SignificantDigitsFor(d, k);
  if (count == 0) return Asterisks(w);
  return ExponentLayout(ToDecimal(x, count), w, d, k, letter);
}

}  // namespace

std::string Asterisks(int w) {
  return std::string(static_cast<size_t>(std::max(w, 0)), '*');
}

std::string IntegerField(int32_t value, int w) {
  const int64_t wide = value;
  std::string text = wide < 0 ? "-" : "";
  text += std::to_string(wide < 0 ? -wide : wide);
  return FitField(text, w);
}

std::string ExponentField(Single x, int w, int d, int k, char letter) {
  return ExponentFieldOf(x, w, d, k, letter);
}
std::string ExponentField(Double x, int w, int d, int k, char letter) {
  return ExponentFieldOf(x, w, d, k, letter);
}
std::string ExponentField(Quad x, int w, int d, int k, char letter) {
  return ExponentFieldOf(x, w, d, k, letter);
}
