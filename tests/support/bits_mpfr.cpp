// Bits of the MPFR binary128: the layout computed from the value, and back.
#include <string>

#include "numeric/mpfr_number.hpp"
#include "tests/support/bits.hpp"

namespace {

constexpr uint64_t kExponentMask = 0x7fff;
constexpr int kFractionBitsInHigh = 48;
constexpr mpfr_exp_t kMinNormalExponent = -16381;  // 2^-16382 = 0.5 x 2^-16381

// An integer of up to 128 bits held exactly.
MpfrNumber Wide() {
  return MpfrNumber(128);
}

void SetHalves(mpfr_ptr out, uint64_t high, uint64_t low) {
  mpfr_set_ui_2exp(out, static_cast<unsigned long>(high >> 32), 96, MPFR_RNDN);
  MpfrNumber part = Wide();
  mpfr_set_ui_2exp(part.get(), static_cast<unsigned long>(high & 0xffffffffu), 64, MPFR_RNDN);
  mpfr_add(out, out, part.get(), MPFR_RNDN);
  mpfr_set_ui_2exp(part.get(), static_cast<unsigned long>(low >> 32), 32, MPFR_RNDN);
  mpfr_add(out, out, part.get(), MPFR_RNDN);
  mpfr_add_ui(out, out, static_cast<unsigned long>(low & 0xffffffffu), MPFR_RNDN);
}

// The integer in `in` (below 2^128) as two halves; `in` is used up.
void GetHalves(mpfr_ptr in, uint64_t& high, uint64_t& low) {
  uint64_t words[4];
  for (int i = 3; i >= 0; --i) {  // 32 bits at a time, from the top
    MpfrNumber word = Wide();
    mpfr_div_2ui(word.get(), in, static_cast<unsigned long>(32 * i), MPFR_RNDN);
    mpfr_rint_floor(word.get(), word.get(), MPFR_RNDN);
    words[i] = mpfr_get_ui(word.get(), MPFR_RNDN);
    mpfr_mul_2ui(word.get(), word.get(), static_cast<unsigned long>(32 * i), MPFR_RNDN);
    mpfr_sub(in, in, word.get(), MPFR_RNDN);
  }
  high = (words[3] << 32) | words[2];
  low = (words[1] << 32) | words[0];
}

}  // namespace

QuadBits Bits(const Quad& x) {
  QuadBits bits;
  const uint64_t sign = mpfr_signbit(x.get()) ? uint64_t{1} << 63 : 0;
  uint64_t field = 0;
  MpfrNumber fraction = Wide();  // the 112-bit fraction field, as an integer
  if (mpfr_nan_p(x.get())) {
    field = kExponentMask;
    mpfr_set_ui_2exp(fraction.get(), 1, 111, MPFR_RNDN);
  } else if (mpfr_inf_p(x.get())) {
    field = kExponentMask;
  } else if (mpfr_zero_p(x.get())) {
  } else if (mpfr_get_exp(x.get()) >= kMinNormalExponent) {
    // |x| = 1.f x 2^(e - 1): the significand times 2^(113 - e) is an integer in [2^112, 2^113).
    const mpfr_exp_t e = mpfr_get_exp(x.get());
    field = static_cast<uint64_t>(e - 1 + 16383);
    mpfr_abs(fraction.get(), x.get(), MPFR_RNDN);
    mpfr_mul_2si(fraction.get(), fraction.get(), 113 - e, MPFR_RNDN);
    MpfrNumber hidden = Wide();
    mpfr_set_ui_2exp(hidden.get(), 1, 112, MPFR_RNDN);
    mpfr_sub(fraction.get(), fraction.get(), hidden.get(), MPFR_RNDN);
  } else {
    mpfr_abs(fraction.get(), x.get(), MPFR_RNDN);  // subnormal: |x| / 2^-16494
    mpfr_mul_2si(fraction.get(), fraction.get(), 16494, MPFR_RNDN);
  }
  uint64_t high = 0;
  GetHalves(fraction.get(), high, bits.low);
  bits.high = sign | (field << kFractionBitsInHigh) | high;
  return bits;
}

Quad QuadFromBits(QuadBits bits) {
  const bool negative = (bits.high >> 63) != 0;
  const uint64_t field = (bits.high >> kFractionBitsInHigh) & kExponentMask;
  const uint64_t high_fraction = bits.high & ((uint64_t{1} << kFractionBitsInHigh) - 1);
  Quad x;
  if (field == kExponentMask) {
    if (high_fraction == 0 && bits.low == 0) {
      mpfr_set_inf(x.get(), negative ? -1 : 1);
    } else {
      mpfr_set_nan(x.get());
    }
    return x;
  }
  MpfrNumber significand = Wide();
  SetHalves(significand.get(), high_fraction | (field != 0 ? uint64_t{1} << 48 : 0), bits.low);
  const long scale = field != 0 ? static_cast<long>(field) - 16383 - 112 : -16494;
  mpfr_mul_2si(significand.get(), significand.get(), scale, MPFR_RNDN);  // exact: 2^k scaling
  x.Round(mpfr_set(x.get(), significand.get(), MPFR_RNDN));
  if (negative) x = -x;
  return x;
}

Quad ParseQuad(std::string_view text) {
  const std::string terminated(text);
  Quad x;
  x.Round(mpfr_strtofr(x.get(), terminated.c_str(), nullptr, 10, MPFR_RNDN));
  return x;
}
