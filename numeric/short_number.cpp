// The 16-byte number and its MPFR view.
#include "numeric/short_number.hpp"

#include <cstdlib>

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

CompactNumber::CompactNumber(mpfr_srcptr x, mpfr_rnd_t rounding) {
  const uint64_t sign = mpfr_signbit(x) != 0 ? uint64_t{1} << 63 : 0;
  uint64_t field = kZero, fraction = 0;
  if (mpfr_nan_p(x)) {
    field = kNaN;
  } else if (mpfr_inf_p(x)) {
    field = kInfinity;
  } else if (!mpfr_zero_p(x)) {
    // Rounded in MPFR's widest exponent range, where 26 bits never overflow.
    MPFR_DECL_INIT(rounded, kBits);
    int64_t exponent = 0;
    {
      const WidestMpfrExponents widest;
      mpfr_set(rounded, x, rounding);
      exponent = mpfr_get_exp(rounded);
    }
    if (exponent <= static_cast<int64_t>(kNaN) - static_cast<int64_t>(kBias) ||
        exponent >= static_cast<int64_t>(kBias) - 1) {
      std::abort();  // beyond the range held: no error of the lab's comes near it
    }
    uint64_t high = 0, low = 0;
    FirstSignificandBits(rounded, high, low);
    field = static_cast<uint64_t>(exponent + static_cast<int64_t>(kBias));
    fraction = (high >> (64 - kBits)) & ((uint64_t{1} << kFractionBits) - 1);
  }
  bits_ = sign | (field << kFractionBits) | fraction;
}

CompactNumber::View::View(const CompactNumber& number) {
  const int sign = (number.bits_ >> 63) != 0 ? -1 : 1;
  const uint64_t field = (number.bits_ >> kFractionBits) & ((uint64_t{1} << kFieldBits) - 1);
  if (field > kNaN) {
    const uint64_t fraction = number.bits_ & ((uint64_t{1} << kFractionBits) - 1);
    // The 26 bits at the top of the limb, the leading one first.
    limb_ = static_cast<mp_limb_t>(((uint64_t{1} << kFractionBits) | fraction)
                                   << (GMP_NUMB_BITS - kBits));
    const int64_t exponent = static_cast<int64_t>(field) - static_cast<int64_t>(kBias);
    mpfr_custom_init_set(value_, sign * MPFR_REGULAR_KIND, static_cast<mpfr_exp_t>(exponent), kBits,
                         &limb_);
    return;
  }
  limb_ = 0;
  const int kind = field == kNaN        ? sign * MPFR_NAN_KIND
                   : field == kInfinity ? sign * MPFR_INF_KIND
                                        : sign * MPFR_ZERO_KIND;
  mpfr_custom_init_set(value_, kind, 0, kBits, &limb_);
}
