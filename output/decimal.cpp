// Exact decimal digits: std::to_chars (exact, ties to even) for binary32 and binary64, the C
// library's %e conversion for binary128.
#include "output/decimal.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <vector>

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

template <class Kind>
DecimalDigits ViaToChars(Kind x, int count) {
  DecimalDigits result;
  if (Classify(x, result)) return result;
  // The longest binary64 expansion has 767 significant digits; count never comes near that.
  std::vector<char> buffer(static_cast<size_t>(count) + 16);
  auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::fabs(x),
                                    std::chars_format::scientific, count - 1);
  (void)error;
  return FromScientific(std::string_view(buffer.data(), end), x < 0);
}

}  // namespace

DecimalDigits ToDecimal(Single x, int count) {
  return ViaToChars(x, count);
}
DecimalDigits ToDecimal(Double x, int count) {
  return ViaToChars(x, count);
}

DecimalDigits ToDecimal(Quad x, int count) {
  DecimalDigits result;
  if (Classify(x, result)) return result;
  const Quad magnitude = x < 0 ? -x : x;
  std::vector<char> buffer(static_cast<size_t>(count) + 16);
#if BESSEL_QUAD_IS_LONG_DOUBLE
  const int length = std::snprintf(buffer.data(), buffer.size(), "%.*Le", count - 1, magnitude);
#else
  const int length = quadmath_snprintf(buffer.data(), buffer.size(), "%.*Qe", count - 1, magnitude);
#endif
  return FromScientific(std::string_view(buffer.data(), static_cast<size_t>(length)), x < 0);
}
