// Exclusive temporaries renamed into place, relative to an open directory.
#include "picture/output_files.hpp"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <random>
#include <string_view>

#include "cli/messages.hpp"
#include "picture/ending.hpp"
#include "runtime/file_io.hpp"

namespace {

constexpr int kNameAttempts = 100;
constexpr size_t kSuffixLength = 13;  // ".tmp-" and eight letters or digits

// ".tmp-" and eight letters or digits, drawn afresh for every attempt.
std::string TemporarySuffix() {
  static constexpr std::string_view kAlphabet = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device source;
  std::uniform_int_distribution<size_t> pick(0, kAlphabet.size() - 1);
  std::string suffix = ".tmp-";
  for (size_t i = 5; i < kSuffixLength; ++i) suffix += kAlphabet[pick(source)];
  return suffix;
}

// The longest name the directory's file system takes (and the handler below can hold).
size_t LongestName(int directory_fd) {
  const long longest = fpathconf(directory_fd, _PC_NAME_MAX);
  return longest > 0 ? std::min(static_cast<size_t>(longest), size_t{NAME_MAX}) : NAME_MAX;
}

// Creates a fresh temporary beside `name`, exclusively, and makes it the pending one.
int CreateTemporary(int directory_fd, const std::string& name, std::string& temporary) {
  // Cut so that the temporary's name is as valid as the output's.
  const size_t longest = LongestName(directory_fd);
  const std::string stem =
      name.substr(0, longest > kSuffixLength ? std::min(name.size(), longest - kSuffixLength) : 0);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    temporary = stem + TemporarySuffix();
    const EndingSignalsHeld held;
    const int fd = openat(directory_fd, temporary.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd >= 0) {
      SetPendingTemporary(directory_fd, temporary);
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

// Renames the pending temporary to `name`, or removes it; either way it is pending no more.
bool Settle(int directory_fd, const std::string& temporary, const std::string* name) {
  const EndingSignalsHeld held;
  const bool renamed = name != nullptr &&
                       renameat(directory_fd, temporary.c_str(), directory_fd, name->c_str()) == 0;
  const int error = errno;
  if (!renamed) unlinkat(directory_fd, temporary.c_str(), 0);
  ClearPendingTemporary();
  errno = error;
  return renamed;
}

// Why `name` may not be replaced, or "".
std::string Unreplaceable(int directory_fd, const std::string& name) {
  struct stat status;
  const std::string shown = Printable(name);
  if (fstatat(directory_fd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
    return errno == ENOENT ? "" : "cannot write " + shown + ": " + std::strerror(errno);
  }
  if (!S_ISREG(status.st_mode))
    return shown + " exists and is not a regular file; it is left alone: remove or rename it";
  if (faccessat(directory_fd, name.c_str(), W_OK, AT_EACCESS) != 0) {
    return errno == EACCES
               ? shown + " is read-only; it is left alone: make it writable (chmod u+w " + shown +
                     ") or remove it"
               : "cannot write " + shown + ": " + std::strerror(errno);
  }
  return "";
}

// The three outputs' names, in the order they are written.
std::array<std::string, 3> OutputNames(const std::string& base) {
  return {base + ".dat", base + ".svg", base + ".png"};
}

}  // namespace

int OpenDirectory(const std::string& name, std::string& complaint) {
  const int fd = open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    const std::string reason = std::strerror(errno);
    complaint = "cannot open the directory " + Printable(name) + ": " + reason;
  }
  return fd;
}

bool WriteAtomically(int directory_fd, const std::string& name, const std::string& bytes) {
  std::string temporary;
  const int fd = CreateTemporary(directory_fd, name, temporary);
  if (fd < 0) return false;
  errno = 0;
  const bool written = WriteToFile(fd, bytes) && fsync(fd) == 0;
  int error = errno;
  const bool closed = close(fd) == 0;
  if (error == 0 && !closed) error = errno;
  if (written && closed) return Settle(directory_fd, temporary, &name);
  if (error == 0) error = EIO;
  Settle(directory_fd, temporary, nullptr);
  errno = error;
  return false;
}

std::string UnreplaceableOutputs(int directory_fd, const std::string& base) {
  // A directory that cannot take a new name is found before anything is computed.
  if (faccessat(directory_fd, ".", W_OK | X_OK, AT_EACCESS) != 0) {
    return "cannot write " + Printable(OutputNames(base)[0]) + ": " + std::strerror(errno);
  }
  for (const std::string& name : OutputNames(base)) {
    std::string refusal = Unreplaceable(directory_fd, name);
    if (!refusal.empty()) return refusal;
  }
  return "";
}

WriteOutcome WriteDataAndPictures(int directory_fd, const std::string& base,
                                  const std::string& data, const PlotScriptFor& script) {
  const auto [data_name, svg, png] = OutputNames(base);
  const std::string written = " (" + Printable(data_name) + " is written)";
  auto failure = [](int status, std::string complaint) {
    return WriteOutcome{status, std::move(complaint)};
  };
  std::string refusal = UnreplaceableOutputs(directory_fd, base);
  if (!refusal.empty()) return failure(kExitFailure, std::move(refusal));
  if (!WriteAtomically(directory_fd, data_name, data)) {
    const std::string reason = std::strerror(errno);
    return failure(kExitFailure, "cannot write " + Printable(data_name) + ": " + reason);
  }
  const Pictures pictures = DrawPictures(script);
  if (pictures.drawn == Drawn::kNoGnuplot) {
    return failure(kExitNoPicture,
                   "gnuplot is not installed; install the package gnuplot-nox to draw the "
                   "pictures" +
                       written);
  }
  if (pictures.drawn != Drawn::kDone) {
    return failure(kExitNoPicture,
                   "the pictures could not be drawn: " + pictures.failure + written);
  }
  for (const auto& [name, bytes] :
       {std::pair{&svg, &pictures.svg}, std::pair{&png, &pictures.png}}) {
    if (!WriteAtomically(directory_fd, *name, *bytes)) {
      const std::string reason = std::strerror(errno);
      return failure(kExitFailure, "cannot write " + Printable(*name) + ": " + reason + written);
    }
  }
  return {kExitSuccess, ""};
}
