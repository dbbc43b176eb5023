// The __float128 binary128 backend (x86, ppc64el, Windows): libquadmath's exact %Qe conversion.
#include <quadmath.h>

#include "numeric/exponent_form.hpp"
#include "numeric/precision.hpp"

DecimalSignificand ExactDigits(const Quad& magnitude, int count) {
  return SignificandOf(PrintedText([&](char* text, size_t size) {
    return quadmath_snprintf(text, size, "%.*Qe", count - 1, magnitude);
  }));
}
