// The characters of one data field: Iw and Ew.d / Dw.d, each exactly w columns wide.
#pragma once

#include <cstdint>
#include <string>

#include "numeric/precision.hpp"

// A field of w asterisks: the field of a value that cannot be shown in it.
std::string Asterisks(int w);

// Iw: -12 in I3 -> "-12"; 7 in I3 -> "  7"; -123 in I3 -> "***".
std::string IntegerField(int32_t value, int w);

// Ew.d (letter 'E') or Dw.d (letter 'D') under the scale factor k, for a value of any kind.
// Under 1P: 0.7651977f in E13.6 -> " 7.651977E-01"; 1e-100 in D22.15 -> " 1.000000000000000-100".
std::string ExponentField(Single x, int w, int d, int k, char letter);
std::string ExponentField(Double x, int w, int d, int k, char letter);
std::string ExponentField(Quad x, int w, int d, int k, char letter);
