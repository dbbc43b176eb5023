// Signals held back while a guard lives: one that comes meanwhile arrives when the guard ends,
// and the mask the guard replaced is the one put back.
#include "posix/signals_held.hpp"

#include <gtest/gtest.h>

#include <csignal>

namespace {

volatile sig_atomic_t arrivals = 0;

void Count(int) {
  arrivals = arrivals + 1;
}

bool Blocked(int signal) {
  sigset_t now;
  sigprocmask(SIG_BLOCK, nullptr, &now);
  return sigismember(&now, signal) == 1;
}

// SIGUSR1 and SIGUSR2 counted while a test runs.
class SignalsHeldTest : public testing::Test {
 protected:
  void SetUp() override {
    arrivals = 0;
    previous_usr1_ = std::signal(SIGUSR1, Count);
    previous_usr2_ = std::signal(SIGUSR2, Count);
  }
  void TearDown() override {
    std::signal(SIGUSR1, previous_usr1_);
    std::signal(SIGUSR2, previous_usr2_);
  }

 private:
  void (*previous_usr1_)(int) = SIG_DFL;
  void (*previous_usr2_)(int) = SIG_DFL;
};

TEST_F(SignalsHeldTest, ASignalThatComesArrivesWhenTheGuardEnds) {
  {
    const SignalsHeld held(SIGUSR1);
    raise(SIGUSR1);
    EXPECT_EQ(arrivals, 0);
    EXPECT_TRUE(Blocked(SIGUSR1));
  }
  EXPECT_EQ(arrivals, 1);
  EXPECT_FALSE(Blocked(SIGUSR1));
}

TEST_F(SignalsHeldTest, HoldsEverySignalOfAList) {
  constexpr int kSignals[] = {SIGUSR1, SIGUSR2};
  {
    const SignalsHeld held(kSignals);
    EXPECT_TRUE(Blocked(SIGUSR1));
    EXPECT_TRUE(Blocked(SIGUSR2));
    raise(SIGUSR2);
    EXPECT_EQ(arrivals, 0);
  }
  EXPECT_EQ(arrivals, 1);
  EXPECT_FALSE(Blocked(SIGUSR1));
  EXPECT_FALSE(Blocked(SIGUSR2));
}

TEST_F(SignalsHeldTest, BeforeIsTheMaskItReplaced) {
  const SignalsHeld outer(SIGUSR1);
  {
    const SignalsHeld inner(SIGUSR2);
    EXPECT_EQ(sigismember(&inner.before(), SIGUSR1), 1);
    EXPECT_EQ(sigismember(&inner.before(), SIGUSR2), 0);
  }
  EXPECT_TRUE(Blocked(SIGUSR1));  // the outer guard's, put back by the inner one
  EXPECT_FALSE(Blocked(SIGUSR2));
}

}  // namespace
