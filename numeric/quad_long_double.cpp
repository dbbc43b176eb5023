// The long double binary128 backend (aarch64, s390x, riscv64, mips64el Linux): the C library's
// %Le conversion, exact for binary128 (glibc).
#include <cstdio>

#include "numeric/exponent_form.hpp"
#include "numeric/precision.hpp"

DecimalSignificand ExactDigits(const Quad& magnitude, int count) {
  return SignificandOf(PrintedText([&](char* text, size_t size) {
    return std::snprintf(text, size, "%.*Le", count - 1, magnitude);
  }));
}
