// MPFR numbers in exponent form, exactly as MPFR's own "%.(digits - 1)Re" prints them
// ("-1.297000e-07", "inf", "nan"), but mostly without it: the number's first 128 bits are scaled
// by a power of ten held to 128 bits, in integer arithmetic, and the digits are read off whenever
// the scaled value's error bound cannot reach a rounding boundary. Near one (a tie, or an exact
// boundary), MPFR decides. So the text is always MPFR's, at a fraction of its cost.
#pragma once

#include <mpfr.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// How the last digit is rounded: to nearest, ties to even ("%Re"), or towards +infinity
// ("%RUe").
enum class DigitRounding { kNearest, kUp };

// MPFR's "%.(digits - 1)Re" ("%.(digits - 1)RUe" for kUp) of x, 1 <= digits <= 18.
std::string ExponentText(mpfr_srcptr x, int digits,
                         DigitRounding rounding = DigitRounding::kNearest);

// A regular number in exponent form by its parts: "-1.297000e-07" is negative, 1297000 (all
// `digits` of them) and the exponent -7.
struct ExponentDigits {
  bool negative = false;
  uint64_t significand = 0;
  int digits = 0;
  int64_t exponent = 0;  // 64 bits where a long has 32
};

// CommonExponentText's digits, before they are written out.
bool CommonExponentDigits(mpfr_srcptr x, long accuracy, int digits, DigitRounding rounding,
                          ExponentDigits& parts);

// The text that every number y with |y - x| < 2^-accuracy |x| prints as, when they all print
// the same and the quick way can tell it (x regular, accuracy >= 40): true, and the text in
// `text`. False otherwise: perhaps some print differently.
bool CommonExponentText(mpfr_srcptr x, long accuracy, int digits, DigitRounding rounding,
                        std::string& text);

// A number as ExponentText prints it with at most 7 significant digits ("-1.297000e-07",
// "1.61e-08", "0.000000e+00", "inf", "nan"), kept in 8 bytes: its sign, its digits as one
// integer and its decimal exponent, from -2^36 to 2^36 - 1 (what the laboratory keeps of each
// error it prints: the most extreme, at binary256's smallest x and M = 100000, lie near
// 10^(+-1.6e10)). So a number converted once to decimal is printed again from its digits.
class PrintedNumber {
 public:
  PrintedNumber() = default;  // "0e+00", +0 with no digits
  // The number of such a text; std::invalid_argument for any other text, or an exponent beyond
  // the range.
  explicit PrintedNumber(std::string_view text);
  // A regular number by its parts, at most 7 digits.
  explicit PrintedNumber(const ExponentDigits& parts);

  std::string Text() const;  // the text it was made from
  size_t TextLength() const;
  bool finite() const { return kind_ < kInfinity; }
  bool regular() const { return kind_ == kRegular; }
  bool negative() const { return negative_; }
  // The digits of a regular number as one integer ("-1.297000e-07": 1297000), and how many.
  uint64_t significand() const { return significand_; }
  int digits() const;
  // The decimal exponent of a regular number: 10^exponent <= |value| < 10^(exponent + 1).
  int64_t exponent() const { return exponent_; }

 private:
  enum Kind : uint64_t { kRegular, kZero, kInfinity, kNaN };
  uint64_t negative_ : 1 = 0;
  uint64_t kind_ : 2 = kZero;
  uint64_t significand_ : 24 = 0;  // the digits; for 0, how many are printed
  int64_t exponent_ : 37 = 0;
};

// x as ExponentText prints it with `digits` digits (7 at most), kept by its digits.
PrintedNumber PrintedOf(mpfr_srcptr x, int digits,
                        DigitRounding rounding = DigitRounding::kNearest);
