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
// `script(terminal)` is the whole script for one gnuplot terminal.
using PlotScriptFor = std::function<std::string(const std::string& terminal)>;
Pictures DrawPictures(const PlotScriptFor& script);
