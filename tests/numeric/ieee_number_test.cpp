// The exact IEEE kind against the machine's own types, operation by operation, on operands from
// every part of each format's range; where the machine has no such type, against an independent
// reference; and at the edges of every format.
#include "numeric/ieee_number.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cstring>
#include <limits>
#include <string>

#include "numeric/mpfr_number.hpp"
#include "tests/support/bits.hpp"
#if defined(__SIZEOF_FLOAT128__) && LDBL_MANT_DIG != 113
#include <quadmath.h>
#endif

// Shown in hexadecimal, exactly, when a comparison fails.
void PrintTo(const IeeeNumber& x, std::ostream* out) {
  char text[160];
  mpfr_snprintf(text, sizeof text, "%Ra", x.get());
  *out << x.format().name << " " << text;
}

namespace {

constexpr char kOperations[] = {'+', '-', '*', '/'};

// Random values of a format, exactly: normals over the whole exponent range, crowded near its
// ends and near the other operand's exponent, subnormals, and short significands (exact results
// and ties).
class Operands {
 public:
  explicit Operands(const IeeeFormat& format) : format_(format) {
    gmp_randinit_default(state_);
    gmp_randseed_ui(state_, 20261208);
    mpz_init(fraction_);
  }
  ~Operands() {
    mpz_clear(fraction_);
    gmp_randclear(state_);
  }

  // The next value, with a biased exponent field near `near` sometimes.
  MpfrNumber Next(long near) {
    const long top = 2L * format_.max_exponent;  // the largest finite field
    const unsigned long pick = Random(8);
    long field = 1 + static_cast<long>(Random(static_cast<unsigned long>(top)));
    if (pick == 0) field = static_cast<long>(Random(3));        // subnormal, or the smallest
    if (pick == 1) field = top - static_cast<long>(Random(3));  // near overflow
    if (pick >= 2 && pick <= 4)
      field = std::clamp(near - 2 + static_cast<long>(Random(5)), 0L, top);
    mpz_urandomb(fraction_, state_, static_cast<mp_bitcnt_t>(format_.precision - 1));
    if (pick == 5) {  // keep only the top few bits
      const mp_bitcnt_t cut = static_cast<mp_bitcnt_t>((format_.precision - 1) * 3 / 4);
      mpz_tdiv_q_2exp(fraction_, fraction_, cut);
      mpz_mul_2exp(fraction_, fraction_, cut);
    }
    if (field > 0) mpz_setbit(fraction_, static_cast<mp_bitcnt_t>(format_.precision - 1));
    const long scale = (field > 0 ? field : 1) - format_.max_exponent - (format_.precision - 1);
    MpfrNumber value(format_.precision);
    mpfr_set_z_2exp(value.get(), fraction_, scale, MPFR_RNDN);  // exact
    if (Random(2) != 0) mpfr_neg(value.get(), value.get(), MPFR_RNDN);
    last_field_ = field;
    return value;
  }
  long last_field() const { return last_field_; }

 private:
  unsigned long Random(unsigned long n) { return gmp_urandomm_ui(state_, n); }

  const IeeeFormat& format_;
  gmp_randstate_t state_;
  mpz_t fraction_;
  long last_field_ = 0;
};

// The machine's type T, to and from MPFR, exactly (the values are T's own).
template <class T>
T ToNative(mpfr_srcptr x) {
  if constexpr (sizeof(T) <= sizeof(float)) return static_cast<T>(mpfr_get_flt(x, MPFR_RNDN));
  if constexpr (std::is_same_v<T, double>) return mpfr_get_d(x, MPFR_RNDN);
  return mpfr_get_ld(x, MPFR_RNDN);
}
template <class T>
void FromNative(T x, mpfr_ptr out) {
  if constexpr (sizeof(T) <= sizeof(double))
    mpfr_set_d(out, static_cast<double>(x), MPFR_RNDN);
  else
    mpfr_set_ld(out, x, MPFR_RNDN);
}
#if defined(__SIZEOF_FLOAT128__) && LDBL_MANT_DIG != 113
// __float128 through hexadecimal text, which both sides read and write exactly.
template <>
__float128 ToNative<__float128>(mpfr_srcptr x) {
  char text[80];
  mpfr_snprintf(text, sizeof text, "%Ra", x);
  return strtoflt128(text, nullptr);
}
template <>
void FromNative<__float128>(__float128 x, mpfr_ptr out) {
  char text[80];
  quadmath_snprintf(text, sizeof text, "%Qa", x);
  mpfr_strtofr(out, text, nullptr, 0, MPFR_RNDN);
}
#endif

template <class T>
T Apply(char operation, T x, T y) {
  switch (operation) {
    case '+':
      return x + y;
    case '-':
      return x - y;
    case '*':
      return x * y;
    default:
      return x / y;
  }
}

// What the machine's type gives, as an exact MPFR value.
template <class T>
void Native(char operation, mpfr_srcptr a, mpfr_srcptr b, mpfr_ptr result) {
  FromNative(Apply(operation, ToNative<T>(a), ToNative<T>(b)), result);
}

// binary32 rounded to bfloat16 by its bits, to nearest, ties to even: exact for + - * /, since
// binary32 holds more than 2p + 2 bits of bfloat16's p = 8.
void Bfloat16Reference(char operation, mpfr_srcptr a, mpfr_srcptr b, mpfr_ptr result) {
  const float r = Apply(operation, mpfr_get_flt(a, MPFR_RNDN), mpfr_get_flt(b, MPFR_RNDN));
  uint32_t bits;
  std::memcpy(&bits, &r, sizeof bits);
  if ((bits & 0x7fffffffu) <= 0x7f800000u) bits += 0x7fffu + ((bits >> 16) & 1u);  // not a NaN
  bits &= 0xffff0000u;
  float rounded;
  std::memcpy(&rounded, &bits, sizeof rounded);
  mpfr_set_flt(result, rounded, MPFR_RNDN);
}

// MPFR at binary256's precision without its range; compared only where that result is normal.
void Binary256Reference(char operation, mpfr_srcptr a, mpfr_srcptr b, mpfr_ptr result) {
  const auto compute = operation == '+'   ? mpfr_add
                       : operation == '-' ? mpfr_sub
                       : operation == '*' ? mpfr_mul
                                          : mpfr_div;
  MpfrNumber r(kBinary256.precision);
  compute(r.get(), a, b, MPFR_RNDN);
  const mpfr_exp_t e = mpfr_regular_p(r.get()) ? mpfr_get_exp(r.get()) - 1 : 0;
  if (e >= kBinary256.min_exponent && e <= kBinary256.max_exponent) {
    mpfr_set(result, r.get(), MPFR_RNDN);
  } else {
    mpfr_set_nan(result);  // not compared
  }
}

bool Same(mpfr_srcptr a, mpfr_srcptr b) {
  if (mpfr_nan_p(a) || mpfr_nan_p(b)) return mpfr_nan_p(a) && mpfr_nan_p(b);
  return mpfr_equal_p(a, b) && mpfr_signbit(a) == mpfr_signbit(b);
}

std::string Hex(mpfr_srcptr x) {
  char text[160];
  mpfr_snprintf(text, sizeof text, "%Ra", x);
  return text;
}

struct Row {
  const IeeeFormat* format;
  void (*reference)(char operation, mpfr_srcptr a, mpfr_srcptr b, mpfr_ptr result);
  bool skip_nan_references;  // a NaN reference means "not compared"
};

const Row kRows[] = {
#if defined(__FLT16_MANT_DIG__)
    {&kBinary16, Native<_Float16>, false},
#endif
    {&kBfloat16, Bfloat16Reference, false},    {&kBinary32, Native<float>, false},
    {&kBinary64, Native<double>, false},
#if LDBL_MANT_DIG == 64
    {&kX87, Native<long double>, false},
#endif
#if LDBL_MANT_DIG == 113
    {&kBinary128, Native<long double>, false},
#elif defined(__SIZEOF_FLOAT128__)
    {&kBinary128, Native<__float128>, false},
#endif
    {&kBinary256, Binary256Reference, true},
};

TEST(IeeeNumber, EveryOperationAgreesWithTheMachineOrAReference) {
  for (const Row& row : kRows) {
    const IeeeFormat& format = *row.format;
    Operands operands(format);
    MpfrNumber a = operands.Next(format.max_exponent);
    int mismatches = 0;
    for (int i = 0; i < 20000 && mismatches < 10; ++i) {
      MpfrNumber b = operands.Next(operands.last_field());
      const IeeeNumber x(format, a.get()), y(format, b.get());
      for (const char operation : kOperations) {
        const IeeeNumber got = Apply(operation, x, y);
        MpfrNumber expected(kMaxIeeePrecision);
        row.reference(operation, a.get(), b.get(), expected.get());
        if (row.skip_nan_references && mpfr_nan_p(expected.get())) continue;
        if (!Same(got.get(), expected.get())) {
          ++mismatches;
          ADD_FAILURE() << format.name << ": " << Hex(a.get()) << " " << operation << " "
                        << Hex(b.get()) << " gives " << Hex(got.get()) << ", expected "
                        << Hex(expected.get());
        }
      }
      EXPECT_EQ(x <= y, mpfr_lessequal_p(a.get(), b.get()) != 0) << format.name;
      // Into binary32 and binary64, one rounding each, as the C library's MPFR conversions.
      const float narrow = IeeeNumber(kBinary32, x).ToFloat();
      EXPECT_EQ(Bits(narrow), Bits(mpfr_get_flt(a.get(), MPFR_RNDN)))
          << format.name << " " << Hex(a.get());
      EXPECT_EQ(Bits(IeeeNumber(kBinary64, x).ToDouble()), Bits(mpfr_get_d(a.get(), MPFR_RNDN)))
          << format.name << " " << Hex(a.get());
      a = b;
    }
  }
}

// 2^e, exactly.
MpfrNumber Power2(long e) {
  MpfrNumber x(2);
  mpfr_set_ui_2exp(x.get(), 1, e, MPFR_RNDN);
  return x;
}

// Each format's edges: the smallest subnormal and a tie below it, the overflow threshold, a tie
// at 1, and conversions and integers that must round.
TEST(IeeeNumber, RoundsAtTheEdgesOfEveryFormat) {
  for (const IeeeFormat* format : kIeeeFormats) {
    const IeeeFormat& f = *format;
    SCOPED_TRACE(std::string(f.name));
    const long p = f.precision;
    const IeeeNumber smallest(f, Power2(f.min_exponent - p + 1).get());
    const IeeeNumber two(f, 2.0), three(f, 3.0), zero(f), one(f, 1.0);
    EXPECT_GT(smallest, zero);
    EXPECT_TRUE(mpfr_zero_p((smallest / two).get())) << "half the smallest ties to even: 0";
    EXPECT_EQ(smallest * three / two, smallest + smallest) << "1.5 ulp ties to 2";
    // The largest finite value, and the tie above it that overflows.
    MpfrNumber largest(p + 2), tie(p + 2);
    mpfr_set_ui_2exp(largest.get(), 1, f.max_exponent + 1, MPFR_RNDN);
    mpfr_sub(largest.get(), largest.get(), Power2(f.max_exponent - p + 1).get(), MPFR_RNDN);
    mpfr_add(tie.get(), largest.get(), Power2(f.max_exponent - p).get(), MPFR_RNDN);
    EXPECT_TRUE(mpfr_number_p(IeeeNumber(f, largest.get()).get()));
    EXPECT_TRUE(mpfr_inf_p(IeeeNumber(f, tie.get()).get())) << "overflow gives infinity";
    EXPECT_TRUE(mpfr_inf_p((IeeeNumber(f, largest.get()) * two).get()));
    // 1 + 2^-p lies halfway between 1 and the next value: to even, 1.
    EXPECT_EQ(one + IeeeNumber(f, Power2(-p).get()), one);
    EXPECT_GT(one + IeeeNumber(f, Power2(1 - p).get()), one);
    // 2^p + 1 and 2^p + 3 are ties: to even, 2^p and 2^p + 4; from an integer and from a wider
    // format alike.
    MpfrNumber odd(p + 2);
    mpfr_add_ui(odd.get(), Power2(p).get(), 1, MPFR_RNDN);
    EXPECT_EQ(IeeeNumber(f, odd.get()), IeeeNumber(f, Power2(p).get()));
    EXPECT_EQ(IeeeNumber(f, IeeeNumber(kBinary256, odd.get())), IeeeNumber(f, Power2(p).get()));
    mpfr_add_ui(odd.get(), odd.get(), 2, MPFR_RNDN);
    MpfrNumber even(p + 2);
    mpfr_add_ui(even.get(), Power2(p).get(), 4, MPFR_RNDN);
    EXPECT_EQ(IeeeNumber(f, odd.get()), IeeeNumber(f, even.get()));
    if (p < std::numeric_limits<long>::digits) {
      EXPECT_EQ(IeeeNumber(f, (1L << p) + 1), IeeeNumber(f, 1L << p));
    }
  }
  // Known values: binary16 rounds 2049 to 2048 and 65520 overflows; bfloat16 keeps 8 bits.
  EXPECT_EQ(IeeeNumber(kBinary16, 2049L).ToDouble(), 2048.0);
  EXPECT_TRUE(mpfr_inf_p(IeeeNumber(kBinary16, 65520L).get()));
  EXPECT_EQ(IeeeNumber(kBinary16, 65519L).ToDouble(), 65504.0);
  EXPECT_EQ(IeeeNumber(kBfloat16, 257L).ToDouble(), 256.0);
  EXPECT_EQ(IeeeNumber(kBinary32, 0.1).ToFloat(), 0.1f);
}

TEST(IeeeFormats, AreFoundByNameAndAnUnknownNameIsRefused) {
  for (const IeeeFormat* format : kIeeeFormats) EXPECT_EQ(FormatNamed(format->name), format);
  EXPECT_EQ(FormatNamed("binary8"), nullptr);
  EXPECT_EQ(UnknownFormatText("binary8"),
            "unknown format 'binary8'; the formats are binary16, bfloat16, binary32, binary64, "
            "x87, binary128, binary256");
}

}  // namespace
