// The laboratory's experiment: the forward recurrence of one of the six Bessel functions from the
// seeds of several formats, carried out in one arithmetic format, its errors measured against
// the truth and predicted from the seeds' errors alone; and the backward recurrence: Miller's
// algorithm, which cures it, for the minimal functions (J, I, j), and for the dominant ones
// (Y, K, y) their own unstable direction.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "numeric/bessel_truth.hpp"
#include "numeric/exponent_text.hpp"
#include "numeric/ieee_number.hpp"
#include "numeric/short_number.hpp"
#include "numeric/stop.hpp"

enum class SeedKind { kRounded, kSeries };
// "rounded" or "series": the kind's name on the command line, in the JSON and in Python.
std::string_view SeedKindName(SeedKind kind);

struct Experiment {
  const BesselFunction* function = &kBesselJ;
  std::string x_text = "1";  // a decimal number, 0 < x <= 10000
  long orders = 10;          // M: the orders 0 ... M
  std::vector<const IeeeFormat*> seed_formats = {&kBinary32, &kBinary64, &kBinary128};
  const IeeeFormat* arithmetic = &kBinary128;
  SeedKind seeds = SeedKind::kRounded;  // series: only where HasSeries
  // Values of f_0 ... f_M computed elsewhere (a student's), in the arithmetic format: where
  // there are any, they are measured as one more column after the seed formats', their own
  // f_0 and f_1 its seeds.
  std::vector<IeeeNumber> given{};
};

// Whether the function's seeds can be summed from a power series: J, I and j (Y, K and y have
// logarithms and poles in theirs).
bool HasSeries(const BesselFunction& function);

// What to take away from a run, for each seed format: the first order at which every digit is
// lost (|measured| >= 1; -1: none up to M); the digits lost per step at M, measured
// (log10 |e_M / e_(M-1)|) and as theory says, NaN where there is no step or no finite error;
// and whether the seeds' part or the rounding part is the larger at M. Theory's figure, for a
// minimal function, is the growth of the companion's share, log10 |(g_M / f_M) / (g_(M-1) /
// f_(M-1))|; for a dominant one, whose errors settle, the predicted error's own, log10
// |predicted_M / predicted_(M-1)|. For the backward recurrence, its largest error in units in
// the last place of f_m (subnormal places below the normal range) and the order, rows near a
// zero and below the format's range left out (-1: no row left).
enum class Dominant { kPredicted, kRounding, kUndetermined };  // undetermined: a part not finite
// "predicted" or "rounding", as the JSON and Python name the larger part; "" when undetermined.
std::string_view DominantName(Dominant dominant);
struct ColumnSummary {
  long every_digit_lost_at = -1;
  double digits_per_step = 0, theory_digits_per_step = 0;
  Dominant dominant = Dominant::kPredicted;
};

// One seed format's columns: its seeds and, for every order, the forward recurrence's relative
// error (computed - true) / true, measured; the part the seeds' errors alone give (predicted);
// the part the arithmetic's own roundings add (rounding: measured = predicted + rounding), and
// the bound on that part known beforehand (rounding_bound).
struct SeedColumn {
  const IeeeFormat* format;
  IeeeNumber seed_0, seed_1;                   // in the seed format
  ShortNumber seed_0_error{}, seed_1_error{};  // relative
  // What the recurrence starts from: the seeds rounded to the arithmetic format (the seeds
  // themselves unless their format is the wider), and its relative errors.
  IeeeNumber start_0, start_1;
  ShortNumber start_0_error{}, start_1_error{};
  // Series seeds: each series' largest term, in magnitude (0 for rounded seeds).
  IeeeNumber largest_term_0, largest_term_1;
  // Each error as printed, 8 bytes an order: 7 digits, correctly rounded; a bound's 3, rounded
  // up.
  std::vector<PrintedNumber> measured{}, predicted{}, rounding{}, rounding_bound{};
  ColumnSummary summary{};  // from the errors' 64-bit values
  bool given = false;       // the column of the experiment's given values
};

// Texts one after another in one buffer: a column of up to millions of them without an
// allocation each.
class TextColumn {
 public:
  void Add(std::string_view text) {
    chars_ += text;
    ends_.push_back(chars_.size());
  }
  std::string_view operator[](size_t i) const {
    const size_t begin = i == 0 ? 0 : ends_[i - 1];
    return std::string_view(chars_).substr(begin, ends_[i] - begin);
  }
  size_t size() const { return ends_.size(); }

 private:
  std::string chars_;
  std::vector<size_t> ends_;
};

// The truth's significant digits, as every output prints f_m(x).
inline constexpr int kTruthDigits = 17;

// Every number printed is proven: each error is a ball around the truth's, and is kept only once
// both ends of its ball print the same digits; the values kept are the balls' midpoints rounded
// to 64 bits, towards whichever side still prints those digits (a seed format's columns keep
// the digits themselves).
struct Outcome {
  IeeeNumber x{kBinary128};  // the argument, rounded once to the arithmetic format
  BesselTable truth;         // at that value of x: f_m and the companion g_m
  std::vector<SeedColumn> columns;
  // Miller's start N for a minimal function; for a dominant one M, where its backward
  // recurrence starts from f_M and f_(M-1) rounded to the arithmetic format.
  long backward_start = 0;
  std::vector<ShortNumber> backward;         // its relative error, m = 0 ... M
  std::vector<PrintedNumber> backward_text;  // the same as printed, 7 digits
  TextColumn truth_text;                     // f_m(x) as printed, kTruthDigits digits
  // |f_m(x)| below a tenth of its amplitude sqrt(f_m^2 + g_m^2), for the functions with zeros,
  // and (J and j) x at or past the first zero of f_m: near a zero. J_m and j_m have none before
  // their first zero, where they are tiny against Y_m and y_m.
  std::vector<bool> near_zero;
  std::vector<bool> below_range;  // |f_m(x)| below the arithmetic format's smallest subnormal
};

// The seed formats' summaries, and the backward recurrence's: its largest error in units in the
// last place to 64 bits, in MPFR's range (at K_0(1000) in binary128, M = 1100, it is 4.9e+484:
// no double holds it), +infinity where a value overflowed; the same as a double (infinite beyond
// its range); and its order.
struct Summary {
  std::vector<ColumnSummary> columns;
  ShortNumber backward_largest_ulps;
  double backward_ulps = 0;
  long backward_worst_at = -1;
};
Summary Summarize(const Outcome& outcome);

// What Miller's algorithm normalises a minimal function with, in words.
std::string_view MillerNormalisation(const BesselFunction& function);
// Miller's start is chosen so that it leaves a relative error below 2^-(p + kMillerGuardBits), p
// the arithmetic format's precision: far below its last place.
inline constexpr int kMillerGuardBits = 8;

// Rows where a forward value overflowed (its error is infinite or NaN), in any seed format.
bool Overflowed(const Outcome& outcome, size_t m);

// The whole experiment; false when the truth could not be computed to the digits printed.
// `experiment` must be valid (ReadX finds its x_text kValid in its arithmetic format;
// 1 <= orders <= 100000). Throws Stopped once `stop` is asked for, polled at every order of
// every loop over the orders (the truth's, the recurrences', the measurements'): `outcome` is
// then incomplete. The lab passes none; the web server stops an answer past its time.
bool Run(const Experiment& experiment, Outcome& outcome, const StopToken& stop = {});

// The truth alone, as Run computes it for the same function, x, M and arithmetic: f_m(x),
// m = 0 ... M, at x rounded once into the arithmetic format, into outcome.x and outcome.truth
// (nothing else of `outcome` is set), each ball narrow enough that both its ends print the same
// 17 digits (TruthText prints Run's own text) and round to the same binary64, so that its
// midpoint's nearest binary64 is f_m(x)'s. The seed formats and kind play no part. False and
// Stopped as for Run.
bool RunTruth(const Experiment& experiment, Outcome& outcome, const StopToken& stop = {});

// One forward step, f_(m+1) = s (n_m / x) f_m + t f_(m-1), in x's format: the factor n_m / x
// (n_m = 2m + offset rounded to the format first), the product and the sum each rounded. And
// its last operation, s p + t f_(m-1) for the product p: each sign exact, the sum rounded once.
IeeeNumber ForwardStep(const BesselFunction& function, long m, const IeeeNumber& x,
                       const IeeeNumber& f_m, const IeeeNumber& f_before);
IeeeNumber StepSum(const BesselFunction& function, const IeeeNumber& product,
                   const IeeeNumber& f_before);

// The forward recurrence from a column's starts, in x's format: c_0 = start_0, c_1 = start_1,
// c_(m+1) = s (n_m / x) c_m + t c_(m-1), the factor, the product and the sum each rounded: the
// values whose errors Run measures. Run keeps only their errors; this gives the values again,
// the same to the last bit. `Next` gives c_0, c_1, c_2, ... in turn; `Before(k)` is c_(m-k),
// k = 1 or 2, for the c_m it gave last (+0 or start_1 before c_0 and c_1: values no step uses).
// x must outlive the object.
class ForwardRecurrence {
 public:
  ForwardRecurrence(const BesselFunction& function, const IeeeNumber& x, const SeedColumn& column);
  const IeeeNumber& Next();
  const IeeeNumber& Before(size_t k) const { return value_[(next_ + 2 - k) % 3]; }

 private:
  const BesselFunction& function_;
  const IeeeNumber& x_;
  IeeeNumber value_[3];  // c_m in value_[m % 3]
  size_t next_ = 0;      // the order Next gives
};

// `text` read as a decimal number and rounded once, correctly, into `format` (`x`): the value
// the experiment computes with. kNotInRange unless the whole text is a number whose exact value
// lies in 0 < x <= 10000; kRoundsOutOfRange when it does, but its value in the format does not
// (1e-30 is 0 in binary16). 10000 rounds down in every format, so no x rounds above it.
enum class XReading { kValid, kNotInRange, kRoundsOutOfRange };
XReading ReadX(const std::string& text, const IeeeFormat& format, IeeeNumber& x);

// A seed of order n (0 or 1) in `format` by summing the power series of f_n(x) term by term,
// each operation rounded in the format, until a term no longer changes the sum, the divisor an
// integer rounded to the format: for J, with h = x / 2, t_0 = h^n,
// t_(k+1) = (t_k * (-(h * h))) / ((k + 1) (k + 1 + n)); for I the same with h * h; for j,
// t_0 = 1 or x / 3, t_(k+1) = (t_k * (-((x * x) / 2))) / ((k + 1) (2n + 2k + 3)).
// Also the largest term's magnitude: against the sum, it tells how many digits the series lost
// to cancellation. A term or sum that overflows to infinity ends the sum there: the seed is then
// infinite or NaN, and so is everything computed from it.
struct SeriesSum {
  IeeeNumber sum;
  IeeeNumber largest_term;
};
SeriesSum SeriesSeed(const BesselFunction& function, const IeeeNumber& x, int n);
