// Built with -ffp-contract=fast (and -mfma on x86-64), as a student's C may be: the compiler
// then makes the product and the difference of each step one fused multiply-add wherever the
// processor has one.
#include "tests/lab/contracted_loop.hpp"

void ContractedLoop(double x, double f0, double f1, int orders, double* f) {
  f[0] = f0;
  f[1] = f1;
  for (int m = 1; m < orders; ++m) f[m + 1] = (2 * m / x) * f[m] - f[m - 1];
}
