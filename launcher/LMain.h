#pragma once
// The main window TForm2: the skinned launcher window and its handlers.
// Its class name and title are what a second launcher of the same brand
// looks for. The methods are split by concern:
//   LMain.cpp              construction (FormCreate), skin layout, FormShow
//   LMain_chrome.cpp       image buttons, hover, tray, remote-tool menu
//   LMain_zones.cpp        configuration load, zone tree, status probe
//   LMain_launch.cpp       start button, close handler
//   LMain_update_host.cpp  what the update run asks of the window
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/logininfo.h"
#include "core/manifest.h"
#include "launcher/InfFileHelper.h"
#include "launcher/NoticePanels.h"
#include "launcher/ParallelStep.h"
#include "launcher/StartedApps.h"
#include "launcher/UpdateHost.h"
#include "platform/ui/check_box.h"
#include "platform/ui/combo_box.h"
#include "platform/ui/form.h"
#include "platform/ui/image_button.h"
#include "platform/ui/label.h"
#include "platform/ui/popup_menu.h"
#include "platform/ui/progress_bar.h"
#include "platform/ui/tray_icon.h"
#include "platform/ui/tree_view.h"
#include "platform/ui_dispatch.h"

namespace lk {

// Global settings of the launcher configuration file (loadConfiguration).
extern std::string WebUrl, PayUrl, RegisterUrl, UpDateUrl, NoticeUrl, WebUr2, Grouping;
extern bool UpDateSwitch;
extern std::int32_t CloudShieldSwitch;
// Paths of the two remote tools relative to the launcher folder.
extern std::string RemoteToolPath1, RemoteToolPath2;
// Zone selection state: the zone chosen last (records live for the whole
// run), a probe running, the last probe of SelectedServer connected.
extern const TPersonInfo* SelectedServer;
extern bool ProbeBusy;
extern bool ServerOnline;

// Child window IDs of the controls, in field order, so an inspection
// program can tell them apart (they carry no names on the window system).
enum TForm2ControlId : int {
  kIdLabel1 = 101, kIdImage1, kIdLabel2, kIdLabel9, kIdLabel10, kIdLabel4, kIdLabel5, kIdLabel6,
  kIdLabel7, kIdLabel8, kIdTreeView1, kIdComboBox1, kIdWebBrowser1, kIdWebBrowser2, kIdResolution,
  kIdCheckBox1, kIdProgressBar1, kIdProgressBar2, kIdImage3, kIdImage4, kIdImage5, kIdImage6,
  kIdImage7, kIdImage8, kIdImage2, kIdLabel3, kIdInterfaceSelection,
};

class TForm2 final : public UpdateHost {
 public:
  static constexpr const wchar_t* kClassName = L"TForm2";
  static constexpr int kClientWidth = 982;
  static constexpr int kClientHeight = 588;

  TForm2();
  TForm2(const TForm2&) = delete;
  TForm2& operator=(const TForm2&) = delete;
  ~TForm2() override;

  // Creates the window, hidden, with its controls at their design-time
  // places: nothing of the skin yet, so start-up runs it while the skin is
  // being decoded. Throws Error only when the window itself cannot be made.
  void Build();
  // Runs FormCreate (whose first error ends it and goes to the error
  // display) and shows the window centred on the screen. What its first
  // paint does not need (the browser controls with their pages, the update
  // run) comes from the message loop right after.
  void Open(const std::string& title, int show_command);

  HWND Handle() const { return Form ? Form->Hwnd() : nullptr; }

  // --- UpdateHost -----------------------------------------------------
  void SetRemoteTools(const std::string& caption1, const std::string& caption2, const std::string& path1,
                      const std::string& path2) override;
  bool AskToUpdate() override;
  void MakeSpeedLabelTransparent() override;
  void ReloadConfiguration() override;
  void ShowMessage(const std::string& text) override;
  void SetItemBar(BarState bar) override;
  void SetRunBar(BarState bar) override;
  void SetItemPercent(const std::string& text) override;
  void SetRunPercent(const std::string& text) override;
  void SetSpeed(const std::string& text) override;
  void SetStatus(const std::string& text) override;

  // Where the configuration load sends the notice panels (a panel keeps the
  // address until its control exists).
  void NavigateNoticePanel(NoticePanelHost& panel, const std::string& url);

 private:
  // Construction (LMain.cpp).
  void CreateControls();
  void FormCreate();
  void AfterFirstPaint();
  // Waits for the tray icon that FormCreate adds in the background: before
  // anything else becomes visible, it must be there.
  void JoinTrayIcon();
  void ReadExecutableData();
  void RestoreDisplayChoices();
  void FormShow();

  // Chrome (LMain_chrome.cpp).
  void WireChrome();
  void SetSkinBackground();
  void Image3Click();
  void Image4Click();
  void Image5Click();
  void Image6Click();
  void Image7Click();
  void Image8Click();
  void TrayIcon1MouseDown();
  void TMenuItem1Click();
  void TMenuItem2Click();

  // Zones (LMain_zones.cpp).
  void WireZones();
  void ProbeDetach();
  void loadConfiguration();
  void TreeView1Change(const ui::TreeSelectionChange& change);
  std::optional<COLORREF> TreeView1AdvancedCustomDrawItem(const ui::TreeItemDraw& item);
  void StartProbe(const TPersonInfo& server);
  void ApplyProbeResult(std::int32_t latency);
  HTREEITEM FindNodeByText(const std::string& text) const;

  // Launch and close (LMain_launch.cpp).
  void Image2Click();
  void FormClose();

 public:
  // Controls, in the design's field order.
  std::unique_ptr<ui::Form> Form;
  std::unique_ptr<ui::Label> Label1;
  std::unique_ptr<ui::ImageButton> Image1;
  std::unique_ptr<ui::Label> Label2, Label9, Label10, Label4, Label5, Label6, Label7, Label8;
  std::unique_ptr<ui::TreeView> TreeView1;
  std::unique_ptr<ui::ComboBox> ComboBox1;
  std::unique_ptr<NoticePanelHost> WebBrowser1, WebBrowser2;
  std::unique_ptr<ui::ComboBox> Resolution;
  std::unique_ptr<ui::CheckBox> CheckBox1;
  std::unique_ptr<ui::ProgressBar> ProgressBar1, ProgressBar2;
  std::unique_ptr<ui::PopupMenu> PopupMenu1;  // items TMenuItem1 (0), TMenuItem2 (1)
  std::unique_ptr<ui::TrayIcon> TrayIcon1;
  std::unique_ptr<ui::ImageButton> Image3, Image4, Image5, Image6, Image7, Image8, Image2;
  std::unique_ptr<ui::Label> Label3;
  std::unique_ptr<ui::ComboBox> InterfaceSelection;

 private:
  std::uintptr_t hModule = 0;  // the shield library, kept loaded

  // Window-wide objects, created by FormCreate, released by FormClose.
  std::unique_ptr<TStartedApps> StartedApps;
  std::unique_ptr<ManifestIni> ManifestIni_;
  std::unique_ptr<TInfFileHelper> GameOptionsFile;
  std::unique_ptr<UpdateRun> UpdateRun_;

  // Hand-over of probe results to the UI thread; see LMain_zones.cpp.
  std::unique_ptr<UiDispatcher> Ui;
  struct ProbeLink;
  std::shared_ptr<ProbeLink> Probe;
  // Guards the re-selection of SelectedServer's node while probing.
  bool Reselecting = false;
  // FormCreate got as far as centring the window when shown.
  bool CentreOnShow = false;
  // FormCreate ran to its end with updates switched on: the run starts
  // right after the first paint.
  bool StartUpdateRun = false;
  // Start-up work beside the UI thread (see FormCreate): adding the tray
  // icon, which waits on the shell, and saving the desktop shortcut.
  std::unique_ptr<ParallelStep> TrayIconShown;
  std::unique_ptr<ParallelStep> ShortcutSaved;
  // The tree's drawing is suspended until the first configuration load ends.
  bool TreeDrawingSuspended = false;
};

// Runs the message loop until the main window ends it; returns the exit
// code posted with WM_QUIT.
int RunMessageLoop();

}  // namespace lk
