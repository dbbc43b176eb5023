// The prediction at x = 1, for seeds of binary128 at most.
#include "plot/prediction.hpp"

#include <mpfr.h>

#include <cmath>

#include "numeric/bessel_truth.hpp"
#include "numeric/ieee_format.hpp"

// Split into three binary64 parts (53 + 53 + 7 significant bits, each subtraction exact) and
// summed at 256 bits.
MpfrNumber ExactlyInMpfr(Quad x) {
  MpfrNumber out(256);
  const double high = static_cast<double>(x);
  const Quad rest = x - Widen(high);
  const double middle = static_cast<double>(rest);
  const double low = static_cast<double>(rest - Widen(middle));
  mpfr_set_d(out.get(), high, MPFR_RNDN);
  mpfr_add_d(out.get(), out.get(), middle, MPFR_RNDN);
  mpfr_add_d(out.get(), out.get(), low, MPFR_RNDN);
  return out;
}

std::optional<std::array<double, kRecurrenceLines>> PredictedAtOne(Quad seed_0, Quad seed_1) {
  MpfrNumber one(2);
  mpfr_set_ui(one.get(), 1, MPFR_RNDN);
  BesselTable truth;
  if (!TrueBessel(kBesselJ, one.get(), kMaxOrder, kBinary128.precision + kTruthGuardBits, truth)) {
    return std::nullopt;
  }
  const std::vector<ArbBall> predicted =
      PredictedRelativeErrors(truth, ExactlyInMpfr(seed_0).get(), ExactlyInMpfr(seed_1).get());
  std::array<double, kRecurrenceLines> magnitudes{};
  for (int m = kFirstRecurrenceOrder; m <= kMaxOrder; ++m) {
    magnitudes[static_cast<size_t>(m - kFirstRecurrenceOrder)] =
        std::fabs(mpfr_get_d(Mid(predicted[static_cast<size_t>(m)]).get(), MPFR_RNDN));
  }
  return magnitudes;
}
