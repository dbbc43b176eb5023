// How long the laboratory's experiment takes: the default run, and a large one with every format.
#include <benchmark/benchmark.h>

#include "laboratory/experiment.hpp"

namespace {

void Default(benchmark::State& state) {
  for (auto _ : state) {
    Outcome outcome;
    benchmark::DoNotOptimize(Run(Experiment{}, outcome));
  }
}

void LargeWithEveryFormat(benchmark::State& state) {
  Experiment experiment;
  experiment.x_text = "1000";
  experiment.orders = 10000;
  experiment.seed_formats.assign(kIeeeFormats.begin(), kIeeeFormats.end());
  for (auto _ : state) {
    Outcome outcome;
    benchmark::DoNotOptimize(Run(experiment, outcome));
  }
}

}  // namespace

BENCHMARK(Default)->Unit(benchmark::kMillisecond);
BENCHMARK(LargeWithEveryFormat)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
