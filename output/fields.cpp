// Iw and exponent-form fields: size the text first, then pad it once into the field.
#include "output/fields.hpp"

#include <cstdlib>

namespace {

// Right-justifies text in w columns, or gives w asterisks when it does not fit.
std::string Pad(const std::string& text, int w) {
  const size_t width = static_cast<size_t>(w);
  if (text.size() > width) return std::string(width, '*');
  return std::string(width - text.size(), ' ') + text;
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

template <class Kind>
std::string ExponentFieldOf(Kind x, int w, int d, int k, char letter) {
  const int count = SignificantDigitsFor(d, k);
  if (count == 0) return std::string(static_cast<size_t>(w), '*');
  return ExponentLayout(ToDecimal(x, count), w, d, k, letter);
}

}  // namespace

std::string IntegerField(int32_t value, int w) {
  const int64_t wide = value;
  std::string text = wide < 0 ? "-" : "";
  text += std::to_string(wide < 0 ? -wide : wide);
  return Pad(text, w);
}

int SignificantDigitsFor(int d, int k) {
  if (k > 0 && k < d + 2) return d + 1;
  if (k <= 0 && k > -d) return d + k;
  return 0;
}

std::string ExponentLayout(const DecimalDigits& value, int w, int d, int k, char letter) {
  const size_t width = static_cast<size_t>(w);
  switch (value.value_class) {
    case DecimalDigits::Class::kZero:
      // Zero of either sign, whatever the scale factor: 0.000E+00 for d = 3.
      return Pad("0." + std::string(static_cast<size_t>(d), '0') + letter + "+00", w);
    case DecimalDigits::Class::kInfinite:
    case DecimalDigits::Class::kNaN: {
      // Written from the field's second column, blanks after it.
      const std::string text =
          std::string(value.negative ? " -" : " ") +
          (value.value_class == DecimalDigits::Class::kNaN ? "NaN" : "Infinity");
      if (text.size() > width) return std::string(width, '*');
      return text + std::string(width - text.size(), ' ');
    }
    case DecimalDigits::Class::kFinite:
      break;
  }
  // The digits D1 D2 ... read as 0.D1D2... x 10^(exponent + 1); under kP the first k of them
  // stand before the point and the exponent shrinks by k.
  const std::string& digits = value.digits;
  std::string mantissa;
  if (k > 0) {
    mantissa =
        digits.substr(0, static_cast<size_t>(k)) + "." + digits.substr(static_cast<size_t>(k));
  } else {
    mantissa = "0." + std::string(static_cast<size_t>(-k), '0') + digits;
  }
  const std::string exponent = ExponentPart(value.exponent + 1 - k, letter);
  if (exponent.empty()) return std::string(width, '*');
  return Pad((value.negative ? "-" : "") + mantissa + exponent, w);
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
