#include "launcher/UpdateRun.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "core/scope_exit.h"
#include "core/update_files.h"
#include "core/update_plan.h"
#include "launcher/update_download.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/path_text.h"
#include "platform/self_path.h"
#include "platform/text.h"
#include "platform/thread_pool.h"

namespace lk {
namespace {

class MemorySink : public DownloadSink {
 public:
  void SetLength(std::int64_t) override {}
  void Add(const std::uint8_t* data, std::size_t size) override {
    body.insert(body.end(), data, data + size);
  }
  std::vector<std::uint8_t> body;
};

// Ends the run when the window has closed (or is closing).
struct RunCancelled {};

// Every contact of the worker with the window's objects (host, dispatcher,
// ManifestIni) passes through the gate. Once closed it refuses all of them,
// and Close waits until the ones already inside have left, so after the
// window's CancelAndWait nothing of the run can reach a released object,
// even when the worker itself is still busy (a download that takes its
// time to end).
class Gate {
 public:
  template <class F>
  bool Pass(F&& f) {
    {
      std::lock_guard lock(mutex_);
      if (closed_) return false;
      ++inside_;
    }
    ScopeExit leave([this] {
      std::lock_guard lock(mutex_);
      if (--inside_ == 0) left_.notify_all();
    });
    return f();
  }
  // Refuses every later Pass; waits up to timeout for those inside.
  void Close(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    closed_ = true;
    left_.wait_for(lock, timeout, [this] { return inside_ == 0; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable left_;
  bool closed_ = false;
  int inside_ = 0;
};

class UpdateRunImpl;

// What the worker owns; shared with the UpdateRun object, so either may go
// first.
struct RunState {
  RunState(UpdateHost& h, UiDispatcher& u, ManifestIni& m, std::string url, UpdateRunPlace p)
      : host(h), ui(u), manifest(m), updateUrl(std::move(url)), place(std::move(p)) {}

  UpdateHost& host;
  UiDispatcher& ui;
  ManifestIni& manifest;
  const std::string updateUrl;
  const UpdateRunPlace place;

  std::atomic<bool> cancel{false};
  Gate gate;
  UniqueHandle finished{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  std::unique_ptr<UpdateDownloader> downloader;
  std::mutex client_mutex;
  HttpClient* manifest_client = nullptr;  // for Cancel while the manifest is on its way

  // Runs fn on the UI thread and waits; false when the run is cancelled
  // (fn then never runs). A closure still queued when the window closes
  // finds the flag set and does nothing.
  bool HandOver(const std::function<void()>& fn, const std::atomic<bool>& extra_cancel) {
    if (cancel.load()) return false;
    return gate.Pass([&] {
      return ui.Invoke(
          [&] {
            if (!cancel.load() && !extra_cancel.load()) fn();
          },
          cancel);
    });
  }
  // A hand-over the run cannot go on without.
  void OnUi(const std::function<void()>& fn) {
    static const std::atomic<bool> never{false};
    if (!HandOver(fn, never) || cancel.load()) throw RunCancelled{};
  }
  void CheckCancel() const {
    if (cancel.load()) throw RunCancelled{};
  }

  void Work();
};

constexpr char kDoneText[] = "更新完成。";
constexpr char kPatchFolderFailed[] = "更新失败，无法创建目录 Patch";

void RunState::Work() {
  const std::string exePath = place.launcherExePath;
  const std::string folder = ExtractFileFolder(exePath);
  const std::string patchFolder = folder + "Patch";
  bool finalDisplay = true;
  bool patcherStarted = false;
  UpdateStopwatch.Start();
  try {
    // Step 2: the manifest. Its request can be aborted by the closing
    // window; what it brings goes into the window's store through the gate.
    HttpClient client;
    {
      std::lock_guard lock(client_mutex);
      manifest_client = &client;
      if (cancel.load()) client.Abort();
    }
    ManifestIni fetched;
    bool entries = false;
    try {
      entries = FetchManifest(client, updateUrl, fetched,
                              [this](const std::string& text) { OnUi([&] { host.ShowMessage(text); }); });
    } catch (...) {
      std::lock_guard lock(client_mutex);
      manifest_client = nullptr;
      throw;
    }
    {
      std::lock_guard lock(client_mutex);
      manifest_client = nullptr;
    }
    CheckCancel();
    ManifestIni data;
    if (!gate.Pass([&] {
          for (const std::string& section : fetched.Sections())
            for (const std::string& key : fetched.Keys(section))
              manifest.WriteString(section, key, fetched.ReadString(section, key));
          data = manifest;
          return true;
        }))
      throw RunCancelled{};

    if (entries) {
      auto read = [&data](const std::string& section, const std::string& key) {
        return data.ReadString(section, key);
      };
      const std::string baseUrl = read("UpdateData", "UpdateUrl");
      const std::string caption1 = read("UpdateData", "Remotebutton1");
      const std::string caption2 = read("UpdateData", "Remotebutton2");
      const std::string path1 = read("UpdateData", "remotePath1");
      const std::string path2 = read("UpdateData", "remotePath2");
      OnUi([&] { host.SetRemoteTools(caption1, caption2, path1, path2); });

      // A Count that is not a number throws here and ends the run.
      const std::vector<TParamPair> list = BuildPatchList(
          read, exePath, folder, [](const std::vector<std::string>& paths) { return FileDigests(paths); });
      CheckCancel();

      bool answer = false;
      if (!list.empty()) OnUi([&] { answer = host.AskToUpdate(); });
      if (answer) {
        UpdateTotalBytes = 0;
        UpdateDoneBytes = 0;
        OnUi([&] {
          host.SetItemBar(BarState{0, 0});
          host.SetRunBar(BarState{0, 0});
        });
        try {
          CreateDirectories(patchFolder);
        } catch (const Error&) {
          OnUi([&] { host.SetStatus(kPatchFolderFailed); });
          throw;
        }
        OnUi([&] { host.MakeSpeedLabelTransparent(); });

        // Names from the manifest are joined onto local folders: one that
        // would lead outside them is skipped like a failed download.
        auto safe = [&folder](const TParamPair& item) {
          if (!IsSafeItemName(item.Param1)) return false;
          return item.Param3 != kFileArchive || IsSafeRelativeFolder(item.Param2.substr(folder.size()));
        };
        std::int64_t total = 0;
        for (const TParamPair& item : list) {
          CheckCancel();
          if (safe(item)) total += downloader->GetRemoteFileSize(baseUrl, item.Param1);
        }
        UpdateTotalBytes = total;

        bool replaceLauncher = false, reread = false;
        for (const TParamPair& item : list) {
          CheckCancel();
          if (!safe(item)) continue;
          if (!downloader->DownloadFile(baseUrl, item.Param1)) continue;
          CheckCancel();
          if (item.Param3 == kLauncherArchive) {
            replaceLauncher = true;
          } else {
            ExtractPackage(patchFolder + "\\" + item.Param1, item.Param2);
            if (item.Param3 == kConfigArchive) reread = true;
          }
        }
        CheckCancel();
        if (replaceLauncher) {
          RunPatcher(exePath, read("UpdateData", "LoginDownloadName"), read("UpdateData", "LoginName"));
          patcherStarted = true;
        }
        if (reread) OnUi([&] { host.ReloadConfiguration(); });
      }
    }
  } catch (...) {
    // Errors end the run silently; only the clean-up follows.
    finalDisplay = false;
  }

  // Clean-up. A patcher started just now runs from its file: deleting it
  // fails on Windows, and where it might succeed it could pull the file
  // away before the new process has it open. The next run deletes it.
  const std::string patcher = folder + "patcher.exe";
  if (!patcherStarted && PathExists(patcher)) RemoveFile(patcher);

  if (finalDisplay && !cancel.load()) {
    static const std::atomic<bool> never{false};
    if (HandOver(
            [&] {
              host.SetItemPercent("100%");
              host.SetRunPercent("100%");
              host.SetItemBar(BarState{100, 100});
              host.SetRunBar(BarState{100, 100});
              host.SetStatus(kDoneText);
            },
            never))
      RemoveDirIfEmpty(patchFolder);
  }
}

class UpdateRunImpl : public UpdateRun {
 public:
  explicit UpdateRunImpl(std::shared_ptr<RunState> state) : state_(std::move(state)) {}
  ~UpdateRunImpl() override {
    if (!waited_) CancelAndWait(std::chrono::milliseconds(0));
  }

  void CancelAndWait(std::chrono::milliseconds timeout) override {
    RunState& s = *state_;
    s.cancel.store(true);
    if (s.downloader) s.downloader->Cancel();
    {
      std::lock_guard lock(s.client_mutex);
      if (s.manifest_client) s.manifest_client->Abort();
    }
    // The worker may be waiting for this thread (a hand-over, or a
    // progress callback of the transfer): keep the messages flowing.
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout.count());
    HANDLE finished = s.finished.get();
    bool quit = false;
    int quit_code = 0;
    for (;;) {
      MSG msg;
      while (!quit && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
          // The loop that owns it gets it back below; until then only wait.
          quit = true;
          quit_code = static_cast<int>(msg.wParam);
          break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      const ULONGLONG now = GetTickCount64();
      if (WaitForSingleObject(finished, 0) == WAIT_OBJECT_0 || now >= deadline) break;
      const DWORD slice = static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 50));
      if (quit)
        WaitForSingleObject(finished, slice);
      else
        MsgWaitForMultipleObjects(1, &finished, FALSE, slice, QS_ALLINPUT);
    }
    if (quit) PostQuitMessage(quit_code);
    // Cancelled hand-overs return within a few milliseconds; after this no
    // later one gets through.
    s.gate.Close(std::chrono::milliseconds(2000));
    waited_ = true;
  }

  bool Finished() const override { return WaitForSingleObject(state_->finished.get(), 0) == WAIT_OBJECT_0; }

 private:
  std::shared_ptr<RunState> state_;
  bool waited_ = false;
};

}  // namespace

bool FetchManifest(HttpClient& client, const std::string& address, ManifestIni& store,
                   const std::function<void(const std::string&)>& showMessage) {
  HttpClient::Response response = client.Get(address, {});
  MemorySink sink;
  const HttpBodyResult body = response.ReadBody(sink, [](std::int64_t, std::int64_t, bool&) {});
  if (body.aborted) throw HttpError("aborted", ERROR_OPERATION_ABORTED);
  const ManifestAnswer answer = ReadManifestAnswer(response.status(), Bytes(sink.body), store);
  if (!answer.message.empty()) showMessage(answer.message);
  return answer.entries;
}

bool FetchManifest(const std::string& address, ManifestIni& store,
                   const std::function<void(const std::string&)>& showMessage) {
  HttpClient client;
  return FetchManifest(client, address, store, showMessage);
}

void RunPatcher(const std::string& launcherExePath, const std::string& loginDownloadName,
                const std::string& loginName) {
  const std::string folder = ExtractFileFolder(launcherExePath);
  const std::string target = folder + "patcher.exe";

  HRSRC found = FindResourceW(nullptr, L"Resource_1", MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (!found) ThrowLastError();
  HGLOBAL loaded = LoadResource(nullptr, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  const DWORD size = SizeofResource(nullptr, found);
  if (!data || size == 0) ThrowLastError();

  // Written beside its place and renamed over an older patcher, so a
  // failure never leaves a half-written program to be started later.
  const std::string temp = target + ".lk-part";
  RemoveFile(temp);
  {
    OutFile out(temp);
    out.Write(static_cast<const std::uint8_t*>(data), size);
    out.Close();
  }
  try {
    MoveReplacing(temp, target);
  } catch (...) {
    RemoveFile(temp);
    throw;
  }
  const std::string parameters =
      PatcherParameters(ExtractFileName(launcherExePath), folder, loginDownloadName, loginName);
  ShellExecuteW(nullptr, L"open", Wide(target).c_str(), Wide(parameters).c_str(), nullptr, SW_SHOWNORMAL);
}

std::unique_ptr<UpdateRun> StartUpdateRun(UpdateHost& host, UiDispatcher& ui, ManifestIni& manifest,
                                          std::string updateUrl, UpdateRunPlace place) {
  auto state = std::make_shared<RunState>(host, ui, manifest, std::move(updateUrl), std::move(place));
  if (!state->finished) ThrowLastError();
  RunState* s = state.get();
  state->downloader = std::make_unique<UpdateDownloader>(
      [s](const std::function<void()>& fn, const std::atomic<bool>& cancel) {
        return s->HandOver(fn, cancel);
      },
      host, ExtractFileFolder(state->place.launcherExePath) + "Patch");
  RunInBackground([state] {
    try {
      state->Work();
    } catch (...) {
    }
    SetEvent(state->finished.get());
  });
  return std::make_unique<UpdateRunImpl>(std::move(state));
}

std::unique_ptr<UpdateRun> UpdateRun::Start(UpdateHost& host, UiDispatcher& ui, ManifestIni& manifest,
                                            std::string updateUrl) {
  return StartUpdateRun(host, ui, manifest, std::move(updateUrl), UpdateRunPlace{OwnExecutablePath()});
}

}  // namespace lk
