// Exclusive temporaries renamed into place, relative to an open directory.
#include "atomic_files/output_files.hpp"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <string_view>

#include "atomic_files/ending.hpp"
#include "cli/messages.hpp"
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

std::string UnreplaceableNames(int directory_fd, const std::vector<std::string>& names) {
  // A directory that cannot take a new name is found before anything is computed.
  if (!names.empty() && faccessat(directory_fd, ".", W_OK | X_OK, AT_EACCESS) != 0) {
    return "cannot write " + Printable(names.front()) + ": " + std::strerror(errno);
  }
  for (const std::string& name : names) {
    if (std::string refusal = Unreplaceable(directory_fd, name); !refusal.empty()) return refusal;
  }
  return "";
}
