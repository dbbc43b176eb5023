#include "web/compute_lane.hpp"

ComputeLane::ComputeLane(size_t workers, size_t queue_limit) : queue_limit_(queue_limit) {
  for (size_t i = 0; i < workers; ++i) workers_.emplace_back([this] { Work(); });
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

void ComputeLane::Work() {
  for (;;) {
    std::function<void()> job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (stopping_) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    job();
  }
}
