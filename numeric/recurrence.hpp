// The forward recurrence J_(m+1) = 2m J_m - J_(m-1), carried out in Quad from the series values
// of J_0 and J_1 of each kind, and the relative error of its values.
#pragma once

#include <array>
#include <cstdint>
#include <type_traits>

#include "numeric/precision.hpp"
#include "numeric/series.hpp"

using RecurrenceTable = std::array<Quad, kMaxOrder + 1>;

// Seeded from the Single, Double and Quad series respectively; m = 0 ... 10.
extern RecurrenceTable RecSingle;
extern RecurrenceTable RecDouble;
extern RecurrenceTable RecQuad;

// The table seeded from Kind's series.
template <class Kind>
const RecurrenceTable& TableOf() {
  if constexpr (std::is_same_v<Kind, Single>) return RecSingle;
  if constexpr (std::is_same_v<Kind, Double>) return RecDouble;
  if constexpr (std::is_same_v<Kind, Quad>) return RecQuad;
}

// Entries 0 and 1 of each table: the series values of J_0 and J_1, widened exactly. Evaluates
// the Single series at m = 0, 1, then Double, then Quad.
void SeedTables();

// Entries 2 ... 10 of each table: T[m+1] = (2m x T[m]) - T[m-1], each operation rounded to Quad.
void ExtendTables();

// (series - recurrence) / series at m = 2 ... 10 for Kind's table, in Quad, narrowed to Single.
// Evaluates Kind's series twice at m, so TermCount[m] is refreshed.
template <class Kind>
Single RelErr(int32_t m);

extern template Single RelErr<Single>(int32_t);
extern template Single RelErr<Double>(int32_t);
extern template Single RelErr<Quad>(int32_t);
