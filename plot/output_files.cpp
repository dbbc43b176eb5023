// Exclusive temporaries renamed into place, relative to an open directory.
#include "plot/output_files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <string_view>

#include "runtime/file_io.hpp"

namespace {

constexpr int kNameAttempts = 100;

// ".tmp-" and eight letters or digits, drawn afresh for every attempt.
std::string TemporarySuffix() {
  static constexpr std::string_view kAlphabet = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device source;
  std::uniform_int_distribution<size_t> pick(0, kAlphabet.size() - 1);
  std::string suffix = ".tmp-";
  for (int i = 0; i < 8; ++i) suffix += kAlphabet[pick(source)];
  return suffix;
}

}  // namespace

bool Replaceable(int directory_fd, const std::string& name) {
  struct stat status;
  if (fstatat(directory_fd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
    return errno == ENOENT;
  }
  return S_ISREG(status.st_mode);
}

bool WriteAtomically(int directory_fd, const std::string& name, const std::string& bytes) {
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < kNameAttempts; ++attempt) {
    temporary = name + TemporarySuffix();
    fd = openat(directory_fd, temporary.c_str(),
                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  errno = 0;
  const bool written = WriteToFile(fd, bytes) && fsync(fd) == 0;
  int error = errno;
  const bool closed = close(fd) == 0;
  if (error == 0 && !closed) error = errno;
  if (written && closed &&
      renameat(directory_fd, temporary.c_str(), directory_fd, name.c_str()) == 0) {
    return true;
  }
  if (error == 0) error = errno != 0 ? errno : EIO;
  unlinkat(directory_fd, temporary.c_str(), 0);
  errno = error;
  return false;
}

std::string Printable(const std::string& name) {
  std::string shown;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7f && byte != '\\') {
      shown += c;
    } else {
      shown += '\\';
      for (int shift = 6; shift >= 0; shift -= 3)
        shown += static_cast<char>('0' + ((byte >> shift) & 7));
    }
  }
  return shown;
}
