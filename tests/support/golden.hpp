// Checks of a whole run against the expected outputs, for the tests that run the program.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "results/result_files.hpp"
#include "tests/support/child.hpp"
#include "tests/support/program_run.hpp"

namespace testing_support {

// The result files' names, as the program makes them.
inline std::vector<std::string> ResultFileNames() {
  std::vector<std::string> names;
  for (int32_t file = 1; file <= kResultFiles; ++file) names.push_back(ResultFileName(file));
  return names;
}

// A complete run: status 0, no diagnostic, the expected transcript and result files.
inline void ExpectGoldenFiles(const std::filesystem::path& directory, const ProgramResult& result) {
  EXPECT_FALSE(result.ending.timed_out);
  EXPECT_EQ(result.ending.exit_status, 0);
  EXPECT_EQ(result.diagnostics, "");
  EXPECT_EQ(result.transcript, ReadFile(GoldenPath("console.txt")));
  for (const std::string& name : ResultFileNames()) {
    EXPECT_EQ(ReadFile(directory / name), ReadFile(GoldenPath(name))) << name;
  }
}

// A complete run that gives the terminal back as it found it.
inline void ExpectGoldenOutputs(const std::filesystem::path& directory,
                                const ProgramResult& result) {
  ExpectGoldenFiles(directory, result);
  EXPECT_TRUE(SameMode(result.mode_after, result.mode_before)) << "terminal settings changed";
}

// A run in `directory` that finds a key typed before it started.
inline ProgramRun KeyTypedAhead(const std::filesystem::path& directory) {
  ProgramRun run = RunIn(directory);
  run.child.typed_before_start = "q";
  run.type_key_after_prompt = false;
  return run;
}

}  // namespace testing_support
