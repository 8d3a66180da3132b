#pragma once
// Runs a closure when the scope ends, however it ends. For clean-up that no
// owner type covers (a flag to reset, a registration to undo).
#include <utility>

namespace lk {

template <typename F>
class ScopeExit {
 public:
  explicit ScopeExit(F f) : f_(std::move(f)) {}
  ~ScopeExit() {
    if (armed_) f_();
  }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;
  // The closure will not run.
  void Dismiss() { armed_ = false; }

 private:
  F f_;
  bool armed_ = true;
};

}  // namespace lk
