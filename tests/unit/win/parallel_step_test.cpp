// Start-up work beside the UI thread: joining, early release, errors, and a
// worker that waits for the joining thread.
#include "launcher/ParallelStep.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <stdexcept>
#include <string>

#include "platform/handles.h"

namespace lk {
namespace {

TEST(ParallelStep, JoinWaitsForTheWorkAndRethrowsItsErrorOnce) {
  std::atomic<DWORD> thread{0};
  ParallelStep ok([&](const ParallelStep::Release&) {
    Sleep(50);
    thread = GetCurrentThreadId();
  });
  ok.Join();
  EXPECT_NE(thread.load(), 0u);  // finished, not merely started
  EXPECT_NE(thread.load(), GetCurrentThreadId());

  ParallelStep failing([](const ParallelStep::Release&) { throw std::runtime_error("无法创建快捷方式"); });
  try {
    failing.Join();
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "无法创建快捷方式");
  }
  EXPECT_NO_THROW(failing.Join());
}

TEST(ParallelStep, ReleaseLetsJoinReturnWhileTheRestRunsAndTheEndWaits) {
  UniqueHandle go_on(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::atomic<bool> rest_done{false};
  {
    ParallelStep step([&](const ParallelStep::Release& release) {
      release();
      WaitForSingleObject(go_on.get(), INFINITE);
      Sleep(30);
      rest_done = true;
      // Nobody waits for this part: its error is dropped.
      throw std::runtime_error("after the release");
    });
    EXPECT_NO_THROW(step.Join());  // returns although the rest is blocked
    EXPECT_FALSE(rest_done.load());
    SetEvent(go_on.get());
  }  // the end waits for the rest, which refers to this scope
  EXPECT_TRUE(rest_done.load());
}

LRESULT CALLBACK AnswerPlusOne(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_APP + 7) return static_cast<LRESULT>(w + 1);
  return DefWindowProcW(h, m, w, l);
}

// The worker sends a message to a window of the joining thread (as the
// shell answers a tray icon's window): Join must deliver it, not deadlock.
TEST(ParallelStep, JoinDeliversMessagesTheWorkerSendsToThisThread) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &AnswerPlusOne;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"LkParallelStepTest";
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                                nullptr);
  ASSERT_NE(window, nullptr);
  std::atomic<LRESULT> answer{0};
  ParallelStep step([&](const ParallelStep::Release&) { answer = SendMessageW(window, WM_APP + 7, 41, 0); });
  step.Join();
  EXPECT_EQ(answer.load(), 42);
  DestroyWindow(window);
}

}  // namespace
}  // namespace lk
