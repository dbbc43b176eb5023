// The IEEE 754 binary formats the program can compute in, each written once: its precision and
// its exponent range. Values of every one of them are held exactly by IeeeNumber.
#pragma once

#include <array>
#include <string>
#include <string_view>

struct IeeeFormat {
  std::string_view name;
  int precision;     // p: significand bits, the leading (hidden) bit included
  int max_exponent;  // emax: the largest finite value is (2 - 2^(1-p)) x 2^emax
  int min_exponent;  // emin: the smallest normal is 2^emin; subnormals reach 2^(emin - p + 1)
};

inline constexpr IeeeFormat kBinary16{"binary16", 11, 15, -14};
inline constexpr IeeeFormat kBfloat16{"bfloat16", 8, 127, -126};  // binary32's exponent range
inline constexpr IeeeFormat kBinary32{"binary32", 24, 127, -126};
inline constexpr IeeeFormat kBinary64{"binary64", 53, 1023, -1022};
// The x87's extended format: binary128's exponent range, a 64-bit significand.
inline constexpr IeeeFormat kX87{"x87", 64, 16383, -16382};
inline constexpr IeeeFormat kBinary128{"binary128", 113, 16383, -16382};
inline constexpr IeeeFormat kBinary256{"binary256", 237, 262143, -262142};

inline constexpr std::array<const IeeeFormat*, 7> kIeeeFormats = {
    &kBinary16, &kBfloat16, &kBinary32, &kBinary64, &kX87, &kBinary128, &kBinary256};
inline constexpr int kMaxIeeePrecision = 237;

// The format of that name, or null.
const IeeeFormat* FormatNamed(std::string_view name);
// "unknown format 'x'; the formats are binary16, bfloat16, ..., binary256".
std::string UnknownFormatText(std::string_view name);
