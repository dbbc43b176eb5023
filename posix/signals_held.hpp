// Signals held back for as long as a guard lives.
#pragma once

#include <signal.h>

#include <span>

// Holds `signals` back for as long as it lives: one that comes meanwhile stays pending and
// arrives when the mask it replaced, `before()`, is put back.
class SignalsHeld {
 public:
  explicit SignalsHeld(std::span<const int> signals);
  explicit SignalsHeld(int signal) : SignalsHeld(std::span(&signal, 1)) {}
  ~SignalsHeld();
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;
  const sigset_t& before() const { return before_; }

 private:
  sigset_t before_;
};
