// The 16- and 8-byte numbers and their MPFR views.
#include "numeric/short_number.hpp"

#include <cstdlib>

#include "numeric/mpfr_number.hpp"

namespace {

// x at `rounded`'s precision: x itself when it has no more bits, else rounded into `rounded` in
// MPFR's widest exponent range, where it cannot overflow.
mpfr_srcptr Held(mpfr_srcptr x, mpfr_ptr rounded, mpfr_rnd_t rounding) {
  if (mpfr_get_prec(x) <= mpfr_get_prec(rounded)) return x;
  const WidestMpfrExponents widest;
  mpfr_set(rounded, x, rounding);
  return rounded;
}

}  // namespace

ShortNumber::ShortNumber(mpfr_srcptr x, mpfr_rnd_t rounding) {
  const bool negative = mpfr_signbit(x) != 0;
  signed_exponent_ = negative ? 1 : 0;
  if (mpfr_nan_p(x)) {
    significand_ = kNaN;
    return;
  }
  if (mpfr_inf_p(x)) {
    significand_ = kInfinity;
    return;
  }
  if (mpfr_zero_p(x)) {
    significand_ = kZero;
    return;
  }
  MPFR_DECL_INIT(rounded, kBits);
  const mpfr_srcptr held = Held(x, rounded, rounding);
  uint64_t below = 0;  // nothing: 64 bits at most
  FirstSignificandBits(held, significand_, below);
  signed_exponent_ = 2 * static_cast<int64_t>(mpfr_get_exp(held)) + (negative ? 1 : 0);
}

ShortNumber::View ShortNumber::get() const {
  const int sign = (signed_exponent_ & 1) != 0 ? -1 : 1;
  if (significand_ >= (uint64_t{1} << 63)) {
    // The exponent halved, rounding towards -infinity, drops the sign bit.
    const int64_t e = (signed_exponent_ - (signed_exponent_ & 1)) / 2;
    return View(sign * MPFR_REGULAR_KIND, static_cast<mpfr_exp_t>(e), significand_);
  }
  const int kind = significand_ == kNaN        ? MPFR_NAN_KIND
                   : significand_ == kInfinity ? MPFR_INF_KIND
                                               : MPFR_ZERO_KIND;
  return View(sign * kind, 0, 0);
}

CompactNumber::CompactNumber(mpfr_srcptr x, mpfr_rnd_t rounding) {
  const uint64_t sign = mpfr_signbit(x) != 0 ? uint64_t{1} << 63 : 0;
  uint64_t field = kZero, fraction = 0;
  if (mpfr_nan_p(x)) {
    field = kNaN;
  } else if (mpfr_inf_p(x)) {
    field = kInfinity;
  } else if (!mpfr_zero_p(x)) {
    MPFR_DECL_INIT(rounded, kBits);
    const mpfr_srcptr held = Held(x, rounded, rounding);
    const int64_t exponent = mpfr_get_exp(held);
    if (exponent <= static_cast<int64_t>(kNaN) - static_cast<int64_t>(kBias) ||
        exponent >= static_cast<int64_t>(kBias) - 1) {
      std::abort();  // beyond the range held: no error of the lab's comes near it
    }
    uint64_t high = 0, low = 0;
    FirstSignificandBits(held, high, low);
    field = static_cast<uint64_t>(exponent + static_cast<int64_t>(kBias));
    fraction = (high >> (64 - kBits)) & ((uint64_t{1} << kFractionBits) - 1);
  }
  bits_ = sign | (field << kFractionBits) | fraction;
}

CompactNumber::View CompactNumber::get() const {
  const int sign = (bits_ >> 63) != 0 ? -1 : 1;
  const uint64_t field = (bits_ >> kFractionBits) & ((uint64_t{1} << kFieldBits) - 1);
  if (field > kNaN) {
    const uint64_t fraction = bits_ & ((uint64_t{1} << kFractionBits) - 1);
    const int64_t exponent = static_cast<int64_t>(field) - static_cast<int64_t>(kBias);
    return View(sign * MPFR_REGULAR_KIND, static_cast<mpfr_exp_t>(exponent),
                ((uint64_t{1} << kFractionBits) | fraction) << (64 - kBits));
  }
  const int kind = field == kNaN        ? MPFR_NAN_KIND
                   : field == kInfinity ? MPFR_INF_KIND
                                        : MPFR_ZERO_KIND;
  return View(sign * kind, 0, 0);
}
