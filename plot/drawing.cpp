// The data file and the gnuplot script, and running gnuplot on it.
#include "plot/drawing.hpp"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <string_view>
#include <vector>

#include "plot/output_files.hpp"

extern char** environ;

namespace {

constexpr const char* kColours[3] = {"#1f77b4", "#d62728", "#2ca02c"};
constexpr long kMaxPictureBytes = 32L << 20;  // far beyond any picture of this size

std::string Scientific(double x) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6e", x);
  return text;
}

// Single quotes for gnuplot: a quote inside is doubled. Only the program's own labels are
// quoted; no name from outside ever reaches a script.
std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return quoted + "'";
}

// The script for one picture; `terminal` is a gnuplot terminal with its options. The numbers
// travel inside the script, as a data block, so gnuplot reads no file.
}  // namespace

std::string SeriesScript(const AllSeries& series, const std::string& terminal) {
  std::ostringstream script;
  script << "$errors << EOD\n" << DataText(series) << "EOD\n";
  script << "set title 'Forward recurrence J_{m+1} = 2m J_m - J_{m-1} at x = 1: "
            "error growth by seed precision'\n"
            "set xlabel 'order m'\n"
            "set ylabel '|relative error| of the recurrence value'\n"
            "set logscale y\n"
            "set format y '10^{%L}'\n"
            "set xrange [1.5:10.5]\n"
            "set xtics 2, 1, 10\n"
            "set yrange [1e-36:1e12]\n"
            "set ytics 1e-36, 1e6, 1e12\n"
            "set grid ytics xtics lc rgb '#dddddd'\n"
            "set key inside right bottom vertical Left reverse spacing 1.2 opaque\n"
         << "set terminal " << terminal << "\n"
         << "plot ";
  for (size_t i = 0; i < series.size(); ++i) {
    const std::string colour = Quoted(kColours[i]);
    const size_t measured_column = 2 + 2 * i;
    script << "$errors using 1:" << measured_column << " with points pt 7 ps 1.3 lc rgb " << colour
           << " title " << Quoted(series[i].label + ", measured")
           << ", \\\n     $errors using 1:" << measured_column + 1
           << " with lines dt 2 lw 2 lc rgb " << colour << " title " << Quoted("predicted")
           << ", \\\n     ";
  }
  script << "1 with lines dt 3 lw 1.5 lc rgb 'black' title 'relative error 1: every digit lost'\n"
         << "unset output\n";
  return script.str();
}

namespace {

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

}  // namespace

std::string DataText(const AllSeries& series) {
  std::string text =
      "# |relative error| of the forward recurrence for J_m(1), measured (read from the result\n"
      "# files) and predicted (from the exact errors of the seeds, carried by J_m and Y_m)\n"
      "# m";
  for (const ErrorSeries& s : series) {
    const std::string digits = s.label.substr(0, s.label.find(' '));
    text += "  measured_" + digits + "  predicted_" + digits;
  }
  text += "\n";
  for (int row = 0; row < kRecurrenceLines; ++row) {
    text += std::to_string(kFirstRecurrenceOrder + row);
    for (const ErrorSeries& s : series) {
      text += " " + Scientific(s.measured[static_cast<size_t>(row)]) + " " +
              Scientific(s.predicted[static_cast<size_t>(row)]);
    }
    text += "\n";
  }
  return text;
}

GnuplotRun RunGnuplot(const std::string& script) {
  GnuplotRun run;
  // Unnamed files, created exclusively by the C library: nothing to swap or plant.
  const File input(std::tmpfile());
  const File output(std::tmpfile());
  if (!input || !output ||
      std::fwrite(script.data(), 1, script.size(), input.get()) != script.size() ||
      std::fflush(input.get()) != 0 || std::fseek(input.get(), 0, SEEK_SET) != 0) {
    return run;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fileno(input.get()), STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, fileno(output.get()), STDOUT_FILENO);
  // Read as a file, not as typed input: gnuplot then stops at the first error.
  char name[] = "gnuplot", defaults[] = "--default-settings", from_input[] = "/dev/stdin";
  char* argv[] = {name, defaults, from_input, nullptr};
  std::vector<char*> environment = GnuplotEnvironment();
  pid_t pid = -1;
  const int error = posix_spawnp(&pid, name, &actions, nullptr, argv, environment.data());
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    run.drawn = error == ENOENT ? Drawn::kNoGnuplot : Drawn::kGnuplotFailed;
    return run;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return run;
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return run;

  if (std::fseek(output.get(), 0, SEEK_END) != 0) return run;
  const long size = std::ftell(output.get());
  if (size < 0 || size > kMaxPictureBytes || std::fseek(output.get(), 0, SEEK_SET) != 0) {
    return run;
  }
  run.output.resize(static_cast<size_t>(size));
  if (std::fread(run.output.data(), 1, run.output.size(), output.get()) != run.output.size()) {
    return run;
  }
  run.drawn = Drawn::kDone;
  return run;
}

Pictures DrawPictures(const PlotScriptFor& script) {
  Pictures pictures;
  GnuplotRun svg =
      RunGnuplot(script("svg size 900,600 enhanced font 'Sans,12' background rgb 'white'"));
  if (svg.drawn != Drawn::kDone) {
    pictures.drawn = svg.drawn;
    return pictures;
  }
  GnuplotRun png =
      RunGnuplot(script("pngcairo size 900,600 enhanced font 'Sans,10' background rgb 'white'"));
  if (png.drawn != Drawn::kDone || !CompleteSvg(svg.output) || !CompletePng(png.output)) {
    pictures.drawn = png.drawn == Drawn::kNoGnuplot ? Drawn::kNoGnuplot : Drawn::kGnuplotFailed;
    return pictures;
  }
  pictures = {Drawn::kDone, std::move(svg.output), std::move(png.output)};
  return pictures;
}

WriteOutcome WriteDataAndPictures(int directory_fd, const std::string& base,
                                  const std::string& data, const PlotScriptFor& script) {
  const std::string data_name = base + ".dat", svg = base + ".svg", png = base + ".png";
  const std::string written = " (" + Printable(data_name) + " is written)";
  auto failure = [](Written why, std::string complaint) {
    return WriteOutcome{why, std::move(complaint)};
  };
  for (const std::string& name : {data_name, svg, png}) {
    if (!Replaceable(directory_fd, name)) {
      return failure(Written::kFailed,
                     Printable(name) + " exists and is not a regular file; it is left alone");
    }
  }
  if (!WriteAtomically(directory_fd, data_name, data)) {
    return failure(Written::kFailed,
                   "cannot write " + Printable(data_name) + ": " + std::strerror(errno));
  }
  const Pictures pictures = DrawPictures(script);
  if (pictures.drawn == Drawn::kNoGnuplot) {
    return failure(Written::kNoPicture,
                   "gnuplot is not installed; install the package gnuplot-nox to draw the "
                   "pictures" +
                       written);
  }
  if (pictures.drawn != Drawn::kDone) {
    return failure(Written::kNoPicture, "gnuplot could not draw the pictures" + written);
  }
  for (const auto& [name, bytes] :
       {std::pair{&svg, &pictures.svg}, std::pair{&png, &pictures.png}}) {
    if (!WriteAtomically(directory_fd, *name, *bytes)) {
      return failure(Written::kFailed,
                     "cannot write " + Printable(*name) + ": " + std::strerror(errno) + written);
    }
  }
  return {};
}
