// The series evaluator: one structure for the three kinds, differing in threshold and 2^m.
#include "numeric/series.hpp"

#include <bit>

SeriesLogBlock SeriesLog;
SeriesTraceHook SeriesTrace = nullptr;

namespace {

// The absolute threshold of each kind: the value nearest 1e-15 in Single and Double; Quad
// uses the Double one widened, not its own nearest value.
template <class Kind>
Kind Threshold();
template <>
Single Threshold<Single>() {
  return std::bit_cast<Single>(uint32_t{0x26901d7d});
}
template <>
Double Threshold<Double>() {
  return std::bit_cast<Double>(uint64_t{0x3cd203af9ee75616});
}
template <>
Quad Threshold<Quad>() {
  return Widen(Threshold<Double>());
}

// 2^m, exact: Power of 2.0 in Single and Double; Quad takes the Double power, widened.
template <class Kind>
Kind TwoToThe(int32_t m) {
  return Power(Kind{2}, m);
}
template <>
Quad TwoToThe<Quad>(int32_t m) {
  return Widen(Power(Double{2}, m));
}

}  // namespace

template <class Kind>
Kind SeriesJ(int32_t m) {
  const Kind quarter = Kind{-0.25};
  const Kind threshold = Threshold<Kind>();
  Kind sum = 0;
  // Power(quarter, k), Factorial(k) and Factorial(k + m), each carried from one term to the
  // next by one more factor: the very products, in the same order, that computing them afresh
  // for every term makes, so the same bits, without the repeated work.
  Kind p = 1;
  Kind k_factorial = 1;
  Kind km_factorial = Factorial<Kind>(m);
  for (int32_t k = 0; k <= kTermLimit; ++k) {
    if (k > 0) {
      p = p * quarter;
      if (k >= 2) k_factorial = k_factorial * static_cast<Kind>(k);
      if (k + m >= 2) km_factorial = km_factorial * static_cast<Kind>(k + m);
    }
    const Kind t = p / k_factorial / km_factorial;
    if ((t < 0 ? -t : t) <= threshold) {
      if (SeriesLog.TraceOn != 0 && SeriesTrace != nullptr) SeriesTrace(m, k, Widen(t));
      if (m >= 0 && m <= kMaxOrder) SeriesLog.TermCount[static_cast<size_t>(m)] = k;
      break;
    }
    sum = sum + t;
  }
  return sum / TwoToThe<Kind>(m);
}

template Single SeriesJ<Single>(int32_t);
template Double SeriesJ<Double>(int32_t);
template Quad SeriesJ<Quad>(int32_t);
