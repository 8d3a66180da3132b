#pragma once
// A piece of start-up work that runs on the pool beside the UI thread's own
// and is joined where its outcome is needed: so that waiting on another
// process (the shell) or decoding the skin's images does not hold up the
// window's construction, while the order of everything the player sees and
// the rule that an error skips the later steps stay as they were.
#include <functional>
#include <memory>

namespace lk {

class ParallelStep {
 public:
  // Starts fn on the pool at once. fn may call its argument once, to let
  // Join return early while it goes on with work that nobody waits for (its
  // errors from then on are dropped). Throws Error when the pool refuses.
  using Release = std::function<void()>;
  explicit ParallelStep(std::function<void(const Release& release)> fn);
  // Waits until fn has returned, so that nothing it refers to goes first.
  ~ParallelStep();
  ParallelStep(const ParallelStep&) = delete;
  ParallelStep& operator=(const ParallelStep&) = delete;

  // Waits until fn has returned or released, answering messages sent to
  // this thread meanwhile (fn may wait for this thread: the shell answers a
  // tray icon's owner window), and rethrows what escaped fn before it
  // released. Only the first call rethrows.
  void Join();

 private:
  struct State;
  std::shared_ptr<State> state_;
  bool joined_ = false;
};

// Starts fn beside this thread; when the pool refuses, runs it here instead
// (its errors then come straight out of this call) and returns null.
std::unique_ptr<ParallelStep> StartBeside(std::function<void(const ParallelStep::Release& release)> fn);

}  // namespace lk
