// Exact decimal digits: std::to_chars (exact, ties to even) for binary32 and binary64, the
// binary128 backend's own exact conversion for Quad.
#include "output/decimal.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>

namespace {

// Reads "d.ddde-05" (or "de+07" when only one digit was asked for) as written by %e.
DecimalDigits FromScientific(std::string_view text, bool negative) {
  DecimalDigits result;
  result.value_class = DecimalDigits::Class::kFinite;
  result.negative = negative;
  const size_t e = std::min(text.find('e'), text.size());
  for (const char c : text.substr(0, e)) {
    if (c != '.') result.digits += c;
  }
  std::string_view exponent = text.substr(std::min(e + 1, text.size()));
  if (!exponent.empty() && exponent.front() == '+') exponent.remove_prefix(1);
  std::from_chars(exponent.data(), exponent.data() + exponent.size(), result.exponent);
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

// "d.ddd...e+XX" for a finite magnitude, with `fraction_digits` digits behind the point. The
// first buffer holds the point, the digits and an exponent of up to four digits; should the
// conversion still want more room, it gets it.
std::string Scientific(Double magnitude, int fraction_digits) {
  std::string text(static_cast<size_t>(fraction_digits) + 16, '\0');
  for (;;) {
    const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), magnitude,
                                            std::chars_format::scientific, fraction_digits);
    if (error == std::errc{}) {
      text.resize(static_cast<size_t>(end - text.data()));
      return text;
    }
    text.resize(text.size() * 2);
  }
}

std::string Scientific(Single magnitude, int fraction_digits) {
  return Scientific(static_cast<Double>(magnitude), fraction_digits);  // exact widening
}

std::string Scientific(const Quad& magnitude, int fraction_digits) {
  return ScientificText(magnitude, fraction_digits);
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
