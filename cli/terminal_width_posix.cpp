// The width of the terminal on standard output: the window size the terminal driver keeps.
#include <sys/ioctl.h>
#include <unistd.h>

#include "cli/terminal_width.hpp"

int StandardOutputColumns() {
  winsize size = {};
  if (isatty(STDOUT_FILENO) == 0 || ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}
