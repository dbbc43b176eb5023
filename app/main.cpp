// Entry point of bessel-recurrence. The program takes no arguments and reads no input.
#include "app/run.hpp"

int main() {
  RunSequence();
}
