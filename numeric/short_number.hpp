// A number of 64 significant bits in MPFR's whole exponent range, held in 16 bytes and never on
// the heap: what the laboratory keeps of each of its millions of errors. Read through an MPFR
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

// How the numbers below mark a value that is not regular, in the field that otherwise holds its
// significand (ShortNumber) or its exponent (CompactNumber).
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

// A number of 26 significant bits with MPFR's exponent from 3 - 2^37 to 2^37 - 2, in 8 bytes:
// what the laboratory keeps of each error it prints, its 7 digits for certain (26-bit neighbours
// lie at most 2^-25 apart, relatively, under a third of the least distance between neighbouring
// 7-digit decimals, 10^-7). The lab's errors lie far inside that range: the most extreme, at
// binary256's smallest x and M = 100000, near 2^(+-5.3e10). A value beyond it cannot be held,
// and is refused (std::range_error). Read through an MPFR view, as ShortNumber is.
class CompactNumber {
 public:
  static constexpr int kBits = 26;
  CompactNumber() = default;  // +0
  // x rounded to 26 bits in the direction given (exact when x has 26 bits or fewer).
  explicit CompactNumber(mpfr_srcptr x, mpfr_rnd_t rounding = MPFR_RNDN);

  using View = MpfrView<kBits>;
  View get() const;

 private:
  // bits_: the sign at bit 63; the exponent field (bits 62 ... 25): a NonRegular code, or
  // MPFR's exponent plus kBias; the 25 bits of the significand after its leading one.
  static constexpr int kFractionBits = kBits - 1, kFieldBits = 38;
  static constexpr uint64_t kBias = uint64_t{1} << 37;
  uint64_t bits_ = NonRegular::kZero;
};
