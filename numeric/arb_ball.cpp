#include "numeric/arb_ball.hpp"

#include <algorithm>

#include "numeric/mpfr_number.hpp"

void Midpoint(mpfr_ptr out, const ArbBall& ball) {
  arf_get_mpfr(out, arb_midref(ball.get()), MPFR_RNDN);
}

std::string Decided(const ArbBall& ball, const char* printf_format) {
  if (!arb_is_finite(ball.get())) return "";
  const mpfr_prec_t bits =
      std::max<mpfr_prec_t>(MPFR_PREC_MIN, arb_bits(ball.get()) + 2 * MAG_BITS);
  MpfrNumber low(bits), high(bits);
  arb_get_interval_mpfr(low.get(), high.get(), ball.get());
  char low_text[96], high_text[96];
  mpfr_snprintf(low_text, sizeof low_text, printf_format, low.get());
  mpfr_snprintf(high_text, sizeof high_text, printf_format, high.get());
  return std::string(low_text) == high_text ? low_text : "";
}
