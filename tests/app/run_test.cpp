// The whole program on a pseudo-terminal, compared byte for byte with the expected outputs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/golden.hpp"
#include "tests/support/program.hpp"
#include "tests/support/program_run.hpp"

namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using testing_support::DeepDirectory;
using testing_support::Eventually;
using testing_support::ExpectGoldenFiles;
using testing_support::ExpectGoldenOutputs;
using testing_support::GoldenPath;
using testing_support::InForeground;
using testing_support::KeyTypedAhead;
using testing_support::ProcessorTime;
using testing_support::ProgramResult;
using testing_support::ProgramRun;
using testing_support::ReadFile;
using testing_support::ResultFileNames;
using testing_support::RunIn;
using testing_support::RunProgram;
using testing_support::SameMode;
using testing_support::Stopped;
using testing_support::TempDir;
using testing_support::TerminalChild;
using testing_support::TerminalChildOptions;
using testing_support::WriteFileBytes;

// The processor time the program uses over one second of its wait (once it is asleep in it). A
// wait that sleeps uses next to none; one that polls uses the whole second.
milliseconds ProcessorTimeWhileWaiting(const TerminalChild& program) {
  EXPECT_TRUE(Eventually([&] { return testing_support::Sleeping(program.pid()); }));
  const milliseconds before = ProcessorTime(program.pid());
  std::this_thread::sleep_for(milliseconds(1000));
  return ProcessorTime(program.pid()) - before;
}

termios ModeOf(const TerminalChild& program) {
  termios mode = {};
  tcgetattr(program.terminal(), &mode);
  return mode;
}

TEST(CompleteRun, AKeyTypedBeforeTheStartEndsItAtOnce) {
  TempDir dir;
  const ProgramResult result = RunProgram(KeyTypedAhead(dir.path()));
  ExpectGoldenOutputs(dir.path(), result);
  EXPECT_EQ(result.left_on_terminal, "q") << "the key is left for the next reader";
}

TEST(CompleteRun, AKeyTypedAtThePromptEndsIt) {
  TempDir dir;
  ProgramRun run = RunIn(dir.path());
  const ProgramResult result = RunProgram(run);
  EXPECT_TRUE(result.saw_prompt);
  ExpectGoldenOutputs(dir.path(), result);
  EXPECT_EQ(result.left_on_terminal, "k");
}

TEST(CompleteRun, TheProgramWaitsUntilAKeyIsTyped) {
  TempDir dir;
  ProgramRun run = RunIn(dir.path());
  bool waited = false;
  milliseconds used{-1};
  run.at_prompt = [&](TerminalChild& program) {
    used = ProcessorTimeWhileWaiting(program);
    waited = program.Running();
  };
  const ProgramResult result = RunProgram(run);
  EXPECT_TRUE(waited) << "ended before any key was typed";
  EXPECT_GE(used.count(), 0);
  EXPECT_LT(used, milliseconds(200)) << "the wait sleeps instead of polling";
  ExpectGoldenOutputs(dir.path(), result);
}

TEST(CompleteRun, ASecondRunInTheSameDirectoryGivesTheSameBytes) {
  TempDir dir;
  ExpectGoldenOutputs(dir.path(), RunProgram(KeyTypedAhead(dir.path())));
  ExpectGoldenOutputs(dir.path(), RunProgram(KeyTypedAhead(dir.path())));
}

TEST(CompleteRun, StaleLongerResultFilesAreReplaced) {
  TempDir dir;
  for (const std::string& name : ResultFileNames())
    WriteFileBytes(dir / name, std::string(20000, '#'));
  ExpectGoldenOutputs(dir.path(), RunProgram(KeyTypedAhead(dir.path())));
}

TEST(CompleteRun, WithoutAControllingTerminalItEndsAfterThePrompt) {
  TempDir dir;
  ProgramRun run = RunIn(dir.path());
  run.child.controlling_terminal = false;  // as under cron, CI or setsid: nobody can press a key
  run.type_key_after_prompt = false;
  ExpectGoldenOutputs(dir.path(), RunProgram(run));
}

TEST(CompleteRun, ResultFilesThatAreNotRegularFilesAreWrittenWithoutACut) {
  TempDir dir;
  fs::create_symlink("/dev/null", dir / "bess-7.rez");  // one table thrown away
  ASSERT_EQ(mkfifo((dir / "bess-16.rez").c_str(), 0666), 0);
  const int fifo = open((dir / "bess-16.rez").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(fifo, 0);
  const ProgramResult result = RunProgram(KeyTypedAhead(dir.path()));
  std::string through_fifo(4096, '\0');
  const ssize_t got = read(fifo, through_fifo.data(), through_fifo.size());
  close(fifo);
  through_fifo.resize(static_cast<size_t>(std::max<ssize_t>(got, 0)));
  EXPECT_EQ(result.ending.exit_status, 0);
  EXPECT_EQ(result.diagnostics, "");
  EXPECT_EQ(result.transcript, ReadFile(GoldenPath("console.txt")));
  EXPECT_EQ(through_fifo, ReadFile(GoldenPath("bess-16.rez")));
  EXPECT_EQ(ReadFile(dir / "bess-34.rez"), ReadFile(GoldenPath("bess-34.rez")));
  EXPECT_TRUE(fs::is_symlink(dir / "bess-7.rez"));
}

TEST(CompleteRun, AWorkingDirectoryDeeperThanAPathMayBeLong) {
  TempDir dir;
  fs::permissions(dir.path(), fs::perms::all);
  DeepDirectory deep(dir.path(), 20);  // 20 levels of 250 characters: over 5000 in all
  ASSERT_GT(deep.path().string().size(), static_cast<size_t>(PATH_MAX));
  const ProgramResult result = RunProgram(KeyTypedAhead(deep.path()));
  EXPECT_EQ(result.ending.exit_status, 0);
  EXPECT_EQ(result.diagnostics, "");
  EXPECT_EQ(result.transcript, ReadFile(GoldenPath("console.txt")));
  for (const std::string& name : ResultFileNames()) {
    EXPECT_EQ(deep.Read(name), ReadFile(GoldenPath(name))) << name;
  }
}

// Every way the command line can go. None waits for a key (none is ever typed); a usage error
// writes nothing and creates no file.
TEST(CommandLine, EachCaseEndsAsDocumented) {
  const std::string golden = ReadFile(GoldenPath("console.txt"));
  const std::string without_prompt = golden.substr(0, golden.rfind("\r\nApasa orice tasta\r\n"));
  const std::string try_help = "Try 'bessel-recurrence --help' for more information.\n";
  struct Row {
    std::vector<std::string> arguments;
    int status;
    std::string out;  // standard output, or its first line when `out_is_first_line`
    bool out_is_first_line;
    std::string err;
    bool writes_files;
  };
  const Row rows[] = {
      {{"--help"}, 0, "Usage: bessel-recurrence [--no-wait]", true, "", false},
      {{"--he"}, 0, "Usage: bessel-recurrence [--no-wait]", true, "", false},
      {{"--version"}, 0, "bessel-recurrence " + testing_support::ProgramVersion(), true, "", false},
      {{"--no-wait"}, 0, without_prompt, false, "", true},
      {{"--frobnicate"},
       2,
       "",
       false,
       "bessel-recurrence: unrecognized option '--frobnicate'\n" + try_help,
       false},
      {{"-x"}, 2, "", false, "bessel-recurrence: invalid option -- 'x'\n" + try_help, false},
      {{"--help=yes"},
       2,
       "",
       false,
       "bessel-recurrence: option '--help' doesn't allow an argument\n" + try_help,
       false},
      {{"--", "--help"},
       2,
       "",
       false,
       "bessel-recurrence: extra operand '--help'\n" + try_help,
       false},
      {{"--no-wait", "tables"},
       2,
       "",
       false,
       "bessel-recurrence: extra operand 'tables'\n" + try_help,
       false},
  };
  for (const Row& row : rows) {
    const std::string name = row.arguments.front();
    TempDir dir;
    ProgramRun run = RunIn(dir.path());
    run.arguments = row.arguments;
    run.type_key_after_prompt = false;
    run.deadline = std::chrono::seconds(10);
    const ProgramResult result = RunProgram(run);
    EXPECT_FALSE(result.ending.timed_out) << name << ": waited";
    EXPECT_EQ(result.ending.exit_status, row.status) << name;
    const std::string out = row.out_is_first_line
                                ? result.transcript.substr(0, result.transcript.find('\n'))
                                : result.transcript;
    EXPECT_EQ(out, row.out) << name;
    EXPECT_EQ(result.diagnostics, row.err) << name;
    for (const std::string& file : ResultFileNames()) {
      if (row.writes_files) {
        EXPECT_EQ(ReadFile(dir / file), ReadFile(GoldenPath(file))) << name << " " << file;
      } else {
        EXPECT_FALSE(fs::exists(dir / file)) << name << " " << file;
      }
    }
  }
}

// While it waits, the terminal gives single keys without echo; however the wait ends, the
// terminal is given back as it was.
TEST(KeyWait, TheTerminalIsRestoredWhenASignalEndsTheWait) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGPIPE,
                           SIGXCPU, SIGVTALRM, SIGPROF, SIGSEGV, SIGABRT, SIGRTMIN + 3}) {
    TempDir dir;
    ProgramRun run = RunIn(dir.path());
    run.type_key_after_prompt = false;
    termios during = {};
    termios after = {};
    termios before = {};
    run.at_prompt = [&](TerminalChild& program) {
      before = program.initial_mode();
      (void)Eventually([&] { return (ModeOf(program).c_lflag & (ICANON | ECHO)) == 0; });
      tcgetattr(program.terminal(), &during);
      kill(program.pid(), signal);
      (void)Eventually([&] { return !program.Running(); });
      tcgetattr(program.terminal(), &after);
    };
    const ProgramResult result = RunProgram(run);
    EXPECT_EQ(result.ending.signal, signal) << "ends as the signal ends a process";
    EXPECT_EQ(during.c_lflag & (ICANON | ECHO), 0u) << "signal " << signal;
    EXPECT_TRUE(SameMode(after, before)) << "signal " << signal;
  }
}

// Ctrl-Z at the wait, as a shell's foreground job: stopped, the terminal is as it was before
// the run; continued, the wait goes on and a key ends it. Continued in the background (`bg`), it
// leaves the terminal to the shell, which has meanwhile set it as it likes, until `fg`.
TEST(KeyWait, AStopHandsTheTerminalBackAndTheWaitGoesOnAfterwards) {
  TempDir dir;
  ProgramRun run = RunIn(dir.path());
  run.child.job = TerminalChildOptions::Job::kForegroundJob;
  const auto in_wait_mode = [](const TerminalChild& program) {
    return Eventually([&] { return (ModeOf(program).c_lflag & ICANON) == 0; });
  };
  const auto stop = [&](const TerminalChild& program) {
    kill(program.pid(), SIGTSTP);
    return Eventually([&] { return Stopped(program.pid()); });
  };
  run.at_prompt = [&](TerminalChild& program) {
    ASSERT_TRUE(in_wait_mode(program));
    EXPECT_TRUE(stop(program)) << "Ctrl-Z stops a foreground job";
    EXPECT_TRUE(SameMode(ModeOf(program), program.initial_mode())) << "stopped in wait mode";
    kill(program.pid(), SIGCONT);
    EXPECT_TRUE(in_wait_mode(program)) << "continued in the foreground";

    ASSERT_TRUE(stop(program));
    program.SendToBackground();
    ASSERT_TRUE(Eventually([&] { return !InForeground(program.pid()); }));
    termios shell_mode = program.initial_mode();
    shell_mode.c_cc[VKILL] = 'K' & 0x1f;
    tcsetattr(program.terminal(), TCSANOW, &shell_mode);
    // Continued, it looks at once where it stands, then again five times a second: two wakeups
    // prove it has looked, and touched the terminal or not.
    const long wakeups = testing_support::Wakeups(program.pid());
    kill(program.pid(), SIGCONT);
    EXPECT_TRUE(Eventually([&] {
      return Stopped(program.pid()) || testing_support::Wakeups(program.pid()) >= wakeups + 2;
    }));
    EXPECT_TRUE(program.Running() && !Stopped(program.pid())) << "stopped again, by the terminal";
    EXPECT_TRUE(SameMode(ModeOf(program), shell_mode))
        << "changed the terminal from the background";
    tcsetattr(program.terminal(), TCSANOW, &program.initial_mode());  // as `fg` gives it back
    program.BringToForeground();
    EXPECT_TRUE(in_wait_mode(program)) << "brought to the foreground";
  };
  ExpectGoldenOutputs(dir.path(), RunProgram(run));
}

// A background job leaves the terminal and its keys to the foreground job, and sleeps; brought
// to the foreground it sees the key typed meanwhile, and leaves it unread.
TEST(KeyWait, InTheBackgroundItLeavesTheTerminalAloneUntilBroughtToTheForeground) {
  TempDir dir;
  ProgramRun run = RunIn(dir.path());
  run.child.job = TerminalChildOptions::Job::kBackgroundJob;
  run.type_key_after_prompt = false;
  bool still_waiting = false;
  bool mode_unchanged = false;
  milliseconds used{-1};
  run.at_prompt = [&](TerminalChild& program) {
    program.Type("x");
    used = ProcessorTimeWhileWaiting(program);
    still_waiting = program.Running();
    mode_unchanged = SameMode(ModeOf(program), program.initial_mode());
    program.BringToForeground();
  };
  const ProgramResult result = RunProgram(run);
  EXPECT_TRUE(still_waiting) << "a key typed for the foreground job ended the wait";
  EXPECT_TRUE(mode_unchanged) << "changed the foreground job's terminal";
  EXPECT_GE(used.count(), 0);
  EXPECT_LT(used, milliseconds(200)) << "waiting in the background spins";
  ExpectGoldenOutputs(dir.path(), result);
  EXPECT_EQ(result.left_on_terminal, "x");
}

// Started under nohup, a hang-up signal does not end the wait, but a terminal that hung up
// ends it: nobody can press a key any more.
TEST(KeyWait, UnderNohupAHungUpTerminalEndsTheWait) {
  TempDir dir;
  ProgramRun run = RunIn(dir.path());
  run.child.ignore_hangup = true;
  run.type_key_after_prompt = false;
  bool survived_the_signal = false;
  run.at_prompt = [&](TerminalChild& program) {
    // Ignored, the signal is dropped as it is sent: nothing can follow from it. An emulator
    // keeps the program's dispositions to itself; there the status after the hang-up below,
    // which brings the same signal, tells whether it ends the program.
    const bool emulated = !testing_support::ProgramLauncher().empty();
    const bool ignored = emulated || testing_support::IgnoresSignal(program.pid(), SIGHUP);
    kill(program.pid(), SIGHUP);
    survived_the_signal = ignored && program.Running();
    program.HangUp();
  };
  const ProgramResult result = RunProgram(run);
  EXPECT_TRUE(survived_the_signal);
  ExpectGoldenFiles(dir.path(), result);
}

}  // namespace
