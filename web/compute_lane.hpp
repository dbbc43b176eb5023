// A fixed number of worker threads taking jobs from a bounded queue: a job that finds the queue
// full is refused at once, so that a burst of requests is shed instead of growing the queue. A
// lane's workers may run at a lower priority (a higher nice value, Linux's per thread), so that
// another lane's take the processors first. The jobs are experiments: each worker gives FLINT's
// caches of its thread back as it ends.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class ComputeLane {
 public:
  ComputeLane(size_t workers, size_t queue_limit, int nice = 0);
  ~ComputeLane();  // finishes the jobs running, drops those waiting
  ComputeLane(const ComputeLane&) = delete;
  ComputeLane& operator=(const ComputeLane&) = delete;

  // False, and `job` dropped, when the queue already holds queue_limit jobs.
  bool TryPost(std::function<void()> job);

 private:
  void Work(int nice);

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  size_t queue_limit_;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};
