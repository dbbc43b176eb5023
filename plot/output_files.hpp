// Writing into a directory that others may write to: outputs appear whole under their names or
// not at all, and no name planted there (a link, a FIFO, a directory) is ever followed.
#pragma once

#include <string>

// Whether `name` in the directory may be replaced: missing, or a regular file. Anything else (a
// link, a directory, a FIFO, a device) is refused, never followed or written through.
bool Replaceable(int directory_fd, const std::string& name);

// Writes `bytes` to a new file created exclusively under a fresh name beside `name` (never
// through an existing name or link), flushes it to the disk, and renames it into place, so that
// `name` is never seen half written. On any failure nothing is left behind and errno says why.
bool WriteAtomically(int directory_fd, const std::string& name, const std::string& bytes);

// A name as it may be shown in a message: control bytes, backslashes and bytes beyond ASCII are
// written as \ooo, so that no name can move the cursor or forge a line of output.
std::string Printable(const std::string& name);
