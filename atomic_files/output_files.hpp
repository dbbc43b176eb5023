// Writing into a directory that others may write to: outputs appear whole under their names or
// not at all, and no name planted there (a link, a FIFO, a directory) is ever followed.
#pragma once

#include <string>
#include <vector>

#include "atomic_files/ending.hpp"  // ProtectOutputs, which every program that writes them calls

// The directory `name` opened once, so that everything after works relative to it and the name
// is never used again; -1 with `complaint` ("cannot open the directory NAME: REASON") when it
// cannot be opened.
int OpenDirectory(const std::string& name, std::string& complaint);

// Why one of `names` in the directory may not be replaced, names shown Printable; "" when all
// may: the directory takes new names (else the first name is said not to be writable), and each
// is missing, or a regular file the user may write. Anything else (a link, a directory, a FIFO,
// a device) is left alone, never followed or written through, and so is a read-only file; a
// name the file system cannot hold is too long. The first refused, in their order, is said.
std::string UnreplaceableNames(int directory_fd, const std::vector<std::string>& names);

// Writes `bytes` to a new file created exclusively under a fresh name beside `name` (never
// through an existing name or link; cut short where `name` is long, so that it is as valid a
// name), flushes it to the disk, and renames it into place, so that `name` is never seen half
// written. On any failure (or an ending signal, after ProtectOutputs) nothing is left behind;
// errno says why.
bool WriteAtomically(int directory_fd, const std::string& name, const std::string& bytes);
