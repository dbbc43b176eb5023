// Base-1e9 integers just large enough for the exact expansion of a binary128 value.
#include "tests/support/exact_decimal.hpp"

#include <vector>

namespace testing_support {

namespace {

constexpr uint32_t kBase = 1'000'000'000;

using Limbs = std::vector<uint32_t>;  // little-endian, base 1e9

void MultiplyBy(Limbs& n, uint32_t factor) {
  uint64_t carry = 0;
  for (uint32_t& limb : n) {
    const uint64_t product = uint64_t{limb} * factor + carry;
    limb = static_cast<uint32_t>(product % kBase);
    carry = product / kBase;
  }
  while (carry != 0) {
    n.push_back(static_cast<uint32_t>(carry % kBase));
    carry /= kBase;
  }
}

std::string ToText(const Limbs& n) {
  std::string text = std::to_string(n.back());
  for (size_t i = n.size() - 1; i-- > 0;) {
    const std::string limb = std::to_string(n[i]);
    text += std::string(9 - limb.size(), '0') + limb;
  }
  return text;
}

BinaryValue Decode(Bits128 bits, int fraction_bits, int exponent_bits) {
  const Bits128 one = 1;
  const int bias = (1 << (exponent_bits - 1)) - 1;
  BinaryValue value;
  value.negative = ((bits >> (fraction_bits + exponent_bits)) & 1) != 0;
  const int field = static_cast<int>((bits >> fraction_bits) & ((one << exponent_bits) - 1));
  const Bits128 fraction = bits & ((one << fraction_bits) - 1);
  if (field == 0) {  // subnormal or zero
    value.significand = fraction;
    value.exponent2 = 1 - bias - fraction_bits;
  } else {
    value.significand = fraction | (one << fraction_bits);
    value.exponent2 = field - bias - fraction_bits;
  }
  return value;
}

}  // namespace

BinaryValue FromBinary32(uint32_t bits) {
  return Decode(bits, 23, 8);
}
BinaryValue FromBinary64(uint64_t bits) {
  return Decode(bits, 52, 11);
}
BinaryValue FromBinary128(Bits128 bits) {
  return Decode(bits, 112, 15);
}

Rounded RoundedDigits(const BinaryValue& value, int count) {
  if (value.significand == 0) return {};
  // value = significand x 2^e = (significand x 5^-e) x 10^e for e < 0.
  Limbs n;
  for (Bits128 s = value.significand; s != 0; s /= kBase) {
    n.push_back(static_cast<uint32_t>(s % kBase));
  }
  int power_of_ten = 0;
  // Powers in batches: 2^29 and 5^13 both stay below 2^31.
  const bool positive = value.exponent2 >= 0;
  const uint32_t base = positive ? 2 : 5;
  const int batch = positive ? 29 : 13;
  uint32_t batch_factor = 1;
  for (int i = 0; i < batch; ++i) batch_factor *= base;
  int remaining = positive ? value.exponent2 : -value.exponent2;
  for (; remaining >= batch; remaining -= batch) MultiplyBy(n, batch_factor);
  for (; remaining > 0; --remaining) MultiplyBy(n, base);
  if (!positive) power_of_ten = value.exponent2;
  std::string all = ToText(n);
  Rounded rounded;
  rounded.exponent = static_cast<int>(all.size()) - 1 + power_of_ten;
  const size_t keep = static_cast<size_t>(count);
  if (all.size() <= keep) {
    rounded.digits = all + std::string(keep - all.size(), '0');
    return rounded;
  }
  std::string digits = all.substr(0, keep);
  const std::string rest = all.substr(keep);
  const bool above_half =
      rest[0] > '5' || (rest[0] == '5' && rest.find_first_not_of('0', 1) != std::string::npos);
  const bool tie = rest[0] == '5' && rest.find_first_not_of('0', 1) == std::string::npos;
  const bool odd = (digits.back() - '0') % 2 == 1;
  if (above_half || (tie && odd)) {
    size_t i = digits.size();
    while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
    if (i == 0) {
      digits[0] = '1';  // every digit was a 9: now 10...0, one digit fewer after the first
      ++rounded.exponent;
    } else {
      ++digits[i - 1];
    }
  }
  rounded.digits = digits;
  return rounded;
}

}  // namespace testing_support
