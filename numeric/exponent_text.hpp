// MPFR numbers in exponent form, exactly as MPFR's own "%.(digits - 1)Re" prints them
// ("-1.297000e-07", "inf", "nan"), but mostly without it: the number's first 128 bits are scaled
// by a power of ten held to 128 bits, in integer arithmetic, and the digits are read off whenever
// the scaled value's error bound cannot reach a rounding boundary. Near one (a tie, or an exact
// boundary), MPFR decides. So the text is always MPFR's, at a fraction of its cost.
#pragma once

#include <mpfr.h>

#include <cstddef>
#include <string>

// How the last digit is rounded: to nearest, ties to even ("%Re"), or towards +infinity
// ("%RUe").
enum class DigitRounding { kNearest, kUp };

// MPFR's "%.(digits - 1)Re" ("%.(digits - 1)RUe" for kUp) of x, 1 <= digits <= 18.
std::string ExponentText(mpfr_srcptr x, int digits,
                         DigitRounding rounding = DigitRounding::kNearest);

// ExponentText(x, digits, kNearest).size(), found from x's binary exponent alone wherever every
// decimal exponent it may print with has the same number of digits.
size_t ExponentTextLength(mpfr_srcptr x, int digits);

// The text that every number y with |y - x| < 2^-accuracy |x| prints as, when they all print
// the same and the quick way can tell it (x regular, accuracy >= 40): true, and the text in
// `text`. False otherwise: perhaps some print differently.
bool CommonExponentText(mpfr_srcptr x, long accuracy, int digits, DigitRounding rounding,
                        std::string& text);
