#pragma once
// Hand-over of work to the UI thread. Background work never touches a
// control: it posts a closure (Post) or runs one and waits for it (Invoke)
// through a message-only window owned by the UI thread.
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "platform/cancel_token.h"

namespace lk {

class UiDispatcher {
 public:
  // Creates the message-only window; the calling thread becomes the UI
  // thread and must run a message loop for closures to run.
  UiDispatcher();
  // Shuts down (see Shutdown). Call on the UI thread.
  ~UiDispatcher();
  UiDispatcher(const UiDispatcher&) = delete;
  UiDispatcher& operator=(const UiDispatcher&) = delete;

  bool OnUiThread() const;

  // Queues fn to run on the UI thread and returns at once. On the UI thread
  // itself fn runs at once. False when the dispatcher is shut down or the
  // message could not be posted; fn is then destroyed without running.
  bool Post(std::function<void()> fn);

  // Runs fn on the UI thread and waits until it has returned; an exception
  // thrown by fn is rethrown here. False (fn not run) when the dispatcher is
  // or gets shut down before fn started.
  bool Invoke(const std::function<void()>& fn);

  // As Invoke, but also returns false at once when cancel is cancelled
  // while fn waits in the queue; fn then never runs. Once fn has started it
  // is waited for, so nothing it refers to goes away under it.
  bool Invoke(const std::function<void()>& fn, const CancelToken& cancel);

  // Refuses further closures, destroys queued ones without running them,
  // wakes every waiting Invoke and destroys the window. Call on the UI
  // thread; idempotent.
  void Shutdown();

  bool IsShutDown() const { return shut_down_.load(); }

  // Receives the message of an exception that escapes a posted closure (it
  // must not unwind through the system's message dispatch). By default the
  // text goes to the debug output. Set it on the UI thread before posting.
  void SetErrorHandler(std::function<void(const std::string&)> handler);

 private:
  bool Invoke(const std::function<void()>& fn, const CancelToken* cancel);
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::atomic<bool> shut_down_{false};
};

}  // namespace lk
