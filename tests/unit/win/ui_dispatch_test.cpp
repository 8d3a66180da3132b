// The UI-thread hand-over with a real message-only window and a real
// message loop on a second thread.
#include "platform/ui_dispatch.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/handles.h"
#include "tests/support/ui_thread_win.h"

namespace lk {
namespace {

using namespace std::chrono_literals;

struct Event {
  UniqueHandle h{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  void Set() { SetEvent(h.get()); }
  bool Wait(DWORD ms = 5000) { return WaitForSingleObject(h.get(), ms) == WAIT_OBJECT_0; }
};

TEST(UiDispatch, InvokeRunsOnTheUiThreadAndWaits) {
  test::UiThread ui;
  std::atomic<DWORD> ran_on{0};
  int value = 0;
  ASSERT_TRUE(ui.dispatcher().Invoke([&] {
    Sleep(50);  // the caller must still be waiting when this returns
    ran_on = GetCurrentThreadId();
    value = 42;
  }));
  EXPECT_EQ(ran_on.load(), ui.thread_id());
  EXPECT_EQ(value, 42);
  EXPECT_FALSE(ui.dispatcher().OnUiThread());
}

TEST(UiDispatch, InvokeRethrowsWhatTheClosureThrew) {
  test::UiThread ui;
  try {
    ui.dispatcher().Invoke([] { throw std::runtime_error("坏了"); });
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "坏了");
  }
  // The loop survived the exception.
  int n = 0;
  EXPECT_TRUE(ui.dispatcher().Invoke([&] { n = 1; }));
  EXPECT_EQ(n, 1);
}

TEST(UiDispatch, PostsRunInOrderOnTheUiThread) {
  test::UiThread ui;
  std::vector<int> order;  // touched on the UI thread only
  std::atomic<bool> wrong_thread{false};
  for (int i = 0; i < 50; ++i)
    ASSERT_TRUE(ui.dispatcher().Post([&, i] {
      if (GetCurrentThreadId() != ui.thread_id()) wrong_thread = true;
      order.push_back(i);
    }));
  std::vector<int> seen;
  ui.dispatcher().Invoke([&] { seen = order; });
  ASSERT_EQ(seen.size(), 50u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(seen[i], i);
  EXPECT_FALSE(wrong_thread);
}

TEST(UiDispatch, OnTheUiThreadPostAndInvokeRunAtOnce) {
  test::UiThread ui;
  std::vector<int> order;
  ui.dispatcher().Invoke([&] {
    order.push_back(1);
    ui.dispatcher().Post([&] { order.push_back(2); });
    ui.dispatcher().Invoke([&] { order.push_back(3); });
    order.push_back(4);
  });
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
}

TEST(UiDispatch, ShutdownWakesAWaitingInvokeAndDropsQueuedClosures) {
  test::UiThread ui;
  Event release_ui;
  auto token = std::make_shared<int>(0);
  // Keep the UI thread busy so later closures stay queued; it shuts the
  // dispatcher down when released.
  ui.dispatcher().Post([&] {
    release_ui.Wait();
    ui.dispatcher().Shutdown();
  });
  for (int i = 0; i < 5; ++i) ui.dispatcher().Post([token] { ++*token; });

  std::atomic<bool> ran{false};
  std::atomic<int> result{-1};
  std::thread worker([&] { result = ui.dispatcher().Invoke([&] { ran = true; }) ? 1 : 0; });
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(result.load(), -1) << "Invoke returned while the UI thread was busy";
  release_ui.Set();
  worker.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_FALSE(ran);
  // The five queued closures were destroyed without running.
  EXPECT_EQ(*token, 0);
  EXPECT_EQ(token.use_count(), 1);

  // After shutdown nothing is accepted and a refused closure is freed.
  EXPECT_FALSE(ui.dispatcher().Post([token] { ++*token; }));
  EXPECT_EQ(token.use_count(), 1);
  EXPECT_FALSE(ui.dispatcher().Invoke([&] { ran = true; }));
  EXPECT_FALSE(ran);
  EXPECT_TRUE(ui.dispatcher().IsShutDown());
}

TEST(UiDispatch, CancelledInvokeReturnsAtOnceAndNeverRuns) {
  test::UiThread ui;
  Event release_ui;
  ui.dispatcher().Post([&] { release_ui.Wait(); });
  CancelToken cancel;
  std::atomic<bool> ran{false};
  std::atomic<int> result{-1};
  std::thread worker([&] { result = ui.dispatcher().Invoke([&] { ran = true; }, cancel) ? 1 : 0; });
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(result.load(), -1);
  const auto t0 = std::chrono::steady_clock::now();
  cancel.Cancel();
  worker.join();
  const auto waited = std::chrono::steady_clock::now() - t0;
  EXPECT_EQ(result.load(), 0);
  EXPECT_LT(waited, 500ms);
  release_ui.Set();
  // Everything queued before this has been handled once it returns.
  ASSERT_TRUE(ui.dispatcher().Invoke([] {}));
  EXPECT_FALSE(ran);
  // An already set flag does not even queue the closure.
  EXPECT_FALSE(ui.dispatcher().Invoke([&] { ran = true; }, cancel));
  ui.dispatcher().Invoke([] {});
  EXPECT_FALSE(ran);
}

TEST(UiDispatch, OnTheUiThreadACancelledInvokeDoesNotRun) {
  test::UiThread ui;
  CancelToken cancel;
  cancel.Cancel();
  bool ran = false;
  bool result = true;
  ui.dispatcher().Invoke([&] { result = ui.dispatcher().Invoke([&] { ran = true; }, cancel); });
  EXPECT_FALSE(result);
  EXPECT_FALSE(ran);
}

TEST(UiDispatch, AnInvokeThatStartedIsWaitedForDespiteCancel) {
  test::UiThread ui;
  CancelToken cancel;
  std::atomic<bool> finished{false};
  ASSERT_TRUE(ui.dispatcher().Invoke(
      [&] {
        cancel.Cancel();
        Sleep(100);
        finished = true;
      },
      cancel));
  EXPECT_TRUE(finished);
}

TEST(UiDispatch, AnExceptionFromAPostedClosureGoesToTheErrorHandler) {
  test::UiThread ui;
  std::string message;
  ui.dispatcher().Invoke(
      [&] { ui.dispatcher().SetErrorHandler([&](const std::string& m) { message = m; }); });
  ui.dispatcher().Post([] { throw std::runtime_error("无法写入"); });
  std::string seen;
  ui.dispatcher().Invoke([&] { seen = message; });
  EXPECT_EQ(seen, "无法写入");
}

TEST(UiDispatch, ManyWorkersInvokeConcurrently) {
  test::UiThread ui;
  int counter = 0;  // UI thread only
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w)
    workers.emplace_back([&] {
      for (int i = 0; i < 200; ++i) ui.dispatcher().Invoke([&] { ++counter; });
    });
  for (auto& t : workers) t.join();
  int seen = 0;
  ui.dispatcher().Invoke([&] { seen = counter; });
  EXPECT_EQ(seen, 800);
}

}  // namespace
}  // namespace lk
