// The data file and the gnuplot script, and running gnuplot on it.
#include "plot/drawing.hpp"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <system_error>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr const char* kColours[3] = {"#1f77b4", "#d62728", "#2ca02c"};

std::string Scientific(double x) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6e", x);
  return text;
}

// Single quotes for gnuplot: a quote inside is doubled.
std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return quoted + "'";
}

std::string Script(const fs::path& data, const fs::path& svg, const fs::path& png,
                   const AllSeries& series) {
  std::ostringstream plot;
  plot << "plot ";
  for (size_t i = 0; i < series.size(); ++i) {
    const std::string colour = Quoted(kColours[i]);
    const size_t measured_column = 2 + 2 * i;
    plot << Quoted(data.string()) << " using 1:" << measured_column
         << " with points pt 7 ps 1.3 lc rgb " << colour << " title "
         << Quoted(series[i].label + ", measured")
         << ", \\\n     '' using 1:" << measured_column + 1 << " with lines dt 2 lw 2 lc rgb "
         << colour << " title " << Quoted("predicted") << ", \\\n     ";
  }
  plot << "1 with lines dt 3 lw 1.5 lc rgb 'black' title 'relative error 1: every digit lost'\n";

  std::ostringstream script;
  script << "set encoding utf8\n"
            "set title 'Forward recurrence J_{m+1} = 2m J_m - J_{m-1} at x = 1: "
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
            "set terminal svg size 900,600 enhanced font 'Sans,12' background rgb 'white'\n"
         << "set output " << Quoted(svg.string()) << "\n"
         << plot.str()
         << "set terminal pngcairo size 900,600 enhanced font 'Sans,10' background rgb "
            "'white'\n"
         << "set output " << Quoted(png.string()) << "\n"
         << "replot\n"
         << "unset output\n";
  return script.str();
}

// Runs gnuplot, found in PATH by the C library, on a script file, without a shell.
Drawn RunGnuplot(const fs::path& script) {
  char name[] = "gnuplot";
  std::string argument = script.string();
  char* argv[] = {name, argument.data(), nullptr};
  pid_t pid = -1;
  const int error = posix_spawnp(&pid, name, nullptr, nullptr, argv, environ);
  if (error == ENOENT) return Drawn::kNoGnuplot;
  if (error != 0) return Drawn::kGnuplotFailed;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return Drawn::kGnuplotFailed;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? Drawn::kDone : Drawn::kGnuplotFailed;
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
  for (int row = 0; row < kRecurrenceRows; ++row) {
    text += std::to_string(kFirstRecurrenceOrder + row);
    for (const ErrorSeries& s : series) {
      text += " " + Scientific(s.measured[static_cast<size_t>(row)]) + " " +
              Scientific(s.predicted[static_cast<size_t>(row)]);
    }
    text += "\n";
  }
  return text;
}

bool WriteAtomically(const fs::path& path, const std::string& bytes) {
  fs::path temporary = path;
  temporary += ".tmp-" + std::to_string(getpid());
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    if (!out) {
      const int error = errno;
      std::error_code ignored;
      fs::remove(temporary, ignored);
      errno = error != 0 ? error : EIO;
      return false;
    }
  }
  std::error_code renamed;
  fs::rename(temporary, path, renamed);
  if (renamed) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    errno = renamed.value();
    return false;
  }
  return true;
}

Drawn DrawPictures(const fs::path& directory, const AllSeries& series) {
  const std::string suffix = ".tmp-" + std::to_string(getpid());
  const fs::path svg = directory / "bess-errors.svg";
  const fs::path png = directory / "bess-errors.png";
  fs::path svg_temporary = svg, png_temporary = png, script = directory / "bess-errors.gp";
  svg_temporary += suffix;
  png_temporary += suffix;
  script += suffix;
  Drawn drawn = Drawn::kGnuplotFailed;
  if (WriteAtomically(
          script, Script(directory / "bess-errors.dat", svg_temporary, png_temporary, series))) {
    drawn = RunGnuplot(script);
  }
  std::error_code ignored;
  fs::remove(script, ignored);
  if (drawn == Drawn::kDone) {
    std::error_code svg_renamed, png_renamed;
    fs::rename(svg_temporary, svg, svg_renamed);
    fs::rename(png_temporary, png, png_renamed);
    if (!svg_renamed && !png_renamed) return Drawn::kDone;
    drawn = Drawn::kGnuplotFailed;
  }
  fs::remove(svg_temporary, ignored);
  fs::remove(png_temporary, ignored);
  return drawn;
}
