// Writing into a directory that others may write to: outputs appear whole under their names or
// not at all, and no name planted there (a link, a FIFO, a directory) is ever followed.
#pragma once

#include <string>

#include "picture/gnuplot.hpp"

// The directory `name` opened once, so that everything after works relative to it and the name
// is never used again; -1 with `complaint` ("cannot open the directory NAME: REASON") when it
// cannot be opened.
int OpenDirectory(const std::string& name, std::string& complaint);

// Whether `name` in the directory may be replaced: missing, or a regular file. Anything else (a
// link, a directory, a FIFO, a device) is refused, never followed or written through.
bool Replaceable(int directory_fd, const std::string& name);

// Writes `bytes` to a new file created exclusively under a fresh name beside `name` (never
// through an existing name or link), flushes it to the disk, and renames it into place, so that
// `name` is never seen half written. On any failure nothing is left behind and errno says why.
bool WriteAtomically(int directory_fd, const std::string& name, const std::string& bytes);

// Writes BASE.dat (`data`), then BASE.svg and BASE.png drawn from `script`, into the open
// directory, each written exclusively and renamed into place; first refuses any of the three
// names that is taken by something other than a regular file. The status to end with, and but
// for kExitSuccess the one line to show (names shown Printable): kExitFailure (nothing or only
// the data written), kExitNoPicture (gnuplot missing or failing; the data written).
struct WriteOutcome {
  int status;
  std::string complaint;
};
WriteOutcome WriteDataAndPictures(int directory_fd, const std::string& base,
                                  const std::string& data, const PlotScriptFor& script);
