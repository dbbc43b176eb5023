// The file of a student's values that --check names, read whole and bounded before it is read.
#pragma once

#include <string>

// The bytes of the regular file `path`, or of standard input for "-", at most `most` of them:
// "" and the bytes, or why they could not be read (a missing file, a directory or device, one
// larger than `most`, a failed read).
std::string ReadGivenFile(const std::string& path, size_t most, std::string& bytes);
