// How long the laboratory's experiment takes, in the process and without writing its outputs: the
// default run, and two large ones with every format; and, for the large ones, the truth alone
// (J_m and Y_m, proven to 24 bits beyond binary256, the widest format) and the table alone; and
// the least that each printed error costs, as computed and by any method, any number's text, and
// the memory of Python's texts.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <charconv>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "experiment/experiment.hpp"
#include "experiment/report.hpp"
#include "numeric/bessel_truth.hpp"
#include "numeric/exponent_text.hpp"
#include "numeric/mpfr_number.hpp"

namespace {

void Default(benchmark::State& state) {
  for (auto _ : state) {
    Outcome outcome;
    benchmark::DoNotOptimize(Run(Experiment{}, outcome));
  }
}

// x and M as the ranges.
void LargeWithEveryFormat(benchmark::State& state) {
  Experiment experiment;
  experiment.x_text = std::to_string(state.range(0));
  experiment.orders = state.range(1);
  experiment.seed_formats.assign(kIeeeFormats.begin(), kIeeeFormats.end());
  for (auto _ : state) {
    Outcome outcome;
    benchmark::DoNotOptimize(Run(experiment, outcome));
  }
}

// The table of a large run written alone, from an outcome already proven (its numbers' digits
// kept): the floor the text sets under any run that prints it. x and M as the ranges.
void TableAlone(benchmark::State& state) {
  Experiment experiment;
  experiment.x_text = std::to_string(state.range(0));
  experiment.orders = state.range(1);
  experiment.seed_formats.assign(kIeeeFormats.begin(), kIeeeFormats.end());
  Outcome outcome;
  if (!Run(experiment, outcome)) state.SkipWithError("the run failed");
  size_t bytes = 0;
  const TextSink count = [&](std::string_view piece) {
    bytes += piece.size();
    return true;
  };
  for (auto _ : state) benchmark::DoNotOptimize(WriteTable(experiment, outcome, 80, count));
  state.counters["bytes"] = static_cast<double>(bytes) / static_cast<double>(state.iterations());
}

// What every printed error costs at least: one ball division, (c - f) / f, at the bits the errors
// are computed with for binary256's truth (325 and 256 beyond), and one decision of its 7 digits.
void OneErrorBall(benchmark::State& state) {
  const long bits = 325 + 256;
  ArbBall f, c, error;
  arb_set_d(f.get(), 0.7651976865579666);
  arb_add_error_2exp_si(f.get(), -300);
  arb_set_d(c.get(), 0.765197686557967);
  for (auto _ : state) {
    arb_sub(error.get(), c.get(), f.get(), bits);
    arb_div(error.get(), error.get(), f.get(), bits);
    benchmark::DoNotOptimize(DecidedNumber(error, 7));
  }
}

// What a printed error costs at the least by any method that proves its digits, for the default
// binary128 arithmetic: (c - f) / f at 113 + 64 bits, rounded once (no ball, no bound carried:
// c agrees with f to about 113 bits, which the difference cancels, so f is needed beyond them),
// and its 7 digits read off in integer arithmetic where they are certain.
void LeastPrintedError(benchmark::State& state) {
  MpfrNumber f(113 + 64), c(113), error(113 + 64);
  mpfr_const_pi(f.get(), MPFR_RNDN);  // a true value, and its binary128 rounding as computed
  mpfr_set(c.get(), f.get(), MPFR_RNDN);
  ExponentDigits digits;
  for (auto _ : state) {
    mpfr_sub(error.get(), c.get(), f.get(), MPFR_RNDN);
    mpfr_div(error.get(), error.get(), f.get(), MPFR_RNDN);
    benchmark::DoNotOptimize(
        CommonExponentDigits(error.get(), 100, 7, DigitRounding::kNearest, digits));
  }
}

// What any text of a number costs at the least, proven or not: a float64's 7 digits in exponent
// form by std::to_chars.
void LeastDigits(benchmark::State& state) {
  double value = 0.7651976865579666;
  char text[32];
  for (auto _ : state) {
    benchmark::DoNotOptimize(value);
    benchmark::DoNotOptimize(
        std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, 6).ptr);
  }
}

// The rounding bound of one format alone, a row at a time over the truth of x = 1000, M = 10000
// (binary128's, the rows made beforehand): about 35 operations of 64 bits rounded upwards a row,
// whose results are printed, so that no cheaper arithmetic may replace them.
void BoundAlone(benchmark::State& state) {
  WidenMpfrExponents();
  IeeeNumber x(kBinary128);
  ReadX("1000", kBinary128, x);
  BesselTable truth;
  if (!TrueBessel(kBesselJ, x.get(), 10000, kBinary128.precision + kTruthGuardBits, truth)) {
    state.SkipWithError("no truth");
  }
  std::vector<TruthRow> rows;
  for (size_t m = 0; m < truth.f.size(); ++m) rows.emplace_back(truth, m);
  const ArbBall predicted;
  for (auto _ : state) {
    RoundingBound bound(truth, x.get(), kBinary128.precision, kBinary128.min_exponent,
                        kBinary128.max_exponent);
    for (const TruthRow& row : rows) benchmark::DoNotOptimize(bound.Next(row, predicted));
  }
}

// What Python's run() of x = 10000, M = 100000 with every format pays at the least for its texts'
// 264 MB (numpy's str arrays, 4 bytes a character): that much fresh memory allocated and written,
// its 37 columns shared among as many threads as the range.
void FreshTextMemory(benchmark::State& state) {
  constexpr size_t kColumns = 37, kEach = (size_t{264} << 20) / kColumns / sizeof(char32_t);
  const auto threads = static_cast<size_t>(state.range(0));
  for (auto _ : state) {
    std::vector<std::unique_ptr<char32_t[]>> columns(kColumns);
    const auto fill = [&](size_t first) {
      for (size_t i = first; i < kColumns; i += threads) {
        columns[i] = std::make_unique_for_overwrite<char32_t[]>(kEach);
        std::fill(columns[i].get(), columns[i].get() + kEach, U'0');
      }
    };
    std::vector<std::thread> helpers;
    for (size_t t = 1; t < threads; ++t) helpers.emplace_back(fill, t);
    fill(0);
    for (std::thread& helper : helpers) helper.join();
    benchmark::DoNotOptimize(columns.data());
  }
}

// The argument given as a decimal text, the highest order as the range.
void TruthAlone(benchmark::State& state, const char* x_text) {
  WidenMpfrExponents();
  IeeeNumber x(kBinary256);
  ReadX(x_text, kBinary256, x);
  for (auto _ : state) {
    BesselTable table;
    benchmark::DoNotOptimize(TrueBessel(kBesselJ, x.get(), state.range(0),
                                        kBinary256.precision + kTruthGuardBits, table));
  }
}

}  // namespace

BENCHMARK_CAPTURE(TruthAlone, x1000, "1000")->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(TruthAlone, x10000, "10000")->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(Default)->Unit(benchmark::kMillisecond);
BENCHMARK(OneErrorBall);
BENCHMARK(LeastPrintedError);
BENCHMARK(LeastDigits);
BENCHMARK(BoundAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(FreshTextMemory)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(TableAlone)->Args({1000, 10000})->Args({10000, 100000})->Unit(benchmark::kMillisecond);
BENCHMARK(LargeWithEveryFormat)
    ->Args({1000, 10000})
    ->Args({10000, 100000})
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
