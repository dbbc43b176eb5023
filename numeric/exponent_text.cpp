// Exponent form by scaling with a power of ten in 128-bit integer arithmetic, MPFR's own
// conversion as the fallback near a rounding boundary.
#include "numeric/exponent_text.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <stdexcept>

#include "numeric/mpfr_number.hpp"

namespace {

constexpr double kLog10Of2 = 0.30102999566398120;

// A 128-bit unsigned integer as two 64-bit halves: unsigned __int128 is not on every target.
struct U128 {
  uint64_t hi = 0, lo = 0;
};

U128 Multiply(uint64_t a, uint64_t b) {
#ifdef __SIZEOF_INT128__
  __extension__ using Wide = unsigned __int128;
  const Wide p = static_cast<Wide>(a) * b;
  return {static_cast<uint64_t>(p >> 64), static_cast<uint64_t>(p)};
#else
  const uint64_t a0 = a & 0xffffffffu, a1 = a >> 32, b0 = b & 0xffffffffu, b1 = b >> 32;
  const uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
  const uint64_t middle = (p00 >> 32) + (p01 & 0xffffffffu) + (p10 & 0xffffffffu);
  return {p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32), (middle << 32) | (p00 & 0xffffffffu)};
#endif
}

U128 Add(U128 a, U128 b) {
  const uint64_t lo = a.lo + b.lo;
  return {a.hi + b.hi + (lo < a.lo ? 1 : 0), lo};
}

U128 Subtract(U128 a, U128 b) {  // a >= b
  return {a.hi - b.hi - (a.lo < b.lo ? 1 : 0), a.lo - b.lo};
}

bool Less(U128 a, U128 b) {
  return a.hi < b.hi || (a.hi == b.hi && a.lo < b.lo);
}

U128 ShiftRight(U128 a, long bits) {
  if (bits >= 128) return {};
  if (bits >= 64) return {0, a.hi >> (bits - 64)};
  if (bits == 0) return a;
  return {a.hi >> bits, (a.lo >> bits) | (a.hi << (64 - bits))};
}

// The first 128 bits of a regular number's significand, truncated: |x| lies in
// [top, top + 1) x 2^(exponent - 128).
U128 Top128(mpfr_srcptr x) {
  U128 top;
  FirstSignificandBits(x, top.hi, top.lo);
  return top;
}

// 10^s rounded towards zero to 128 bits by MPFR: [top, top + 1) x 2^(exponent - 128).
struct PowerOfTen {
  bool regular = false;
  U128 top;
  long exponent = 0;
};

PowerOfTen RoundedPowerOfTen(long s) {
  const WidestMpfrExponents widest;
  MPFR_DECL_INIT(ten, 8);
  MPFR_DECL_INIT(power, 128);
  mpfr_set_ui(ten, 10, MPFR_RNDN);
  mpfr_pow_si(power, ten, s, MPFR_RNDZ);
  if (!mpfr_regular_p(power)) return {};
  return {true, Top128(power), static_cast<long>(mpfr_get_exp(power))};
}

// The 256-bit product a x b as its upper and lower halves.
struct U256 {
  U128 upper, lower;
};
U256 Product(U128 a, U128 b) {
  const U128 ll = Multiply(a.lo, b.lo), lh = Multiply(a.lo, b.hi), hl = Multiply(a.hi, b.lo),
             hh = Multiply(a.hi, b.hi);
  // The cross products, with the carry out of the low word, land on words 1 and 2; what they
  // carry beyond, on word 3.
  const U128 cross = Add(lh, hl);
  const U128 middle = Add(cross, {0, ll.hi});
  const uint64_t carry = (Less(cross, lh) ? 1 : 0) + (Less(middle, cross) ? 1 : 0);
  return {Add(hh, {carry, middle.hi}), {middle.lo, ll.lo}};
}

// top of 128 bits with its leading one, from a 256-bit product of two such: its first 128 bits.
PowerOfTen Normalised(const U256& product, long exponent) {
  if (product.upper.hi >> 63) return {true, product.upper, exponent};
  const U128 top = {(product.upper.hi << 1) | (product.upper.lo >> 63),
                    (product.upper.lo << 1) | (product.lower.hi >> 63)};
  return {true, top, exponent - 1};
}

// 10^s as [top, top + 32) x 2^(exponent - 128), top of 128 bits with its leading one: |s|
// written in base 64, s = +-(d_0 + d_1 64 + ... + d_5 64^5), and 10^(+-d_k 64^k) for each digit
// from RoundedPowerOfTen, once per thread (768 at most), multiplied and truncated after each
// product. Each of the six factors is short by less than 2^-127 of itself, each of the five
// truncations by less than 2^-126: the product by less than 16 x 2^-127 of itself, 32 units of
// top at most.
PowerOfTen PowerOfTenAt(long s) {
  // The powers asked for lately, by s modulo 256: the numbers of a column lie within a few
  // decades of the row before's, and so within reach of the other columns'.
  struct Recent {
    long s = 0;
    PowerOfTen power;  // not regular: not yet known
  };
  thread_local std::array<Recent, 256> recent;
  Recent& slot = recent[static_cast<size_t>(s) & 255];
  if (slot.power.regular && slot.s == s) return slot.power;
  struct Cached {
    bool known = false;
    PowerOfTen power;
  };
  constexpr int kDigits = 6;  // 64^6 > 2^35 > every decimal exponent of a 2^40 binary one
  thread_local std::array<std::array<std::array<Cached, 64>, kDigits>, 2> table;
  const bool negative = s < 0;
  unsigned long long rest =
      negative ? 0ull - static_cast<unsigned long long>(s) : static_cast<unsigned long long>(s);
  PowerOfTen result;
  long long place = 1;  // 64^k
  for (int k = 0; k < kDigits; ++k, rest /= 64, place *= 64) {
    const int digit = static_cast<int>(rest % 64);
    if (digit == 0 && !(k == 0 && rest == 0)) continue;
    Cached& entry = table[negative ? 1 : 0][static_cast<size_t>(k)][static_cast<size_t>(digit)];
    if (!entry.known) {
      const long power = static_cast<long>(digit * place);
      entry = {true, RoundedPowerOfTen(negative ? -power : power)};
    }
    if (!entry.power.regular) return {};
    result = result.regular ? Normalised(Product(result.top, entry.power.top),
                                         result.exponent + entry.power.exponent)
                            : entry.power;
  }
  if (rest != 0) return {};  // beyond 64^6
  slot = {s, result};
  return result;
}

// 10^0 ... 10^19: every power of ten a uint64_t holds.
constexpr std::array<uint64_t, 20> kPowersOfTen = [] {
  std::array<uint64_t, 20> powers{1};
  for (size_t i = 1; i < powers.size(); ++i) powers[i] = powers[i - 1] * 10;
  return powers;
}();

// The significand n that a scaled magnitude rounds to, for every magnitude in [low, high] (64.64
// fixed point) alike; 0 where they may not all round to one n.
uint64_t RoundedAlike(U128 low, U128 high, DigitRounding rounding, bool negative) {
  if (rounding == DigitRounding::kNearest) {
    const U128 half{0, uint64_t{1} << 63};
    const U128 a = Add(low, half), b = Add(high, half);
    return a.hi == b.hi ? a.hi : 0;  // low < high: an exact tie never passes
  }
  if (negative) {  // towards +infinity: the magnitude truncated
    return low.hi == high.hi ? low.hi : 0;
  }
  const uint64_t a = low.hi + (low.lo != 0 ? 1 : 0), b = high.hi + (high.lo != 0 ? 1 : 0);
  return a == b ? a : 0;
}

// "-d.ddde+XX": the significand's digits, the exponent with two digits at least.
std::string Assembled(bool negative, uint64_t significand, int digits, int64_t exponent) {
  char text[48];
  char* end = text + sizeof text;
  char* p = end;
  uint64_t magnitude = static_cast<uint64_t>(exponent < 0 ? -exponent : exponent);
  int written = 0;
  do {
    *--p = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
    ++written;
  } while (magnitude > 0 || written < 2);
  *--p = exponent < 0 ? '-' : '+';
  *--p = 'e';
  for (int i = digits - 1; i >= 1; --i) {
    *--p = static_cast<char>('0' + significand % 10);
    significand /= 10;
  }
  if (digits > 1) *--p = '.';
  *--p = static_cast<char>('0' + significand % 10);
  if (negative) *--p = '-';
  return std::string(p, static_cast<size_t>(end - p));
}

}  // namespace

bool CommonExponentDigits(mpfr_srcptr x, long accuracy, int digits, DigitRounding rounding,
                          ExponentDigits& parts) {
  if (!mpfr_regular_p(x) || accuracy < 40 || digits < 1 || digits > 18) return false;
  // 2^(e-1) <= |x| < 2^e; beyond 2^40 (only where MPFR's exponents are 64-bit), q below
  // would be too rough.
  const long long wide_e = static_cast<long long>(mpfr_get_exp(x));
  if (wide_e > (1LL << 40) || wide_e < -(1LL << 40)) return false;
  const long e = static_cast<long>(wide_e);
  const bool negative = mpfr_signbit(x) != 0;
  const U128 top = Top128(x);
  const uint64_t first = kPowersOfTen[static_cast<size_t>(digits - 1)];
  const uint64_t limit = kPowersOfTen[static_cast<size_t>(digits)];
  // The decimal exponent of the first digit, q or q + 1 with q from the binary exponent;
  // corrected below by whichever way the scaled value leaves [10^(digits-1), 10^digits).
  long q = static_cast<long>(std::floor(static_cast<double>(e - 1) * kLog10Of2));
  for (int attempt = 0; attempt < 4; ++attempt) {
    const PowerOfTen power = PowerOfTenAt(digits - 1 - q);
    if (!power.regular) return false;
    // |x| 10^s = top x power.top x 2^(e + power.exponent - 256), in 64.64 fixed point: shifted
    // right by 192 - e - power.exponent. The truncations leave it below the exact value by less
    // than 6 units of 2^-64 when the shift exceeds 130: (top + 1)(power.top + 32) - top
    // power.top < 33 x 2^128 + 32 before the shift, and the shift's own truncation below 1.
    const long shift = 192 - e - power.exponent;
    if (shift <= 130 || shift >= 250) return false;
    const U128 scaled = ShiftRight(Product(top, power.top).upper, shift - 128);
    if (scaled.hi >= limit) {
      ++q;
      continue;
    }
    if (scaled.hi < first) {
      --q;
      continue;
    }
    // Every y within 2^-accuracy |x|, and x itself, scales into [low, high].
    const U128 spread = Add(ShiftRight(scaled, std::min<long>(accuracy, 127)), {0, 1});
    const U128 low = Subtract(scaled, spread), high = Add(Add(scaled, spread), {0, 8});
    if (low.hi < first) return false;  // perhaps in the decade below
    if (high.hi >= limit && rounding != DigitRounding::kNearest) return false;
    uint64_t n = RoundedAlike(low, high, rounding, negative);
    if (n < first || n > limit) return false;
    long exponent = q;
    if (n == limit) {  // 9.99...95 and above: 1.00...0 at the next power of ten
      n = first;
      ++exponent;
    }
    parts = {negative, n, digits, exponent};
    return true;
  }
  return false;
}

bool CommonExponentText(mpfr_srcptr x, long accuracy, int digits, DigitRounding rounding,
                        std::string& text) {
  ExponentDigits parts;
  if (!CommonExponentDigits(x, accuracy, digits, rounding, parts)) return false;
  text = Assembled(parts.negative, parts.significand, parts.digits, parts.exponent);
  return true;
}

std::string ExponentText(mpfr_srcptr x, int digits, DigitRounding rounding) {
  // MPFR's own texts of the special values: "nan" whatever its sign, "-inf", "-0.00e+00".
  if (mpfr_nan_p(x)) return "nan";
  if (mpfr_inf_p(x)) return mpfr_signbit(x) ? "-inf" : "inf";
  if (mpfr_zero_p(x) && digits >= 1 && digits <= 18) {
    return Assembled(mpfr_signbit(x) != 0, 0, digits, 0);
  }
  std::string text;
  if (CommonExponentText(x, 1L << 20, digits, rounding, text)) return text;
  // An integer of `digits` digits or fewer is its own text, exactly on a boundary that the quick
  // way leaves to MPFR (-1, the relative error of every value that underflowed to 0, is common).
  if (digits >= 1 && digits <= 18 && mpfr_integer_p(x) && mpfr_get_exp(x) <= 53 &&
      std::fabs(mpfr_get_d(x, MPFR_RNDN)) < static_cast<double>(kPowersOfTen[digits])) {
    const auto n = static_cast<uint64_t>(std::fabs(mpfr_get_d(x, MPFR_RNDN)));  // exact
    int length = 1;
    while (length < digits && n >= kPowersOfTen[static_cast<size_t>(length)]) ++length;
    return Assembled(mpfr_signbit(x) != 0, n * kPowersOfTen[static_cast<size_t>(digits - length)],
                     digits, length - 1);
  }
  char out[128];
  mpfr_snprintf(out, sizeof out, "%.*R*e", digits - 1,
                rounding == DigitRounding::kUp ? MPFR_RNDU : MPFR_RNDN, x);
  return out;
}

namespace {

// The parts of "[-]d[.d...]e(+|-)dd...", at most 7 digits and 11 in the exponent (a zero's
// significand 0): false for any other text.
bool ReadExponentForm(std::string_view text, ExponentDigits& parts) {
  bool& negative = parts.negative;
  uint64_t& digits = parts.significand;
  int& count = parts.digits;
  int64_t& exponent = parts.exponent;
  const auto digit = [&](size_t at) {
    return at < text.size() && text[at] >= '0' && text[at] <= '9';
  };
  const auto value = [&](size_t at) { return static_cast<uint64_t>(text[at] - '0'); };
  negative = text.starts_with('-');
  if (negative) text.remove_prefix(1);
  if (!digit(0)) return false;
  digits = value(0);
  count = 1;
  size_t i = 1;
  if (i < text.size() && text[i] == '.') {
    for (++i; digit(i) && count < 7; ++i, ++count) digits = 10 * digits + value(i);
    if (count == 1) return false;
  }
  const size_t exponent_digits = text.size() - std::min(text.size(), i + 2);
  if (text.substr(i, 1) != "e" || exponent_digits < 2 || exponent_digits > 11 ||
      (text[i + 1] != '+' && text[i + 1] != '-') || (digits != 0 && value(0) == 0)) {
    return false;
  }
  exponent = 0;
  for (size_t j = i + 2; j < text.size(); ++j) {
    if (!digit(j)) return false;
    exponent = 10 * exponent + static_cast<int64_t>(value(j));
  }
  if (text[i + 1] == '-') exponent = -exponent;
  return true;
}

// Whether a decimal exponent lies in the range a PrintedNumber holds.
bool Held(int64_t exponent) {
  return exponent >= -(int64_t{1} << 36) && exponent < int64_t{1} << 36;
}

}  // namespace

PrintedNumber::PrintedNumber(std::string_view text) {
  if (text == "nan" || text == "inf" || text == "-inf") {
    negative_ = text == "-inf";
    kind_ = text == "nan" ? kNaN : kInfinity;
    return;
  }
  ExponentDigits parts;
  if (!ReadExponentForm(text, parts) || (parts.significand == 0 && parts.exponent != 0) ||
      !Held(parts.exponent)) {
    throw std::invalid_argument("not a number in exponent form: '" + std::string(text) + "'");
  }
  if (parts.significand != 0) {
    *this = PrintedNumber(parts);
    return;
  }
  negative_ = parts.negative;
  kind_ = kZero;
  significand_ = static_cast<uint64_t>(parts.digits);
}

PrintedNumber::PrintedNumber(const ExponentDigits& parts)
    : negative_(parts.negative ? 1 : 0),
      kind_(kRegular),
      significand_(parts.significand),
      exponent_(parts.exponent) {
  if (parts.digits > 7 || !Held(parts.exponent)) {
    throw std::invalid_argument("a number of more than 7 digits or beyond 10^(+-2^36)");
  }
}

PrintedNumber PrintedOf(mpfr_srcptr x, int digits, DigitRounding rounding) {
  ExponentDigits parts;
  if (CommonExponentDigits(x, 1L << 20, digits, rounding, parts)) return PrintedNumber(parts);
  return PrintedNumber(ExponentText(x, digits, rounding));
}

int PrintedNumber::digits() const {
  int digits = 1;
  for (uint64_t rest = significand_; rest >= 10; rest /= 10) ++digits;
  return digits;
}

std::string PrintedNumber::Text() const {
  switch (kind_) {
    case kNaN:
      return "nan";
    case kInfinity:
      return negative_ ? "-inf" : "inf";
    case kZero:
      return Assembled(negative_, 0, std::max(1, static_cast<int>(significand_)), 0);
    default:
      break;
  }
  return Assembled(negative_, significand_, digits(), exponent_);
}

size_t PrintedNumber::TextLength() const {
  if (kind_ == kNaN) return 3;
  if (kind_ == kInfinity) return negative_ ? 4 : 3;
  // "-d.ddde+XX": the digits, the point after the first, "e", the sign, two exponent digits at
  // least.
  const int count = kind_ == kZero ? std::max(1, static_cast<int>(significand_)) : digits();
  size_t exponent_digits = 2;
  for (uint64_t rest = static_cast<uint64_t>(exponent_ < 0 ? -exponent_ : exponent_) / 100;
       rest > 0; rest /= 10) {
    ++exponent_digits;
  }
  return (negative_ ? 1 : 0) + static_cast<size_t>(count) + (count > 1 ? 1 : 0) + 2 +
         exponent_digits;
}
