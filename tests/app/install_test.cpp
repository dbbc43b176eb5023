// The program as it reaches users: installed by CMake, and from the Debian package. Either way
// it must write the expected files.
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
  EXPECT_TRUE(fs::exists(usr / "share/doc/bessel-recurrence/README.md"));
  EXPECT_TRUE(fs::exists(usr / "share/doc/bessel-recurrence/LICENSE"));
  ExpectWorkingProgram(usr / "bin/bessel-recurrence");
}

TEST(Package, TheExtractedProgramWritesTheExpectedFiles) {
  TempDir scratch;
  std::string output;
  ASSERT_TRUE(Shell(
      "bash '" BESSEL_SOURCE_DIR "/scripts/package' '" + (scratch / "build").string() + "' 2>&1",
      output))
      << output;
  // The script's last line is the package's path.
  std::string package = output.substr(0, output.find_last_not_of('\n') + 1);
  package.erase(0, package.find_last_of('\n') + 1);
  ASSERT_TRUE(package.ends_with(".deb")) << output;
  const fs::path root = scratch / "extracted";
  std::string ignored;
  ASSERT_TRUE(Shell("dpkg-deb -x '" + package + "' '" + root.string() + "'", ignored));
  EXPECT_TRUE(fs::exists(root / "usr/share/doc/bessel-recurrence/copyright"));
  EXPECT_TRUE(fs::exists(root / "usr/share/doc/bessel-recurrence/changelog.Debian.gz"));
  EXPECT_TRUE(fs::exists(root / "usr/share/man/man1/bessel-recurrence.1.gz"));
  EXPECT_TRUE(fs::exists(root / "usr/bin/bessel-recurrence-plot"));
  ExpectWorkingProgram(root / "usr/bin/bessel-recurrence");
}

}  // namespace
