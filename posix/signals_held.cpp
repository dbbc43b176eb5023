// Signals held back with the process's signal mask.
#include "posix/signals_held.hpp"

SignalsHeld::SignalsHeld(std::span<const int> signals) {
  sigset_t held;
  sigemptyset(&held);
  for (const int signal : signals) sigaddset(&held, signal);
  sigprocmask(SIG_BLOCK, &held, &before_);
}

SignalsHeld::~SignalsHeld() {
  sigprocmask(SIG_SETMASK, &before_, nullptr);
}
