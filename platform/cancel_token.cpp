#include "platform/cancel_token.h"

#include <vector>

namespace lk {

void CancelToken::Cancel() {
  State& s = *state_;
  std::lock_guard running(s.running);
  std::vector<std::function<void()>> callbacks;
  {
    std::lock_guard lock(s.mutex);
    if (s.cancelled.exchange(true)) return;
    for (auto& [id, fn] : s.callbacks) callbacks.push_back(std::move(fn));
    s.callbacks.clear();
  }
  s.woken.notify_all();
  for (const auto& fn : callbacks) {
    try {
      fn();
    } catch (...) {
      // A callback only wakes a waiter; one that fails must not keep the
      // others from running.
    }
  }
}

bool CancelToken::WaitFor(std::chrono::milliseconds timeout) const {
  State& s = *state_;
  std::unique_lock lock(s.mutex);
  return s.woken.wait_for(lock, timeout, [&s] { return s.cancelled.load(); });
}

CancelToken::Registration CancelToken::OnCancel(std::function<void()> fn) const {
  State& s = *state_;
  {
    std::lock_guard lock(s.mutex);
    if (!s.cancelled.load()) {
      const std::uint64_t id = s.next_id++;
      s.callbacks.emplace(id, std::move(fn));
      return Registration(state_, id);
    }
  }
  fn();
  return Registration();
}

CancelToken::Registration::Registration(Registration&& other) noexcept
    : state_(std::move(other.state_)), id_(std::exchange(other.id_, 0)) {}

CancelToken::Registration& CancelToken::Registration::operator=(Registration&& other) noexcept {
  if (this != &other) {
    Reset();
    state_ = std::move(other.state_);
    id_ = std::exchange(other.id_, 0);
  }
  return *this;
}

void CancelToken::Registration::Reset() {
  if (!state_) return;
  {
    std::lock_guard running(state_->running);
    std::lock_guard lock(state_->mutex);
    state_->callbacks.erase(id_);
  }
  state_.reset();
  id_ = 0;
}

}  // namespace lk
