#include "platform/ui_dispatch.h"

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>

#include "platform/text.h"
#include "platform/window.h"

namespace lk {
namespace {

constexpr UINT kRunClosure = WM_APP + 1;
constexpr wchar_t kClassName[] = L"LkUiDispatcher";

// State shared by a waiting Invoke and the closure queued for it. The
// closure runs fn only while the waiter still waits (state Pending); a
// waiter that gives up marks the call Abandoned first, so fn never runs
// after Invoke has returned.
struct InvokeCall {
  enum class State { Pending, Running, Done, Abandoned };
  std::mutex mutex;
  std::condition_variable done;
  State state = State::Pending;
  const std::function<void()>* fn = nullptr;
  std::exception_ptr error;
};

void RunCall(const std::shared_ptr<InvokeCall>& call) {
  {
    std::lock_guard lock(call->mutex);
    if (call->state != InvokeCall::State::Pending) return;
    call->state = InvokeCall::State::Running;
  }
  std::exception_ptr error;
  try {
    (*call->fn)();
  } catch (...) {
    error = std::current_exception();
  }
  {
    std::lock_guard lock(call->mutex);
    call->error = error;
    call->state = InvokeCall::State::Done;
  }
  call->done.notify_all();
}

}  // namespace

// The message-only window whose procedure runs the posted closures.
struct UiDispatcher::Impl : Window {
  DWORD thread_id = 0;
  // Held while a closure is posted, so Shutdown cannot slip in between the
  // check and PostMessageW and leave a closure nobody frees.
  std::mutex post_mutex;
  // Cancelled by Shutdown: wakes every waiting Invoke.
  CancelToken shutdown;
  std::function<void(const std::string&)> error_handler;
  const std::atomic<bool>* shut_down = nullptr;

  explicit Impl(const std::atomic<bool>& flag) : thread_id(GetCurrentThreadId()), shut_down(&flag) {
    CreateWindowOf(WindowClass{kClassName}, "", WindowPlace{0, 0, 0, 0, 0, 0, HWND_MESSAGE},
                   "CreateWindowExW");
  }

  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg != kRunClosure) return DefaultHandling(msg, wp, lp);
    std::unique_ptr<std::function<void()>> fn(reinterpret_cast<std::function<void()>*>(lp));
    if (!shut_down->load() && fn && *fn) Run(*fn);
    return 0;
  }

  // Nothing may unwind through the system's message dispatch.
  void Run(const std::function<void()>& fn) {
    std::string message;
    try {
      fn();
      return;
    } catch (const std::exception& e) {
      message = e.what();
    } catch (...) {
      message = "unknown error";
    }
    if (error_handler) {
      try {
        error_handler(message);
      } catch (...) {
      }
    } else {
      OutputDebugStringW(Wide("错误: " + message).c_str());
    }
  }

  void DrainQueue() {
    MSG msg;
    while (PeekMessageW(&msg, Hwnd(), kRunClosure, kRunClosure, PM_REMOVE))
      delete reinterpret_cast<std::function<void()>*>(msg.lParam);
  }
};

UiDispatcher::UiDispatcher() : impl_(std::make_unique<Impl>(shut_down_)) {}

UiDispatcher::~UiDispatcher() { Shutdown(); }

bool UiDispatcher::OnUiThread() const { return GetCurrentThreadId() == impl_->thread_id; }

void UiDispatcher::SetErrorHandler(std::function<void(const std::string&)> handler) {
  impl_->error_handler = std::move(handler);
}

bool UiDispatcher::Post(std::function<void()> fn) {
  if (!fn) return false;
  if (OnUiThread()) {
    if (shut_down_.load()) return false;
    fn();
    return true;
  }
  auto owned = std::make_unique<std::function<void()>>(std::move(fn));
  std::lock_guard lock(impl_->post_mutex);
  if (shut_down_.load()) return false;
  if (!PostMessageW(impl_->Hwnd(), kRunClosure, 0, reinterpret_cast<LPARAM>(owned.get()))) return false;
  owned.release();  // the window procedure owns it now
  return true;
}

bool UiDispatcher::Invoke(const std::function<void()>& fn) { return Invoke(fn, nullptr); }

bool UiDispatcher::Invoke(const std::function<void()>& fn, const CancelToken& cancel) { return Invoke(fn, &cancel); }

bool UiDispatcher::Invoke(const std::function<void()>& fn, const CancelToken* cancel) {
  if (!fn) return false;
  auto cancelled = [&] { return shut_down_.load() || (cancel && cancel->Cancelled()); };
  if (OnUiThread()) {
    if (cancelled()) return false;
    fn();
    return true;
  }
  if (cancelled()) return false;
  auto call = std::make_shared<InvokeCall>();
  call->fn = &fn;
  // A cancel or a shutdown wakes the waiter; it then gives up unless the
  // closure has already started.
  auto wake = [call] {
    std::lock_guard lock(call->mutex);
    call->done.notify_all();
  };
  CancelToken::Registration on_cancel, on_shutdown = impl_->shutdown.OnCancel(wake);
  if (cancel) on_cancel = cancel->OnCancel(wake);
  if (!Post([call] { RunCall(call); })) return false;

  std::unique_lock lock(call->mutex);
  call->done.wait(lock, [&] {
    return call->state == InvokeCall::State::Done || (call->state == InvokeCall::State::Pending && cancelled());
  });
  if (call->state != InvokeCall::State::Done) {
    call->state = InvokeCall::State::Abandoned;
    return false;
  }
  if (call->error) std::rethrow_exception(call->error);
  return true;
}

void UiDispatcher::Shutdown() {
  {
    std::lock_guard lock(impl_->post_mutex);
    shut_down_.store(true);
  }
  impl_->shutdown.Cancel();
  // Closures still queued are freed here without running; this sees only
  // the calling thread's queue, which is why Shutdown belongs on the UI
  // thread. Any that arrive later are ignored by the window procedure.
  if (OnUiThread() && impl_->Hwnd()) impl_->DrainQueue();
}

}  // namespace lk
