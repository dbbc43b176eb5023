// The program as it reaches users when installed by CMake: each file in its GNU directory, and a
// program that writes the expected files. (The Debian package is checked by scripts/test.)
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/golden.hpp"

namespace {

namespace fs = std::filesystem;
using testing_support::ExpectGoldenOutputs;
using testing_support::KeyTypedAhead;
using testing_support::ProgramRun;
using testing_support::RunProgram;
using testing_support::TempDir;

// The standard output of a shell command, and whether it succeeded.
bool Shell(const std::string& command, std::string& output) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return false;
  char buffer[4096];
  for (size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, got);
  return pclose(pipe) == 0;
}

void ExpectWorkingProgram(const fs::path& program) {
  ASSERT_TRUE(fs::exists(program)) << program;
  TempDir dir;
  ProgramRun run = KeyTypedAhead(dir.path());
  run.program = program;
  ExpectGoldenOutputs(dir.path(), RunProgram(run));
}

TEST(Install, IntoADestDirPutsEachFileInItsGnuDirectory) {
  TempDir dest;
  std::string output;
  ASSERT_TRUE(Shell("DESTDIR='" + dest.path().string() + "' '" BESSEL_CMAKE "' --install '" +
                        BESSEL_BINARY_DIR "' --prefix /usr",
                    output))
      << output;
  const fs::path usr = dest / "usr";
  EXPECT_TRUE(fs::exists(usr / "share/man/man1/bessel-recurrence.1.gz"));
  EXPECT_TRUE(fs::exists(usr / "bin/bessel-recurrence-plot"));
  EXPECT_TRUE(fs::exists(usr / "share/man/man1/bessel-recurrence-plot.1.gz"));
  EXPECT_TRUE(fs::exists(usr / "bin/bessel-recurrence-lab"));
  EXPECT_TRUE(fs::exists(usr / "share/man/man1/bessel-recurrence-lab.1.gz"));
  EXPECT_TRUE(fs::exists(usr / "share/doc/bessel-recurrence/README.md"));
  EXPECT_TRUE(fs::exists(usr / "share/doc/bessel-recurrence/REFERENCE.md"));
  EXPECT_TRUE(fs::exists(usr / "share/doc/bessel-recurrence/LICENSE"));
  ExpectWorkingProgram(usr / "bin/bessel-recurrence");
}

}  // namespace
