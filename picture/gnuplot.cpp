// gnuplot started safely: found in PATH, without a shell, its init files or its variables, on a
// script of our own on an unnamed file, its picture read back from another.
#include "picture/gnuplot.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "atomic_files/ending.hpp"

extern char** environ;

namespace {

// Beyond any picture of the largest command line (about 21 MB: seven formats, 100000 orders).
constexpr long kMaxPictureBytes = 32L << 20;
constexpr const char* kTemporaryDirectory = P_tmpdir;  // where std::tmpfile makes its files

// "... in /tmp: REASON", for a failure with the unnamed temporary files; what to do when it is
// space that ran out.
std::string InTemporaryDirectory(const char* what) {
  const int error = errno;
  const bool space = error == ENOSPC || error == EDQUOT || error == EFBIG;
  return std::string(what) + " in " + kTemporaryDirectory + ": " + std::strerror(error) +
         (space ? "; free some space there" : "");
}

bool CompleteSvg(std::string_view svg) {
  const size_t end = svg.find_last_not_of(" \t\r\n");
  return end != std::string_view::npos && svg.substr(0, end + 1).ends_with("</svg>");
}

bool CompletePng(std::string_view png) {
  using namespace std::string_view_literals;
  return png.starts_with("\x89PNG\r\n\x1a\n"sv) && png.ends_with("\0\0\0\0IEND\xae\x42\x60\x82"sv);
}

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// The environment without GNUPLOT_* variables (library paths, drivers), which would let
// whoever set them change what gnuplot loads.
std::vector<char*> GnuplotEnvironment() {
  std::vector<char*> kept;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (!std::string_view(*entry).starts_with("GNUPLOT_")) kept.push_back(*entry);
  }
  kept.push_back(nullptr);
  return kept;
}

// gnuplot started on the script in `input`, writing to `output`, as the running helper: its
// process id, or 0 with posix_spawnp's error in `error`. Started and made the running helper
// with the ending signals held, so that an ending never misses it; gnuplot itself starts with
// the signals as they were.
pid_t StartGnuplot(int input, int output, int& error) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
  // Read as a file, not as typed input: gnuplot then stops at the first error.
  char name[] = "gnuplot", defaults[] = "--default-settings", from_input[] = "/dev/stdin";
  char* argv[] = {name, defaults, from_input, nullptr};
  std::vector<char*> environment = GnuplotEnvironment();
  pid_t pid = 0;
  const EndingSignalsHeld held;
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setsigmask(&attributes, &held.before());
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  error = posix_spawnp(&pid, name, &actions, &attributes, argv, environment.data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) return 0;
  SetRunningHelper(pid);
  return pid;
}

// How gnuplot ended: "" when it succeeded, else what failed (kNoGnuplot in `drawn` where it
// could not be run at all). Its end is awaited, then it is no longer the running helper, and
// only then reaped: its process id cannot be another's while an ending may still signal it.
std::string AwaitGnuplot(pid_t pid, Drawn& drawn) {
  siginfo_t ended = {};
  while (waitid(P_PID, static_cast<id_t>(pid), &ended, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
  }
  {
    const EndingSignalsHeld held;
    ClearRunningHelper();
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return std::string("lost gnuplot: ") + std::strerror(errno);
  }
  if (WIFSIGNALED(status)) {
    return "gnuplot was ended by signal " + std::to_string(WTERMSIG(status)) + " (" +
           strsignal(WTERMSIG(status)) + ")";
  }
  // 127: the program could not be run at all, as a shell says it (and as an emulator's
  // posix_spawnp reports a program that is not there).
  if (WIFEXITED(status) && WEXITSTATUS(status) == 127) {
    drawn = Drawn::kNoGnuplot;
    return "gnuplot could not be run";
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return "gnuplot failed with status " + std::to_string(WEXITSTATUS(status)) +
           " (its own message is above)";
  }
  return "";
}

// What gnuplot wrote into `output`, at most kMaxPictureBytes, or why there is nothing.
std::string ReadPicture(FILE* output, std::string& picture) {
  errno = 0;
  const long size = std::fseek(output, 0, SEEK_END) == 0 ? std::ftell(output) : -1;
  if (size > kMaxPictureBytes) {
    return "gnuplot's picture is larger than " + std::to_string(kMaxPictureBytes >> 20) +
           " MiB; ask for fewer orders or formats";
  }
  if (size >= 0 && std::fseek(output, 0, SEEK_SET) == 0) {
    picture.resize(static_cast<size_t>(size));
    if (std::fread(picture.data(), 1, picture.size(), output) == picture.size()) return "";
  }
  return InTemporaryDirectory("cannot read gnuplot's picture");
}

}  // namespace

GnuplotRun RunGnuplot(const std::string& script) {
  GnuplotRun run;
  auto failed = [&run](std::string failure) {
    run.failure = std::move(failure);
    return run;
  };
  // Unnamed files, created exclusively by the C library: nothing to swap or plant.
  errno = 0;
  const File input(std::tmpfile());
  const File output(std::tmpfile());
  if (!input || !output) return failed(InTemporaryDirectory("cannot make gnuplot's files"));
  // Only their copies on standard input and output reach gnuplot.
  for (const File* file : {&input, &output}) fcntl(fileno(file->get()), F_SETFD, FD_CLOEXEC);
  if (std::fwrite(script.data(), 1, script.size(), input.get()) != script.size() ||
      std::fflush(input.get()) != 0 || std::fseek(input.get(), 0, SEEK_SET) != 0) {
    return failed(InTemporaryDirectory("cannot write gnuplot's script"));
  }
  int error = 0;
  const pid_t pid = StartGnuplot(fileno(input.get()), fileno(output.get()), error);
  if (pid == 0) {
    run.drawn = error == ENOENT ? Drawn::kNoGnuplot : Drawn::kGnuplotFailed;
    return failed(std::string("cannot start gnuplot: ") + std::strerror(error));
  }
  std::string failure = AwaitGnuplot(pid, run.drawn);
  if (failure.empty()) failure = ReadPicture(output.get(), run.output);
  if (!failure.empty()) return failed(std::move(failure));
  run.drawn = Drawn::kDone;
  return run;
}

std::string OrderIsX(const std::string& x) {
  return "set arrow from " + x + ", graph 0 to " + x +
         ", graph 1 nohead dt 4 lw 3 lc rgb '#555555'\n"
         "set label 'm = x' at " +
         x +
         ", graph 0.96 offset 0.6, 0 front boxed tc rgb '#555555'\n"
         "set style textbox opaque noborder margins 1, 1\n";
}

std::string EveryDigitLostLabel(const std::string& m, bool at_right, bool above) {
  return "set label 'every digit lost' at " + m + ", first 1 " + (at_right ? "right" : "left") +
         " offset " + (at_right ? "-0.5" : "0.5") + ", " + (above ? "0.8" : "-0.8") +
         " front tc rgb '#000000'\n";
}

std::string OrderTics(long last) {
  long step = 1;
  for (long decade = 1; last / step > 12; decade *= 10) {
    for (const long times : {1, 2, 5}) {
      step = times * decade;
      if (last / step <= 12) break;
    }
  }
  // A minor tic at each order where there are at most 10 between major ones.
  return "set xtics 0, " + std::to_string(step) + "\n" +
         (step > 1 && step <= 10 ? "set mxtics " + std::to_string(step) : "unset mxtics") + "\n";
}

const char* FormatColour(std::string_view format) {
  static constexpr std::pair<std::string_view, const char*> kColours[] = {
      {"binary16", "#d55e00"}, {"bfloat16", "#cc79a7"}, {"binary32", "#c48a00"},
      {"binary64", "#0072b2"}, {"x87", "#009e73"},      {"binary128", "#7b3fb0"},
      {"binary256", "#4d4d4d"}};
  for (const auto& [name, colour] : kColours) {
    if (name == format) return colour;
  }
  return "#888888";
}

std::string PointSize(double size) {
  char text[16];
  std::snprintf(text, sizeof text, "ps %.3g", size);
  return text;
}

std::string NestedPoints(size_t i, size_t n) {
  // Open circle, square, diamond, pentagon and downward triangle, a cross, a plus: none the
  // upward triangle that marks a value beyond the range.
  static constexpr int kShapes[] = {6, 4, 12, 14, 10, 2, 1};
  return "pt " + std::to_string(kShapes[i % 7]) + " " +
         PointSize(1.2 + 0.25 * static_cast<double>(n - 1 - i)) + " lw 2";
}

std::string NestedWidth(size_t i, size_t n) {
  char text[16];
  const double width =
      n < 2 ? 3 : 2.5 + 2 * static_cast<double>(n - 1 - i) / static_cast<double>(n - 1);
  std::snprintf(text, sizeof text, "lw %.2g", width);
  return text;
}

Pictures DrawPictures(const PlotScriptFor& script) {
  const auto failed = [](Drawn drawn, std::string failure) {
    return Pictures{drawn, "", "", std::move(failure)};
  };
  GnuplotRun svg = RunGnuplot(script(kSvgTerminal));
  if (svg.drawn != Drawn::kDone) return failed(svg.drawn, std::move(svg.failure));
  // A picture cut short: gnuplot could not write it all, yet said nothing.
  const std::string incomplete = std::string(" picture is incomplete; is ") + kTemporaryDirectory +
                                 " full, or a file-size limit set?";
  if (!CompleteSvg(svg.output)) return failed(Drawn::kGnuplotFailed, "the SVG" + incomplete);
  GnuplotRun png = RunGnuplot(script(kPngTerminal));
  if (png.drawn != Drawn::kDone) return failed(png.drawn, std::move(png.failure));
  if (!CompletePng(png.output)) return failed(Drawn::kGnuplotFailed, "the PNG" + incomplete);
  return {Drawn::kDone, std::move(svg.output), std::move(png.output), ""};
}
