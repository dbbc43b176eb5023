// Bits of the MPFR binary128: the layout computed from the value, and back, with the fraction
// field as a GMP integer.
#include <gmp.h>

#include <string>

#include "numeric/mpfr_number.hpp"
#include "tests/support/bits.hpp"

namespace {

constexpr uint64_t kExponentMask = 0x7fff;
constexpr int kFractionBitsInHigh = 48;
constexpr mpfr_exp_t kMinNormalExponent = -16381;  // 2^-16382 = 0.5 x 2^-16381

// A GMP integer, made and released with the object.
struct Integer {
  Integer() { mpz_init(value); }
  ~Integer() { mpz_clear(value); }
  mpz_t value;
};

}  // namespace

QuadBits Bits(const Quad& quad) {
  mpfr_srcptr x = quad.number().get();
  const uint64_t sign = mpfr_signbit(x) ? uint64_t{1} << 63 : 0;
  uint64_t field = 0;
  MpfrNumber fraction(128);  // the 112-bit fraction field, as an integer
  if (mpfr_nan_p(x)) {
    field = kExponentMask;
    mpfr_set_ui_2exp(fraction.get(), 1, 111, MPFR_RNDN);
  } else if (mpfr_inf_p(x)) {
    field = kExponentMask;
  } else if (mpfr_zero_p(x)) {
  } else if (mpfr_get_exp(x) >= kMinNormalExponent) {
    // |x| = 1.f x 2^(e - 1): the significand times 2^(113 - e) is an integer in [2^112, 2^113).
    const mpfr_exp_t e = mpfr_get_exp(x);
    field = static_cast<uint64_t>(e - 1 + 16383);
    mpfr_abs(fraction.get(), x, MPFR_RNDN);
    mpfr_mul_2si(fraction.get(), fraction.get(), 113 - e, MPFR_RNDN);
    mpfr_sub_d(fraction.get(), fraction.get(), 0x1p112, MPFR_RNDN);  // the hidden bit
  } else {
    mpfr_abs(fraction.get(), x, MPFR_RNDN);  // subnormal: |x| / 2^-16494
    mpfr_mul_2si(fraction.get(), fraction.get(), 16494, MPFR_RNDN);
  }
  Integer integer;
  mpfr_get_z(integer.value, fraction.get(), MPFR_RNDN);
  uint64_t words[2] = {0, 0};  // least significant first
  mpz_export(words, nullptr, -1, sizeof words[0], 0, 0, integer.value);
  return {sign | (field << kFractionBitsInHigh) | words[1], words[0]};
}

Quad QuadFromBits(QuadBits bits) {
  const bool negative = (bits.high >> 63) != 0;
  const uint64_t field = (bits.high >> kFractionBitsInHigh) & kExponentMask;
  const uint64_t high_fraction = bits.high & ((uint64_t{1} << kFractionBitsInHigh) - 1);
  MpfrNumber x(113);
  if (field == kExponentMask && (high_fraction != 0 || bits.low != 0)) {
    mpfr_set_nan(x.get());
  } else if (field == kExponentMask) {
    mpfr_set_inf(x.get(), negative ? -1 : 1);
  } else {
    const uint64_t words[2] = {bits.low, high_fraction | (field != 0 ? uint64_t{1} << 48 : 0)};
    Integer significand;
    mpz_import(significand.value, 2, -1, sizeof words[0], 0, 0, words);
    const long scale = field != 0 ? static_cast<long>(field) - 16383 - 112 : -16494;
    mpfr_set_z_2exp(x.get(), significand.value, scale, MPFR_RNDN);  // exact
    if (negative) mpfr_neg(x.get(), x.get(), MPFR_RNDN);
  }
  return Quad(IeeeNumber(kBinary128, x.get()));
}

Quad ParseQuad(std::string_view text) {
  const std::string terminated(text);
  IeeeNumber x(kBinary128);
  x.Set([&](mpfr_ptr v) { return mpfr_strtofr(v, terminated.c_str(), nullptr, 10, MPFR_RNDN); });
  return Quad(x);
}
