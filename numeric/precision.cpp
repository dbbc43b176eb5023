// What each binary128 backend needs beyond arithmetic: bits, decimal input and decimal output;
// and, for MPFR, the arithmetic itself.
#include "numeric/precision.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#if defined(BESSEL_QUAD_FLOAT128)
#include <quadmath.h>
#endif

#if defined(BESSEL_QUAD_MPFR)

namespace {

// "d.ddd" and a decimal exponent as %e writes them: "7.65e-01", "1.0e+100".
std::string WithExponent(std::string mantissa, long exponent) {
  char text[32];
  std::snprintf(text, sizeof text, "e%c%02ld", exponent < 0 ? '-' : '+',
                exponent < 0 ? -exponent : exponent);
  return mantissa + text;
}

constexpr mpfr_prec_t kSignificandBits = 113;
// binary128 in MPFR's terms (significands in [1/2, 1)): the largest finite value is below
// 2^16384, the smallest subnormal is 2^-16494 = 2^(-16493 - 1).
constexpr mpfr_exp_t kMinExponent = -16493;
constexpr mpfr_exp_t kMaxExponent = 16384;
constexpr mpfr_exp_t kMinNormalExponent = -16381;  // 2^-16382 = 0.5 x 2^-16381

// Sets binary128's exponent range once, before the first number is made.
void UseBinary128Range() {
  static const bool done = (mpfr_set_emin(kMinExponent), mpfr_set_emax(kMaxExponent), true);
  (void)done;
}

}  // namespace

Quad::Quad(int i) {
  UseBinary128Range();
  mpfr_init2(value_, kSignificandBits);
  mpfr_set_si(value_, i, MPFR_RNDN);
}

Quad::Quad(float x) {
  UseBinary128Range();
  mpfr_init2(value_, kSignificandBits);
  mpfr_set_flt(value_, x, MPFR_RNDN);
}

Quad::Quad(double x) {
  UseBinary128Range();
  mpfr_init2(value_, kSignificandBits);
  mpfr_set_d(value_, x, MPFR_RNDN);
}

Quad::Quad(const Quad& other) {
  mpfr_init2(value_, kSignificandBits);
  mpfr_set(value_, other.value_, MPFR_RNDN);
}

Quad::Quad(Quad&& other) noexcept {
  mpfr_init2(value_, kSignificandBits);
  mpfr_swap(value_, other.value_);
}

Quad& Quad::operator=(const Quad& other) {
  mpfr_set(value_, other.value_, MPFR_RNDN);
  return *this;
}

Quad& Quad::operator=(Quad&& other) noexcept {
  mpfr_swap(value_, other.value_);
  return *this;
}

Quad::~Quad() {
  mpfr_clear(value_);
}

Quad::operator float() const {
  return mpfr_get_flt(value_, MPFR_RNDN);
}

Quad::operator double() const {
  return mpfr_get_d(value_, MPFR_RNDN);
}

void Quad::Round(int ternary) {
  ternary = mpfr_check_range(value_, ternary, MPFR_RNDN);
  mpfr_subnormalize(value_, ternary, MPFR_RNDN);
}

Quad operator+(const Quad& a, const Quad& b) {
  Quad r;
  r.Round(mpfr_add(r.value_, a.value_, b.value_, MPFR_RNDN));
  return r;
}

Quad operator-(const Quad& a, const Quad& b) {
  Quad r;
  r.Round(mpfr_sub(r.value_, a.value_, b.value_, MPFR_RNDN));
  return r;
}

Quad operator*(const Quad& a, const Quad& b) {
  Quad r;
  r.Round(mpfr_mul(r.value_, a.value_, b.value_, MPFR_RNDN));
  return r;
}

Quad operator/(const Quad& a, const Quad& b) {
  Quad r;
  r.Round(mpfr_div(r.value_, a.value_, b.value_, MPFR_RNDN));
  return r;
}

Quad operator-(const Quad& a) {
  Quad r;
  mpfr_neg(r.value_, a.value_, MPFR_RNDN);
  return r;
}

bool operator==(const Quad& a, const Quad& b) {
  return mpfr_equal_p(a.value_, b.value_) != 0;
}
bool operator!=(const Quad& a, const Quad& b) {
  return !(a == b);
}
bool operator<(const Quad& a, const Quad& b) {
  return mpfr_less_p(a.value_, b.value_) != 0;
}
bool operator<=(const Quad& a, const Quad& b) {
  return mpfr_lessequal_p(a.value_, b.value_) != 0;
}
bool operator>(const Quad& a, const Quad& b) {
  return mpfr_greater_p(a.value_, b.value_) != 0;
}
bool operator>=(const Quad& a, const Quad& b) {
  return mpfr_greaterequal_p(a.value_, b.value_) != 0;
}

namespace {

// An integer of up to 128 bits held exactly in MPFR, to and from its two 64-bit halves.
struct Wide {
  Wide() { mpfr_init2(value, 128); }
  ~Wide() { mpfr_clear(value); }
  mpfr_t value;
};

void SetHalves(mpfr_ptr out, uint64_t high, uint64_t low) {
  mpfr_set_ui_2exp(out, static_cast<unsigned long>(high >> 32), 96, MPFR_RNDN);
  Wide part;
  mpfr_set_ui_2exp(part.value, static_cast<unsigned long>(high & 0xffffffffu), 64, MPFR_RNDN);
  mpfr_add(out, out, part.value, MPFR_RNDN);
  mpfr_set_ui_2exp(part.value, static_cast<unsigned long>(low >> 32), 32, MPFR_RNDN);
  mpfr_add(out, out, part.value, MPFR_RNDN);
  mpfr_add_ui(out, out, static_cast<unsigned long>(low & 0xffffffffu), MPFR_RNDN);
}

// The integer in `in` (below 2^128) as two halves; `in` is used up.
void GetHalves(mpfr_ptr in, uint64_t& high, uint64_t& low) {
  uint64_t words[4];
  for (int i = 3; i >= 0; --i) {  // 32 bits at a time, from the top
    Wide word;
    mpfr_div_2ui(word.value, in, static_cast<unsigned long>(32 * i), MPFR_RNDN);
    mpfr_rint_floor(word.value, word.value, MPFR_RNDN);
    words[i] = mpfr_get_ui(word.value, MPFR_RNDN);
    mpfr_mul_2ui(word.value, word.value, static_cast<unsigned long>(32 * i), MPFR_RNDN);
    mpfr_sub(in, in, word.value, MPFR_RNDN);
  }
  high = (words[3] << 32) | words[2];
  low = (words[1] << 32) | words[0];
}

constexpr uint64_t kExponentMask = 0x7fff;
constexpr int kFractionBitsInHigh = 48;

}  // namespace

QuadBits BitsOf(const Quad& x) {
  QuadBits bits;
  const uint64_t sign = mpfr_signbit(x.get()) ? uint64_t{1} << 63 : 0;
  uint64_t field = 0;
  Wide fraction;  // the 112-bit fraction field, as an integer
  if (mpfr_nan_p(x.get())) {
    field = kExponentMask;
    mpfr_set_ui_2exp(fraction.value, 1, 111, MPFR_RNDN);
  } else if (mpfr_inf_p(x.get())) {
    field = kExponentMask;
    mpfr_set_zero(fraction.value, 1);
  } else if (mpfr_zero_p(x.get())) {
    mpfr_set_zero(fraction.value, 1);
  } else if (mpfr_get_exp(x.get()) >= kMinNormalExponent) {
    // |x| = 1.f x 2^(e - 1): the significand times 2^(113 - e) is an integer in [2^112, 2^113).
    const mpfr_exp_t e = mpfr_get_exp(x.get());
    field = static_cast<uint64_t>(e - 1 + 16383);
    mpfr_abs(fraction.value, x.get(), MPFR_RNDN);
    mpfr_mul_2si(fraction.value, fraction.value, 113 - e, MPFR_RNDN);
    Wide hidden;
    mpfr_set_ui_2exp(hidden.value, 1, 112, MPFR_RNDN);
    mpfr_sub(fraction.value, fraction.value, hidden.value, MPFR_RNDN);
  } else {
    mpfr_abs(fraction.value, x.get(), MPFR_RNDN);  // subnormal: |x| / 2^-16494
    mpfr_mul_2si(fraction.value, fraction.value, 16494, MPFR_RNDN);
  }
  uint64_t high = 0;
  GetHalves(fraction.value, high, bits.low);
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
  Wide significand;
  SetHalves(significand.value, high_fraction | (field != 0 ? uint64_t{1} << 48 : 0), bits.low);
  const long scale = field != 0 ? static_cast<long>(field) - 16383 - 112 : -16494;
  mpfr_mul_2si(significand.value, significand.value, scale, MPFR_RNDN);  // exact: 2^k scaling
  x.Round(mpfr_set(x.get(), significand.value, MPFR_RNDN));
  if (negative) x = -x;
  return x;
}

Quad ParseQuad(std::string_view text) {
  const std::string terminated(text);
  Quad x;
  x.Round(mpfr_strtofr(x.get(), terminated.c_str(), nullptr, 10, MPFR_RNDN));
  return x;
}

std::string ScientificText(const Quad& magnitude, int fraction_digits) {
  mpfr_exp_t exponent = 0;
  char* digits = mpfr_get_str(nullptr, &exponent, 10, static_cast<size_t>(fraction_digits) + 1,
                              magnitude.get(), MPFR_RNDN);
  if (digits == nullptr) return {};
  std::string mantissa(1, digits[0]);  // digits is D1 D2 ... with value 0.D1D2... x 10^exponent
  if (fraction_digits > 0) mantissa += "." + std::string(digits + 1);
  mpfr_free_str(digits);
  return WithExponent(mantissa, static_cast<long>(exponent) - 1);
}

#else  // a built-in binary128 type

// Its bytes in memory order are the IEEE layout in the machine's byte order.
QuadBits BitsOf(const Quad& x) {
  uint64_t halves[2];
  std::memcpy(halves, &x, sizeof halves);
  if constexpr (std::endian::native == std::endian::little) return {halves[1], halves[0]};
  return {halves[0], halves[1]};
}

Quad QuadFromBits(QuadBits bits) {
  uint64_t halves[2] = {bits.high, bits.low};
  if constexpr (std::endian::native == std::endian::little) {
    halves[0] = bits.low;
    halves[1] = bits.high;
  }
  Quad x;
  std::memcpy(&x, halves, sizeof x);
  return x;
}

Quad ParseQuad(std::string_view text) {
  const std::string terminated(text);
#if defined(BESSEL_QUAD_LONG_DOUBLE)
  return std::strtold(terminated.c_str(), nullptr);
#else
  return strtoflt128(terminated.c_str(), nullptr);
#endif
}

namespace {

int PrintScientific(std::string& text, const Quad& magnitude, int fraction_digits) {
#if defined(BESSEL_QUAD_LONG_DOUBLE)
  return std::snprintf(text.data(), text.size(), "%.*Le", fraction_digits, magnitude);
#else
  return quadmath_snprintf(text.data(), text.size(), "%.*Qe", fraction_digits, magnitude);
#endif
}

}  // namespace

// The C library's %e conversion, exact for binary128 (glibc, libquadmath). The first buffer
// holds the point, the digits and an exponent of up to four digits; should the conversion still
// want more room, it gets it. Empty only if the library cannot convert at all.
std::string ScientificText(const Quad& magnitude, int fraction_digits) {
  std::string text(static_cast<size_t>(fraction_digits) + 16, '\0');
  int length = PrintScientific(text, magnitude, fraction_digits);
  if (length >= 0 && static_cast<size_t>(length) >= text.size()) {
    text.resize(static_cast<size_t>(length) + 1);  // room for the terminating zero as well
    length = PrintScientific(text, magnitude, fraction_digits);
  }
  text.resize(length >= 0 ? std::min(static_cast<size_t>(length), text.size() - 1) : 0);
  return text;
}

#endif
