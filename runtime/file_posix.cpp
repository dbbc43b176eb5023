// Files and standard streams on Linux and its kin: file descriptors, O_PATH and errno.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <string>
#include <string_view>
#include <vector>

#include "posix/descriptors.hpp"
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

// A directory where anyone may create files and only a file's owner (or the directory's) may
// remove them: /tmp and its kind.
bool Shared(const struct stat& directory) {
  return (directory.st_mode & S_ISVTX) != 0 && (directory.st_mode & S_IWOTH) != 0;
}

// Whether a link or file in `directory` owned by `owner` may be used. In a shared directory
// only what the user or the directory's owner made may be: the line the kernel's own
// protections (fs.protected_symlinks, fs.protected_regular) draw, which can be turned off.
// Nobody else can remove or replace such an entry, so what was checked stays what is used.
bool Trusted(const struct stat& directory, uid_t owner) {
  return !Shared(directory) || owner == geteuid() || owner == directory.st_uid;
}

constexpr int kMaxLinks = 40;  // the kernel's own limit on the links of one lookup

// Opens `name` in `directory` without following a link; O_PATH opens a link itself.
int OpenAt(int directory, const char* name, int flags) {
  int fd;
  do {
    fd = openat(directory, name, flags | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// A directory held while a name is looked up in it. The working directory needs no descriptor,
// nor does the root: a name is looked up there as "/NAME" (an emulator that serves "/" from
// the target's own tree, as qemu does, still serves "/tmp" from the machine's).
constexpr int kRoot = -2;
struct Directory {
  int fd = AT_FDCWD;
  Directory() = default;
  Directory(const Directory&) = delete;
  Directory& operator=(const Directory&) = delete;
  ~Directory() { Hold(AT_FDCWD); }
  void Hold(int opened) {
    if (fd >= 0) close(fd);
    fd = opened;
  }
  int Open(const std::string& name, int flags) const {
    if (fd != kRoot) return OpenAt(fd, name.c_str(), flags);
    return OpenAt(AT_FDCWD, ("/" + name).c_str(), flags);
  }
  int Stat(struct stat& status) const {
    return fd == kRoot ? stat("/", &status) : fstatat(fd, ".", &status, 0);
  }
};

int Fail(int error) {
  errno = error;
  return -1;
}

int FailClosing(int fd, int error) {
  close(fd);
  return Fail(error);
}

// Puts the names of `path` in front of those still to look up (kept last first).
void PutInFront(std::vector<std::string>& pending, std::string_view path) {
  std::vector<std::string> names;
  for (size_t start = 0; start <= path.size();) {
    const size_t slash = std::min(path.find('/', start), path.size());
    if (slash > start) names.emplace_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  pending.insert(pending.end(), names.rbegin(), names.rend());
}

// Opens `path` one name at a time, each looked up in the directory held open before it, so
// nothing checked can change before it is used. A link's target takes the link's place when
// the link is trusted in its directory, and the file opened at the end must be trusted in its
// own; it is opened without waiting (a FIFO without a writer), and only then made to wait
// again. A refusal fails with EACCES. The file is kept off descriptors 0 to 2, so that a
// process started with standard output closed never sends its console records into it.
int OpenHopByHop(const std::string& path, int flags) {
  std::vector<std::string> pending;  // the names still to look up, the next one last
  PutInFront(pending, path);
  Directory directory;
  if (!path.empty() && path[0] == '/') directory.Hold(kRoot);
  if (pending.empty()) pending.emplace_back(".");
  for (int links = 0;;) {
    const std::string name = std::move(pending.back());
    pending.pop_back();
    const bool last = pending.empty();
    if (name == ".." && directory.fd == kRoot) {  // the root is its own parent
      if (last) pending.emplace_back(".");
      continue;
    }
    struct stat held, found;
    if (directory.Stat(held) != 0) return -1;
    int fd = directory.Open(name, last ? flags | O_NONBLOCK : O_PATH);
    if (fd < 0 && last && errno == ELOOP) fd = directory.Open(name, O_PATH);  // the link itself
    if (fd < 0) return -1;
    if (fstat(fd, &found) != 0) return FailClosing(fd, errno);
    if (last && (fcntl(fd, F_GETFL) & O_PATH) != 0 && !S_ISLNK(found.st_mode)) {
      // Replaced by something else since it was a link: look again.
      close(fd);
      if (++links > kMaxLinks) return Fail(ELOOP);
      pending.push_back(name);
      continue;
    }
    if (S_ISLNK(found.st_mode)) {
      const bool trusted = Trusted(held, found.st_uid);
      std::string target(PATH_MAX, '\0');
      const ssize_t length = trusted ? readlinkat(fd, "", target.data(), target.size()) : 0;
      const int error = errno;
      close(fd);
      if (!trusted) return Fail(EACCES);
      if (++links > kMaxLinks) return Fail(ELOOP);
      if (length < 0) return Fail(error);
      if (length == 0) return Fail(ENOENT);
      if (static_cast<size_t>(length) >= target.size()) return Fail(ENAMETOOLONG);
      target.resize(static_cast<size_t>(length));
      PutInFront(pending, target);
      if (target[0] == '/') directory.Hold(kRoot);
      if (pending.empty()) pending.emplace_back(".");  // a link to "/"
      continue;
    }
    if (last) {
      // A second name in a shared directory may be another's link to a file they could not
      // write themselves (where fs.protected_hardlinks is off): refused, whoever owns the file.
      const bool linked_elsewhere = Shared(held) && S_ISREG(found.st_mode) && found.st_nlink > 1;
      if (!Trusted(held, found.st_uid) || linked_elsewhere) return FailClosing(fd, EACCES);
      if ((flags & O_NONBLOCK) == 0 && fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        return FailClosing(fd, errno);
      }
      return AboveStandardStreams(fd);
    }
    if (!S_ISDIR(found.st_mode)) return FailClosing(fd, ENOTDIR);
    directory.Hold(fd);
  }
}

}  // namespace

OpenOutcome OpenReadWrite(const std::string& path) {
  OpenOutcome outcome;
  int fd = OpenHopByHop(path, O_RDWR | O_CREAT);
  if (fd < 0 && OpenFailureFor(errno) == Severe::kPermissionDenied) {
    fd = OpenHopByHop(path, O_RDONLY);
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
  while (!bytes.empty()) {
    const ssize_t written = write(static_cast<int>(handle), bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
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
  if (WriteToFile(STDOUT_FILENO, bytes)) return ConsoleWrite::kWritten;
  return errno == EBADF ? ConsoleWrite::kNoConsole : ConsoleWrite::kFailed;
}

void WriteDiagnostic(std::string_view text) {
  (void)WriteToFile(STDERR_FILENO, text);
}

void EndProcess(int status) {
  _exit(status);
}

void LetOversizedWritesFail() {
  std::signal(SIGXFSZ, SIG_IGN);  // the write then fails with EFBIG
}
