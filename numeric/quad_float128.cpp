// The __float128 binary128 backend (x86, ppc64el, Windows): libquadmath's exact %Qe conversion.
#include <quadmath.h>

#include <stdexcept>
#include <string>

#include "numeric/precision.hpp"
#include "numeric/significand_of.hpp"

DecimalSignificand ExactDigits(const Quad& magnitude, int count) {
  // Room for "d.", the digits and an exponent of up to five digits with its sign.
  std::string text(static_cast<size_t>(count) + 16, '\0');
  const int length = quadmath_snprintf(text.data(), text.size(), "%.*Qe", count - 1, magnitude);
  if (length < 0 || static_cast<size_t>(length) >= text.size()) {
    throw std::logic_error("the digits of a binary128 number do not fit their buffer");
  }
  return SignificandOf(std::string_view(text.data(), static_cast<size_t>(length)));
}
