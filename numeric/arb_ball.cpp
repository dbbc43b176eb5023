#include "numeric/arb_ball.hpp"

#include <algorithm>

#include "numeric/exponent_text.hpp"

MpfrNumber Mid(const ArbBall& ball) {
  MpfrNumber out(std::max<mpfr_prec_t>(MPFR_PREC_MIN, arb_bits(ball.get())));
  arf_get_mpfr(out.get(), arb_midref(ball.get()), MPFR_RNDN);
  return out;
}

std::string MidpointText(const ArbBall& ball, int digits) {
  // The midpoint lies within 2^-128 of its first 128 bits rounded, relatively.
  MPFR_DECL_INIT(mid, 128);
  arf_get_mpfr(mid, arb_midref(ball.get()), MPFR_RNDN);
  std::string text;
  if (CommonExponentText(mid, 126, digits, DigitRounding::kNearest, text)) return text;
  return ExponentText(Mid(ball).get(), digits);
}

std::string Decided(const ArbBall& ball, int digits) {
  if (!arb_is_finite(ball.get())) return "";
  // The midpoint's first 128 bits: the ends lie within 2^-(accuracy - 1) of them, relatively.
  if (!arb_is_zero(ball.get())) {
    MPFR_DECL_INIT(mid, 128);
    arf_get_mpfr(mid, arb_midref(ball.get()), MPFR_RNDN);
    const long accuracy = std::min<long>(arb_rel_accuracy_bits(ball.get()), 126) - 1;
    std::string text;
    if (CommonExponentText(mid, accuracy, digits, DigitRounding::kNearest, text)) return text;
  }
  const mpfr_prec_t bits =
      std::max<mpfr_prec_t>(MPFR_PREC_MIN, arb_bits(ball.get()) + 2 * MAG_BITS);
  MpfrNumber low(bits), high(bits);
  arb_get_interval_mpfr(low.get(), high.get(), ball.get());
  const std::string low_text = ExponentText(low.get(), digits);
  return low_text == ExponentText(high.get(), digits) ? low_text : "";
}
