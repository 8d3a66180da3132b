#pragma once
// What the update run needs from the main window, and what the window needs
// from the update run. The window (TForm2) implements UpdateHost; the run
// (launcher/UpdateRun.*) implements UpdateRun. Neither includes the other's
// class, so both can be built and tested apart.
//
// Threads: the run works on a pool thread. It calls the UpdateHost methods
// only on the UI thread (it hands each call over with the UiDispatcher and
// waits), so an implementation may touch controls directly. A hand-over
// that the window refuses because it is closing ends the run.
#include <chrono>
#include <memory>
#include <string>

#include "core/manifest.h"
#include "core/progress_text.h"
#include "platform/ui_dispatch.h"

namespace lk {

class UpdateHost : public ProgressDisplay {
 public:
  // The remote-tool menu captions (TMenuItem1/2) and the tools' paths
  // relative to the launcher folder, as the manifest gives them (also when
  // empty).
  virtual void SetRemoteTools(const std::string& caption1, const std::string& caption2,
                              const std::string& path1, const std::string& path2) = 0;
  // The question "检测到有内容要更新，是否进行更新。" titled "提示", information
  // icon, OK (default) and Cancel; Esc and the close box are Cancel. True
  // only for OK.
  virtual bool AskToUpdate() = 0;
  // Label4 stops painting its background.
  virtual void MakeSpeedLabelTransparent() = 0;
  // loadConfiguration; its error propagates to the run.
  virtual void ReloadConfiguration() = 0;
  // The application's message dialog (OK button, captioned with the
  // application title), for a manifest answered with an error status.
  virtual void ShowMessage(const std::string& text) = 0;
};

// One update run per launcher start.
class UpdateRun {
 public:
  virtual ~UpdateRun() = default;

  // Starts the run on the pool and returns at once. manifest is the
  // window's ManifestIni; updateUrl the configuration's UpDateUrl. host,
  // ui and manifest must stay alive until CancelAndWait has returned.
  static std::unique_ptr<UpdateRun> Start(UpdateHost& host, UiDispatcher& ui, ManifestIni& manifest,
                                          std::string updateUrl);

  // Window closing (UI thread): cancels the run (a running transfer is
  // aborted, a pending hand-over to the UI thread returns at once) and waits
  // for the worker while still pumping messages, at most timeout. Afterwards
  // the run touches none of host, ui or manifest.
  virtual void CancelAndWait(std::chrono::milliseconds timeout) = 0;

  // True once the worker has ended.
  virtual bool Finished() const = 0;

  // Stops the run's stopwatch (window closing); the speed label then
  // refreshes no more.
  virtual void StopStopwatch() = 0;

  // UpdateTotalBytes and UpdateDoneBytes as they stand.
  virtual RunTotals Totals() const = 0;
};

}  // namespace lk
