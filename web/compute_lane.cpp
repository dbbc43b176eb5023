#include "web/compute_lane.hpp"

#include <sys/resource.h>
#include <unistd.h>

#include "numeric/arb_ball.hpp"

ComputeLane::ComputeLane(size_t workers, size_t queue_limit, int nice) : queue_limit_(queue_limit) {
  for (size_t i = 0; i < workers; ++i) workers_.emplace_back([this, nice] { Work(nice); });
}

ComputeLane::~ComputeLane() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    jobs_.clear();
  }
  wake_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

bool ComputeLane::TryPost(std::function<void()> job) {
  {
    const std::lock_guard lock(mutex_);
    if (stopping_ || jobs_.size() >= queue_limit_) return false;
    jobs_.push_back(std::move(job));
  }
  wake_.notify_one();
  return true;
}

void ComputeLane::Work(int nice) {
  // Where it cannot be lowered, the worker runs at the process's priority all the same.
  if (nice != 0) setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), nice);
  for (;;) {
    std::function<void()> job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (stopping_) break;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    job();
  }
  ReleaseThreadCaches();  // what the experiments left in this thread's caches
}
