// A fixed stack of the names of the active routines.
#include "traceback/traceback.hpp"

#include <algorithm>
#include <array>

namespace {
constexpr int kDepth = 32;
std::array<const char*, kDepth> active_names;
int active_count = 0;
}  // namespace

ActiveRoutine::ActiveRoutine(const char* name) {
  if (active_count < kDepth) active_names[static_cast<size_t>(active_count)] = name;
  ++active_count;
}

ActiveRoutine::~ActiveRoutine() {
  --active_count;
}

std::string Traceback() {
  std::string text = "traceback (innermost first):\n";
  for (int i = std::min(active_count, kDepth) - 1; i >= 0; --i) {
    text += "  ";
    text += active_names[static_cast<size_t>(i)];
    text += '\n';
  }
  return text;
}
