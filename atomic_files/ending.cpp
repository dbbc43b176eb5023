// The early endings: the state they undo, the signals' handler, and the end for lack of memory.
#include "atomic_files/ending.hpp"

#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>

#include "runtime/file_io.hpp"

namespace {

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile sig_atomic_t pending_directory = -1;
char pending_name[NAME_MAX + 1];
volatile sig_atomic_t running_helper = -1;

// "PROGRAM: out of memory; ADVICE\n", made before it may be needed.
char memory_line[512];
size_t memory_line_length = 0;

// Removes the temporary being written and ends gnuplot. Async-signal-safe.
void Undo() {
  if (pending_directory >= 0) unlinkat(pending_directory, pending_name, 0);
  if (running_helper > 0) kill(static_cast<pid_t>(running_helper), SIGTERM);
}

extern "C" void UndoAndEnd(int signal) {
  Undo();
  // The handler has been reset to the default on entry, and the signal is not blocked in it:
  // raised again, it ends the process as it would have without the handler.
  raise(signal);
}

}  // namespace

void ProtectOutputs(std::string_view program, std::string_view memory_advice) {
  std::string_view parts[] = {program, ": out of memory; ", memory_advice, "\n"};
  // Cut, if it must be, before its line end, which it always keeps.
  memory_line_length = 0;
  for (const std::string_view part : parts) {
    const size_t taken = std::min(part.size(), sizeof memory_line - 1 - memory_line_length);
    std::memcpy(memory_line + memory_line_length, part.data(), taken);
    memory_line_length += taken;
  }
  if (memory_line[memory_line_length - 1] != '\n') memory_line[memory_line_length++] = '\n';
  std::signal(SIGXFSZ, SIG_IGN);  // the write then fails with EFBIG
  // Inherited as ignored, SIGCHLD would let gnuplot be reaped unseen, its status lost.
  std::signal(SIGCHLD, SIG_DFL);
  for (const int signal : kEndingSignals) {
    struct sigaction now, action = {};
    // Ignored from the start (nohup, a background job without job control): left so.
    if (sigaction(signal, nullptr, &now) != 0 || now.sa_handler == SIG_IGN) continue;
    action.sa_handler = UndoAndEnd;
    action.sa_flags = SA_RESETHAND | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    for (const int other : kEndingSignals) {
      if (other != signal) sigaddset(&action.sa_mask, other);
    }
    sigaction(signal, &action, nullptr);
  }
}

void EndForLackOfMemory() {
  {
    const EndingSignalsHeld held;
    Undo();
  }
  WriteDiagnostic(std::string_view(memory_line, memory_line_length));
  _exit(1);
}

EndingSignalsHeld::EndingSignalsHeld() : SignalsHeld(kEndingSignals) {}

void SetPendingTemporary(int directory_fd, const std::string& name) {
  const size_t length = std::min(name.size(), sizeof pending_name - 1);
  name.copy(pending_name, length);
  pending_name[length] = '\0';
  pending_directory = directory_fd;
}

void ClearPendingTemporary() {
  pending_directory = -1;
}

void SetRunningHelper(pid_t pid) {
  running_helper = static_cast<sig_atomic_t>(pid);
}

void ClearRunningHelper() {
  running_helper = -1;
}
