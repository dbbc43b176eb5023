// Numbers written in exponent form ("7.65e-01", "1e+07", as %e and std::to_chars write them)
// read back as their significant digits and decimal exponent.
#pragma once

#include <string_view>

#include "numeric/precision.hpp"

// "7.651977e-01" -> digits "7651977", exponent -1. The text must be of that form.
DecimalSignificand SignificandOf(std::string_view exponent_form);
