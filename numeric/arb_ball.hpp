// One Arb ball, owned: a midpoint and a radius that together enclose the true value, whatever
// roundings the operations made. The truth is held so, and so is every error measured against
// it: a digit is printed only once both ends of its ball give it.
#pragma once

#include <arb.h>
#include <mpfr.h>

#include <optional>
#include <string>

#include "numeric/exponent_text.hpp"
#include "numeric/mpfr_number.hpp"

// Gives back what FLINT and Arb keep for the calling thread (their caches of constants and
// integers): call at the end of a thread, other than the main one, that computed with balls.
inline void ReleaseThreadCaches() {
  flint_cleanup();
}

class ArbBall {
 public:
  ArbBall() { arb_init(value_); }
  // Exactly the value of an MPFR number (a point: radius 0).
  explicit ArbBall(mpfr_srcptr x) : ArbBall() {
    arf_set_mpfr(arb_midref(value_), x);
    mag_zero(arb_radref(value_));
  }
  ArbBall(const ArbBall& other) : ArbBall() { arb_set(value_, other.value_); }
  ArbBall& operator=(const ArbBall& other) {
    arb_set(value_, other.value_);
    return *this;
  }
  ArbBall(ArbBall&& other) noexcept : ArbBall() { arb_swap(value_, other.value_); }
  ArbBall& operator=(ArbBall&& other) noexcept {
    arb_swap(value_, other.value_);
    return *this;
  }
  ~ArbBall() { arb_clear(value_); }

  arb_ptr get() { return value_; }
  arb_srcptr get() const { return value_; }

 private:
  arb_t value_;
};

// The exact midpoint of a ball, as an MPFR number.
MpfrNumber Mid(const ArbBall& ball);

// ExponentText(Mid(ball).get(), digits): the midpoint's own text, mostly from its first 128 bits.
std::string MidpointText(const ArbBall& ball, int digits);

// The ball in exponent form with `digits` significant digits, as MPFR's "%.(digits-1)Re" prints
// it ("-1.297000e-07"), when both its ends give the same text, which then is the correctly
// rounded text of the true value; "" otherwise, and for a ball holding infinity or NaN. A ball
// narrow beside the place of its last digit is mostly decided from its midpoint's first 128 bits
// alone (CommonExponentText); near a boundary, from both ends.
std::string Decided(const ArbBall& ball, int digits);
// The same kept as its digits, at most 7; none where the ends print different ones.
std::optional<PrintedNumber> DecidedNumber(const ArbBall& ball, int digits);
