// The width of the console on standard output: its window, not its buffer.
#include <windows.h>

#include "cli/terminal_width.hpp"

int StandardOutputColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}
