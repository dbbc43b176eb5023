// The 16- and 8-byte numbers and their MPFR views.
#include "numeric/short_number.hpp"

#include <stdexcept>

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

// The NonRegular code of x, which is not a regular number.
uint64_t NonRegularCode(mpfr_srcptr x) {
  return mpfr_nan_p(x)   ? NonRegular::kNaN
         : mpfr_inf_p(x) ? NonRegular::kInfinity
                         : NonRegular::kZero;
}

// MPFR's kind of a number held by a NonRegular code, without its sign.
int NonRegularKind(uint64_t code) {
  return code == NonRegular::kNaN        ? MPFR_NAN_KIND
         : code == NonRegular::kInfinity ? MPFR_INF_KIND
                                         : MPFR_ZERO_KIND;
}

}  // namespace

ShortNumber::ShortNumber(mpfr_srcptr x, mpfr_rnd_t rounding) {
  const bool negative = mpfr_signbit(x) != 0;
  signed_exponent_ = negative ? 1 : 0;
  if (!mpfr_regular_p(x)) {
    significand_ = NonRegularCode(x);
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
  return View(sign * NonRegularKind(significand_), 0, 0);
}

CompactNumber::CompactNumber(mpfr_srcptr x, mpfr_rnd_t rounding) {
  const uint64_t sign = mpfr_signbit(x) != 0 ? uint64_t{1} << 63 : 0;
  uint64_t field = NonRegular::kZero, fraction = 0;
  if (!mpfr_regular_p(x)) {
    field = NonRegularCode(x);
  } else {
    MPFR_DECL_INIT(rounded, kBits);
    const mpfr_srcptr held = Held(x, rounded, rounding);
    const int64_t exponent = mpfr_get_exp(held);
    if (exponent <= static_cast<int64_t>(NonRegular::kNaN) - static_cast<int64_t>(kBias) ||
        exponent >= static_cast<int64_t>(kBias) - 1) {
      // No error of the lab's comes near it.
      throw std::range_error("a number beyond 2^(+-2^37) cannot be held in 26 bits");
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
  if (field > NonRegular::kNaN) {
    const uint64_t fraction = bits_ & ((uint64_t{1} << kFractionBits) - 1);
    const int64_t exponent = static_cast<int64_t>(field) - static_cast<int64_t>(kBias);
    return View(sign * MPFR_REGULAR_KIND, static_cast<mpfr_exp_t>(exponent),
                ((uint64_t{1} << kFractionBits) | fraction) << (64 - kBits));
  }
  return View(sign * NonRegularKind(field), 0, 0);
}
