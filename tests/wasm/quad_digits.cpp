// binary128's exact decimal digits as the WebAssembly build prints them: 1/3 and 2/3 rounded to
// binary128 (long double there), 40 significant digits each, one a line. Emscripten's printf
// gives a long double only a double's digits unless linked with PRINTF_LONG_DOUBLE, which
// quad_digits.test.js guards through this program.
#include <cstdio>

#include "numeric/precision.hpp"

int main() {
  for (const Quad value : {Quad(1) / 3, Quad(2) / 3}) {
    const DecimalSignificand digits = ExactDigits(value, 40);
    std::printf("%s e%d\n", digits.digits.c_str(), digits.exponent);
  }
}
