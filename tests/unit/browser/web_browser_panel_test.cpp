// The web browser panel with the system's control under Wine: creation,
// placement, visibility, navigation requests and teardown. Wine's control is
// created, but without its HTML engine no page renders; what Wine does
// report (the requested address) is checked, everything else must stay
// silent.
#include "platform/web_browser.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "launcher/NoticePanels.h"
#include "platform/error.h"
#include "tests/support/no_browser_control.h"
// After <windows.h>, which it needs.
#include <exdisp.h>

namespace lk {
namespace {

// Runs the thread's messages for a while: the control binds and reports
// asynchronously through them.
void PumpMessages(std::chrono::milliseconds how_long) {
  const auto end = std::chrono::steady_clock::now() + how_long;
  MSG msg;
  while (std::chrono::steady_clock::now() < end) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// A top-level window standing in for the main window.
class ParentWindow {
 public:
  // Without a window manager Wine waits about two seconds for the X server
  // whenever a shown top-level window is hidden or destroyed: tests share one
  // shown parent, and a parent a test destroys stays hidden.
  explicit ParentWindow(bool shown) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"LkBrowserTestParent";
    RegisterClassExW(&wc);
    hwnd_ = CreateWindowExW(0, wc.lpszClassName, L"parent", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 1000,
                            620, nullptr, nullptr, wc.hInstance, nullptr);
    if (shown) ShowWindow(hwnd_, SW_SHOWNA);
  }
  ~ParentWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
  }
  ParentWindow(const ParentWindow&) = delete;
  ParentWindow& operator=(const ParentWindow&) = delete;
  HWND get() const { return hwnd_; }
  void Destroy() { DestroyWindow(std::exchange(hwnd_, nullptr)); }

 private:
  HWND hwnd_ = nullptr;
};

// The container's place in the parent's client area.
RECT PlaceInParent(HWND child) {
  RECT rc{};
  GetWindowRect(child, &rc);
  MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Waits (running messages) until the control reports `url`; the control
// binds asynchronously, so the address shows after the request.
std::string WaitForLocation(const WebBrowserPanel& panel, const std::string& url) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (panel.LocationURL() != url && std::chrono::steady_clock::now() < end)
    PumpMessages(std::chrono::milliseconds(20));
  return panel.LocationURL();
}

// The control's own window inside the container.
HWND ControlWindow(const WebBrowserPanel& panel) { return GetWindow(panel.Handle(), GW_CHILD); }

RECT ClientRect(HWND hwnd) {
  RECT rc{};
  GetClientRect(hwnd, &rc);
  return rc;
}

// Design-time places of the two notice panels in the main window.
constexpr RECT kFirstPlace{143, 56, 143 + 187, 56 + 150};
constexpr RECT kSecondPlace{348, 56, 348 + 181, 56 + 150};

class WebBrowserPanelTest : public ::testing::Test {
 protected:
  // OLE once for the thread, as the launcher's UI thread does it (and each
  // OleUninitialize costs Wine about two seconds).
  static void SetUpTestSuite() {
    ole_ = std::make_unique<ComInit>(ComInit::kOle);
    parent_window_ = std::make_unique<ParentWindow>(true);
  }
  static void TearDownTestSuite() {
    parent_window_.reset();
    ole_.reset();
  }
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(ole_->result()));
    ASSERT_NE(nullptr, parent_window_->get());
  }
  static HWND parent() { return parent_window_->get(); }
  static std::unique_ptr<ComInit> ole_;
  static std::unique_ptr<ParentWindow> parent_window_;
};
std::unique_ptr<ComInit> WebBrowserPanelTest::ole_;
std::unique_ptr<ParentWindow> WebBrowserPanelTest::parent_window_;

TEST_F(WebBrowserPanelTest, BothPanelsAreCreatedInPlace) {
  WebBrowserPanel first, second;
  ASSERT_TRUE(first.Create(parent(), kFirstPlace));
  ASSERT_TRUE(second.Create(parent(), kSecondPlace));
  for (const auto* panel : {&first, &second}) {
    EXPECT_TRUE(panel->HasControl());
    EXPECT_EQ(parent(), GetParent(panel->Handle()));
    EXPECT_TRUE(panel->Visible());
    // The control is active in place and fills its container.
    const HWND control = ControlWindow(*panel);
    ASSERT_NE(nullptr, control);
    EXPECT_TRUE(SameRect(ClientRect(panel->Handle()), ClientRect(control)));
  }
  EXPECT_TRUE(SameRect(kFirstPlace, PlaceInParent(first.Handle())));
  EXPECT_TRUE(SameRect(kSecondPlace, PlaceInParent(second.Handle())));
}

TEST_F(WebBrowserPanelTest, SetBoundsMovesAndResizesTheControl) {
  WebBrowserPanel panel;
  ASSERT_TRUE(panel.Create(parent(), kFirstPlace));
  const struct {
    RECT place;
  } cases[] = {{{10, 20, 410, 320}}, {{0, 0, 1, 1}}, {{500, 300, 700, 340}}, {{5, 5, 5, 5}}};
  for (const auto& c : cases) {
    panel.SetBounds(c.place);
    EXPECT_TRUE(SameRect(c.place, PlaceInParent(panel.Handle())));
    const RECT inner = ClientRect(ControlWindow(panel));
    EXPECT_EQ(c.place.right - c.place.left, inner.right);
    EXPECT_EQ(c.place.bottom - c.place.top, inner.bottom);
  }
}

TEST_F(WebBrowserPanelTest, HiddenPanelStaysHiddenAndCanComeBack) {
  WebBrowserPanel panel;
  ASSERT_TRUE(panel.Create(parent(), kFirstPlace));
  panel.SetVisible(false);
  EXPECT_FALSE(panel.Visible());
  EXPECT_FALSE(IsWindowVisible(ControlWindow(panel)));
  // A hidden panel still follows navigation (the configuration load does
  // not care whether a switch hid it).
  panel.Navigate("http://127.0.0.1:9/hidden.html");
  EXPECT_EQ("http://127.0.0.1:9/hidden.html", WaitForLocation(panel, "http://127.0.0.1:9/hidden.html"));
  EXPECT_FALSE(panel.Visible());
  panel.SetVisible(true);
  EXPECT_TRUE(panel.Visible());
  EXPECT_TRUE(IsWindowVisible(ControlWindow(panel)));
}

TEST_F(WebBrowserPanelTest, NavigationRequestsReachTheControl) {
  WebBrowserPanel first, second;
  ASSERT_TRUE(first.Create(parent(), kFirstPlace));
  ASSERT_TRUE(second.Create(parent(), kSecondPlace));
  // The placeholder first, then the configured addresses, each panel its own.
  first.Navigate("about:blank");
  second.Navigate("about:blank");
  EXPECT_EQ("about:blank", WaitForLocation(first, "about:blank"));
  EXPECT_EQ("about:blank", WaitForLocation(second, "about:blank"));
  first.Navigate("http://127.0.0.1:9/notice.html");
  second.Navigate("http://127.0.0.1:9/web2.html?zone=1");
  EXPECT_EQ("http://127.0.0.1:9/notice.html", WaitForLocation(first, "http://127.0.0.1:9/notice.html"));
  EXPECT_EQ("http://127.0.0.1:9/web2.html?zone=1",
            WaitForLocation(second, "http://127.0.0.1:9/web2.html?zone=1"));
  // Without the HTML engine nothing renders: no document, and no error.
  EXPECT_FALSE(first.Document());
}

TEST_F(WebBrowserPanelTest, EmptyAddressIsPassedOnWithoutError) {
  WebBrowserPanel panel;
  ASSERT_TRUE(panel.Create(parent(), kFirstPlace));
  panel.Navigate("about:blank");
  ASSERT_EQ("about:blank", WaitForLocation(panel, "about:blank"));
  // An empty NoticeUrl goes to the control unchanged; the control decides
  // what it means (Wine makes "http:///" of it).
  EXPECT_NO_THROW(panel.Navigate(""));
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (panel.LocationURL() == "about:blank" && std::chrono::steady_clock::now() < end)
    PumpMessages(std::chrono::milliseconds(20));
  EXPECT_NE("about:blank", panel.LocationURL());
}

TEST_F(WebBrowserPanelTest, ChineseAddressSurvivesTheRoundTrip) {
  WebBrowserPanel panel;
  ASSERT_TRUE(panel.Create(parent(), kFirstPlace));
  // UTF-8 in, UTF-16 at the control, UTF-8 back.
  panel.Navigate("http://127.0.0.1:9/公告/活动.html");
  EXPECT_EQ("http://127.0.0.1:9/公告/活动.html", WaitForLocation(panel, "http://127.0.0.1:9/公告/活动.html"));
}

// A control that refuses navigation requests: the system's control with its
// Navigate answered here. Only the slots the panel calls on IWebBrowser2 are
// filled; every other interface is the real control's.
using Slot = void (*)();
struct RefusingBrowser {
  const Slot* vtbl;
  ULONG refs = 0;
  IWebBrowser2* real = nullptr;
  HRESULT navigate_result = S_OK;
  int requests = 0;
};

HRESULT STDMETHODCALLTYPE RefusingQueryInterface(RefusingBrowser* self, REFIID riid, void** out) {
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IWebBrowser2) {
    ++self->refs;
    *out = self;
    return S_OK;
  }
  return self->real->QueryInterface(riid, out);
}
ULONG STDMETHODCALLTYPE RefusingAddRef(RefusingBrowser* self) { return ++self->refs; }
ULONG STDMETHODCALLTYPE RefusingRelease(RefusingBrowser* self) {
  if (--self->refs == 0 && self->real) std::exchange(self->real, nullptr)->Release();
  return self->refs;
}
HRESULT STDMETHODCALLTYPE RefusingNavigate(RefusingBrowser* self, BSTR, VARIANT*, VARIANT*, VARIANT*,
                                           VARIANT*) {
  ++self->requests;
  return self->navigate_result;
}
HRESULT STDMETHODCALLTYPE RefusingGetDocument(RefusingBrowser* self, IDispatch** out) {
  return self->real->get_Document(out);
}
HRESULT STDMETHODCALLTYPE RefusingGetLocationURL(RefusingBrowser* self, BSTR* out) {
  return self->real->get_LocationURL(out);
}

// IWebBrowser2 slots: Navigate 11, get_Document 18, get_LocationURL 30.
struct RefusingVtable {
  Slot slots[31]{};
  RefusingVtable() {
    slots[0] = reinterpret_cast<Slot>(&RefusingQueryInterface);
    slots[1] = reinterpret_cast<Slot>(&RefusingAddRef);
    slots[2] = reinterpret_cast<Slot>(&RefusingRelease);
    slots[11] = reinterpret_cast<Slot>(&RefusingNavigate);
    slots[18] = reinterpret_cast<Slot>(&RefusingGetDocument);
    slots[30] = reinterpret_cast<Slot>(&RefusingGetLocationURL);
  }
};
const RefusingVtable kRefusingVtable;

TEST_F(WebBrowserPanelTest, ErrorOfTheNavigationRequestIsRaised) {
  RefusingBrowser refusing{kRefusingVtable.slots};
  refusing.navigate_result = E_ACCESSDENIED;
  {
    WebBrowserPanel panel([&](ComPtr<IWebBrowser2>& out) {
      ComPtr<IWebBrowser2> real;
      const HRESULT hr = WebBrowserPanel::CreateSystemControl(real);
      if (FAILED(hr)) return hr;
      refusing.real = real.detach();
      refusing.refs = 1;
      out.attach(reinterpret_cast<IWebBrowser2*>(&refusing));
      return S_OK;
    });
    ASSERT_TRUE(panel.Create(parent(), kFirstPlace));
    try {
      panel.Navigate("http://127.0.0.1:9/notice.html");
      ADD_FAILURE() << "no error raised";
    } catch (const Error& e) {
      EXPECT_EQ(SystemErrorText(static_cast<DWORD>(E_ACCESSDENIED)), e.what());
    }
    EXPECT_EQ(1, refusing.requests);
    refusing.navigate_result = S_FALSE;  // a success code is no error
    EXPECT_NO_THROW(panel.Navigate("about:blank"));
    EXPECT_EQ(2, refusing.requests);
  }
  // The panel gave back every reference it took, and the control with them.
  EXPECT_EQ(0u, refusing.refs);
  EXPECT_EQ(nullptr, refusing.real);
}

TEST_F(WebBrowserPanelTest, PanelWithoutControlIgnoresNavigation) {
  struct Case {
    const char* name;
    WebBrowserPanel::ControlFactory factory;
  };
  const Case cases[] = {
      {"class not registered", &test::NoBrowserControl},
      {"success without object",
       [](ComPtr<IWebBrowser2>& out) {
         out.reset();
         return S_OK;
       }},
      {"no factory", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WebBrowserPanel panel(c.factory);
    EXPECT_FALSE(panel.Create(parent(), kFirstPlace));
    EXPECT_FALSE(panel.HasControl());
    // The empty area is still placed and switched like a working panel.
    ASSERT_NE(nullptr, panel.Handle());
    EXPECT_EQ(nullptr, ControlWindow(panel));
    panel.SetBounds(kSecondPlace);
    EXPECT_TRUE(SameRect(kSecondPlace, PlaceInParent(panel.Handle())));
    panel.SetVisible(false);
    EXPECT_FALSE(panel.Visible());
    EXPECT_NO_THROW(panel.Navigate("about:blank"));
    EXPECT_NO_THROW(panel.Navigate("http://127.0.0.1:9/notice.html"));
    EXPECT_EQ("", panel.LocationURL());
    EXPECT_FALSE(panel.Document());
  }
}

TEST_F(WebBrowserPanelTest, PanelThatWasNeverCreatedIsHarmless) {
  WebBrowserPanel panel;
  EXPECT_FALSE(panel.HasControl());
  EXPECT_EQ(nullptr, panel.Handle());
  panel.SetBounds(kFirstPlace);
  panel.SetVisible(true);
  EXPECT_FALSE(panel.Visible());
  EXPECT_NO_THROW(panel.Navigate("about:blank"));
  EXPECT_EQ("", panel.LocationURL());
  panel.Destroy();
}

TEST_F(WebBrowserPanelTest, DestroyTearsDownOnceAndIgnoresLaterRequests) {
  WebBrowserPanel panel;
  ASSERT_TRUE(panel.Create(parent(), kFirstPlace));
  const HWND container = panel.Handle();
  panel.Navigate("about:blank");
  panel.Destroy();
  EXPECT_FALSE(IsWindow(container));
  EXPECT_FALSE(panel.HasControl());
  EXPECT_EQ(nullptr, panel.Handle());
  panel.Destroy();
  EXPECT_NO_THROW(panel.Navigate("about:blank"));
}

TEST_F(WebBrowserPanelTest, ParentClosingFirstReleasesTheControl) {
  ParentWindow own_parent(false);
  WebBrowserPanel panel;
  ASSERT_TRUE(panel.Create(own_parent.get(), kFirstPlace));
  panel.Navigate("about:blank");
  PumpMessages(std::chrono::milliseconds(50));
  // The main window goes before its members: the container goes with it and
  // lets the control go while its windows still exist.
  own_parent.Destroy();
  EXPECT_FALSE(panel.HasControl());
  EXPECT_EQ(nullptr, panel.Handle());
  EXPECT_NO_THROW(panel.Navigate("about:blank"));
  EXPECT_EQ("", panel.LocationURL());
}

// The main window's panels get their controls only after the first paint:
// what was asked of them before must reach the control once it is there.
TEST_F(WebBrowserPanelTest, NoticePanelKeepsTheLastAddressUntilItsControlExists) {
  NoticePanelHost host(parent(), ui::Rect{143, 56, 187, 150});
  host.Navigate(kNoticePlaceholderPage);
  host.Navigate("http://127.0.0.1:9/notice.html");
  EXPECT_FALSE(host.ControlCreated());
  EXPECT_EQ(nullptr, GetWindow(host.Hwnd(), GW_CHILD));  // no control yet
  host.SetBounds(ui::Rect{330, 80, 410, 290});
  ASSERT_TRUE(host.CreateControl());
  EXPECT_TRUE(host.CreateControl());  // once
  // The control fills the container at the place the layout gave it.
  ASSERT_NE(nullptr, host.Browser.Handle());
  EXPECT_TRUE(SameRect(RECT{0, 0, 410, 290}, ClientRect(ControlWindow(host.Browser))));
  host.NavigateToKeptAddress();
  EXPECT_EQ("http://127.0.0.1:9/notice.html", WaitForLocation(host.Browser, "http://127.0.0.1:9/notice.html"));
  // From now on a request goes straight to the control.
  host.Navigate("http://127.0.0.1:9/other.html");
  EXPECT_EQ("http://127.0.0.1:9/other.html", WaitForLocation(host.Browser, "http://127.0.0.1:9/other.html"));
}

TEST_F(WebBrowserPanelTest, NoticePanelRaisesARefusalOfTheKeptAddressAndSendsNothingUnasked) {
  RefusingBrowser refusing{kRefusingVtable.slots};
  refusing.navigate_result = E_ACCESSDENIED;
  const auto factory = [&](ComPtr<IWebBrowser2>& out) {
    ComPtr<IWebBrowser2> real;
    const HRESULT hr = WebBrowserPanel::CreateSystemControl(real);
    if (FAILED(hr)) return hr;
    refusing.real = real.detach();
    refusing.refs = 1;
    out.attach(reinterpret_cast<IWebBrowser2*>(&refusing));
    return S_OK;
  };
  {
    NoticePanelHost unasked(parent(), ui::Rect{143, 56, 187, 150}, factory);
    ASSERT_TRUE(unasked.CreateControl());
    EXPECT_NO_THROW(unasked.NavigateToKeptAddress());
    EXPECT_EQ(0, refusing.requests);
  }
  {
    NoticePanelHost asked(parent(), ui::Rect{143, 56, 187, 150}, factory);
    EXPECT_NO_THROW(asked.Navigate("http://127.0.0.1:9/notice.html"));  // kept, not yet asked
    EXPECT_EQ(0, refusing.requests);
    ASSERT_TRUE(asked.CreateControl());
    try {
      asked.NavigateToKeptAddress();
      ADD_FAILURE() << "no error raised";
    } catch (const Error& e) {
      EXPECT_EQ(SystemErrorText(static_cast<DWORD>(E_ACCESSDENIED)), e.what());
    }
    EXPECT_EQ(1, refusing.requests);
    EXPECT_THROW(asked.Navigate("about:blank"), Error);
    EXPECT_EQ(2, refusing.requests);
  }
  EXPECT_EQ(0u, refusing.refs);
}

TEST_F(WebBrowserPanelTest, NoticePanelWithoutControlStaysAQuietEmptyArea) {
  NoticePanelHost host(parent(), ui::Rect{143, 56, 187, 150}, &test::NoBrowserControl);
  host.Navigate("http://127.0.0.1:9/notice.html");
  EXPECT_FALSE(host.CreateControl());
  EXPECT_TRUE(host.ControlCreated());
  EXPECT_NO_THROW(host.NavigateToKeptAddress());
  EXPECT_NO_THROW(host.Navigate("about:blank"));
  EXPECT_EQ("", host.Browser.LocationURL());
  host.SetVisible(false);
  EXPECT_FALSE(IsWindowVisible(host.Hwnd()));
}

TEST_F(WebBrowserPanelTest, ControlEventsReachTheHandlers) {
  // Wine's control reports the download of about:blank even without its
  // HTML engine; the handler then finds no document and stays quiet.
  WebBrowserPanel first, second;
  std::vector<std::string> debug, opened;
  int downloads = 0;
  ASSERT_TRUE(first.Create(parent(), kFirstPlace));
  ASSERT_TRUE(second.Create(parent(), kSecondPlace));
  ConnectNoticePanels(
      first, second,
      [&](const std::string& t) {
        ++downloads;  // only reached if a handler has something to say
        debug.push_back(t);
      },
      [&](const std::string& u) { opened.push_back(u); });
  const auto styling = first.onDownloadComplete;
  first.onDownloadComplete = [&] {
    ++downloads;
    styling();
  };
  first.Navigate(kNoticePlaceholderPage);
  WaitForLocation(first, kNoticePlaceholderPage);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (downloads == 0 && std::chrono::steady_clock::now() < end)
    PumpMessages(std::chrono::milliseconds(20));
  EXPECT_GE(downloads, 1);
  EXPECT_TRUE(debug.empty());
  EXPECT_TRUE(opened.empty());
}

}  // namespace
}  // namespace lk
