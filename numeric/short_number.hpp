// A number of 64 significant bits in MPFR's whole exponent range, held in 16 bytes and never on
// the heap: what the laboratory keeps of the errors it computes with. Read through an MPFR
// view made on the spot, which lives until the end of the full expression that asked for it.
#pragma once

#include <gmp.h>
#include <mpfr.h>

#include <cstdint>

// An MPFR number of `Bits` significant bits made on the spot over limbs of its own, for reading
// a number held in another form: it lives to the end of the full expression that made it, or of
// the variable it initialises.
template <int Bits>
class MpfrView {
  static_assert(Bits >= 1 && Bits <= 64);

 public:
  // `kind`: MPFR_REGULAR_KIND, _ZERO_, _INF_ or _NAN_KIND, times the sign; for a regular number,
  // its exponent and its significand, leading one at bit 63, the bits below the top `Bits` zero
  // (as MPFR requires).
  MpfrView(int kind, mpfr_exp_t exponent, uint64_t significand) {
    for (int i = 0; i < kLimbs; ++i) {  // the most significant limb last, as MPFR has them
      limbs_[kLimbs - 1 - i] =
          static_cast<mp_limb_t>(significand >> (64 - GMP_NUMB_BITS * (i + 1)));
    }
    mpfr_custom_init_set(value_, kind, exponent, Bits, limbs_);
  }
  MpfrView(const MpfrView&) = delete;
  MpfrView& operator=(const MpfrView&) = delete;
  operator mpfr_srcptr() const { return value_; }
  mpfr_srcptr operator->() const { return value_; }

 private:
  static constexpr int kLimbs = (Bits + GMP_NUMB_BITS - 1) / GMP_NUMB_BITS;
  mpfr_t value_;
  mp_limb_t limbs_[kLimbs];
};

// How ShortNumber marks a value that is not regular, in the field that otherwise holds its
// significand.
struct NonRegular {
  static constexpr uint64_t kZero = 0, kInfinity = 1, kNaN = 2;
};

class ShortNumber {
 public:
  static constexpr int kBits = 64;
  ShortNumber() = default;  // +0
  // x rounded to 64 bits in the direction given (exact when x has 64 bits or fewer).
  explicit ShortNumber(mpfr_srcptr x, mpfr_rnd_t rounding = MPFR_RNDN);

  using View = MpfrView<kBits>;
  View get() const;

 private:
  // significand: the 64 bits, leading one at the top, for a regular number; a NonRegular code
  // (all below 2^63) otherwise. signed_exponent: 2 e + (1 if negative), e MPFR's exponent.
  uint64_t significand_ = NonRegular::kZero;
  int64_t signed_exponent_ = 0;
};
