// The program under test and the emulator that runs it when it was built for another target. Only
// targets that link program_under_test may include this.
#pragma once

#include <filesystem>
#include <string>

#include "cli/version.hpp"

namespace testing_support {

inline std::filesystem::path ProgramPath() {
  return BESSEL_PROGRAM;
}

// "qemu-aarch64 -L /usr/aarch64-linux-gnu" for a program built for aarch64; "" for this machine.
inline std::string ProgramLauncher() {
  std::string launcher = BESSEL_PROGRAM_LAUNCHER;
  for (char& c : launcher) c = c == '|' ? ' ' : c;
  return launcher;
}

// The version the build gives the program, "1.0.0".
inline std::string ProgramVersion() {
  return std::string(kVersion);
}

}  // namespace testing_support
