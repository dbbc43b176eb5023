// Files and standard streams on Windows: file handles and GetLastError.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdlib>
#include <string>

#include "runtime/file_io.hpp"

namespace {

HANDLE AsHandle(FileHandle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

// The one place where the system's reasons for a failed open become diagnostics, matching the
// numbers the POSIX build gives for the same situations.
Severe OpenFailureFor(DWORD error, const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return Severe::kOpenFailure;  // a directory stands where the file should be
  }
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return Severe::kPermissionDenied;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return Severe::kFileNotFound;
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_UNIT:
    case ERROR_NOT_READY:
    case ERROR_BAD_NETPATH:
    case ERROR_DEV_NOT_EXIST:
      return Severe::kNoSuchDevice;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_DIRECTORY:
      return Severe::kFileNameError;
    default:  // ERROR_SHARING_VIOLATION, ERROR_TOO_MANY_OPEN_FILES, ERROR_DISK_FULL, ...
      return Severe::kOpenFailure;
  }
}

HANDLE Open(const std::string& path, DWORD access, DWORD disposition) {
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool WriteAllTo(HANDLE handle, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 30));
    if (!WriteFile(handle, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

}  // namespace

OpenOutcome OpenReadWrite(const std::string& path) {
  OpenOutcome outcome;
  HANDLE handle = Open(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
  if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) {
    handle = Open(path, GENERIC_READ, OPEN_EXISTING);
    if (handle == INVALID_HANDLE_VALUE) {
      outcome.failure = OpenFailureFor(ERROR_ACCESS_DENIED, path);
      return outcome;
    }
    outcome.read_only = true;
  }
  if (handle == INVALID_HANDLE_VALUE) {
    outcome.failure = OpenFailureFor(GetLastError(), path);
    return outcome;
  }
  outcome.opened = true;
  outcome.handle = reinterpret_cast<FileHandle>(handle);
  outcome.regular = GetFileType(handle) == FILE_TYPE_DISK;
  return outcome;
}

bool WriteToFile(FileHandle handle, std::string_view bytes) {
  return WriteAllTo(AsHandle(handle), bytes);
}

bool CutFile(FileHandle handle) {
  return SetEndOfFile(AsHandle(handle)) != 0;
}

bool CloseFile(FileHandle handle) {
  return CloseHandle(AsHandle(handle)) != 0;
}

ConsoleWrite WriteStandardOutput(std::string_view bytes) {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == INVALID_HANDLE_VALUE || out == nullptr) return ConsoleWrite::kNoConsole;
  if (WriteAllTo(out, bytes)) return ConsoleWrite::kWritten;
  return GetLastError() == ERROR_INVALID_HANDLE ? ConsoleWrite::kNoConsole : ConsoleWrite::kFailed;
}

void WriteDiagnostic(std::string_view text) {
  const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  if (err != INVALID_HANDLE_VALUE && err != nullptr) (void)WriteAllTo(err, text);
}

void EndProcess(int status) {
  std::_Exit(status);
}

void LetOversizedWritesFail() {}  // Windows has no file-size limit signal
