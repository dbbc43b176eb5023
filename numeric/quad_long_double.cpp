// The long double binary128 backend (aarch64, s390x, riscv64, mips64el Linux): the C library's
// %Le conversion, exact for binary128 (glibc).
#include <cstdio>
#include <stdexcept>
#include <string>

#include "numeric/precision.hpp"
#include "numeric/significand_of.hpp"

DecimalSignificand ExactDigits(const Quad& magnitude, int count) {
  // Room for "d.", the digits and an exponent of up to five digits with its sign.
  std::string text(static_cast<size_t>(count) + 16, '\0');
  const int length = std::snprintf(text.data(), text.size(), "%.*Le", count - 1, magnitude);
  if (length < 0 || static_cast<size_t>(length) >= text.size()) {
    throw std::logic_error("the digits of a binary128 number do not fit their buffer");
  }
  return SignificandOf(std::string_view(text.data(), static_cast<size_t>(length)));
}
