#include "launcher/ParallelStep.h"

#include <windows.h>

#include <exception>

#include "platform/error.h"
#include "platform/handles.h"
#include "platform/thread_pool.h"

namespace lk {
namespace {

// Waits for `event` while letting messages sent to this thread through.
void WaitAnsweringSentMessages(HANDLE event) {
  for (;;) {
    const DWORD got = MsgWaitForMultipleObjectsEx(1, &event, INFINITE, QS_SENDMESSAGE, 0);
    if (got != WAIT_OBJECT_0 + 1) return;  // signalled, or a failed wait that must not spin
    MSG msg;
    // Peeking delivers the sent messages; nothing is taken from the queue.
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

}  // namespace

struct ParallelStep::State {
  UniqueHandle released{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  UniqueHandle finished{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  std::exception_ptr error;  // written before `released` is set, read after
};

ParallelStep::ParallelStep(std::function<void(const Release& release)> fn)
    : state_(std::make_shared<State>()) {
  if (!state_->released || !state_->finished) throw Error(SystemErrorText(GetLastError()));
  RunInBackground([state = state_, fn = std::move(fn)] {
    bool released = false;
    const Release release = [&] {
      if (!released) SetEvent(state->released.get());
      released = true;
    };
    try {
      fn(release);
    } catch (...) {
      if (!released) state->error = std::current_exception();
    }
    release();
    SetEvent(state->finished.get());
  });
}

ParallelStep::~ParallelStep() { WaitAnsweringSentMessages(state_->finished.get()); }

void ParallelStep::Join() {
  WaitAnsweringSentMessages(state_->released.get());
  if (!joined_ && state_->error) {
    joined_ = true;
    std::rethrow_exception(state_->error);
  }
  joined_ = true;
}

std::unique_ptr<ParallelStep> StartBeside(std::function<void(const ParallelStep::Release& release)> fn) {
  try {
    return std::make_unique<ParallelStep>(fn);
  } catch (const Error&) {
    fn([] {});
    return nullptr;
  }
}

}  // namespace lk
