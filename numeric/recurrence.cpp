// The recurrence tables, their seeding and extension, and the relative error.
#include "numeric/recurrence.hpp"

RecurrenceTable RecSingle;
RecurrenceTable RecDouble;
RecurrenceTable RecQuad;

void SeedTables() {
  RecSingle[0] = Widen(SeriesJ<Single>(0));
  RecSingle[1] = Widen(SeriesJ<Single>(1));
  RecDouble[0] = Widen(SeriesJ<Double>(0));
  RecDouble[1] = Widen(SeriesJ<Double>(1));
  RecQuad[0] = SeriesJ<Quad>(0);
  RecQuad[1] = SeriesJ<Quad>(1);
}

void ExtendTables() {
  for (int32_t m = 1; m < kMaxOrder; ++m) {
    for (RecurrenceTable* table : {&RecSingle, &RecDouble, &RecQuad}) {
      RecurrenceTable& t = *table;
      const size_t i = static_cast<size_t>(m);
      t[i + 1] = Widen(2 * m) * t[i] - t[i - 1];
    }
  }
}

template <class Kind>
Single RelErr(int32_t m) {
  const Kind s1 = SeriesJ<Kind>(m);
  const Kind s2 = SeriesJ<Kind>(m);
  return Narrow((Widen(s1) - TableOf<Kind>()[static_cast<size_t>(m)]) / Widen(s2));
}

template Single RelErr<Single>(int32_t);
template Single RelErr<Double>(int32_t);
template Single RelErr<Quad>(int32_t);
