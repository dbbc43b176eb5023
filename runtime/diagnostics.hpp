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

// The message; the diagnostic adds the unit and its file: ", unit 1, file /tmp/x/NAME".
constexpr std::string_view MessageText(Severe severe) {
  switch (severe) {
    case Severe::kPermissionDenied:
      return "permission to access file denied";
    case Severe::kFileNotFound:
      return "file not found";
    case Severe::kOpenFailure:
      return "open failure";
    case Severe::kWriteError:
      return "error during write";
    case Severe::kNoSuchDevice:
      return "no such device";
    case Severe::kFileNameError:
      return "file name specification error";
    case Severe::kWriteToReadOnly:
      return "write to READONLY file";
  }
  return "unknown error";
}
