// The power series of J_m(1) in each kind, with its shared term-count log, trace switch and the
// hook through which a converging evaluation reports itself.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "numeric/precision.hpp"

inline constexpr int32_t kMaxOrder = 10;
inline constexpr int32_t kTermLimit = 100;

struct SeriesLogBlock {
  // Terms summed by the latest converged evaluation for order m, of whatever kind.
  std::array<int32_t, kMaxOrder + 1> TermCount{};
  // Nonzero: every evaluation that converges reports itself through SeriesTrace.
  int32_t TraceOn = 0;
};
extern SeriesLogBlock SeriesLog;

// Called, while TraceOn is nonzero, by every evaluation at the moment it converges: the order m,
// the number of terms summed and the first term neglected (widened exactly to Quad, so its
// decimal digits are those of the kind's own value). Installed by whoever wants the trace
// written; null, nothing is reported.
using SeriesTraceHook = void (*)(int32_t m, int32_t terms, Quad first_neglected);
extern SeriesTraceHook SeriesTrace;

// J_m(1) = sum over k >= 0 of (-1/4)^k / (k! (k+m)!) / 2^m, summed in Kind until the first term
// whose magnitude is at most the kind's threshold (about 1e-15), which is not added.
// m is 0 ... 10. Kind is Single, Double or Quad.
template <class Kind>
Kind SeriesJ(int32_t m);

extern template Single SeriesJ<Single>(int32_t);
extern template Double SeriesJ<Double>(int32_t);
extern template Quad SeriesJ<Quad>(int32_t);
