// Descriptors moved above the standard streams with fcntl.
#include "posix/descriptors.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

int AboveStandardStreams(int fd) {
  if (fd < 0 || fd > STDERR_FILENO) return fd;
  const int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  // fcntl refuses with EINVAL a lowest descriptor at or past the limit on open files (ulimit -n
  // 3 and below): no descriptor above the standard streams can be had, which is EMFILE's case.
  const int error = moved < 0 && errno == EINVAL ? EMFILE : errno;
  close(fd);
  errno = error;
  return moved;
}
