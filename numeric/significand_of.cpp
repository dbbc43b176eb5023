// Reading exponent form back into digits.
#include "numeric/significand_of.hpp"

#include <charconv>

DecimalSignificand SignificandOf(std::string_view exponent_form) {
  DecimalSignificand result;
  const size_t e = std::min(exponent_form.find('e'), exponent_form.size());
  for (const char c : exponent_form.substr(0, e)) {
    if (c != '.') result.digits += c;
  }
  std::string_view exponent = exponent_form.substr(std::min(e + 1, exponent_form.size()));
  if (!exponent.empty() && exponent.front() == '+') exponent.remove_prefix(1);
  std::from_chars(exponent.data(), exponent.data() + exponent.size(), result.exponent);
  return result;
}
