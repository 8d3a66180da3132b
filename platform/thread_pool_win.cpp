#include "platform/thread_pool.h"

#include <windows.h>

#include <exception>

#include "platform/error.h"
#include "platform/handles.h"

namespace lk {
namespace {

void CALLBACK RunSubmitted(PTP_CALLBACK_INSTANCE instance, void* context) {
  std::unique_ptr<std::function<void()>> fn(static_cast<std::function<void()>*>(context));
  // Our tasks block (network, disk, waiting for the UI thread): let the
  // pool grow instead of holding other work back.
  CallbackMayRunLong(instance);
  try {
    (*fn)();
  } catch (...) {
  }
}

void Submit(std::function<void()> fn) {
  auto owned = std::make_unique<std::function<void()>>(std::move(fn));
  if (!TrySubmitThreadpoolCallback(&RunSubmitted, owned.get(), nullptr)) ThrowLastError();
  owned.release();
}

}  // namespace

void RunInBackground(std::function<void()> fn) { Submit(std::move(fn)); }

struct BackgroundTask::State {
  UniqueHandle finished{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  std::exception_ptr error;
};

BackgroundTask::BackgroundTask(std::function<void()> fn) : state_(std::make_shared<State>()) {
  if (!state_->finished) ThrowLastError();
  Submit([state = state_, fn = std::move(fn)] {
    try {
      fn();
    } catch (...) {
      state->error = std::current_exception();
    }
    SetEvent(state->finished.get());
  });
}

BackgroundTask::~BackgroundTask() { WaitForSingleObject(state_->finished.get(), INFINITE); }

void BackgroundTask::Wait() {
  WaitForSingleObject(state_->finished.get(), INFINITE);
  if (state_->error && !rethrown_) {
    rethrown_ = true;
    std::rethrow_exception(state_->error);
  }
}

bool BackgroundTask::Finished() const {
  return WaitForSingleObject(state_->finished.get(), 0) == WAIT_OBJECT_0;
}

bool BackgroundTask::WaitFor(unsigned timeout_ms) {
  return WaitForSingleObject(state_->finished.get(), timeout_ms) == WAIT_OBJECT_0;
}

}  // namespace lk
