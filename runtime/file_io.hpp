// What the units need of the platform's files and standard streams. One implementation per
// platform (file_posix.cpp, file_windows.cpp), chosen by the build.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/diagnostics.hpp"

using FileHandle = intptr_t;

struct OpenOutcome {
  bool opened = false;
  FileHandle handle = -1;
  bool read_only = false;                 // opened for reading only after a refusal
  bool regular = true;                    // a regular file, not a device, FIFO or socket
  Severe failure = Severe::kOpenFailure;  // when not opened: the diagnostic it calls for
};

// Opens an existing file or creates a missing one, for reading and writing, without cutting it.
// A relative path is taken relative to the working directory, however long its full name.
// When access is refused, tries once more for reading only. The system's reasons for a failure
// map to the diagnostics here and nowhere else. In a sticky directory that everyone may write
// to (/tmp), a link (at any step of the path, and of any link's target) is followed, and the
// file itself used, only when it belongs to the user or to the directory's owner; anything
// else there is refused as access denied, as the kernel's own protections refuse it.
OpenOutcome OpenReadWrite(const std::string& path);

// Writes every byte at the file's position; false when any could not be written.
bool WriteToFile(FileHandle handle, std::string_view bytes);
// Cuts the file at its current position.
bool CutFile(FileHandle handle);
bool CloseFile(FileHandle handle);

// The operations on an open file as the units call them: the three above, unless a test has put
// one that fails in the place of one of them.
struct FileOperations {
  bool (*write)(FileHandle handle, std::string_view bytes) = WriteToFile;
  bool (*cut)(FileHandle handle) = CutFile;
  bool (*close)(FileHandle handle) = CloseFile;
};
extern FileOperations FileOps;

enum class ConsoleWrite { kWritten, kNoConsole, kFailed };
// Writes to standard output byte for byte; kNoConsole when the process has no standard output.
ConsoleWrite WriteStandardOutput(std::string_view bytes);
// Writes a diagnostic to standard error, as far as it can.
void WriteDiagnostic(std::string_view text);
[[noreturn]] void EndProcess(int status);
// From here on, a write past the file-size limit (ulimit -f) fails as a write, with its
// diagnostic, instead of ending the process with a signal. Call before the first record.
void LetOversizedWritesFail();
