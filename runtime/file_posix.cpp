// Files and standard streams on POSIX systems: file descriptors and errno.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string>

#include "runtime/file_io.hpp"

namespace {

// The one place where the system's reasons for a failed open become diagnostics.
Severe OpenFailureFor(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
      return Severe::kPermissionDenied;
    case ENOENT:
    case ENOTDIR:
      return Severe::kFileNotFound;
    case ENXIO:
    case ENODEV:
      return Severe::kNoSuchDevice;
    case ENAMETOOLONG:
    case ELOOP:
    case EINVAL:
    case EILSEQ:
      return Severe::kFileNameError;
    default:  // EISDIR, EMFILE, ENFILE, ETXTBSY, EBUSY, ENOSPC, EIO, ...
      return Severe::kOpenFailure;
  }
}

bool Refused(int error) {
  return error == EACCES || error == EPERM || error == EROFS;
}

// Keeps result files off descriptors 0 to 2, so that a process started with standard output
// closed never sends its console records into a result file.
int AboveStandardStreams(int fd) {
  if (fd < 0 || fd > STDERR_FILENO) return fd;
  const int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  const int error = errno;
  close(fd);
  errno = error;
  return moved;
}

int OpenRetrying(const char* path, int flags) {
  int fd;
  do {
    fd = open(path, flags | O_CLOEXEC | O_NOCTTY, 0666);
  } while (fd < 0 && errno == EINTR);
  return AboveStandardStreams(fd);
}

// The directory a path's last component lies in: "." for a bare name.
std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A link planted by another user where anyone may write: the link lies in a sticky,
// world-writable directory and belongs neither to this user nor to the directory's owner.
bool UntrustedLink(const std::string& path) {
  struct stat link, directory;
  if (lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return false;
  if (stat(DirectoryOf(path).c_str(), &directory) != 0) return false;
  const bool shared = (directory.st_mode & S_ISVTX) != 0 && (directory.st_mode & S_IWOTH) != 0;
  return shared && link.st_uid != geteuid() && link.st_uid != directory.st_uid;
}

// Opens without following a last-component link, then follows it only when it is trusted. Once
// a trusted link is seen, nobody else can replace it: the directory is sticky, or not shared.
int OpenFollowingTrustedLinks(const char* path, int flags) {
  const int fd = OpenRetrying(path, flags | O_NOFOLLOW);
  if (fd >= 0 || errno != ELOOP) return fd;
  if (UntrustedLink(path)) {
    errno = EACCES;
    return -1;
  }
  return OpenRetrying(path, flags);
}

bool WriteAllTo(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

}  // namespace

OpenOutcome OpenReadWrite(const std::string& path) {
  OpenOutcome outcome;
  int fd = OpenFollowingTrustedLinks(path.c_str(), O_RDWR | O_CREAT);
  if (fd < 0 && Refused(errno)) {
    fd = OpenFollowingTrustedLinks(path.c_str(), O_RDONLY);
    if (fd < 0) {
      // Refused for writing and not readable either: a refusal, whatever the second reason.
      outcome.failure = Severe::kPermissionDenied;
      return outcome;
    }
    outcome.read_only = true;
  }
  if (fd < 0) {
    outcome.failure = OpenFailureFor(errno);
    return outcome;
  }
  struct stat status;
  outcome.opened = true;
  outcome.handle = fd;
  outcome.regular = fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
  return outcome;
}

bool WriteToFile(FileHandle handle, std::string_view bytes) {
  return WriteAllTo(static_cast<int>(handle), bytes);
}

bool CutFile(FileHandle handle) {
  const int fd = static_cast<int>(handle);
  const off_t position = lseek(fd, 0, SEEK_CUR);
  if (position < 0) return false;
  int result;
  do {
    result = ftruncate(fd, position);
  } while (result < 0 && errno == EINTR);
  return result == 0;
}

bool CloseFile(FileHandle handle) {
  // After EINTR the descriptor is gone on Linux; closing again could hit another file.
  return close(static_cast<int>(handle)) == 0 || errno == EINTR;
}

ConsoleWrite WriteStandardOutput(std::string_view bytes) {
  if (WriteAllTo(STDOUT_FILENO, bytes)) return ConsoleWrite::kWritten;
  return errno == EBADF ? ConsoleWrite::kNoConsole : ConsoleWrite::kFailed;
}

void WriteDiagnostic(std::string_view text) {
  (void)WriteAllTo(STDERR_FILENO, text);
}

void EndProcess(int status) {
  _exit(status);
}

void LetOversizedWritesFail() {
  std::signal(SIGXFSZ, SIG_IGN);  // the write then fails with EFBIG
}
