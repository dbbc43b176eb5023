// Stopping a long computation from another thread: the caller's std::stop_token, polled once a
// step in the long loops, and the exception that ends the computation where a poll finds the
// stop asked for. A default token never stops: its poll is a test of a null pointer, a stoppable
// one's an atomic load, nothing beside a step's MPFR or Arb operations.
#pragma once

#include <exception>
#include <stop_token>

// Thrown by StopIfAsked: what the computation was filling is incomplete, and is to be dropped.
class Stopped : public std::exception {
 public:
  const char* what() const noexcept override { return "stopped"; }
};

inline void StopIfAsked(const std::stop_token& stop) {
  if (stop.stop_requested()) throw Stopped();
}
