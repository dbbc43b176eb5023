// Operations per second of the exact IEEE kind in every format, next to the machine's own types
// where it has them: each iteration is a multiplication and an addition (x * y + z, two
// roundings), counted as two operations.
#include <benchmark/benchmark.h>

#include <cfloat>

#include "numeric/ieee_number.hpp"

namespace {

void Exact(benchmark::State& state, const IeeeFormat* format) {
  const IeeeNumber x(*format, 1.0 / 3), y(*format, 0.7), z(*format, 0.1);
  for (auto _ : state) {
    IeeeNumber r = x * y + z;
    benchmark::DoNotOptimize(r);
  }
  state.SetItemsProcessed(2 * state.iterations());
}

template <class T>
void Native(benchmark::State& state) {
  T x = static_cast<T>(1.0 / 3), y = static_cast<T>(0.7), z = static_cast<T>(0.1);
  for (auto _ : state) {
    benchmark::DoNotOptimize(x);
    benchmark::DoNotOptimize(y);
    benchmark::DoNotOptimize(z);
    T r = x * y + z;
    benchmark::DoNotOptimize(r);
  }
  state.SetItemsProcessed(2 * state.iterations());
}

}  // namespace

BENCHMARK_CAPTURE(Exact, binary16, &kBinary16);
BENCHMARK_CAPTURE(Exact, bfloat16, &kBfloat16);
BENCHMARK_CAPTURE(Exact, binary32, &kBinary32);
BENCHMARK_CAPTURE(Exact, binary64, &kBinary64);
BENCHMARK_CAPTURE(Exact, x87, &kX87);
BENCHMARK_CAPTURE(Exact, binary128, &kBinary128);
BENCHMARK_CAPTURE(Exact, binary256, &kBinary256);
#if defined(__FLT16_MANT_DIG__)
BENCHMARK_TEMPLATE(Native, _Float16);
#endif
BENCHMARK_TEMPLATE(Native, float);
BENCHMARK_TEMPLATE(Native, double);
BENCHMARK_TEMPLATE(Native, long double);
#if defined(__SIZEOF_FLOAT128__)
BENCHMARK_TEMPLATE(Native, __float128);
#endif

BENCHMARK_MAIN();
