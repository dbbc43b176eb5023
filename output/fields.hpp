// The characters of one data field: Iw and Ew.d / Dw.d, each exactly w columns wide.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "numeric/precision.hpp"
#include "output/decimal.hpp"

// Text placed into a field of w columns: right-justified behind blanks ("7" in 3 -> "  7") or
// left-justified before them; w asterisks when it is longer than the field.
enum class Justify { kRight, kLeft };
std::string FitField(std::string_view text, int w, Justify justify = Justify::kRight);
// A field of w asterisks: the field of a value that cannot be shown in it.
std::string Asterisks(int w);

// Iw: -12 in I3 -> "-12"; 7 in I3 -> "  7"; -123 in I3 -> "***".
std::string IntegerField(int32_t value, int w);

// Ew.d (letter 'E') or Dw.d (letter 'D') under the scale factor k, for a value of any kind.
// Under 1P: 0.7651977f in E13.6 -> " 7.651977E-01"; 1e-100 in D22.15 -> " 1.000000000000000-100".
std::string ExponentField(Single x, int w, int d, int k, char letter);
std::string ExponentField(Double x, int w, int d, int k, char letter);
std::string ExponentField(Quad x, int w, int d, int k, char letter);

// The layout behind ExponentField, from digits already rounded to SignificantDigitsFor(d, k).
std::string ExponentLayout(const DecimalDigits& value, int w, int d, int k, char letter);

// How many significant digits Ew.d shows under the scale factor k: d + 1 for 0 < k < d + 2,
// d + k for -d < k <= 0; 0 where the pair has no layout (the field is then asterisks).
int SignificantDigitsFor(int d, int k);
