// The default laboratory run's floor: a program that loads what the lab loads for its truth
// (Arb, with FLINT, GMP and GNU MPFR), computes one ball, sqrt(2), and prints it.
#include <arb.h>

#include <cstdio>

int main() {
  arb_t root;
  arb_init(root);
  arb_sqrt_ui(root, 2, 64);
  arb_printd(root, 15);
  std::puts("");
  arb_clear(root);
}
