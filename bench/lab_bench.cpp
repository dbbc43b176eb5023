// How long the laboratory's experiment takes, in the process and without writing its outputs: the
// default run, and two large ones with every format; and the truth alone for the large ones (J_m
// and Y_m, proven to 24 bits beyond binary256, the widest format).
#include <benchmark/benchmark.h>

#include <string>

#include "experiment/experiment.hpp"
#include "numeric/bessel_truth.hpp"

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
BENCHMARK(LargeWithEveryFormat)
    ->Args({1000, 10000})
    ->Args({10000, 100000})
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
