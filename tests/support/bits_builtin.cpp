// Bits of a built-in binary128 type (long double or __float128): its bytes in memory order are
// the IEEE layout in the machine's byte order.
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/bits.hpp"
#if defined(BESSEL_QUAD_FLOAT128)
#include <quadmath.h>
#endif

QuadBits Bits(const Quad& x) {
  uint64_t halves[2];
  std::memcpy(halves, &x, sizeof halves);
  if constexpr (std::endian::native == std::endian::little) return {halves[1], halves[0]};
  return {halves[0], halves[1]};
}

Quad QuadFromBits(QuadBits bits) {
  uint64_t halves[2] = {bits.high, bits.low};
  if constexpr (std::endian::native == std::endian::little) {
    halves[0] = bits.low;
    halves[1] = bits.high;
  }
  Quad x;
  std::memcpy(&x, halves, sizeof x);
  return x;
}

Quad ParseQuad(std::string_view text) {
  const std::string terminated(text);
#if defined(BESSEL_QUAD_FLOAT128)
  return strtoflt128(terminated.c_str(), nullptr);
#else
  return std::strtold(terminated.c_str(), nullptr);
#endif
}
