// The exact IEEE kind over GNU MPFR, and the table of formats.
#include "numeric/ieee_number.hpp"

#include <new>
#include <stdexcept>

const IeeeFormat* FormatNamed(std::string_view name) {
  for (const IeeeFormat* format : kIeeeFormats) {
    if (format->name == name) return format;
  }
  return nullptr;
}

std::string UnknownFormatText(std::string_view name) {
  std::string text = "unknown format '" + std::string(name) + "'; the formats are ";
  for (const IeeeFormat* format : kIeeeFormats) {
    text += std::string(format->name) + (format == kIeeeFormats.back() ? "" : ", ");
  }
  return text;
}

namespace {

// Both operands of an operation must be of one format: anything else is a slip of the caller.
const IeeeFormat& CommonFormat(const IeeeNumber& a, const IeeeNumber& b) {
  if (&a.format() != &b.format()) {
    throw std::invalid_argument(std::string("an operation on numbers of two formats, ") +
                                std::string(a.format().name) + " and " +
                                std::string(b.format().name));
  }
  return a.format();
}

// a op b for an MPFR operation, in their common format, rounded once.
IeeeNumber Operation(int (*operation)(mpfr_ptr, mpfr_srcptr, mpfr_srcptr, mpfr_rnd_t),
                     const IeeeNumber& a, const IeeeNumber& b) {
  IeeeNumber r(CommonFormat(a, b));
  r.Set([&](mpfr_ptr v) { return operation(v, a.get(), b.get(), MPFR_RNDN); });
  return r;
}

}  // namespace

IeeeNumber::IeeeNumber(const IeeeFormat& format) : format_(&format) {
  Init();
}

IeeeNumber::IeeeNumber(const IeeeFormat& format, double x) : IeeeNumber(format) {
  Set([x](mpfr_ptr v) { return mpfr_set_d(v, x, MPFR_RNDN); });
}

IeeeNumber::IeeeNumber(const IeeeFormat& format, long i) : IeeeNumber(format) {
  Set([i](mpfr_ptr v) { return mpfr_set_si(v, i, MPFR_RNDN); });
}

IeeeNumber::IeeeNumber(const IeeeFormat& format, const IeeeNumber& x)
    : IeeeNumber(format, x.get()) {}

IeeeNumber::IeeeNumber(const IeeeFormat& format, mpfr_srcptr x) : IeeeNumber(format) {
  Set([x](mpfr_ptr v) { return mpfr_set(v, x, MPFR_RNDN); });
}

IeeeNumber::IeeeNumber(const IeeeNumber& other) : IeeeNumber(*other.format_) {
  mpfr_set(value_, other.value_, MPFR_RNDN);  // exact: the same precision
}

IeeeNumber& IeeeNumber::operator=(const IeeeNumber& other) {
  if (this != &other) {
    if (format_->precision != other.format_->precision) {
      format_ = other.format_;
      Init();
    }
    format_ = other.format_;
    mpfr_set(value_, other.value_, MPFR_RNDN);
  }
  return *this;
}

// The significand in limbs_, for the format's precision; +0.
void IeeeNumber::Init() {
  mpfr_custom_init(limbs_, format_->precision);
  mpfr_custom_init_set(value_, MPFR_ZERO_KIND, 0, format_->precision, limbs_);
}

// MPFR's significands lie in [1/2, 1): the format's largest finite value is below 2^(emax + 1)
// and its smallest subnormal, 2^(emin - p + 1), is 1/2 x 2^(emin - p + 2). Within that range
// mpfr_subnormalize rounds onto the subnormal grid, using the first rounding's direction so that
// the result is rounded once. The caller's range is given back.
void IeeeNumber::Round(int ternary) {
  // A result already rounded to p bits that lies within the normal range is the format's: no
  // range step to take (the largest p-bit value below 2^(emax + 1) is the largest finite).
  // 0, infinity and NaN lie in every range.
  if (!mpfr_regular_p(value_)) return;
  if (const mpfr_exp_t e = mpfr_get_exp(value_);
      e >= format_->min_exponent + 1 && e <= format_->max_exponent + 1) {
    return;
  }
  const mpfr_exp_t caller_min = mpfr_get_emin();
  const mpfr_exp_t caller_max = mpfr_get_emax();
  mpfr_set_emin(format_->min_exponent - format_->precision + 2);
  mpfr_set_emax(format_->max_exponent + 1);
  ternary = mpfr_check_range(value_, ternary, MPFR_RNDN);
  mpfr_subnormalize(value_, ternary, MPFR_RNDN);
  mpfr_set_emin(caller_min);
  mpfr_set_emax(caller_max);
}

IeeeNumber operator+(const IeeeNumber& a, const IeeeNumber& b) {
  return Operation(mpfr_add, a, b);
}

IeeeNumber operator-(const IeeeNumber& a, const IeeeNumber& b) {
  return Operation(mpfr_sub, a, b);
}

IeeeNumber operator*(const IeeeNumber& a, const IeeeNumber& b) {
  return Operation(mpfr_mul, a, b);
}

IeeeNumber operator/(const IeeeNumber& a, const IeeeNumber& b) {
  return Operation(mpfr_div, a, b);
}

IeeeNumber operator-(const IeeeNumber& a) {
  IeeeNumber r(a);
  mpfr_neg(r.value_, r.value_, MPFR_RNDN);
  return r;
}

bool operator==(const IeeeNumber& a, const IeeeNumber& b) {
  return mpfr_equal_p(a.value_, b.value_) != 0;
}

std::partial_ordering operator<=>(const IeeeNumber& a, const IeeeNumber& b) {
  if (mpfr_unordered_p(a.value_, b.value_)) return std::partial_ordering::unordered;
  const int order = mpfr_cmp(a.value_, b.value_);
  return order < 0   ? std::partial_ordering::less
         : order > 0 ? std::partial_ordering::greater
                     : std::partial_ordering::equivalent;
}

// MPFR gives the digits themselves: D1 D2 ... with value 0.D1D2... x 10^exponent.
DecimalSignificand ExactDigits(const IeeeNumber& magnitude, int count) {
  mpfr_exp_t exponent = 0;
  char* digits =
      mpfr_get_str(nullptr, &exponent, 10, static_cast<size_t>(count), magnitude.get(), MPFR_RNDN);
  if (digits == nullptr) throw std::bad_alloc();
  DecimalSignificand result{digits, static_cast<int>(exponent) - 1};
  mpfr_free_str(digits);
  return result;
}
