#include "numeric/arb_ball.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

MpfrNumber Mid(const ArbBall& ball) {
  MpfrNumber out(std::max<mpfr_prec_t>(MPFR_PREC_MIN, arb_bits(ball.get())));
  arf_get_mpfr(out.get(), arb_midref(ball.get()), MPFR_RNDN);
  return out;
}

namespace {

// `digits` significant digits of a finite nonzero midpoint, from its text with three digits
// more ("d.ddddddddde+E"): rounded half up on the three (none of them a tie), the carry taken
// into the exponent. "" where the three digits are 500.
std::string RoundedFromLonger(const char* longer, int digits) {
  std::string text(longer);
  const bool negative = text[0] == '-';
  const size_t e = text.find('e');
  std::string significand;
  for (size_t i = negative ? 1 : 0; i < e; ++i) {
    if (text[i] != '.') significand += text[i];
  }
  long exponent = std::strtol(text.c_str() + e + 1, nullptr, 10);
  const std::string tail = significand.substr(static_cast<size_t>(digits), 3);
  if (tail == "500") return "";
  significand.resize(static_cast<size_t>(digits));
  if (tail > "500") {
    int i = digits - 1;
    for (; i >= 0 && significand[static_cast<size_t>(i)] == '9'; --i) {
      significand[static_cast<size_t>(i)] = '0';
    }
    if (i >= 0) {
      ++significand[static_cast<size_t>(i)];
    } else {  // 9.99...9 up to 10.0...0
      significand.insert(significand.begin(), '1');
      significand.pop_back();
      ++exponent;
    }
  }
  char exponent_text[32];
  std::snprintf(exponent_text, sizeof exponent_text, "e%c%02ld", exponent < 0 ? '-' : '+',
                std::labs(exponent));
  return std::string(negative ? "-" : "") + significand.substr(0, 1) +
         (digits > 1 ? "." + significand.substr(1) : "") + exponent_text;
}

}  // namespace

std::string Decided(const ArbBall& ball, int digits) {
  if (!arb_is_finite(ball.get())) return "";
  char format[16];
  const mpfr_prec_t bits =
      std::max<mpfr_prec_t>(MPFR_PREC_MIN, arb_bits(ball.get()) + 2 * MAG_BITS);
  // Narrow enough that both ends lie within half a unit of the midpoint's (digits + 3)th digit:
  // the relative radius below 10^-(digits + 4) / 2.
  const long narrow = static_cast<long>(std::ceil((digits + 4) * std::log2(10.0))) + 2;
  if (!arb_is_zero(ball.get()) && arb_rel_accuracy_bits(ball.get()) >= narrow) {
    const MpfrNumber mid = Mid(ball);
    std::snprintf(format, sizeof format, "%%.%dRe", digits + 2);
    char longer[128];
    mpfr_snprintf(longer, sizeof longer, format, mid.get());
    const std::string text = RoundedFromLonger(longer, digits);
    if (!text.empty()) return text;
  }
  MpfrNumber low(bits), high(bits);
  arb_get_interval_mpfr(low.get(), high.get(), ball.get());
  std::snprintf(format, sizeof format, "%%.%dRe", digits - 1);
  char low_text[128], high_text[128];
  mpfr_snprintf(low_text, sizeof low_text, format, low.get());
  mpfr_snprintf(high_text, sizeof high_text, format, high.get());
  return std::string(low_text) == high_text ? low_text : "";
}
