// Exact decimal digits: std::to_chars (exact, ties to even) for binary32 and binary64, the
// binary128 backend's own exact conversion for Quad.
#include "output/decimal.hpp"

#include <charconv>
#include <cmath>
#include <stdexcept>
#include <string>
#include <string_view>

#include "numeric/significand_of.hpp"

namespace {

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

// std::to_chars in exponent form: exact, ties to even (a Single widened exactly). The buffer
// holds "d.", the digits and an exponent of up to three digits with its sign.
DecimalSignificand Significand(Double magnitude, int count) {
  std::string text(static_cast<size_t>(count) + 16, '\0');
  const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), magnitude,
                                          std::chars_format::scientific, count - 1);
  if (error != std::errc{}) {
    throw std::logic_error("the digits of a binary64 number do not fit their buffer");
  }
  return SignificandOf(std::string_view(text.data(), static_cast<size_t>(end - text.data())));
}

DecimalSignificand Significand(const Quad& magnitude, int count) {
  return ExactDigits(magnitude, count);
}

template <class Kind>
DecimalDigits Decimal(Kind x, int count) {
  DecimalDigits result;
  if (Classify(x, result)) return result;
  DecimalSignificand significand = Significand(x < 0 ? -x : x, count);
  result.value_class = DecimalDigits::Class::kFinite;  // its sign set by Classify
  result.digits = std::move(significand.digits);
  result.exponent = significand.exponent;
  return result;
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
