// Interval arithmetic on printed numbers, in GNU MPFR, rounded outwards.
#include "plot/consistency.hpp"

#include <mpfr.h>

#include <cstdlib>

#include "numeric/bessel_truth.hpp"
#include "plot/prediction.hpp"

namespace {

constexpr mpfr_prec_t kBits = 256;  // far beyond the 34 digits of the widest file

// The values that print as `text` ("-1.297E-07"): within half a unit of its last digit.
struct Interval {
  MpfrNumber low{kBits}, high{kBits};
};

Interval Printed(const std::string& text) {
  const size_t point = text.find('.'), letter = text.find('E');
  const long last_digit =
      std::strtol(text.c_str() + letter + 1, nullptr, 10) - static_cast<long>(letter - point - 1);
  // Each bound rounded outwards: the decimal value below and above, half a unit off it.
  MpfrNumber below(kBits), above(kBits), half(kBits);
  mpfr_strtofr(below.get(), text.c_str(), nullptr, 10, MPFR_RNDD);
  mpfr_strtofr(above.get(), text.c_str(), nullptr, 10, MPFR_RNDU);
  const std::string half_unit = "5e" + std::to_string(last_digit - 1);
  mpfr_strtofr(half.get(), half_unit.c_str(), nullptr, 10, MPFR_RNDU);
  Interval interval;
  mpfr_sub(interval.low.get(), below.get(), half.get(), MPFR_RNDD);
  mpfr_add(interval.high.get(), above.get(), half.get(), MPFR_RNDU);
  return interval;
}

bool Contains(const Interval& interval, mpfr_srcptr x) {
  return mpfr_lessequal_p(interval.low.get(), x) && mpfr_lessequal_p(x, interval.high.get());
}

// Every value of 1 - r / s for r and s in theirs; nothing when s may be 0.
std::optional<Interval> RelativeDifference(const Interval& r, const Interval& s) {
  if (mpfr_sgn(s.low.get()) != mpfr_sgn(s.high.get()) || mpfr_zero_p(s.low.get())) {
    return std::nullopt;
  }
  // r / s is monotonic in each while s keeps its sign: its bounds lie at the corners.
  Interval quotient;
  mpfr_set_inf(quotient.low.get(), 1);
  mpfr_set_inf(quotient.high.get(), -1);
  MpfrNumber corner(kBits);
  for (mpfr_srcptr numerator : {r.low.get(), r.high.get()}) {
    for (mpfr_srcptr denominator : {s.low.get(), s.high.get()}) {
      mpfr_div(corner.get(), numerator, denominator, MPFR_RNDD);
      mpfr_min(quotient.low.get(), quotient.low.get(), corner.get(), MPFR_RNDD);
      mpfr_div(corner.get(), numerator, denominator, MPFR_RNDU);
      mpfr_max(quotient.high.get(), quotient.high.get(), corner.get(), MPFR_RNDU);
    }
  }
  Interval difference;
  mpfr_ui_sub(difference.low.get(), 1, quotient.high.get(), MPFR_RNDD);
  mpfr_ui_sub(difference.high.get(), 1, quotient.low.get(), MPFR_RNDU);
  return difference;
}

// The printed error widened by what binary32 may have rounded away before printing (half an
// ulp, 2^-24 of it; 2^-22 leaves room for the binary128 roundings before).
Interval PrintedSingle(const std::string& text) {
  Interval interval = Printed(text);
  MpfrNumber slack(kBits);
  mpfr_mul_2si(slack.get(), interval.low.get(), -22, MPFR_RNDU);
  mpfr_abs(slack.get(), slack.get(), MPFR_RNDU);
  mpfr_sub(interval.low.get(), interval.low.get(), slack.get(), MPFR_RNDD);
  mpfr_mul_2si(slack.get(), interval.high.get(), -22, MPFR_RNDU);
  mpfr_abs(slack.get(), slack.get(), MPFR_RNDU);
  mpfr_add(interval.high.get(), interval.high.get(), slack.get(), MPFR_RNDU);
  return interval;
}

bool Overlap(const Interval& a, const Interval& b) {
  return mpfr_lessequal_p(a.low.get(), b.high.get()) && mpfr_lessequal_p(b.low.get(), a.high.get());
}

}  // namespace

std::optional<ReadFailure> Disagreement(const ResultTable& table, const std::string& name,
                                        const RecurrenceTable& seeded) {
  for (size_t m = 0; m < table.rows.size(); ++m) {
    const PrintedRow& row = table.rows[m];
    const Interval recurrence = Printed(row.recurrence), series = Printed(row.series);
    if (row.relative_error.empty()) {
      // The seed: the recurrence starts from the series value itself, so both show it.
      const MpfrNumber seed = ExactlyInMpfr(seeded[m]);
      if (!Contains(recurrence, seed.get()) || !Contains(series, seed.get())) {
        return ReadFailure{
            name, row.line,
            "the seed for m = " + std::to_string(m) + " is not the program's: a digit was changed"};
      }
      continue;
    }
    const std::optional<Interval> expected = RelativeDifference(recurrence, series);
    if (expected && !Overlap(*expected, PrintedSingle(row.relative_error))) {
      return ReadFailure{name, row.line,
                         "the relative error for m = " + std::to_string(m) +
                             " is not (series - recurrence) / series of the row's own values: a "
                             "number was changed"};
    }
  }
  return std::nullopt;
}
