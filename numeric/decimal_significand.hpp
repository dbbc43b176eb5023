// Significant decimal digits and a decimal exponent: what every exact conversion produces.
#pragma once

#include <string>

// Significant decimal digits D1 D2 ... Dn (D1 never '0') and the decimal exponent of D1, so
// that the value is D1.D2...Dn x 10^exponent: 0.7651977 to 4 digits is "7652", exponent -1.
struct DecimalSignificand {
  std::string digits;
  int exponent = 0;
};
