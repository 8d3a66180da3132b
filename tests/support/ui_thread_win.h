#pragma once
// A UI thread for tests that have no window: a thread that owns a
// UiDispatcher and runs a message loop until Stop.
#include <windows.h>

#include <future>
#include <memory>
#include <thread>

#include "platform/ui_dispatch.h"

namespace lk::test {

class UiThread {
 public:
  UiThread() {
    std::promise<void> ready;
    auto started = ready.get_future();
    thread_ = std::thread([this, &ready] {
      MSG msg;
      // Creates the thread's message queue before anybody posts to it.
      PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
      thread_id_ = GetCurrentThreadId();
      dispatcher_ = std::make_unique<UiDispatcher>();
      ready.set_value();
      while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      dispatcher_.reset();
    });
    started.wait();
  }
  ~UiThread() { Stop(); }
  UiThread(const UiThread&) = delete;
  UiThread& operator=(const UiThread&) = delete;

  UiDispatcher& dispatcher() { return *dispatcher_; }
  DWORD thread_id() const { return thread_id_; }

  // Ends the message loop; the dispatcher shuts down on its own thread.
  void Stop() {
    if (!thread_.joinable()) return;
    PostThreadMessageW(thread_id_, WM_QUIT, 0, 0);
    thread_.join();
  }

 private:
  std::thread thread_;
  DWORD thread_id_ = 0;
  std::unique_ptr<UiDispatcher> dispatcher_;
};

}  // namespace lk::test
