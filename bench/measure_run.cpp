// Measures a whole run with a key already waiting, next to a trivial C++ program, and the
// processor time the program uses while it waits for a key.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/program_run.hpp"
#include "tests/support/terminal_child.hpp"

namespace {

using namespace std::chrono;
using testing_support::Connection;
using testing_support::ProgramRun;
using testing_support::RunIn;
using testing_support::RunProgram;
using testing_support::TempDir;
using testing_support::TerminalChild;
using testing_support::TerminalChildOptions;

constexpr int kRuns = 50;  // of each program

// Wall time from fork to exit of `program`, run in a fresh directory on a pseudo-terminal that
// already holds a typed key, standard output to /dev/null.
double RunMilliseconds(const std::string& program) {
  TempDir dir;
  TerminalChildOptions options;
  options.command = {program};
  options.working_directory = dir.path();
  options.out = Connection::File("/dev/null");
  options.typed_before_start = "q";
  const auto start = steady_clock::now();
  TerminalChild child(options);
  const auto ending = child.Wait(seconds(10));
  const double elapsed = duration<double, std::milli>(steady_clock::now() - start).count();
  if (ending.exit_status != 0) std::fprintf(stderr, "%s failed\n", program.c_str());
  return elapsed;
}

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main() {
  // Alternately, so that whatever else the machine does weighs on both alike.
  std::vector<double> program_times;
  std::vector<double> trivial_times;
  for (int i = 0; i < kRuns; ++i) {
    program_times.push_back(RunMilliseconds(testing_support::ProgramPath().string()));
    trivial_times.push_back(RunMilliseconds(TRIVIAL_PROGRAM));
  }
  const double program = Median(program_times);
  const double trivial = Median(trivial_times);
  std::printf("whole run, key already waiting (median of %d): %.2f ms\n", kRuns, program);
  std::printf("trivial C++ program, same harness (median of %d): %.2f ms\n", kRuns, trivial);
  std::printf("ratio: %.2f\n", program / trivial);

  TempDir dir;
  ProgramRun run = RunIn(dir.path());
  long used = -1;
  run.at_prompt = [&used](TerminalChild& program) {
    std::this_thread::sleep_for(milliseconds(100));  // into the wait proper
    const milliseconds before = testing_support::ProcessorTime(program.pid());
    std::this_thread::sleep_for(seconds(3));
    used = (testing_support::ProcessorTime(program.pid()) - before).count();
  };
  const auto result = RunProgram(run);
  std::printf("processor time during a 3 s wait for a key: %ld ms (clock tick %ld ms)\n", used,
              1000 / sysconf(_SC_CLK_TCK));
  return result.ending.exit_status == 0 && used >= 0 ? 0 : 1;
}
