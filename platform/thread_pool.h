#pragma once
// Background work on the system thread pool. Every task tells the pool it
// may run long, so the pool adds a thread rather than queue a short task
// (a server probe) behind a long one (a download).
#include <functional>
#include <memory>

namespace lk {

// Starts fn on the pool and forgets it. An exception escaping fn is
// swallowed (a pool thread has nobody to report to). Throws Error when the
// pool refuses the task.
void RunInBackground(std::function<void()> fn);

// A task somebody waits for: started on the pool at construction; Wait
// blocks until fn has returned and rethrows what escaped it.
class BackgroundTask {
 public:
  explicit BackgroundTask(std::function<void()> fn);
  // Waits for the task: its closure may refer to the owner's state.
  ~BackgroundTask();
  BackgroundTask(const BackgroundTask&) = delete;
  BackgroundTask& operator=(const BackgroundTask&) = delete;

  void Wait();
  // True when fn has returned (whether or not Wait was called).
  bool Finished() const;
  // Waits up to timeout_ms; true when the task has finished.
  bool WaitFor(unsigned timeout_ms);

 private:
  struct State;
  std::shared_ptr<State> state_;
  bool rethrown_ = false;
};

}  // namespace lk
