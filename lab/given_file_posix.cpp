// Reading --check's file on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cli/messages.hpp"
#include "lab/given_file.hpp"

std::string ReadGivenFile(const std::string& path, size_t most, std::string& bytes) {
  const bool standard_input = path == "-";
  const std::string name = standard_input ? "standard input" : "'" + Printable(path) + "'";
  // Opened without waiting: a FIFO or a device is refused, never read.
  const int fd = standard_input ? STDIN_FILENO
                                : open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return "cannot open " + name + ": " + std::strerror(errno);
  struct stat status {};
  std::string complaint;
  if (fstat(fd, &status) != 0) {
    complaint = "cannot read " + name + ": " + std::strerror(errno);
  } else if (!standard_input && !S_ISREG(status.st_mode)) {
    complaint = name + " is not a regular file";
  } else if (S_ISREG(status.st_mode) && static_cast<unsigned long long>(status.st_size) > most) {
    complaint = name + " holds more than " + std::to_string(most) + " bytes";
  }
  bytes.clear();
  char buffer[1 << 16];
  while (complaint.empty()) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      complaint = "cannot read " + name + ": " + std::strerror(errno);
    } else if (n == 0) {
      break;
    } else if (bytes.size() + static_cast<size_t>(n) > most) {
      complaint = name + " holds more than " + std::to_string(most) + " bytes";
    } else {
      bytes.append(buffer, static_cast<size_t>(n));
    }
  }
  if (!standard_input) close(fd);
  return complaint;
}
