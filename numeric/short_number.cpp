// The 16-byte number and its MPFR view.
#include "numeric/short_number.hpp"

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
