// One GNU MPFR number of a fixed precision, owned: made with the object, released with it. The
// MPFR binary128, the tests' wide integers and the plot's 256-bit arithmetic all hold theirs so.
// Beside it, MPFR plumbing: its widest exponent range for a scope and for the process, log2 of a
// ratio beyond a double's range, and the first bits of a significand.
#pragma once

#include <gmp.h>
#include <mpfr.h>

#include <cmath>
#include <cstdint>

class MpfrNumber {
 public:
  explicit MpfrNumber(mpfr_prec_t bits) {
    mpfr_init2(value_, bits);
    mpfr_set_zero(value_, 1);
  }
  MpfrNumber(const MpfrNumber& other) : MpfrNumber(mpfr_get_prec(other.value_)) {
    mpfr_set(value_, other.value_, MPFR_RNDN);  // exact: the same precision
  }
  MpfrNumber& operator=(const MpfrNumber& other) {
    mpfr_set_prec(value_, mpfr_get_prec(other.value_));
    mpfr_set(value_, other.value_, MPFR_RNDN);
    return *this;
  }
  ~MpfrNumber() { mpfr_clear(value_); }

  // `value` exactly, in its own bits.
  static MpfrNumber Of(mpfr_srcptr value) {
    MpfrNumber copy(mpfr_get_prec(value));
    mpfr_set(copy.value_, value, MPFR_RNDN);
    return copy;
  }

  mpfr_ptr get() { return value_; }
  mpfr_srcptr get() const { return value_; }

 private:
  mpfr_t value_;
};

// MPFR's widest exponent range while the object lives, where no 64- or 128-bit result can
// overflow; the caller's range is given back.
class WidestMpfrExponents {
 public:
  WidestMpfrExponents() : min_(mpfr_get_emin()), max_(mpfr_get_emax()) {
    mpfr_set_emin(mpfr_get_emin_min());
    mpfr_set_emax(mpfr_get_emax_max());
  }
  WidestMpfrExponents(const WidestMpfrExponents&) = delete;
  WidestMpfrExponents& operator=(const WidestMpfrExponents&) = delete;
  ~WidestMpfrExponents() {
    mpfr_set_emin(min_);
    mpfr_set_emax(max_);
  }

 private:
  mpfr_exp_t min_, max_;
};

// Gives GNU MPFR its widest exponent range (about 2^(+-2^62)) for the rest of the process: at
// tiny x and high orders f_m(x) lies far beyond its default 2^(+-2^30) (J_100000 of 1e-4900 is
// near 10^-490000000). Call first thing in main, before any MPFR number is made.
inline void WidenMpfrExponents() {
  mpfr_set_emin(mpfr_get_emin_min());
  mpfr_set_emax(mpfr_get_emax_max());
}

// log2 |a / b| for numbers of any size, far beyond a double's range; NaN unless both are finite
// and nonzero.
inline double Log2Ratio(mpfr_srcptr a, mpfr_srcptr b) {
  if (!mpfr_regular_p(a) || !mpfr_regular_p(b)) return std::nan("");
  long ea = 0, eb = 0;
  const double ma = mpfr_get_d_2exp(&ea, a, MPFR_RNDN);
  const double mb = mpfr_get_d_2exp(&eb, b, MPFR_RNDN);
  return std::log2(std::fabs(ma / mb)) + static_cast<double>(ea - eb);
}

// The first 128 bits of a regular number's significand, truncated, its leading one at the top of
// `high` (zeros follow a shorter significand): |x| lies in [high 2^64 + low, high 2^64 + low + 1)
// x 2^(exponent - 128), and exactly there when x has 128 bits or fewer.
inline void FirstSignificandBits(mpfr_srcptr x, uint64_t& high, uint64_t& low) {
  const mp_limb_t* limbs = x->_mpfr_d;
  long index = (static_cast<long>(mpfr_get_prec(x)) - 1) / GMP_NUMB_BITS;
  high = low = 0;
  int filled = 0;
  for (; index >= 0 && filled < 128; --index) {
    const uint64_t limb = static_cast<uint64_t>(limbs[index]);
    // Append the limb's bits: the pair shifted left by its width, the limb or-ed in.
    if constexpr (GMP_NUMB_BITS == 64) {
      high = low;
      low = limb;
    } else {
      high = (high << GMP_NUMB_BITS) | (low >> (64 - GMP_NUMB_BITS));
      low = (low << GMP_NUMB_BITS) | limb;
    }
    filled += GMP_NUMB_BITS;
  }
  if (filled < 128) {  // fewer bits than 128: place them at the top
    const int missing = 128 - filled;
    if (missing >= 64) {
      high = low << (missing - 64);
      low = 0;
    } else {
      high = (high << missing) | (low >> (64 - missing));
      low <<= missing;
    }
  }
}
