// The MPFR binary128 backend: the exact IEEE kind's own digits.
#include "numeric/precision.hpp"

DecimalSignificand ExactDigits(const Quad& magnitude, int count) {
  return ExactDigits(magnitude.number(), count);
}
