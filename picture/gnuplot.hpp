// Pictures drawn by gnuplot, safely: whatever the caller's names or data, gnuplot is handed
// nothing but a script of the program's own making, and opens no file by name.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

enum class Drawn { kDone, kNoGnuplot, kGnuplotFailed };

// What gnuplot printed on its standard output for `script`, or why there is nothing. gnuplot is
// found in PATH and started without a shell and without its init files (--default-settings);
// the script reaches it through an unnamed temporary file and it writes to another, so it
// opens no file by name: neither the script nor any name in the caller's hands becomes a
// command. It stops at the first error in the script.
struct GnuplotRun {
  Drawn drawn = Drawn::kGnuplotFailed;
  std::string output;
  std::string failure;  // but for kDone: what failed, and what to do ("gnuplot failed ...")
};
GnuplotRun RunGnuplot(const std::string& script);

// The two pictures of the series, complete (the SVG ends its document, the PNG has its end
// chunk), or why they could not be drawn.
struct Pictures {
  Drawn drawn = Drawn::kGnuplotFailed;
  std::string svg;
  std::string png;
  std::string failure;  // as in GnuplotRun
};
// The conventions every picture follows, written once: a size and fonts a class can read from
// the back of the room (kSvgTerminal, kPngTerminal, which DrawPictures uses), integer orders on
// the m axis, the line where every digit is lost as visible as the data and named on the line
// itself, a line at m = x, where the forward recurrence turns unstable, and markers that stay
// visible where two series coincide.
inline constexpr const char* kSvgTerminal =
    "svg size 1200,800 enhanced font 'Sans,20' background rgb 'white'";
inline constexpr const char* kPngTerminal =
    "pngcairo size 1200,800 enhanced font 'Sans,16' background rgb 'white'";
// The line at relative error 1, as a plot entry: solid, unlike the dashed predictions, and out
// of the key, for EveryDigitLostLabel names it where it is drawn.
inline constexpr const char* kEveryDigitLost = "1 with lines lw 2 lc rgb '#000000' notitle";
// "set label ...": "every digit lost" written along the line at 1, starting (or, at_right,
// ending) at order `m`, just above it (or below).
std::string EveryDigitLostLabel(const std::string& m, bool at_right, bool above);
// "set arrow ..." and its label, for x as gnuplot reads a number; the label on a white box, for
// a curve may pass under it.
std::string OrderIsX(const std::string& x);
// "set xtics ...": tics from 0 at a whole step of 1, 2 or 5 times a power of 10, the least
// that puts at most 12 steps up to `last` (10 -> 1, 30 -> 5, 60 -> 5, 100 -> 10, 1000 -> 100),
// and a minor tic at each order where at most 10 lie between two tics.
std::string OrderTics(long last);

// The colour of a series of `format`'s seeds ("binary32"), the same in every picture and on
// the web page (its STYLE, web/page/app.js): Okabe and Ito's, which colour-blind eyes tell
// apart; grey for a name not among the seven formats.
const char* FormatColour(std::string_view format);
// The key's one entry for the predicted lines of every series: dashed, in grey.
inline constexpr const char* kPredictedKeyEntry =
    "keyentry with lines dt 2 lw 3 lc rgb '#777777' title 'predicted (dashed)'";
// A point size as a style gives it: "ps 1.7".
std::string PointSize(double size);
// How series `i` of `n` drawn as points marks them ("pt 6 ps 1.7 lw 2"): each its own open
// shape, the first the largest, each next one 0.25 smaller, the last 1.2. Drawn in order, a
// later series' marker lies inside an earlier one's where their values coincide, and both stay
// visible.
std::string NestedPoints(size_t i, size_t n);
// How series `i` of `n` drawn as lines draws them ("lw 3.5"): the first the widest (4.5), the
// last the narrowest (2.5; one alone: 3), so that a later line shows inside an earlier one where
// they coincide.
std::string NestedWidth(size_t i, size_t n);

// `script(terminal)` is the whole script for one gnuplot terminal.
using PlotScriptFor = std::function<std::string(const std::string& terminal)>;
Pictures DrawPictures(const PlotScriptFor& script);
