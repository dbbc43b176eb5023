// The prediction in multiple precision: MPFR's J_n and Y_n, and the seed errors solved for.
#include "plot/prediction.hpp"

#include <mpfr.h>

#include <vector>

#include "numeric/mpfr_number.hpp"

namespace {

constexpr mpfr_prec_t kBits = 256;

// An MPFR number at kBits, zero to start with.
MpfrNumber Big() {
  return MpfrNumber(kBits);
}

// A binary128 value, exactly: split into three binary64 parts (53 + 53 + 7 significant bits,
// each subtraction exact) and summed at 256 bits.
void SetExactly(MpfrNumber& out, Quad x) {
  const double high = static_cast<double>(x);
  const Quad rest = x - Widen(high);
  const double middle = static_cast<double>(rest);
  const double low = static_cast<double>(rest - Widen(middle));
  mpfr_set_d(out.get(), high, MPFR_RNDN);
  mpfr_add_d(out.get(), out.get(), middle, MPFR_RNDN);
  mpfr_add_d(out.get(), out.get(), low, MPFR_RNDN);
}

// J_m(1) and Y_m(1), m = 0 ... 10, correctly rounded to the working precision.
struct Bessel {
  Bessel() {
    MpfrNumber one = Big();
    mpfr_set_ui(one.get(), 1, MPFR_RNDN);
    for (long m = 0; m <= kMaxOrder; ++m) {
      mpfr_jn(j[m].get(), m, one.get(), MPFR_RNDN);
      mpfr_yn(y[m].get(), m, one.get(), MPFR_RNDN);
    }
  }
  std::vector<MpfrNumber> j = std::vector<MpfrNumber>(kMaxOrder + 1, Big());
  std::vector<MpfrNumber> y = std::vector<MpfrNumber>(kMaxOrder + 1, Big());
};

std::string Decimal(MpfrNumber& x) {
  char text[64];
  mpfr_snprintf(text, sizeof text, "%.39Re", x.get());
  return text;
}

}  // namespace

BesselReference ReferenceValues() {
  Bessel bessel;
  BesselReference reference;
  for (size_t m = 0; m <= kMaxOrder; ++m) {
    reference.j[m] = Decimal(bessel.j[m]);
    reference.y[m] = Decimal(bessel.y[m]);
  }
  return reference;
}

std::array<double, kRecurrenceLines> PredictedRelativeErrors(Quad seed_0, Quad seed_1) {
  Bessel bessel;
  std::vector<MpfrNumber>& j = bessel.j;
  std::vector<MpfrNumber>& y = bessel.y;
  MpfrNumber e0 = Big(), e1 = Big();
  SetExactly(e0, seed_0);
  SetExactly(e1, seed_1);
  mpfr_sub(e0.get(), e0.get(), j[0].get(), MPFR_RNDN);
  mpfr_sub(e1.get(), e1.get(), j[1].get(), MPFR_RNDN);

  // Cramer's rule: det = J_0 Y_1 - J_1 Y_0 (which is -2/pi, by the Wronskian).
  MpfrNumber det = Big(), t = Big(), a = Big(), b = Big();
  mpfr_mul(det.get(), j[0].get(), y[1].get(), MPFR_RNDN);
  mpfr_mul(t.get(), j[1].get(), y[0].get(), MPFR_RNDN);
  mpfr_sub(det.get(), det.get(), t.get(), MPFR_RNDN);
  mpfr_mul(a.get(), e0.get(), y[1].get(), MPFR_RNDN);  // A = (e_0 Y_1 - e_1 Y_0) / det
  mpfr_mul(t.get(), e1.get(), y[0].get(), MPFR_RNDN);
  mpfr_sub(a.get(), a.get(), t.get(), MPFR_RNDN);
  mpfr_div(a.get(), a.get(), det.get(), MPFR_RNDN);
  mpfr_mul(b.get(), j[0].get(), e1.get(), MPFR_RNDN);  // B = (J_0 e_1 - J_1 e_0) / det
  mpfr_mul(t.get(), j[1].get(), e0.get(), MPFR_RNDN);
  mpfr_sub(b.get(), b.get(), t.get(), MPFR_RNDN);
  mpfr_div(b.get(), b.get(), det.get(), MPFR_RNDN);

  std::array<double, kRecurrenceLines> predicted{};
  MpfrNumber error = Big();
  for (int m = kFirstRecurrenceOrder; m <= kMaxOrder; ++m) {
    mpfr_mul(error.get(), a.get(), j[m].get(), MPFR_RNDN);
    mpfr_mul(t.get(), b.get(), y[m].get(), MPFR_RNDN);
    mpfr_add(error.get(), error.get(), t.get(), MPFR_RNDN);
    mpfr_div(error.get(), error.get(), j[m].get(), MPFR_RNDN);
    mpfr_abs(error.get(), error.get(), MPFR_RNDN);
    predicted[static_cast<size_t>(m - kFirstRecurrenceOrder)] = mpfr_get_d(error.get(), MPFR_RNDN);
  }
  return predicted;
}
