// Descriptors kept off the standard streams: moved when they land on one, left as they are
// otherwise, and EMFILE when the limit on open files leaves no room above the standard streams.
#include "posix/descriptors.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace {

bool IsOpen(int fd) {
  return fcntl(fd, F_GETFD) != -1;
}

bool ClosedOnExec(int fd) {
  const int flags = fcntl(fd, F_GETFD);
  return flags != -1 && (flags & FD_CLOEXEC) != 0;
}

// Runs `body` in a child process whose standard input is closed, so that the next descriptor
// it opens is 0; true when `body` returned true there.
template <class Body>
bool InChildWithoutStandardInput(Body body) {
  const pid_t pid = fork();
  if (pid == 0) {
    close(STDIN_FILENO);
    _exit(body() ? 0 : 1);
  }
  int status = 0;
  return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

TEST(AboveStandardStreams, LeavesADescriptorAboveThemAsItIs) {
  const int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_GT(fd, STDERR_FILENO);
  EXPECT_EQ(AboveStandardStreams(fd), fd);
  EXPECT_TRUE(IsOpen(fd));
  close(fd);
}

TEST(AboveStandardStreams, PassesAFailedOpenOn) {
  errno = ENOENT;
  EXPECT_EQ(AboveStandardStreams(-1), -1);
  EXPECT_EQ(errno, ENOENT);
}

TEST(AboveStandardStreams, MovesOneOnAStandardStreamAboveThem) {
  EXPECT_TRUE(InChildWithoutStandardInput([] {
    const int fd = open("/dev/null", O_RDONLY);
    const int moved = AboveStandardStreams(fd);
    return fd == STDIN_FILENO && moved > STDERR_FILENO && ClosedOnExec(moved) &&
           !IsOpen(STDIN_FILENO);
  }));
}

// ulimit -n 3: fcntl itself says EINVAL, since the lowest descriptor asked for is past the limit.
TEST(AboveStandardStreams, NoRoomAboveThemIsTooManyOpenFiles) {
  EXPECT_TRUE(InChildWithoutStandardInput([] {
    const int fd = open("/dev/null", O_RDONLY);
    rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return false;
    limit.rlim_cur = STDERR_FILENO + 1;
    if (setrlimit(RLIMIT_NOFILE, &limit) != 0) return false;
    const int moved = AboveStandardStreams(fd);
    return fd == STDIN_FILENO && moved == -1 && errno == EMFILE && !IsOpen(STDIN_FILENO);
  }));
}

}  // namespace
