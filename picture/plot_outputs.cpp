// The data and the two pictures, written as every output is.
#include "picture/plot_outputs.hpp"

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "atomic_files/output_files.hpp"
#include "cli/messages.hpp"

namespace {

// The three outputs' names, in the order they are written.
std::vector<std::string> OutputNames(const std::string& base) {
  return {base + ".dat", base + ".svg", base + ".png"};
}

}  // namespace

std::string UnreplaceableOutputs(int directory_fd, const std::string& base) {
  return UnreplaceableNames(directory_fd, OutputNames(base));
}

int WriteDataAndPictures(std::string_view program, int directory_fd, const std::string& base,
                         const std::string& data, const PlotScriptFor& script) {
  const std::vector<std::string> names = OutputNames(base);
  const std::string &data_name = names[0], &svg = names[1], &png = names[2];
  const std::string written = " (" + Printable(data_name) + " is written)";
  const std::string refusal = UnreplaceableOutputs(directory_fd, base);
  if (!refusal.empty()) return Failure(program, kExitFailure, refusal);
  if (!WriteAtomically(directory_fd, data_name, data)) {
    const std::string reason = std::strerror(errno);
    return Failure(program, kExitFailure, "cannot write " + Printable(data_name) + ": " + reason);
  }
  const Pictures pictures = DrawPictures(script);
  if (pictures.drawn == Drawn::kNoGnuplot) {
    return Failure(
        program, kExitNoPicture,
        "gnuplot is not installed; install the package gnuplot-nox to draw the pictures" + written);
  }
  if (pictures.drawn != Drawn::kDone) {
    return Failure(program, kExitNoPicture,
                   "the pictures could not be drawn: " + pictures.failure + written);
  }
  for (const auto& [name, bytes] :
       {std::pair{&svg, &pictures.svg}, std::pair{&png, &pictures.png}}) {
    if (!WriteAtomically(directory_fd, *name, *bytes)) {
      const std::string reason = std::strerror(errno);
      return Failure(program, kExitFailure,
                     "cannot write " + Printable(*name) + ": " + reason + written);
    }
  }
  return kExitSuccess;
}
