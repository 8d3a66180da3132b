// TForm2: the launcher configuration load, the zone tree and the server
// status probe.
#include <cstdio>
#include <deque>
#include <mutex>

#include "core/CustomNetEncoding.h"
#include "core/configuration_rules.h"
#include "core/number_rules.h"
#include "core/scope_exit.h"
#include "launcher/LMain.h"
#include "launcher/LMain_pictures.h"
#include "launcher/Startup.h"
#include "platform/files.h"
#include "platform/self_path.h"
#include "platform/tcp_probe.h"
#include "platform/thread_pool.h"

namespace lk {

const TPersonInfo* SelectedServer = nullptr;
bool ProbeBusy = false;
bool ServerOnline = false;

namespace {

constexpr COLORREF kSkyBlue = RGB(166, 202, 240);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);

// Every zone record ever loaded. Records hang on tree nodes and
// SelectedServer may point at one across reloads, so none is released
// before the process ends.
std::deque<std::unique_ptr<TPersonInfo>>& ZoneRecords() {
  static std::deque<std::unique_ptr<TPersonInfo>> records;
  return records;
}


}  // namespace

// The probe's way back to the window. A probe task holds the link; the
// window cuts it (on the UI thread, under the lock) before it goes, so a
// late result finds nobody to post to and is dropped.
struct TForm2::ProbeLink {
  std::mutex lock;
  UiDispatcher* ui = nullptr;
  TForm2* form = nullptr;  // read and cut on the UI thread only
};

void TForm2::WireZones() {
  Probe = std::make_shared<ProbeLink>();
  Probe->ui = Ui.get();
  Probe->form = this;
  TreeView1->onSelectionChanged = [this](const ui::TreeSelectionChange& c) { TreeView1Change(c); };
  TreeView1->itemColor = [this](const ui::TreeItemDraw& d) { return TreeView1AdvancedCustomDrawItem(d); };
}

void TForm2::ProbeDetach() {
  std::lock_guard<std::mutex> hold(Probe->lock);
  Probe->ui = nullptr;
  Probe->form = nullptr;
}

void TForm2::NavigateNoticePanel(NoticePanelHost& panel, const std::string& url) { panel.Navigate(url); }

HTREEITEM TForm2::FindNodeByText(const std::string& text) const {
  for (HTREEITEM n = TreeView1->NextInOrder(nullptr); n; n = TreeView1->NextInOrder(n))
    if (TreeView1->ItemText(n) == text) return n;
  return nullptr;
}

void TForm2::loadConfiguration() {
  // However the load ends, the tree draws again (once: only the first load
  // finds it suspended).
  ScopeExit resume([this] {
    if (TreeDrawingSuspended) {
      TreeDrawingSuspended = false;
      TreeView1->SetRedraw(true);
      InvalidateRect(TreeView1->Hwnd(), nullptr, TRUE);
    }
  });
  const std::string file = ConfigurationFileName(OwnExecutablePath());
  if (!PathExists(file)) {
    JoinTrayIcon();
    ShowMessageDialog(file + " 配置文件不存在，请重新下载登录器。");
    return;
  }
  TInfFileHelper ini(file);
  const auto read = [&ini](const char* section, const std::string& key) { return ini.ReadString(section, key, ""); };
  WebUrl = read("LoginData", "WebUrl");
  PayUrl = read("LoginData", "PayUrl");
  RegisterUrl = read("LoginData", "RegisterUrl");
  UpDateUrl = read("LoginData", "UpDateUrl");
  NoticeUrl = read("LoginData", "NoticeUrl");
  WebUr2 = read("LoginData", "WebUr2");
  NavigateNoticePanel(*WebBrowser1, NoticeUrl);
  NavigateNoticePanel(*WebBrowser2, WebUr2);
  Grouping = DecodeScrambledValue(read("LoginData", "Grouping"), ChainVectorK7q29, ChainVectorK7q29);
  UpDateSwitch = read("LoginData", "UpDateSwitch") == "1";
  // Unsigned rule, kept as a signed 32-bit number: 2147483648 and above
  // read negative (no shield).
  CloudShieldSwitch = static_cast<std::int32_t>(ParseUnsignedInt32(read("LoginData", "CloudShieldSwitch")));
  TreeView1->Clear();
  for (int i = 0;; ++i) {
    const std::string value = read("Server", std::to_string(i));
    if (value.empty()) break;
    auto record = std::make_unique<TPersonInfo>(
        PersonInfoFromEntry(DecodeScrambledValue(value, ChainVectorK7q29, ChainVectorK7q29)));
    HTREEITEM parent = FindNodeByText(record->GroupName);
    if (!parent) parent = TreeView1->AddItem(nullptr, record->GroupName);
    TreeView1->AddItem(parent, record->ListAreaName, record.get());
    ZoneRecords().push_back(std::move(record));
    for (HTREEITEM n = TreeView1->NextInOrder(nullptr); n; n = TreeView1->NextInOrder(n)) TreeView1->Expand(n);
    TreeView1->Select(nullptr);
    InvalidateRect(TreeView1->Hwnd(), nullptr, TRUE);
    UpdateWindow(TreeView1->Hwnd());
  }
}

void TForm2::TreeView1Change(const ui::TreeSelectionChange& change) {
  if (Reselecting) return;
  if (ProbeBusy) {
    // Nothing starts; the tree shows the zone being probed again.
    HTREEITEM want = nullptr;
    for (HTREEITEM n = TreeView1->NextInOrder(nullptr); n && SelectedServer; n = TreeView1->NextInOrder(n))
      if (TreeView1->ItemData(n) == SelectedServer) {
        want = n;
        break;
      }
    if (TreeView1->Selected() != want) {
      Reselecting = true;
      ScopeExit done([this] { Reselecting = false; });
      TreeView1->Select(want);
    }
    return;
  }
  // Only a left click keeps a selection. Windows selects on the press, with
  // the button down; Wine selects on the release and reports the click as
  // TVC_BYMOUSE instead.
  const bool byLeftClick = change.leftButtonDown || change.cause == ui::ChangeCause::kMouse;
  if (!byLeftClick) {
    if (TreeView1->Selected()) TreeView1->Select(nullptr);
    return;
  }
  HTREEITEM node = TreeView1->Selected();
  if (!node) return;
  const auto* record = static_cast<const TPersonInfo*>(TreeView1->ItemData(node));
  if (!record) return;  // a group node
  ProbeBusy = true;
  ServerOnline = false;
  SelectedServer = record;
  Label2->SetCaption("连接中...");
  SetResourcePicture(*Image1, kGreyDot);
  InvalidateRect(TreeView1->Hwnd(), nullptr, FALSE);  // the red names follow the choice
  StartProbe(*record);
}

void TForm2::StartProbe(const TPersonInfo& server) {
  std::shared_ptr<ProbeLink> link = Probe;
  try {
    RunInBackground([link, host = server.ServerAddress, port = server.LoginPort] {
      const std::int32_t latency = TestServerConnection(host, port);
      std::lock_guard<std::mutex> hold(link->lock);
      if (!link->ui) return;
      link->ui->Post([link, latency] {
        if (link->form) link->form->ApplyProbeResult(latency);
      });
    });
  } catch (...) {
    ProbeBusy = false;
    throw;
  }
}

void TForm2::ApplyProbeResult(std::int32_t latency) {
  ScopeExit clear([] { ProbeBusy = false; });
  if (latency == -1) {
    Label2->SetCaption("连接失败");
    return;
  }
  char text[64];
  std::snprintf(text, sizeof text, "运行中：%d ms", static_cast<int>(latency));
  Label2->SetCaption(text);
  SetResourcePicture(*Image1, kGreenDot);
  ServerOnline = true;
}

std::optional<COLORREF> TForm2::TreeView1AdvancedCustomDrawItem(const ui::TreeItemDraw& item) {
  if (item.level == 0) return kSkyBlue;
  if (SelectedServer && TreeView1->ItemText(item.item) == SelectedServer->ListAreaName) return kRed;
  return kWhite;
}

}  // namespace lk
