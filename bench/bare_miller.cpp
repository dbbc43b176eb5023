// The yardstick for the laboratory's speed: GNU MPFR's bare Miller recurrence for J alone, with
// nothing proven and nothing printed but one number, at the precision the laboratory's truth
// uses for every format (binary256's 237 bits, 24 guard bits, 64 kept):
//   bare_miller X M [BITS]
// computes J_0(X) ... J_M(X) from b_(N+1) = 0, b_N = 1, b_(m-1) = (2m / X) b_m - b_(m+1) with
// N = max(M, X) + 400, normalised by J_0 + 2 (J_2 + J_4 + ...) = 1, and prints J_M(X) to 7 digits.
#include <mpfr.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "numeric/mpfr_number.hpp"

int main(int argc, char* argv[]) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: bare_miller X M [BITS]\n");
    return 2;
  }
  const double x_value = std::strtod(argv[1], nullptr);
  const long last = std::strtol(argv[2], nullptr, 10);
  const long bits = argc == 4 ? std::strtol(argv[3], nullptr, 10) : 237 + 24 + 64;
  if (!(x_value > 0) || last < 1 || last > 10000000 || bits < 2 || bits > 100000) {
    std::fprintf(stderr, "bare_miller: X > 0, 1 <= M <= 10^7, 2 <= BITS <= 10^5\n");
    return 2;
  }
  mpfr_set_emin(mpfr_get_emin_min());
  mpfr_set_emax(mpfr_get_emax_max());
  const long start = std::max(last, static_cast<long>(x_value)) + 400;
  mpfr_t x, above, here, below, sum, factor;
  for (mpfr_ptr v : {x, above, here, below, sum, factor}) mpfr_init2(v, bits);
  mpfr_set_d(x, x_value, MPFR_RNDN);
  mpfr_set_ui(above, 0, MPFR_RNDN);
  mpfr_set_ui(here, 1, MPFR_RNDN);
  mpfr_set_ui(sum, 0, MPFR_RNDN);
  std::vector<MpfrNumber> stored(static_cast<size_t>(last) + 1, MpfrNumber(bits));
  for (long m = start; m >= 0; --m) {
    if (m <= last) mpfr_set(stored[static_cast<size_t>(m)].get(), here, MPFR_RNDN);
    if (m % 2 == 0) {
      mpfr_mul_ui(factor, here, m == 0 ? 1 : 2, MPFR_RNDN);
      mpfr_add(sum, sum, factor, MPFR_RNDN);
    }
    if (m == 0) break;
    mpfr_ui_div(factor, static_cast<unsigned long>(2 * m), x, MPFR_RNDN);
    mpfr_mul(below, factor, here, MPFR_RNDN);
    mpfr_sub(below, below, above, MPFR_RNDN);
    mpfr_swap(above, here);
    mpfr_swap(here, below);
  }
  for (MpfrNumber& v : stored) mpfr_div(v.get(), v.get(), sum, MPFR_RNDN);
  mpfr_printf("J_%ld = %.6Re\n", last, stored.back().get());
  for (mpfr_ptr v : {x, above, here, below, sum, factor}) mpfr_clear(v);
  return 0;
}
