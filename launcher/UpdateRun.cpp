#include "launcher/UpdateRun.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#include <winhttp.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "core/digest_cache.h"
#include "core/scope_exit.h"
#include "core/ascii_case.h"
#include "core/update_files.h"
#include "core/update_manifest.h"
#include "core/update_plan.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/path_text.h"
#include "platform/self_path.h"
#include "platform/text.h"
#include "platform/thread_pool.h"

namespace lk {
namespace {

constexpr char kDoneText[] = "更新完成。";
constexpr char kPatchFolderFailed[] = "更新失败，无法创建目录 Patch";
// How the status line names the manifest when it is what failed.
constexpr char kManifestName[] = "更新列表";

// A manifest body that exceeds kMaxManifestBytes.
struct ManifestTooLarge {};

class MemorySink : public DownloadSink {
 public:
  void Add(const std::uint8_t* data, std::size_t size) override {
    if (body.size() + size > kMaxManifestBytes) throw ManifestTooLarge{};
    body.insert(body.end(), data, data + size);
  }
  std::vector<std::uint8_t> body;
};

// GET address without extra headers. Status 200: the body is read into
// store (true when it held an entry line). Any other status: showMessage
// gets "请求失败，状态码：" and the code, store stays as it was, false. No
// response: HttpError propagates.
bool FetchManifest(HttpClient& client, const std::string& address, ManifestIni& store, int& status,
                   const std::function<void(const std::string&)>& showMessage) {
  HttpClient::Response response = client.Get(address, {});
  status = response.status();
  MemorySink sink;
  if (status == 200) {
    const HttpBodyResult body = response.ReadBody(sink, {});
    if (body.aborted) throw CancelledError();
    if (!body.complete) throw HttpError("the manifest ended early", ERROR_WINHTTP_CONNECTION_ERROR);
  }
  const ManifestAnswer answer = ReadManifestAnswer(status, Bytes(sink.body), store);
  if (!answer.message.empty()) showMessage(answer.message);
  return answer.entries;
}

// Ends the run where it stands; the failures gathered so far are shown.
struct RunFailed {};

// Every contact of the worker with the window's objects (host, dispatcher,
// ManifestIni) passes through the gate. Once closed it refuses all of them,
// and Close waits until the ones already inside have left, so after the
// window's CancelAndWait nothing of the run can reach a released object,
// even when the worker itself is still busy ending a transfer.
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

// What the worker owns; shared with the UpdateRun object, so either may go
// first.
struct RunState {
  RunState(UpdateHost& h, UiDispatcher& u, ManifestIni& m, std::string url, UpdateRunPlace p)
      : host(h),
        ui(u),
        manifest(m),
        updateUrl(std::move(url)),
        place(std::move(p)),
        progress(h, [this](const std::function<void()>& fn) { return HandOver(fn); }) {}

  UpdateHost& host;
  UiDispatcher& ui;
  ManifestIni& manifest;
  const std::string updateUrl;
  const UpdateRunPlace place;

  // The run's one cancellation: the window's close. Every blocking call of
  // the run (requests, pauses between attempts, hand-overs) ends with it.
  CancelToken cancel;
  Gate gate;
  UniqueHandle finished{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  UpdateProgress progress;
  DigestCache digests{ExtractFileFolder(place.launcherExePath)};
  std::vector<UpdateFailure> failures;

  // Runs fn on the UI thread and waits; false when the run is cancelled
  // (fn then never runs). A closure still queued when the window closes
  // finds the run cancelled and does nothing.
  bool HandOver(const std::function<void()>& fn) {
    if (cancel.Cancelled()) return false;
    return gate.Pass([&] {
      return ui.Invoke(
          [&] {
            if (!cancel.Cancelled()) fn();
          },
          cancel);
    });
  }
  // A hand-over the run cannot go on without.
  void OnUi(const std::function<void()>& fn) {
    if (!HandOver(fn) || cancel.Cancelled()) throw CancelledError();
  }
  void Fail(std::string name, std::string reason) { failures.push_back({std::move(name), std::move(reason)}); }

  void Work();
  void ApplyItems(const UpdateManifest& m, const UpdatePlan& plan, HttpClient& client, bool& patcherStarted);
};

// Patch holds only what a later run can use: the partial downloads of the
// items this manifest lists. Completed archives of older runs and items
// no longer listed go.
void TidyPatchFolder(const std::string& patchFolder, const UpdatePlan& plan) {
  if (!IsDirectory(patchFolder)) return;
  for (const std::string& name : ListFiles(patchFolder)) {
    const bool keep = std::any_of(plan.items.begin(), plan.items.end(), [&](const PatchItem& item) {
      return UpdateDownloader::IsPartOfItem(name, item.pair.Param1);
    });
    if (!keep) RemoveFile(JoinPath(patchFolder, name));
  }
}

void RunState::Work() {
  const std::string exePath = place.launcherExePath;
  const std::string folder = ExtractFileFolder(exePath);
  const std::string patchFolder = folder + "Patch";
  bool finalDisplay = true;
  bool patcherStarted = false;
  progress.UpdateStopwatch.Start();
  // An unpacking that a kill cut short (of an earlier run, or of the
  // patcher) left temporaries beside the game files.
  RemoveUnpackLeftovers(UnpackJournalPath(folder));
  digests.Load(DigestCachePath(folder));
  // The folders the cache knows are listed while the manifest comes.
  digests.StartListing();
  try {
    HttpClient client(place.fetch.http);
    const CancelToken::Registration abort = cancel.OnCancel([&client] { client.Abort(); });

    ManifestIni fetched;
    bool entries = false;
    int status = 0;
    try {
      entries = FetchManifest(client, updateUrl, fetched, status,
                              [this](const std::string& text) { OnUi([&] { host.ShowMessage(text); }); });
    } catch (const HttpError& e) {
      cancel.ThrowIfCancelled();
      Fail(kManifestName, e.TimedOut() ? "连接超时" : "无法连接");
      throw RunFailed{};
    } catch (const ManifestTooLarge&) {
      Fail(kManifestName, "文件过大");
      throw RunFailed{};
    }
    cancel.ThrowIfCancelled();
    if (status != 200) {
      Fail(kManifestName, "HTTP " + std::to_string(status));
      throw RunFailed{};
    }
    // What the manifest brought goes into the window's store through the
    // gate; the run reads its own copy.
    ManifestIni data;
    if (!gate.Pass([&] {
          // The store is empty at the run's start (one run per launcher
          // start): a copy is all the merge there is.
          if (manifest.empty()) {
            manifest = fetched;
            data = std::move(fetched);
            return true;
          }
          for (const std::string& section : fetched.Sections())
            for (const std::string& key : fetched.Keys(section))
              manifest.WriteString(section, key, fetched.ReadString(section, key));
          data = manifest;
          return true;
        }))
      throw CancelledError();
    if (!entries) {
      Fail(kManifestName, "无法读取");
      throw RunFailed{};
    }

    const UpdateManifest m = ReadUpdateManifest(data);
    OnUi([&] { host.SetRemoteTools(m.Remotebutton1, m.Remotebutton2, m.remotePath1, m.remotePath2); });
    if (!m.count) {
      Fail(kManifestName, "Count 无效");
      throw RunFailed{};
    }
    // Files whose identity is unchanged since they were last hashed are
    // not read again (all are with a full check).
    const UpdatePlan plan = PlanUpdate(m, exePath, folder, [this](const std::vector<std::string>& paths) {
      return digests.Digests(paths, place.fullCheck);
    });
    digests.Save(DigestCachePath(folder));
    for (const RefusedItem& r : plan.refused) Fail(r.name, "名称不安全");
    TidyPatchFolder(patchFolder, plan);
    cancel.ThrowIfCancelled();
    if (!plan.items.empty() && m.UpdateUrl.empty()) {
      Fail(kManifestName, "没有下载地址");
      throw RunFailed{};
    }

    bool answer = false;
    if (!plan.items.empty()) OnUi([&] { answer = host.AskToUpdate(); });
    if (answer) {
      progress.UpdateTotalBytes = 0;
      progress.UpdateDoneBytes = 0;
      OnUi([&] {
        host.SetItemBar(BarState{0, 0});
        host.SetRunBar(BarState{0, 0});
      });
      try {
        CreateDirectories(patchFolder);
      } catch (const Error&) {
        OnUi([&] { host.SetStatus(kPatchFolderFailed); });
        failures.clear();
        finalDisplay = false;
        throw RunFailed{};
      }
      OnUi([&] { host.MakeSpeedLabelTransparent(); });
      ApplyItems(m, plan, client, patcherStarted);
    }
  } catch (const RunFailed&) {
  } catch (...) {
    // Cancelled, or the configuration reload failed: the run ends without
    // a word (the reload's error is the window's to show).
    finalDisplay = false;
    failures.clear();
  }

  // A patcher started just now runs from its file: deleting it fails on
  // Windows, and where it might succeed it could pull the file away before
  // the new process has it open. The next run deletes it.
  const std::string patcher = folder + "patcher.exe";
  if (!patcherStarted && PathExists(patcher)) RemoveFile(patcher);

  if (cancel.Cancelled()) return;
  if (!failures.empty()) {
    // The bars stay where they were: nothing claims the update is done.
    if (HandOver([&] { host.SetStatus(UpdateFailureText(failures)); })) RemoveDirIfEmpty(patchFolder);
    return;
  }
  if (finalDisplay && HandOver([&] {
        host.SetItemPercent("100%");
        host.SetRunPercent("100%");
        host.SetItemBar(BarState{100, 100});
        host.SetRunBar(BarState{100, 100});
        host.SetStatus(kDoneText);
      }))
    RemoveDirIfEmpty(patchFolder);
}

// Where one item's concurrent download stands; the display follows it
// when the item's turn comes.
struct FetchSlot : ItemProgress {
  std::mutex mutex;
  std::condition_variable changed;
  std::int64_t size = 0;  // the size request's answer
  bool sized = false;
  std::int64_t length = -1, bytes = 0;
  bool done = false, ok = false;
  FetchResult result;

  template <class F>
  void Update(F f) {
    {
      std::lock_guard lock(mutex);
      f();
    }
    changed.notify_all();
  }
  bool BeginItem(std::int64_t) override { return true; }
  bool Receive(std::int64_t content_length, std::int64_t so_far, bool) override {
    Update([&] {
      length = content_length;
      bytes = so_far;
    });
    return true;
  }
  bool Completed() override { return true; }
  void EndItem() override {}
};

// Each item is fetched, checked and applied on its own: one that fails is
// named at the end, and the others go on. Items are fetched a few at once
// over connections kept alive, size requests on connections of their own
// so that their round trips overlap the transfers; the display shows one
// item after the other in list order, as if they came one by one, and each
// is applied in that order as soon as it is there.
void RunState::ApplyItems(const UpdateManifest& m, const UpdatePlan& plan, HttpClient&,
                          bool& patcherStarted) {
  const std::string folder = ExtractFileFolder(place.launcherExePath);
  const std::string patchFolder = folder + "Patch";
  const std::size_t n = plan.items.size();
  std::vector<std::unique_ptr<FetchSlot>> slots;
  for (std::size_t i = 0; i < n; ++i) slots.push_back(std::make_unique<FetchSlot>());

  // The same archive twice in one list must not be fetched again before
  // the first is applied: such a list is fetched strictly one item after
  // the other.
  std::vector<std::string> names;
  for (const PatchItem& item : plan.items) names.push_back(AsciiLowered(item.pair.Param1));
  std::sort(names.begin(), names.end());
  const bool repeated = std::adjacent_find(names.begin(), names.end()) != names.end();
  const std::size_t connections = std::min<std::size_t>(n, repeated ? 1 : place.fetch.connections);

  std::atomic<std::size_t> next_size{0}, next_item{0};
  std::atomic<bool> stop{false};
  std::mutex applied_mutex;
  std::condition_variable applied_changed;
  std::size_t applied = 0;  // items the display has finished with
  auto finished_item = [&] {
    {
      std::lock_guard lock(applied_mutex);
      ++applied;
    }
    applied_changed.notify_all();
  };
  // A worker that cannot go on leaves its items to the others or, when it
  // was the last, to the display's wait, which a cancel or the end of the
  // run ends; nothing it throws may leave its thread.
  auto guarded = [&](const std::function<void()>& body) {
    return [&, body] {
      try {
        body();
      } catch (...) {
        stop = true;
        for (const auto& slot : slots)
          slot->Update([&] {
            slot->sized = true;
            if (!slot->done) slot->result.failure = FetchFailure::kConnection;
            slot->done = true;
          });
      }
    };
  };
  auto sizes = [&] {
    HttpClient client(place.fetch.http);
    const CancelToken::Registration abort = cancel.OnCancel([&client] { client.Abort(); });
    FetchSlot unused;
    UpdateDownloader asker(client, cancel, unused, patchFolder, place.fetch);
    for (std::size_t i; !stop.load() && (i = next_size.fetch_add(1)) < n;) {
      std::int64_t size = 0;
      try {
        size = asker.GetRemoteFileSize(m.UpdateUrl, plan.items[i].pair.Param1);
      } catch (const CancelledError&) {
      }
      slots[i]->Update([&] {
        slots[i]->size = size;
        slots[i]->sized = true;
      });
    }
  };
  auto items = [&] {
    HttpClient client(place.fetch.http);
    const CancelToken::Registration abort = cancel.OnCancel([&client] { client.Abort(); });
    for (std::size_t i; !stop.load() && (i = next_item.fetch_add(1)) < n;) {
      if (repeated) {
        std::unique_lock lock(applied_mutex);
        applied_changed.wait(lock, [&] { return applied >= i || stop.load() || cancel.Cancelled(); });
        if (stop.load() || cancel.Cancelled()) break;
      }
      FetchSlot& slot = *slots[i];
      std::int64_t known = 0;
      {
        std::lock_guard lock(slot.mutex);
        if (slot.sized) known = slot.size;
      }
      UpdateDownloader fetcher(client, cancel, slot, patchFolder, place.fetch);
      const bool ok = fetcher.DownloadFile(m.UpdateUrl, plan.items[i].pair.Param1, known);
      slot.Update([&] {
        slot.done = true;
        slot.ok = ok;
        slot.result = fetcher.last();
      });
    }
  };
  // A cancel wakes the display wherever it waits.
  const CancelToken::Registration wake = cancel.OnCancel([&] {
    for (const auto& slot : slots) slot->Update([] {});
    finished_item();
  });
  std::vector<std::thread> workers;
  ScopeExit join([&] {
    stop = true;
    finished_item();
    for (std::thread& t : workers) t.join();
  });
  for (std::size_t k = 0; k < connections; ++k) {
    workers.emplace_back(guarded(sizes));
    workers.emplace_back(guarded(items));
  }

  // The size pass, as the display needs it: the sum before the first item.
  std::int64_t total = 0;
  for (const auto& slot : slots) {
    std::unique_lock lock(slot->mutex);
    slot->changed.wait(lock, [&] { return slot->sized || cancel.Cancelled(); });
    cancel.ThrowIfCancelled();
    total += slot->size;
  }
  progress.UpdateTotalBytes = total;

  const PatchItem* launcher = nullptr;
  bool reread = false;
  for (std::size_t i = 0; i < n; ++i) {
    const PatchItem& item = plan.items[i];
    const std::string& name = item.pair.Param1;
    FetchSlot& slot = *slots[i];
    ScopeExit next_may_come([&] { finished_item(); });
    cancel.ThrowIfCancelled();
    // The display follows this item's transfer, or catches up with one
    // that ran ahead.
    std::unique_lock lock(slot.mutex);
    if (!progress.BeginItem(slot.size)) throw CancelledError();
    std::int64_t shown = -1;
    for (;;) {
      slot.changed.wait(lock, [&] { return slot.done || slot.bytes != shown || cancel.Cancelled(); });
      cancel.ThrowIfCancelled();
      if (slot.bytes != shown && slot.bytes > 0) {
        shown = slot.bytes;
        const std::int64_t length = slot.length;
        lock.unlock();
        if (!progress.Receive(length, shown, false)) throw CancelledError();
        lock.lock();
      }
      shown = slot.bytes;
      if (slot.done) break;
    }
    const bool ok = slot.ok;
    const FetchResult result = slot.result;
    const std::int64_t length = slot.length;
    lock.unlock();
    if (ok && (!progress.Receive(length, shown, true) || !progress.Completed())) throw CancelledError();
    progress.EndItem();
    if (!ok) {
      cancel.ThrowIfCancelled();
      Fail(name, FetchFailureText(result));
      continue;
    }
    const std::string archive = JoinPath(patchFolder, name);
    try {
      if (item.pair.Param3 == kLauncherArchive) {
        // The patcher unpacks it later; what it will unpack is checked now.
        if (ArchiveEntryDigest(archive, item.checkEntry) != item.expectedDigest)
          throw DigestMismatchError(archive + ": the launcher does not have the published digest");
        launcher = &item;
        continue;
      }
      ExtractOptions options;
      options.expected = {{item.checkEntry, item.expectedDigest}};
      options.journal = UnpackJournalPath(folder);
      options.cancel = &cancel;
      // Game files are many and checked against their digests at every
      // start; the configuration is one file the launcher itself reads.
      options.durability =
          item.pair.Param3 == kConfigArchive ? WriteDurability::kFlushed : WriteDurability::kCached;
      ExtractPackage(archive, item.pair.Param2, options);
      digests.Remember(item.checkPath, item.expectedDigest);
      if (item.pair.Param3 == kConfigArchive) reread = true;
    } catch (const CancelledError&) {
      RemoveFile(archive);
      throw;
    } catch (const DigestMismatchError&) {
      RemoveFile(archive);
      Fail(name, "文件校验失败");
    } catch (const Error&) {
      RemoveFile(archive);
      Fail(name, "解压失败");
    }
  }
  digests.Save(DigestCachePath(folder));
  cancel.ThrowIfCancelled();
  if (launcher) {
    try {
      RunPatcher(place.launcherExePath, m.LoginDownloadName, m.LoginName, launcher->expectedDigest);
      patcherStarted = true;
    } catch (const Error&) {
      Fail("patcher.exe", "无法启动");
    }
  }
  if (reread) OnUi([&] { host.ReloadConfiguration(); });
}

class UpdateRunImpl : public UpdateRun {
 public:
  explicit UpdateRunImpl(std::shared_ptr<RunState> state) : state_(std::move(state)) {}
  ~UpdateRunImpl() override {
    if (!waited_) CancelAndWait(std::chrono::milliseconds(0));
  }

  void CancelAndWait(std::chrono::milliseconds timeout) override {
    RunState& s = *state_;
    s.progress.UpdateStopwatch.Stop();
    s.cancel.Cancel();
    // The worker may be waiting for this thread (a hand-over already
    // running): keep the messages flowing.
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
      const DWORD slice = static_cast<DWORD>(deadline - now);
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
  void StopStopwatch() override { state_->progress.UpdateStopwatch.Stop(); }
  RunTotals Totals() const override {
    return RunTotals{state_->progress.UpdateTotalBytes.load(), state_->progress.UpdateDoneBytes.load()};
  }

 private:
  std::shared_ptr<RunState> state_;
  bool waited_ = false;
};

}  // namespace

void RunPatcher(const std::string& launcherExePath, const std::string& loginDownloadName,
                const std::string& loginName, const std::string& launcherDigest) {
  const std::string folder = ExtractFileFolder(launcherExePath);
  const std::string target = folder + "patcher.exe";

  HRSRC found = FindResourceW(nullptr, L"Resource_1", MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (!found) ThrowLastError();
  HGLOBAL loaded = LoadResource(nullptr, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  const DWORD size = SizeofResource(nullptr, found);
  if (!data || size == 0) ThrowLastError();
  {
    // A kill while it is written leaves a temporary beside the launcher;
    // the journal lets the next run remove it.
    CreateDirectories(folder + "Patch");
    UnpackJournal journal(UnpackJournalPath(folder), {ExtractFileFolder(target)});
    AtomicFileWriter out(target);
    out.Write(static_cast<const std::uint8_t*>(data), size);
    out.Commit();
  }
  const std::string parameters =
      PatcherParameters(ExtractFileName(launcherExePath), folder, loginDownloadName, loginName, launcherDigest);
  ShellExecuteW(nullptr, L"open", Wide(target).c_str(), Wide(parameters).c_str(), nullptr, SW_SHOWNORMAL);
}

std::unique_ptr<UpdateRun> StartUpdateRun(UpdateHost& host, UiDispatcher& ui, ManifestIni& manifest,
                                          std::string updateUrl, UpdateRunPlace place) {
  auto state = std::make_shared<RunState>(host, ui, manifest, std::move(updateUrl), std::move(place));
  if (!state->finished) ThrowLastError();
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
  UpdateRunPlace place{OwnExecutablePath(), {}};
  // Shift held while the launcher starts: check every file from scratch,
  // for a player who suspects a damaged client.
  place.fullCheck = (GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0;
  return StartUpdateRun(host, ui, manifest, std::move(updateUrl), std::move(place));
}

}  // namespace lk
