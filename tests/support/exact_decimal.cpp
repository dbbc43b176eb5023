// Base-1e9 integers just large enough for the exact expansion of a binary128 value.
#include "tests/support/exact_decimal.hpp"

#include <algorithm>
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

// n + addend, both base 1e9.
void Add(Limbs& n, const Limbs& addend) {
  uint64_t carry = 0;
  for (size_t i = 0; i < std::max(n.size(), addend.size()) || carry != 0; ++i) {
    if (i == n.size()) n.push_back(0);
    const uint64_t sum = uint64_t{n[i]} + (i < addend.size() ? addend[i] : 0) + carry;
    n[i] = static_cast<uint32_t>(sum % kBase);
    carry = sum / kBase;
  }
}

Limbs FromWord(uint64_t word) {
  Limbs n;
  for (; word != 0; word /= kBase) n.push_back(static_cast<uint32_t>(word % kBase));
  return n;
}

// high x 2^64 + low.
Limbs FromHalves(uint64_t high, uint64_t low) {
  Limbs n = FromWord(high);
  for (int i = 0; i < 4; ++i) MultiplyBy(n, 1u << 16);
  Add(n, FromWord(low));
  return n;
}

uint64_t LowBits(int count) {
  return count >= 64 ? ~uint64_t{0} : (uint64_t{1} << count) - 1;
}

// The IEEE fields of a value of up to 128 bits, given as its two 64-bit halves.
BinaryValue Decode(uint64_t high, uint64_t low, int fraction_bits, int exponent_bits) {
  const int bias = (1 << (exponent_bits - 1)) - 1;
  const int sign_bit = fraction_bits + exponent_bits;
  auto bits_from = [&](int shift) {  // the bits from `shift` upwards
    if (shift >= 64) return high >> (shift - 64);
    return (low >> shift) | (shift > 0 ? high << (64 - shift) : 0);
  };
  BinaryValue value;
  value.negative = (bits_from(sign_bit) & 1) != 0;
  const int field = static_cast<int>(bits_from(fraction_bits) & LowBits(exponent_bits));
  value.significand_high = fraction_bits > 64 ? high & LowBits(fraction_bits - 64) : 0;
  value.significand_low = low & LowBits(fraction_bits);
  if (field == 0) {  // subnormal or zero
    value.exponent2 = 1 - bias - fraction_bits;
  } else {
    if (fraction_bits >= 64) {
      value.significand_high |= uint64_t{1} << (fraction_bits - 64);
    } else {
      value.significand_low |= uint64_t{1} << fraction_bits;
    }
    value.exponent2 = field - bias - fraction_bits;
  }
  return value;
}

}  // namespace

BinaryValue FromBinary32(uint32_t bits) {
  return Decode(0, bits, 23, 8);
}
BinaryValue FromBinary64(uint64_t bits) {
  return Decode(0, bits, 52, 11);
}
BinaryValue FromBinary128(uint64_t high, uint64_t low) {
  return Decode(high, low, 112, 15);
}

Rounded RoundedDigits(const BinaryValue& value, int count) {
  if (value.significand_high == 0 && value.significand_low == 0) return {};
  // value = significand x 2^e = (significand x 5^-e) x 10^e for e < 0.
  Limbs n = FromHalves(value.significand_high, value.significand_low);
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
