// Exclusive temporaries renamed into place, relative to an open directory.
#include "picture/output_files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <string_view>

#include "cli/messages.hpp"
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

int OpenDirectory(const std::string& name, std::string& complaint) {
  const int fd = open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    const std::string reason = std::strerror(errno);
    complaint = "cannot open the directory " + Printable(name) + ": " + reason;
  }
  return fd;
}

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

WriteOutcome WriteDataAndPictures(int directory_fd, const std::string& base,
                                  const std::string& data, const PlotScriptFor& script) {
  const std::string data_name = base + ".dat", svg = base + ".svg", png = base + ".png";
  const std::string written = " (" + Printable(data_name) + " is written)";
  auto failure = [](int status, std::string complaint) {
    return WriteOutcome{status, std::move(complaint)};
  };
  for (const std::string& name : {data_name, svg, png}) {
    if (!Replaceable(directory_fd, name)) {
      return failure(kExitFailure,
                     Printable(name) + " exists and is not a regular file; it is left alone");
    }
  }
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
    return failure(kExitNoPicture, "gnuplot could not draw the pictures" + written);
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
