// TForm2: construction of the window and its controls, FormCreate, the skin
// layout (ReadExecutableData) and FormShow.
#include "launcher/LMain.h"

#include <exception>

#include "core/remote_tools.h"
#include "core/window_layout.h"
#include "launcher/LMain_pictures.h"
#include "launcher/NoticePanels.h"
#include "launcher/Shield.h"
#include "launcher/Startup.h"
#include "launcher/StartupTrace.h"
#include "platform/error.h"
#include "platform/path_text.h"
#include "platform/self_path.h"
#include "platform/shortcut.h"
#include "platform/text.h"

namespace lk {

std::string WebUrl, PayUrl, RegisterUrl, UpDateUrl, NoticeUrl, WebUr2, Grouping;
bool UpDateSwitch = false;
std::int32_t CloudShieldSwitch = 0;
std::string RemoteToolPath1, RemoteToolPath2;

namespace {

// Posted to the window once it has been painted for the first time.
constexpr UINT kAfterFirstPaint = WM_APP + 1;

// Design-time colours and fonts.
constexpr COLORREF kLimeGreen = RGB(0, 255, 0);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr const char* kTahoma = "Tahoma";
constexpr const char* kSegoeUi = "Segoe UI";

COLORREF WindowColour() { return GetSysColor(COLOR_WINDOW); }

COLORREF ColourOf(TColor c) {
  if (IsSystemColour(c)) return GetSysColor(static_cast<int>(c & 0xFF));
  return static_cast<COLORREF>(c & 0xFFFFFF);
}

void SetId(ui::Control& c, int id) { SetWindowLongPtrW(c.Hwnd(), GWLP_ID, id); }

std::unique_ptr<ui::Label> MakeLabel(HWND parent, int id, int left, int top, const char* text, const char* font,
                                     int height, COLORREF colour) {
  auto label = std::make_unique<ui::Label>(parent, left, top, text);
  label->SetFont(font, height);
  label->SetColor(colour);
  SetId(*label, id);
  return label;
}

std::unique_ptr<ui::ImageButton> MakeImage(HWND parent, int id, int left, int top) {
  auto image = std::make_unique<ui::ImageButton>(parent, left, top);
  SetId(*image, id);
  return image;
}

}  // namespace

TForm2::TForm2() = default;

TForm2::~TForm2() {
  // A result still on its way must find no window.
  if (Probe) ProbeDetach();
  if (UpdateRun_) UpdateRun_->CancelAndWait(std::chrono::milliseconds(5000));
}

void TForm2::Build() {
  // Errors escaping a handler or FormCreate go to the message dialog.
  ui::SetErrorDisplay([](const std::exception& e) { ShowMessageDialog(e.what()); });
  Form = std::make_unique<ui::Form>("TForm2", "Form2", kClientWidth, kClientHeight);
  TraceStartup("form window");
  Form->SetColor(GetSysColor(COLOR_BTNFACE));
  Ui = std::make_unique<UiDispatcher>();
  Ui->SetErrorHandler([](const std::string& text) { ShowMessageDialog(text); });
  CreateControls();
  WireChrome();
  WireZones();
  Form->onShow = [this] { FormShow(); };
  Form->onClose = [this] { FormClose(); };
  Form->onMessage = [this](UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (msg != kAfterFirstPaint) return std::nullopt;
    try {
      AfterFirstPaint();
    } catch (const std::exception& e) {
      ui::ShowError(e);
    }
    TraceStartup("after the first paint");
    WriteStartupTrace();
    return 0;
  };
  Form->onDestroy = [this] {
    ProbeDetach();
    PostQuitMessage(0);
  };
  TraceStartup("controls wired");
}

void TForm2::Open(const std::string& title, int show_command) {
  SetSkinBackground();
  TraceStartup("background");
  try {
    FormCreate();
  } catch (const std::exception& e) {
    // FormCreate ends at its first error; the window opens all the same.
    JoinTrayIcon();
    ui::ShowError(e);
  }
  JoinTrayIcon();
  TraceStartup("tray icon joined");
  if (CentreOnShow) Form->CenterOnScreen();
  // The brand name, even when FormCreate stopped before it titled the
  // window: a second start of the brand must find this window.
  if (Form->Title() != title) Form->SetTitle(title);
  ShowWindow(Form->Hwnd(), show_command == SW_HIDE ? SW_SHOWNORMAL : show_command);
  TraceStartup("shown");
  UpdateWindow(Form->Hwnd());
  TraceStartup("first paint");
  // Queued behind what the first paint left (and answered after messages
  // other programs send, such as an inspection's), in whatever message loop
  // runs by then.
  PostMessageW(Form->Hwnd(), kAfterFirstPaint, 0, 0);
}

void TForm2::AfterFirstPaint() {
  // Both controls first, as the window always had both; then each goes to
  // the page it was sent to during construction. A refused request ends
  // here, as an error in construction does: the later steps do not run.
  WebBrowser1->CreateControl();
  WebBrowser2->CreateControl();
  TraceStartup("browser controls");
  WebBrowser1->NavigateToKeptAddress();
  WebBrowser2->NavigateToKeptAddress();
  TraceStartup("notice pages requested");
  // The update run hands everything it shows to this thread's message loop:
  // starting it after the first paint changes nothing the player sees.
  if (StartUpdateRun) UpdateRun_ = UpdateRun::Start(*this, *Ui, *ManifestIni_, UpDateUrl);
  TraceStartup("update run started");
}

void TForm2::JoinTrayIcon() {
  if (TrayIconShown) TrayIconShown->Join();
}

void TForm2::CreateControls() {
  const HWND p = Form->Hwnd();
  const int kTahomaPx = 11, kSegoePx = 12;
  const COLORREF window = WindowColour();
  Label1 = MakeLabel(p, kIdLabel1, 16, 15, "Label1", kTahoma, kTahomaPx, window);
  Image1 = MakeImage(p, kIdImage1, 649, 352);
  Label2 = MakeLabel(p, kIdLabel2, 672, 353, "服务器状态", kTahoma, kTahomaPx, window);
  Label9 = MakeLabel(p, kIdLabel9, 16, 448, "守护中", kSegoeUi, kSegoePx, kLimeGreen);
  Label10 = MakeLabel(p, kIdLabel10, 684, 307, "全屏模式", kTahoma, kTahomaPx, window);
  Label4 = MakeLabel(p, kIdLabel4, 258, 368, "传输速度-kb/s", kTahoma, kTahomaPx, window);
  Label5 = MakeLabel(p, kIdLabel5, 30, 397, "当前", kTahoma, kTahomaPx, window);
  Label6 = MakeLabel(p, kIdLabel6, 30, 417, "全部", kTahoma, kTahomaPx, window);
  Label7 = MakeLabel(p, kIdLabel7, 320, 400, "100%", kTahoma, kTahomaPx, window);
  Label8 = MakeLabel(p, kIdLabel8, 320, 419, "100%", kTahoma, kTahomaPx, window);
  TraceStartup("controls: labels");

  TreeView1 = std::make_unique<ui::TreeView>(p, ui::Rect{16, 56, 121, 153});
  TreeView1->SetFont(kSegoeUi, kSegoePx);
  TreeView1->SetIndent(19);
  SetId(*TreeView1, kIdTreeView1);
  ComboBox1 = std::make_unique<ui::ComboBox>(p, ui::Rect{16, 218, 121, 23});
  ComboBox1->SetFont(kSegoeUi, kSegoePx);
  SetId(*ComboBox1, kIdComboBox1);
  WebBrowser1 = std::make_unique<NoticePanelHost>(p, ui::Rect{143, 56, 187, 150});
  SetId(*WebBrowser1, kIdWebBrowser1);
  WebBrowser2 = std::make_unique<NoticePanelHost>(p, ui::Rect{348, 56, 181, 150});
  SetId(*WebBrowser2, kIdWebBrowser2);
  // The panels' events: scroll bars hidden on every page, and the first
  // panel's new windows sent to the default browser.
  ConnectNoticePanels(WebBrowser1->Browser, WebBrowser2->Browser);
  TraceStartup("controls: tree, lists, notice panels");
  Resolution = std::make_unique<ui::ComboBox>(p, ui::Rect{527, 304, 87, 23});
  Resolution->SetFont(kSegoeUi, kSegoePx);
  SetId(*Resolution, kIdResolution);
  CheckBox1 = std::make_unique<ui::CheckBox>(p, ui::Rect{666, 306, 13, 13});
  SetId(*CheckBox1, kIdCheckBox1);
  ProgressBar1 = std::make_unique<ui::ProgressBar>(p, ui::Rect{67, 400, 228, 9});
  ProgressBar1->SetRange(0, 100);
  ProgressBar1->SetPosition(100);
  SetId(*ProgressBar1, kIdProgressBar1);
  ProgressBar2 = std::make_unique<ui::ProgressBar>(p, ui::Rect{67, 420, 228, 9});
  ProgressBar2->SetRange(0, 100);
  ProgressBar2->SetPosition(100);
  SetId(*ProgressBar2, kIdProgressBar2);
  PopupMenu1 = std::make_unique<ui::PopupMenu>();
  PopupMenu1->Add(kRemoteToolCaption1, [this] { TMenuItem1Click(); });
  PopupMenu1->Add(kRemoteToolCaption2, [this] { TMenuItem2Click(); });
  TrayIcon1 = std::make_unique<ui::TrayIcon>();
  TraceStartup("controls: box, bars, menu, tray icon");
  Image3 = MakeImage(p, kIdImage3, 80, 8);
  Image4 = MakeImage(p, kIdImage4, 158, 8);
  Image5 = MakeImage(p, kIdImage5, 248, 8);
  Image6 = MakeImage(p, kIdImage6, 336, 8);
  Image7 = MakeImage(p, kIdImage7, 840, 8);
  Image8 = MakeImage(p, kIdImage8, 886, 8);
  Image2 = MakeImage(p, kIdImage2, 643, 496);
  Label3 = MakeLabel(p, kIdLabel3, 30, 368, "客户端已加载完毕，选择分区登录游戏!", kTahoma, kTahomaPx, window);
  InterfaceSelection = std::make_unique<ui::ComboBox>(p, ui::Rect{401, 333, 87, 23});
  InterfaceSelection->SetFont(kSegoeUi, kSegoePx);
  SetId(*InterfaceSelection, kIdInterfaceSelection);
  // Design-time picture of the status dot: the grey dot.
  SetResourcePicture(*Image1, kGreyDot);
  TraceStartup("controls: image buttons, status dot");
}

void TForm2::FormCreate() {
  // Double buffering needs nothing here: the form paints through a back
  // buffer already.
  StartedApps = std::make_unique<TStartedApps>();
  ManifestIni_ = std::make_unique<ManifestIni>();
  ComboBox1->Insert(0, "选择游戏分区");
  ComboBox1->Select(0);
  // The placeholder page until the configuration load names the real ones;
  // the panels keep the address until their controls exist.
  WebBrowser1->Navigate(kNoticePlaceholderPage);
  WebBrowser2->Navigate(kNoticePlaceholderPage);
  // No border, title bar or border icons: the form is WS_POPUP already.
  // The tray icon stays for the whole run (a shell without a notification
  // area refuses it; the icon's window still answers). Adding it waits for
  // the shell's process, so it is added beside the next steps and joined
  // before anything else becomes visible.
  TrayIcon1->SetTip(LoginInfo.BrandName);
  TrayIconShown = StartBeside([tray = TrayIcon1.get()](const ParallelStep::Release&) {
    // The UI thread leaves the icon alone until it has joined this.
    tray->Show();
  });
  CentreOnShow = true;
  for (const std::string& s : InterfaceChoices()) InterfaceSelection->Add(s);
  InterfaceSelection->Select(1);  // "1.45界面"
  for (const std::string& s : ResolutionChoices()) Resolution->Add(s);
  Resolution->Select(0);  // "800*600"
  // The tree: black without border, white text; its drawing is suspended
  // until the configuration load has filled it.
  SetWindowLongPtrW(TreeView1->Hwnd(), GWL_STYLE, GetWindowLongPtrW(TreeView1->Hwnd(), GWL_STYLE) & ~WS_BORDER);
  SetWindowLongPtrW(TreeView1->Hwnd(), GWL_EXSTYLE,
                    GetWindowLongPtrW(TreeView1->Hwnd(), GWL_EXSTYLE) & ~WS_EX_CLIENTEDGE);
  SetWindowPos(TreeView1->Hwnd(), nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  TreeView1->SetColors(RGB(0, 0, 0), RGB(255, 255, 255));
  TreeView1->SetRedraw(false);
  TreeDrawingSuspended = true;
  TraceStartup("FormCreate: lists, tray icon started");
  ReadExecutableData();
  TraceStartup("FormCreate: skin layout");
  // A second start of the brand finds the window by this title.
  Form->SetTitle(LoginInfo.BrandName);
  // The desktop shortcut, rewritten on every start. Its errors (COM, the
  // shell-link object) are known as soon as the object exists, and end
  // construction here like any other step's; the slow save goes on beside.
  ShortcutSaved = StartBeside([name = ExecutableBaseName()](const ParallelStep::Release& release) {
    SelfShortcut shortcut(name, kDesktopDirectoryFolder);
    release();
    shortcut.Save();
  });
  if (ShortcutSaved) ShortcutSaved->Join();
  TraceStartup("FormCreate: desktop shortcut");
  loadConfiguration();
  TraceStartup("FormCreate: configuration load");
  // The shield, for a positive switch only (2147483648 and above read
  // negative).
  Label9->SetVisible(CloudShieldSwitch > 0);
  if (CloudShieldSwitch > 0) {
    const TShieldStart shield =
        OpenShield(LauncherFolder(), CloudShieldSwitch, [this](const std::string& text) {
          JoinTrayIcon();
          ShowMessageDialog(text);
        });
    hModule = shield.hModule;
    Label9->SetVisible(shield.Started);
  }
  // The labels draw text only, over the skin: the toolkit's labels are
  // transparent by construction.
  RemoteToolPath1 = kRemoteToolPath1;
  RemoteToolPath2 = kRemoteToolPath2;
  // Neither read nor created here.
  GameOptionsFile = std::make_unique<TInfFileHelper>(LauncherFolder() + "Config.ini");
  RestoreDisplayChoices();
  TraceStartup("FormCreate: Config.ini restored");
  // Construction got to its end: with updates on, the run starts right
  // after the first paint (closing the window cancels it).
  StartUpdateRun = UpDateSwitch;
}

void TForm2::ReadExecutableData() {
  const TGraphicInfo& g = GraphicInfo;
  // The background decides the window's size.
  if (g.ControlbackImage) {
    Form->SetClientSize(g.ControlbackImage->Pixels.width, g.ControlbackImage->Pixels.height);
  }
  Label1->SetCaption(LoginInfo.BrandName);
  Label1->SetVisible(g.BrandNameSwitch);
  // The image buttons, each with its hover picture (chrome): shown by its
  // switch, sized to its picture, placed at its point.
  auto place = [this](ui::ImageButton& button, const auto& normal, const auto& hover, const TSize& at) {
    SetButtonPictures(button, normal, hover);
    button.SetPosition(at.cx, at.cy);
  };
  place(*Image2, g.ControLoing1Image, g.ControLoing2Image, g.ControlLoingPoint);
  Image3->SetVisible(g.ControlCustomerHubSwitch);
  place(*Image3, g.ControCustomerHub1Image, g.ControCustomerHub2Image, g.ControlCustomerHubPoint);
  Image4->SetVisible(g.ControlwebsiteSwitch);
  place(*Image4, g.Controlwebsite1Image, g.Controlwebsite2Image, g.ControlwebsitePoint);
  Image5->SetVisible(g.ControlPlayerToolsSwitch);
  place(*Image5, g.ControlPlayerTools1Image, g.ControlPlayerTools2Image, g.ControlPlayerToolsPoint);
  Image6->SetVisible(g.ControlRegistrationSwitch);
  place(*Image6, g.ControlRegistration1Image, g.ControlRegistration2Image, g.ControlRegistrationPoint);
  // The zone list: drop-down list for type 0, the tree otherwise.
  if (g.ServerListType == 0) {
    TreeView1->SetVisible(false);
    ComboBox1->SetVisible(true);
    ComboBox1->SetPosition(g.ControlServerList1Point.cx, g.ControlServerList1Point.cy);
  } else {
    TreeView1->SetVisible(true);
    ComboBox1->SetVisible(false);
    TreeView1->SetSize(g.ControlServerListSizet.cx, g.ControlServerListSizet.cy);
    TreeView1->SetPosition(g.ControlServerListPoint.cx, g.ControlServerListPoint.cy);
  }
  if (g.Control24Switch) {
    WebBrowser1->SetBounds({g.ControlNoticePoint.cx, g.ControlNoticePoint.cy, g.ControlNoticeListSizet.cx,
                            g.ControlNoticeListSizet.cy});
  } else {
    WebBrowser1->SetVisible(false);
  }
  // The full-screen box with its caption beside it, the two choice lists.
  CheckBox1->SetPosition(g.ControlWindowModePoint.cx, g.ControlWindowModePoint.cy);
  Label10->SetPosition(g.ControlWindowModePoint.cx + 16, g.ControlWindowModePoint.cy);
  Resolution->SetPosition(g.ControlResolutionPoint.cx, g.ControlResolutionPoint.cy);
  InterfaceSelection->SetPosition(g.ControlInterfaceSelectionPoint.cx, g.ControlInterfaceSelectionPoint.cy);
  Image1->SetPosition(g.ControlStateBoxPoint.cx, g.ControlStateBoxPoint.cy);
  Label2->SetPosition(g.ControlStateBoxPoint.cx + 20, g.ControlStateBoxPoint.cy + 1);
  // The speed label ends where the status line's area ends.
  Label3->SetPosition(g.ControlprogressBarPoint.cx, g.ControlprogressBarPoint.cy);
  Label4->SetPosition(SpeedLabelLeft(g.ControlprogressBarPoint, g.ControlprogressBarSize),
                      g.ControlprogressBarPoint.cy);
  // Hide and close are always shown.
  SetButtonPictures(*Image7, g.Controlbutton41Image, g.Controlbutton42Image);
  Image7->SetPosition(g.Controlbutton4Point.cx, g.Controlbutton4Point.cy);
  SetButtonPictures(*Image8, g.Controlbutton51Image, g.Controlbutton52Image);
  Image8->SetPosition(g.Controlbutton5Point.cx, g.Controlbutton5Point.cy);
  // The title's size in whole points; the family stays Tahoma.
  Label1->SetPosition(g.ControltitletxtPoint.cx, g.ControltitletxtPoint.cy);
  Label1->SetFont(kTahoma, ui::PointsToPixels(TitleFontPoints(g.ControltitletxtFont.Size)));
  Label1->SetColor(ColourOf(g.ControltitletxtColor));
  Label9->SetVisible(g.ControlCloudShieldSwitch);
  Label9->SetPosition(g.ControlCloudShieldPoint.cx, g.ControlCloudShieldPoint.cy);
  const auto place_row = [](const ProgressRowLayout& row, ui::Label& caption, ui::ProgressBar& bar,
                            ui::Label& percent) {
    if (row.captionVisible) {
      caption.SetVisible(true);
      caption.SetPosition(row.caption.cx, row.caption.cy);
    } else {
      caption.SetVisible(false);
    }
    const ui::Rect old = bar.Bounds();
    bar.SetBounds({row.bar.cx, row.bar.cy, row.barWidth, old.height});
    percent.SetPosition(row.percent.cx, row.percent.cy);
  };
  place_row(LayOutProgressRow(g.ControlprogressBar2Switch, g.ControlprogressBar2Point, g.ControlprogressBar2Size),
            *Label5, *ProgressBar1, *Label7);
  place_row(LayOutProgressRow(g.ControlprogressBar1Switch, g.ControlprogressBar1Point, g.ControlprogressBar1Size),
            *Label6, *ProgressBar2, *Label8);
  if (g.Control16Switch) {
    WebBrowser2->SetBounds({g.Control16Point.cx, g.Control16Point.cy, g.Control16Sizet.cx, g.Control16Sizet.cy});
  } else {
    WebBrowser2->SetVisible(false);
  }
}

void TForm2::RestoreDisplayChoices() {
  const std::string width = GameOptionsFile->ReadString("Options", "ScreenWidth", "");
  const std::string height = GameOptionsFile->ReadString("Options", "ScreenHeight", "");
  std::vector<std::string> entries;
  for (int i = 0; i < Resolution->Count(); ++i) entries.push_back(Resolution->ItemText(i));
  Resolution->Select(RestoredResolutionIndex(entries, width, height));
  const std::string iface = GameOptionsFile->ReadString("Options", "Interface", "");
  // A number at or above the count keeps entry 1, selected with the list.
  InterfaceSelection->Select(RestoredInterfaceIndex(iface, InterfaceSelection->Count()));
  CheckBox1->SetChecked(RestoredFullScreen(GameOptionsFile->ReadString("Options", "FullScreenMode", "")));
}

void TForm2::FormShow() {
  TreeView1->Select(nullptr);
}

int RunMessageLoop() {
  MSG msg;
  BOOL got;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
    if (got == -1) return 1;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace lk
