// The MPFR binary128 backend: its arithmetic, conversions and exact decimal digits.
#include <cstdlib>

#include "numeric/precision.hpp"

namespace {

// binary128 in MPFR's terms (significands in [1/2, 1)): the largest finite value is below
// 2^16384, the smallest subnormal is 2^-16494 = 2^(-16493 - 1).
constexpr mpfr_exp_t kMinExponent = -16493;
constexpr mpfr_exp_t kMaxExponent = 16384;

// Sets binary128's exponent range once, before the first number is made.
void UseBinary128Range() {
  static const bool done = (mpfr_set_emin(kMinExponent), mpfr_set_emax(kMaxExponent), true);
  (void)done;
}

}  // namespace

Quad::Quad(int i) {
  UseBinary128Range();
  mpfr_set_si(get(), i, MPFR_RNDN);
}

Quad::Quad(float x) {
  UseBinary128Range();
  mpfr_set_flt(get(), x, MPFR_RNDN);
}

Quad::Quad(double x) {
  UseBinary128Range();
  mpfr_set_d(get(), x, MPFR_RNDN);
}

Quad::operator float() const {
  return mpfr_get_flt(get(), MPFR_RNDN);
}

Quad::operator double() const {
  return mpfr_get_d(get(), MPFR_RNDN);
}

void Quad::Round(int ternary) {
  ternary = mpfr_check_range(get(), ternary, MPFR_RNDN);
  mpfr_subnormalize(get(), ternary, MPFR_RNDN);
}

Quad operator+(const Quad& a, const Quad& b) {
  Quad r;
  r.Round(mpfr_add(r.get(), a.get(), b.get(), MPFR_RNDN));
  return r;
}

Quad operator-(const Quad& a, const Quad& b) {
  Quad r;
  r.Round(mpfr_sub(r.get(), a.get(), b.get(), MPFR_RNDN));
  return r;
}

Quad operator*(const Quad& a, const Quad& b) {
  Quad r;
  r.Round(mpfr_mul(r.get(), a.get(), b.get(), MPFR_RNDN));
  return r;
}

Quad operator/(const Quad& a, const Quad& b) {
  Quad r;
  r.Round(mpfr_div(r.get(), a.get(), b.get(), MPFR_RNDN));
  return r;
}

Quad operator-(const Quad& a) {
  Quad r;
  mpfr_neg(r.get(), a.get(), MPFR_RNDN);
  return r;
}

bool operator==(const Quad& a, const Quad& b) {
  return mpfr_equal_p(a.get(), b.get()) != 0;
}
std::partial_ordering operator<=>(const Quad& a, const Quad& b) {
  if (mpfr_unordered_p(a.get(), b.get())) return std::partial_ordering::unordered;
  const int order = mpfr_cmp(a.get(), b.get());
  return order < 0   ? std::partial_ordering::less
         : order > 0 ? std::partial_ordering::greater
                     : std::partial_ordering::equivalent;
}

// MPFR gives the digits themselves: D1 D2 ... with value 0.D1D2... x 10^exponent.
DecimalSignificand ExactDigits(const Quad& magnitude, int count) {
  mpfr_exp_t exponent = 0;
  char* digits =
      mpfr_get_str(nullptr, &exponent, 10, static_cast<size_t>(count), magnitude.get(), MPFR_RNDN);
  if (digits == nullptr) std::abort();  // out of memory
  DecimalSignificand result{digits, static_cast<int>(exponent) - 1};
  mpfr_free_str(digits);
  return result;
}
