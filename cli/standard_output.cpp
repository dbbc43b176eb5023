// Standard output through the C library, flushed after every text, so that a failure is seen
// while the program can still say so, and nothing is left in a buffer at exit.
#include "cli/standard_output.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/messages.hpp"

namespace {

int first_failure = 0;  // the errno of the first failed write, or 0

}  // namespace

bool Print(std::string_view text) {
  if (first_failure != 0) return false;
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    first_failure = errno != 0 ? errno : EIO;
    std::clearerr(stdout);
    return false;
  }
  return true;
}

int Finished(std::string_view program, int status) {
  if (first_failure == 0) return status;
  return Failure(program, kExitFailure,
                 std::string("write error: ") + std::strerror(first_failure));
}
