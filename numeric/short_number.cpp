// The 16-byte number and its MPFR view.
#include "numeric/short_number.hpp"

#include "numeric/mpfr_number.hpp"

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
  // Held as it is when it has 64 bits or fewer; else rounded, in MPFR's widest exponent range,
  // where 64 bits never overflow.
  MPFR_DECL_INIT(rounded, 64);
  mpfr_srcptr held = x;
  if (mpfr_get_prec(x) > 64) {
    const WidestMpfrExponents widest;
    mpfr_set(rounded, x, rounding);
    held = rounded;
  }
  uint64_t below = 0;  // nothing: 64 bits at most
  FirstSignificandBits(held, significand_, below);
  signed_exponent_ = 2 * static_cast<int64_t>(mpfr_get_exp(held)) + (negative ? 1 : 0);
}

ShortNumber::View::View(const ShortNumber& number) {
  const int sign = (number.signed_exponent_ & 1) != 0 ? -1 : 1;
  if (number.significand_ >= (uint64_t{1} << 63)) {
    if constexpr (GMP_NUMB_BITS == 64) {
      limbs_[0] = static_cast<mp_limb_t>(number.significand_);
    } else {
      limbs_[0] = static_cast<mp_limb_t>(number.significand_ & 0xffffffffu);
      limbs_[1] = static_cast<mp_limb_t>(number.significand_ >> 32);
    }
    // The exponent halved, rounding towards -infinity, drops the sign bit.
    const int64_t e = (number.signed_exponent_ - (number.signed_exponent_ & 1)) / 2;
    mpfr_custom_init_set(value_, sign * MPFR_REGULAR_KIND, static_cast<mpfr_exp_t>(e), 64, limbs_);
    return;
  }
  const int kind = number.significand_ == kNaN        ? sign * MPFR_NAN_KIND
                   : number.significand_ == kInfinity ? sign * MPFR_INF_KIND
                                                      : sign * MPFR_ZERO_KIND;
  mpfr_custom_init_set(value_, kind, 0, 64, limbs_);
}
