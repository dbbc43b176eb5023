#include "numeric/arb_ball.hpp"

#include <algorithm>

#include "numeric/exponent_text.hpp"

MpfrNumber Mid(const ArbBall& ball) {
  MpfrNumber out(std::max<mpfr_prec_t>(MPFR_PREC_MIN, arb_bits(ball.get())));
  arf_get_mpfr(out.get(), arb_midref(ball.get()), MPFR_RNDN);
  return out;
}

namespace {

// The text every number within 2^-accuracy of the midpoint's first 128 bits prints as, when the
// quick way can tell it (CommonExponentText): true, and the text in `text`.
bool QuickText(const ArbBall& ball, long accuracy, int digits, std::string& text) {
  MPFR_DECL_INIT(mid, 128);
  arf_get_mpfr(mid, arb_midref(ball.get()), MPFR_RNDN);
  return CommonExponentText(mid, accuracy, digits, DigitRounding::kNearest, text);
}

// The accuracy to which the ball's ends lie within its midpoint's first 128 bits, relatively.
long EndsAccuracy(const ArbBall& ball) {
  return std::min<long>(arb_rel_accuracy_bits(ball.get()), 126) - 1;
}

}  // namespace

std::string MidpointText(const ArbBall& ball, int digits) {
  arf_srcptr mid = arb_midref(ball.get());
  if (arf_is_nan(mid)) return "nan";
  if (arf_is_inf(mid)) return arf_sgn(mid) < 0 ? "-inf" : "inf";
  // The midpoint lies within 2^-128 of its first 128 bits rounded, relatively.
  std::string text;
  if (QuickText(ball, 126, digits, text)) return text;
  return ExponentText(Mid(ball).get(), digits);
}

std::string Decided(const ArbBall& ball, int digits) {
  if (!arb_is_finite(ball.get())) return "";
  std::string text;
  if (!arb_is_zero(ball.get()) && QuickText(ball, EndsAccuracy(ball), digits, text)) return text;
  const mpfr_prec_t bits =
      std::max<mpfr_prec_t>(MPFR_PREC_MIN, arb_bits(ball.get()) + 2 * MAG_BITS);
  MpfrNumber low(bits), high(bits);
  arb_get_interval_mpfr(low.get(), high.get(), ball.get());
  const std::string low_text = ExponentText(low.get(), digits);
  return low_text == ExponentText(high.get(), digits) ? low_text : "";
}

std::optional<PrintedNumber> DecidedNumber(const ArbBall& ball, int digits) {
  if (!arb_is_finite(ball.get())) return std::nullopt;
  if (!arb_is_zero(ball.get())) {
    MPFR_DECL_INIT(mid, 128);
    arf_get_mpfr(mid, arb_midref(ball.get()), MPFR_RNDN);
    ExponentDigits parts;
    if (CommonExponentDigits(mid, EndsAccuracy(ball), digits, DigitRounding::kNearest, parts)) {
      return PrintedNumber(parts);
    }
  }
  const std::string text = Decided(ball, digits);
  if (text.empty()) return std::nullopt;
  return PrintedNumber(text);
}
