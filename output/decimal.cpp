// Exact decimal digits: std::to_chars (exact, ties to even) for binary32 and binary64, the C
// library's %e conversion for binary128.
#include "output/decimal.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>

#if !BESSEL_QUAD_IS_LONG_DOUBLE
#include <quadmath.h>
#endif

namespace {

// Reads "d.ddde-05" (or "de+07" when only one digit was asked for) as written by %e.
DecimalDigits FromScientific(std::string_view text, bool negative) {
  DecimalDigits result;
  result.value_class = DecimalDigits::Class::kFinite;
  result.negative = negative;
  size_t i = 0;
  for (; i < text.size() && text[i] != 'e'; ++i) {
    if (text[i] != '.') result.digits += text[i];
  }
  std::from_chars(text.data() + i + 1 + (text[i + 1] == '+'), text.data() + text.size(),
                  result.exponent);
  return result;
}

template <class Kind>
bool Classify(Kind x, DecimalDigits& result) {
  result.negative = std::signbit(static_cast<Double>(x));
  if (x != x) {
    result.value_class = DecimalDigits::Class::kNaN;
    result.negative = false;
  } else if (x == 0) {
    result.value_class = DecimalDigits::Class::kZero;
  } else if (x - x != 0) {
    result.value_class = DecimalDigits::Class::kInfinite;
  } else {
    return false;
  }
  return true;
}

// "d.ddd...e+XX" for a finite magnitude, with `fraction_digits` digits behind the point; the
// buffer holds the point, the digits and an exponent of up to four digits.
std::string Scientific(Double magnitude, int fraction_digits) {
  std::string text(static_cast<size_t>(fraction_digits) + 16, '\0');
  const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), magnitude,
                                          std::chars_format::scientific, fraction_digits);
  (void)error;
  text.resize(static_cast<size_t>(end - text.data()));
  return text;
}

std::string Scientific(Single magnitude, int fraction_digits) {
  return Scientific(static_cast<Double>(magnitude), fraction_digits);  // exact widening
}

std::string Scientific(Quad magnitude, int fraction_digits) {
  std::string text(static_cast<size_t>(fraction_digits) + 16, '\0');
#if BESSEL_QUAD_IS_LONG_DOUBLE
  const int length = std::snprintf(text.data(), text.size(), "%.*Le", fraction_digits, magnitude);
#else
  const int length =
      quadmath_snprintf(text.data(), text.size(), "%.*Qe", fraction_digits, magnitude);
#endif
  text.resize(static_cast<size_t>(length));
  return text;
}

template <class Kind>
DecimalDigits Decimal(Kind x, int count) {
  DecimalDigits result;
  if (Classify(x, result)) return result;
  return FromScientific(Scientific(x < 0 ? -x : x, count - 1), x < 0);
}

}  // namespace

DecimalDigits ToDecimal(Single x, int count) {
  return Decimal(x, count);
}
DecimalDigits ToDecimal(Double x, int count) {
  return Decimal(x, count);
}
DecimalDigits ToDecimal(Quad x, int count) {
  return Decimal(x, count);
}
