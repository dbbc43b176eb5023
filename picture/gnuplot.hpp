// Pictures drawn by gnuplot, safely: whatever the caller's names or data, gnuplot is handed
// nothing but a script of the program's own making, and opens no file by name.
#pragma once

#include <functional>
#include <string>

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
// the back of the room (kSvgTerminal, kPngTerminal, which DrawPictures uses), the line where
// every digit is lost as visible as the data, and a line at m = x, where the forward
// recurrence turns unstable.
inline constexpr const char* kSvgTerminal =
    "svg size 1200,800 enhanced font 'Sans,20' background rgb 'white'";
inline constexpr const char* kPngTerminal =
    "pngcairo size 1200,800 enhanced font 'Sans,16' background rgb 'white'";
inline constexpr const char* kEveryDigitLost =
    "1 with lines dt 2 lw 3 lc rgb '#000000' title 'relative error 1: every digit lost'";
// "set arrow ..." and its label, for x as gnuplot reads a number.
std::string OrderIsX(const std::string& x);

// `script(terminal)` is the whole script for one gnuplot terminal.
using PlotScriptFor = std::function<std::string(const std::string& terminal)>;
Pictures DrawPictures(const PlotScriptFor& script);
