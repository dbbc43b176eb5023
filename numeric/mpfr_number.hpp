// One GNU MPFR number of a fixed precision, owned: made with the object, released with it. The
// MPFR binary128, the tests' wide integers and the plot's 256-bit arithmetic all hold theirs so.
#pragma once

#include <mpfr.h>

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

  mpfr_ptr get() { return value_; }
  mpfr_srcptr get() const { return value_; }

 private:
  mpfr_t value_;
};
