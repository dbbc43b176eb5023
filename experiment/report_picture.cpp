// The picture of a run: its data as gnuplot reads it, and the script that draws it.
#include <mpfr.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "experiment/columns.hpp"
#include "experiment/report.hpp"
#include "picture/gnuplot.hpp"

namespace {

// A picture's vertical range: from a tenth of the least magnitude drawn to ten times the
// largest, within double's range (gnuplot's numbers are doubles), the line at 1 always inside.
// Magnitudes beyond it are drawn at its edges, with their own markers, not dropped.
struct PictureRange {
  double low, high;
};

constexpr double kDoubleLow = 1e-300, kDoubleHigh = 1e300;

// |x| as a double, when it lies in double's range; NaN otherwise (0, infinite, NaN, too large,
// too small).
double InRange(mpfr_srcptr x) {
  if (!mpfr_regular_p(x)) return std::nan("");
  const double magnitude = std::fabs(mpfr_get_d(x, MPFR_RNDN));
  return magnitude >= kDoubleLow && magnitude <= kDoubleHigh ? magnitude : std::nan("");
}

// Where a magnitude beyond the range goes: the top edge (too large, infinite, NaN: overflowed)
// or the bottom one (too small); NaN for a magnitude drawn as it is, or a zero.
double AtEdge(mpfr_srcptr x, const PictureRange& range) {
  if (mpfr_zero_p(x) || !std::isnan(InRange(x))) return std::nan("");
  // Regular and out of range: too large if at least 1, too small otherwise.
  if (!mpfr_number_p(x) || mpfr_get_exp(x) > 0) return range.high;
  return range.low;
}

// A kept error's value, and a printed one's, read back from its digits.
MpfrNumber ValueOf(const ShortNumber& number) {
  return MpfrNumber::Of(number.get());
}
MpfrNumber ValueOf(const PrintedNumber& number) {
  MpfrNumber value(ShortNumber::kBits);
  mpfr_set_str(value.get(), number.Text().c_str(), 10, MPFR_RNDN);
  return value;
}

PictureRange RangeOf(const Outcome& outcome) {
  double least = 1, most = 1;
  const auto take = [&](const auto& x) {
    const double magnitude = InRange(ValueOf(x).get());
    if (std::isnan(magnitude)) return;
    least = std::min(least, magnitude);
    most = std::max(most, magnitude);
  };
  for (size_t m = 0; m < outcome.backward.size(); ++m) {
    for (const SeedColumn& column : outcome.columns) {
      take(column.measured[m]);
      take(column.predicted[m]);
    }
    take(outcome.backward[m]);
  }
  return {std::max(least / 10, kDoubleLow), std::min(most * 10, kDoubleHigh)};
}

std::string Plotted(double value) {
  if (std::isnan(value)) return "NaN";
  char text[32];
  std::snprintf(text, sizeof text, "%.6e", value);
  return text;
}

// Where a series is drawn, in the picture's order: the measured points first, the largest
// markers first; backward's line over them, then the marks at the range's edges; the predicted
// lines last, so that no marker hides them.
enum class Layer { kMeasured, kBackward, kAtEdge, kMarks, kPredicted };

// One series of the picture: its column of PlotData, named `heading`, how gnuplot draws it,
// named `title` in the key ("": not there), and in which layer.
struct Series {
  std::string heading;
  std::function<double(size_t m)> value;  // NaN: nothing to draw
  std::string style, title;
  Layer layer;
};

// The picture's series, in PlotData's order after m (each reads `outcome`, which must outlive it):
// each seed format's measured errors, predicted ones and measured ones beyond the range, at its
// edge; backward's errors and those beyond the range; the rows near a zero and below the range, at
// the bottom edge. Each format has its colour, its measured points their own shape and size (the
// first format's the largest), its predicted line its width (the first format's the widest), its
// marks at the edge the same triangle, nested as its points are, 0.5 apart. The key names
// each format once and a mark only where one is drawn (the title names the arithmetic);
// the predicted lines and the marks at the edge are named once for all (PlotScript's key entries).
std::vector<Series> PictureSeries(const Outcome& outcome, PictureRange range) {
  const auto in_range = [](const auto& values) {
    return [&values](size_t m) { return InRange(ValueOf(values[m]).get()); };
  };
  const auto at_edge = [range](const auto& values) {
    return [&values, range](size_t m) { return AtEdge(ValueOf(values[m]).get(), range); };
  };
  const auto at_bottom = [&](const RowMark& mark) {
    return [&outcome, range, &mark](size_t m) {
      return mark.of(outcome, m) ? range.low : std::nan("");
    };
  };
  // The key names a mark only where the picture has one.
  const auto drawn = [&](const std::function<double(size_t m)>& value) {
    for (size_t m = 0; m < outcome.backward.size(); ++m) {
      if (!std::isnan(value(m))) return true;
    }
    return false;
  };
  const std::string f = Letter(outcome), backward(kBackward);
  const size_t formats = outcome.columns.size();
  std::vector<Series> series;
  for (size_t i = 0; i < formats; ++i) {
    const SeedColumn& column = outcome.columns[i];
    const std::string name(column.format->name),
        measured = name + "_" + std::string(kMeasured.name);
    const std::string colour = std::string(" lc rgb '") + FormatColour(name) + "'";
    series.push_back({measured, in_range(column.*kMeasured.values),
                      "points " + NestedPoints(i, formats) + colour, name + " seeds",
                      Layer::kMeasured});
    series.push_back({name + "_" + std::string(kPredicted.name),
                      in_range(column.*kPredicted.values),
                      "lines dt 2 " + NestedWidth(i, formats) + colour, "", Layer::kPredicted});
    series.push_back({measured + "_at_edge", at_edge(column.*kMeasured.values),
                      "points pt 8 " + PointSize(1.2 + 0.5 * static_cast<double>(formats - 1 - i)) +
                          " lw 2" + colour,
                      "", Layer::kAtEdge});
  }
  series.push_back({backward, in_range(outcome.backward), "linespoints pt 6 lw 3 lc rgb 'black'",
                    backward + " (" + BackwardName(outcome) + ")", Layer::kBackward});
  series.push_back({backward + "_at_edge", at_edge(outcome.backward),
                    "points pt 8 ps 1.6 lw 2 lc rgb 'black'", "", Layer::kAtEdge});
  series.push_back(
      {std::string(kNearZero.name), at_bottom(kNearZero), "points pt 9 ps 1.6 lc rgb '#555555'",
       drawn(at_bottom(kNearZero)) ? "near a zero of " + f + "_m" : "", Layer::kMarks});
  series.push_back(
      {std::string(kBelowRange.name), at_bottom(kBelowRange), "points pt 5 ps 0.8 lc rgb '#aaaaaa'",
       drawn(at_bottom(kBelowRange)) ? f + "_m below the range (shaded)" : "", Layer::kMarks});
  return series;
}

// The key's entries for what several series share, "keyentry ..." (none: ""): the predicted
// lines, after the measured points, and the marks beyond the range, where there are any.
std::string SharedKeyEntry(Layer after, const std::vector<Series>& series, const Outcome& outcome) {
  if (after == Layer::kMeasured && !outcome.columns.empty()) {
    return kPredictedKeyEntry;
  }
  if (after != Layer::kAtEdge) return "";
  for (const Series& each : series) {
    if (each.layer != Layer::kAtEdge) continue;
    for (size_t m = 0; m < outcome.backward.size(); ++m) {
      if (!std::isnan(each.value(m))) {
        return "keyentry with points pt 8 ps 1.6 lw 2 lc rgb 'black' title 'beyond the range, at "
               "its edge'";
      }
    }
  }
  return "";
}

// Where "every digit lost" is written along the line at 1: of right above, left above, right
// below and left below, the first under whose words the fewest values are drawn. The words span
// a quarter of the orders and 8 % of the decades, and reach a quarter of that across the line (a
// marker's half). They stay inside the plot: a side with too few decades for them is taken only
// where neither side has enough, and then the one with more. On the left they start after the
// line at m = x where that would cross them; on the right, a window the line crosses counts as
// covered by all the values. `x` is the line's order, or negative where there is no line.
std::string LabelOfTheLineAtOne(const Outcome& outcome, PictureRange range, double x) {
  const double right = static_cast<double>(outcome.backward.size()) - 0.5;  // the right edge
  const double top = std::log10(range.high), bottom = std::log10(range.low);
  const double width = right / 4 + 0.25, height = 0.08 * (top - bottom);
  const double left = x > -0.5 && x < -0.5 + width ? x : -0.5;
  // Each value drawn, as its order and its decades (NaN: not drawn, and so skipped).
  std::vector<std::pair<double, double>> drawn;
  const auto take = [&drawn](size_t m, const auto& value) {
    const double decades = std::log10(InRange(ValueOf(value).get()));
    if (!std::isnan(decades)) drawn.emplace_back(static_cast<double>(m), decades);
  };
  for (size_t m = 0; m < outcome.backward.size(); ++m) {
    for (const SeedColumn& column : outcome.columns) {
      take(m, column.measured[m]);
      take(m, column.predicted[m]);
    }
    take(m, outcome.backward[m]);
  }
  const auto covered = [&](bool at_right, bool above) {
    const double from = at_right ? right - width : left;
    if (at_right && x > from && x < right) return drawn.size() + 1;
    const double low = above ? -height / 4 : -height, high = above ? height : height / 4;
    size_t count = 0;
    for (const auto& [order, decades] : drawn) {
      if (order >= from && order <= from + width && decades >= low && decades <= high) ++count;
    }
    return count;
  };
  const bool fits_above = height <= top, fits_below = -height >= bottom;
  const bool only_above = fits_above != fits_below ? fits_above : top >= -bottom;
  bool at_right = true, above = true;
  size_t least = SIZE_MAX;
  for (const auto& [right_side, upper] :
       {std::pair{true, true}, {false, true}, {true, false}, {false, false}}) {
    if ((fits_above != fits_below || !fits_above) && upper != only_above) continue;
    const size_t count = covered(right_side, upper);
    if (count < least) {
      least = count;
      at_right = right_side;
      above = upper;
    }
  }
  char m[32];
  std::snprintf(m, sizeof m, "%.6g", at_right ? right : left);
  return EveryDigitLostLabel(m, at_right, above);
}

}  // namespace

std::string PlotData(const Outcome& outcome) {
  const std::vector<Series> series = PictureSeries(outcome, RangeOf(outcome));
  std::string text = "# m";
  for (const Series& each : series) text += "  " + each.heading;
  text +=
      "  (|relative error|; at_edge: beyond the picture's range, drawn at its edge; NaN: nothing "
      "to draw)\n";
  for (size_t m = 0; m < outcome.backward.size(); ++m) {
    text += std::to_string(m);
    for (const Series& each : series) text += " " + Plotted(each.value(m));
    text += "\n";
  }
  return text;
}

std::string PlotScript(const Outcome& outcome, const std::string& terminal) {
  const PictureRange range = RangeOf(outcome);
  const std::vector<Series> series = PictureSeries(outcome, range);  // PlotData's columns
  const std::string arithmetic(outcome.x.format().name);
  // The x of the title is the program's own rendering of the number, never the text given.
  char x_text[64], x_value[64];
  mpfr_snprintf(x_text, sizeof x_text, "%.6Rg", outcome.x.get());
  mpfr_snprintf(x_value, sizeof x_value, "%.17Rg", outcome.x.get());
  const long last = static_cast<long>(outcome.backward.size()) - 1;
  std::string script = "$errors << EOD\n" + PlotData(outcome) + "EOD\n";
  script += "set title '" + Letter(outcome) + "_m(x) forward in " + arithmetic + ", x = " + x_text +
            "'\n";
  // The key below the plot, its entries in rows, so that the plot keeps the picture's width.
  script +=
      "set xlabel 'order m'\n"
      "set ylabel '|relative error|'\n"
      "set logscale y\n"
      "set format y '10^{%L}'\n"
      "set grid ytics xtics lc rgb '#dddddd'\n"
      "set key below center horizontal Left reverse font ',15' spacing 1 width 1 height 1\n";
  script += "set xrange [-0.5:" + std::to_string(last) + ".5]\n" + OrderTics(last);
  script += "set yrange [" + Plotted(range.low) + ":" + Plotted(range.high) + "]\n";
  // The rows below the arithmetic's range, shaded: no value of the format holds f_m there.
  int shaded = 0;
  for (size_t m = 0; m < outcome.backward.size() && shaded < 50;) {
    if (!outcome.below_range[m]) {
      ++m;
      continue;
    }
    size_t end = m;
    while (end + 1 < outcome.backward.size() && outcome.below_range[end + 1]) ++end;
    script += "set object " + std::to_string(++shaded) + " rectangle from " + std::to_string(m) +
              "-0.5, graph 0 to " + std::to_string(end) +
              "+0.5, graph 1 behind fillcolor rgb '#e8e8e8' fillstyle solid noborder\n";
    m = end + 1;
  }
  const double x = mpfr_get_d(outcome.x.get(), MPFR_RNDN);
  if (mpfr_cmp_ui(outcome.x.get(), static_cast<unsigned long>(last)) <= 0) {
    script += OrderIsX(x_value);
  }
  script += LabelOfTheLineAtOne(outcome, range, x <= static_cast<double>(last) ? x : -1);
  // The line at 1 behind everything; then each layer, each series drawn from its column (m is
  // the first, the series follow in PlotData's order).
  script += "set terminal " + terminal + "\nplot " + kEveryDigitLost;
  for (const Layer layer :
       {Layer::kMeasured, Layer::kBackward, Layer::kAtEdge, Layer::kMarks, Layer::kPredicted}) {
    for (size_t i = 0; i < series.size(); ++i) {
      if (series[i].layer != layer) continue;
      const std::string& title = series[i].title;
      script += ", \\\n     $errors using 1:" + std::to_string(i + 2) + " with " + series[i].style +
                (title.empty() ? " notitle" : " title '" + title + "'");
    }
    const std::string shared = SharedKeyEntry(layer, series, outcome);
    if (!shared.empty()) script += ", \\\n     " + shared;
  }
  return script + "\nunset output\n";
}
