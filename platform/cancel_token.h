#pragma once
// One cancellation for one piece of work (an update run). Whoever blocks on
// its behalf — an HTTP request, a pause between retries, a wait for the UI
// thread — registers for the time it blocks, so a cancel ends every such
// wait at once instead of being noticed by polling.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/error.h"

namespace lk {

// Thrown where cancelled work unwinds.
class CancelledError : public Error {
 public:
  CancelledError() : Error("cancelled") {}
};

// Shared by a token and its registrations.
struct CancelTokenState {
  std::atomic<bool> cancelled{false};
  std::mutex mutex;
  std::condition_variable woken;
  std::map<std::uint64_t, std::function<void()>> callbacks;
  std::uint64_t next_id = 1;
  // Held while Cancel runs the callbacks; a Registration going away takes
  // it too, so it never leaves while its callback still runs. Recursive: a
  // callback may drop a registration itself.
  std::recursive_mutex running;
};

class CancelToken {
 public:
  CancelToken() : state_(std::make_shared<State>()) {}
  CancelToken(const CancelToken&) = delete;
  CancelToken& operator=(const CancelToken&) = delete;

  // From any thread; idempotent. Runs every registered callback once, on
  // this thread, before it returns.
  void Cancel();
  bool Cancelled() const noexcept { return state_->cancelled.load(); }
  void ThrowIfCancelled() const {
    if (Cancelled()) throw CancelledError();
  }
  // Sleeps for timeout or until cancelled; true when cancelled.
  bool WaitFor(std::chrono::milliseconds timeout) const;

  // Keeps a callback registered while it lives. Its destructor waits for
  // a callback that is running at that moment, so what the callback refers
  // to may go right after.
  class Registration {
   public:
    Registration() = default;
    Registration(Registration&& other) noexcept;
    Registration& operator=(Registration&& other) noexcept;
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;
    ~Registration() { Reset(); }
    void Reset();

   private:
    friend class CancelToken;
    Registration(std::shared_ptr<CancelTokenState> state, std::uint64_t id)
        : state_(std::move(state)), id_(id) {}
    std::shared_ptr<CancelTokenState> state_;
    std::uint64_t id_ = 0;
  };

  // Registers fn for a cancel; when the token is cancelled already, fn runs
  // at once on this thread.
  [[nodiscard]] Registration OnCancel(std::function<void()> fn) const;

 private:
  using State = CancelTokenState;
  std::shared_ptr<State> state_;
};

}  // namespace lk
