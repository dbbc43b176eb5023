// A picture's three outputs, BASE.dat, BASE.svg and BASE.png, written into an open directory as
// every output is (atomic_files/output_files.hpp): whole under their names, or not at all.
#pragma once

#include <string>
#include <string_view>

#include "picture/gnuplot.hpp"

// Why BASE.dat, BASE.svg or BASE.png may not be replaced (UnreplaceableNames); "" when all three
// may.
std::string UnreplaceableOutputs(int directory_fd, const std::string& base);

// Writes BASE.dat (`data`), then BASE.svg and BASE.png drawn from `script`, into the open
// directory, each written exclusively and renamed into place; first refuses all three unless
// each may be replaced (UnreplaceableOutputs). The status to end with: kExitSuccess, or, after
// the one line "PROGRAM: COMPLAINT" on standard error (names shown Printable), kExitFailure
// (nothing or only the data written) or kExitNoPicture (gnuplot missing or failing; the data
// written).
int WriteDataAndPictures(std::string_view program, int directory_fd, const std::string& base,
                         const std::string& data, const PlotScriptFor& script);
