// Stopping a long computation from another thread: the caller's stop token, polled once a step
// in the long loops, and the exception that ends the computation where a poll finds the stop
// asked for. A default token never stops: its poll is a test of a null pointer, a stoppable
// one's an atomic load, nothing beside a step's MPFR or Arb operations.
#pragma once

#include <exception>

#if __has_include(<stop_token>)
#include <stop_token>
using StopToken = std::stop_token;
#else
// A C++ library without std::stop_token (Emscripten's, for WebAssembly, where the laboratory
// runs on one thread and is stopped by ending its worker): a token that is never asked to stop.
class StopToken {
 public:
  bool stop_requested() const noexcept { return false; }
};
#endif

// Thrown by StopIfAsked: what the computation was filling is incomplete, and is to be dropped.
class Stopped : public std::exception {
 public:
  const char* what() const noexcept override { return "stopped"; }
};

inline void StopIfAsked(const StopToken& stop) {
  if (stop.stop_requested()) throw Stopped();
}
