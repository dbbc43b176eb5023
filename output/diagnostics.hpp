// The severe errors that end a run: their message numbers and texts.
#pragma once

#include <string_view>

// The message number is also the process's exit status.
enum class Severe : int {
  kPermissionDenied = 9,
  kFileNotFound = 29,
  kOpenFailure = 30,
  kWriteError = 38,
  kNoSuchDevice = 42,
  kFileNameError = 43,
  kWriteToReadOnly = 47,
};

// The message with %d for the unit number and %s for the unit's file name.
constexpr std::string_view MessageText(Severe severe) {
  switch (severe) {
    case Severe::kPermissionDenied:
      return "permission to access file denied, unit %d, file %s";
    case Severe::kFileNotFound:
      return "file not found, unit %d, file %s";
    case Severe::kOpenFailure:
      return "open failure, unit %d, file %s";
    case Severe::kWriteError:
      return "error during write, unit %d, file %s";
    case Severe::kNoSuchDevice:
      return "no such device, unit %d, file %s";
    case Severe::kFileNameError:
      return "file name specification error, unit %d, file %s";
    case Severe::kWriteToReadOnly:
      return "write to READONLY file, unit %d, file %s";
  }
  return "unknown error, unit %d, file %s";
}
