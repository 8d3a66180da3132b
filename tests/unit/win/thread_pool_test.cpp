// Background tasks on the real system thread pool.
#include "platform/thread_pool.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <vector>

#include "platform/handles.h"

namespace lk {
namespace {

using namespace std::chrono_literals;

TEST(ThreadPool, TaskRunsOnAnotherThreadAndWaitRethrows) {
  std::atomic<DWORD> thread{0};
  BackgroundTask ok([&] { thread = GetCurrentThreadId(); });
  ok.Wait();
  EXPECT_NE(thread.load(), 0u);
  EXPECT_NE(thread.load(), GetCurrentThreadId());
  EXPECT_TRUE(ok.Finished());

  BackgroundTask failing([] { throw std::runtime_error("下载失败"); });
  try {
    failing.Wait();
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "下载失败");
  }
}

TEST(ThreadPool, LongTasksNeverDelayAShortOne) {
  // More blocked long tasks than the machine has cores: a pool that only
  // queued would never run the short task while they block.
  UniqueHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::vector<std::unique_ptr<BackgroundTask>> longs;
  for (int i = 0; i < 8; ++i)
    longs.push_back(std::make_unique<BackgroundTask>([&] { WaitForSingleObject(release.get(), 20000); }));
  const auto t0 = std::chrono::steady_clock::now();
  BackgroundTask probe([] {});
  const bool finished = probe.WaitFor(3000);
  const auto took = std::chrono::steady_clock::now() - t0;
  for (auto& t : longs) EXPECT_FALSE(t->Finished());
  SetEvent(release.get());
  for (auto& t : longs) t->Wait();
  ASSERT_TRUE(finished);
  EXPECT_LT(took, 1000ms);
}

TEST(ThreadPool, FireAndForgetRuns) {
  UniqueHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  RunInBackground([&] { SetEvent(done.get()); });
  EXPECT_EQ(WaitForSingleObject(done.get(), 5000), WAIT_OBJECT_0);
  // An exception escaping a fire-and-forget task does not end the process.
  UniqueHandle done2(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  RunInBackground([&] {
    SetEvent(done2.get());
    throw std::runtime_error("ignored");
  });
  EXPECT_EQ(WaitForSingleObject(done2.get(), 5000), WAIT_OBJECT_0);
}

}  // namespace
}  // namespace lk
