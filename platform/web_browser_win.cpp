#include "platform/web_browser.h"

// After <windows.h> and <ole2.h>, which they need.
#include <exdisp.h>
#include <exdispid.h>
#include <ocidl.h>

#include <cstdio>
#include <utility>

#include "platform/error.h"
#include "platform/text.h"

namespace lk {
namespace {

constexpr wchar_t kContainerClass[] = L"LkWebBrowserPanel";

// An owned COM reference, released once.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() { reset(); }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T** put() {
    reset();
    return &p_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }
  void reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }

 private:
  T* p_ = nullptr;
};

// A BSTR owned for the length of one call.
class Bstr {
 public:
  explicit Bstr(const std::wstring& text)
      : b_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  Bstr() = default;
  ~Bstr() { SysFreeString(b_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR get() const { return b_; }
  BSTR* put() {
    SysFreeString(b_);
    b_ = nullptr;
    return &b_;
  }

 private:
  BSTR b_ = nullptr;
};

std::string BstrToUtf8(BSTR b) { return b ? Narrow(std::wstring_view(b, SysStringLen(b))) : std::string(); }

void RegisterContainerClass(WNDPROC proc) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExW(GetModuleHandleW(nullptr), kContainerClass, &wc)) return;
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  // An empty panel (no control, or nothing rendered) shows a plain area.
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kContainerClass;
  RegisterClassExW(&wc);
}

}  // namespace

// The client site: the control asks it for its window, its place and the
// frame around it. It lives as long as somebody holds a reference; the panel
// detaches it when it lets the control go.
class WebBrowserPanel::Site final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
 public:
  explicit Site(WebBrowserPanel* panel) : panel_(panel) {}
  void Detach() { panel_ = nullptr; }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (riid == IID_IUnknown || riid == IID_IOleClientSite)
      *out = static_cast<IOleClientSite*>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite)
      *out = static_cast<IOleInPlaceSite*>(this);
    else if (riid == IID_IOleInPlaceUIWindow || riid == IID_IOleInPlaceFrame)
      *out = static_cast<IOleInPlaceFrame*>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetContainer(IOleContainer** out) override {
    if (out) *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (shared by the in-place site and the frame)
  STDMETHODIMP GetWindow(HWND* out) override {
    if (!out) return E_POINTER;
    *out = panel_ ? panel_->container_ : nullptr;
    return *out ? S_OK : E_FAIL;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return panel_ ? S_OK : S_FALSE; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                LPOLEINPLACEFRAMEINFO info) override {
    if (!frame || !doc || !pos || !clip || !info) return E_POINTER;
    *frame = nullptr;
    *doc = nullptr;
    if (!panel_ || !panel_->container_) return E_FAIL;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    GetClientRect(panel_->container_, pos);
    *clip = *pos;
    info->fMDIApp = FALSE;
    info->hwndFrame = GetAncestor(panel_->container_, GA_ROOT);
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
  STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
  STDMETHODIMP OnPosRectChange(LPCRECT) override {
    // The panel decides the place: the control always fills the container.
    if (panel_) panel_->UpdateObjectRects();
    return S_OK;
  }

  // IOleInPlaceUIWindow
  STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }

  // IOleInPlaceFrame: the launcher has no menus, status bar or accelerators
  // to share with the control.
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

 private:
  ~Site() = default;
  WebBrowserPanel* panel_;
  ULONG refs_ = 1;
};

// The DWebBrowserEvents2 sink. Arguments arrive in reverse order in rgvarg.
class WebBrowserPanel::Sink final : public IDispatch {
 public:
  explicit Sink(WebBrowserPanel* panel) : panel_(panel) {}
  void Detach() { panel_ = nullptr; }

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID_DWebBrowserEvents2) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }

  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    if (!panel_) return S_OK;
    // Nothing may unwind into the control: a failing handler is logged only.
    try {
      switch (id) {
        case DISPID_DOWNLOADCOMPLETE:
          panel_->DispatchDownloadComplete();
          break;
        case DISPID_NEWWINDOW3:
          OnNewWindow3(params);
          break;
        default:
          break;
      }
    } catch (const std::exception& e) {
      OutputDebugStringW(Wide(std::string("WebBrowserPanel: ") + e.what()).c_str());
    } catch (...) {
      OutputDebugStringW(L"WebBrowserPanel: unknown error in an event handler");
    }
    return S_OK;
  }

 private:
  ~Sink() = default;

  // NewWindow3(ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl), reversed:
  // rgvarg[0] the address, rgvarg[3] Cancel by reference.
  void OnNewWindow3(DISPPARAMS* params) {
    if (!params || params->cArgs < 5 || !params->rgvarg) return;
    const VARIANT& url_arg = params->rgvarg[0];
    VARIANT& cancel_arg = params->rgvarg[3];
    if (cancel_arg.vt != (VT_BOOL | VT_BYREF) || !cancel_arg.pboolVal) return;
    std::string url;
    if (url_arg.vt == VT_BSTR)
      url = BstrToUtf8(url_arg.bstrVal);
    else if (url_arg.vt == (VT_BSTR | VT_BYREF) && url_arg.pbstrVal)
      url = BstrToUtf8(*url_arg.pbstrVal);
    else
      return;
    bool cancel = *cancel_arg.pboolVal != VARIANT_FALSE;
    panel_->DispatchNewWindow3(url, cancel);
    *cancel_arg.pboolVal = cancel ? VARIANT_TRUE : VARIANT_FALSE;
  }

  WebBrowserPanel* panel_;
  ULONG refs_ = 1;
};

std::string OleErrorText(HRESULT hr) {
  wchar_t* buf = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
  std::wstring text = n ? std::wstring(buf, n) : std::wstring();
  if (buf) LocalFree(buf);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
    text.pop_back();
  if (!text.empty()) return Narrow(text);
  char code[32];
  std::snprintf(code, sizeof code, "OLE error %08lX", static_cast<unsigned long>(hr));
  return code;
}

HRESULT WebBrowserPanel::CreateSystemControl(IWebBrowser2** out) {
  return CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IWebBrowser2,
                          reinterpret_cast<void**>(out));
}

WebBrowserPanel::WebBrowserPanel() : WebBrowserPanel(&WebBrowserPanel::CreateSystemControl) {}

WebBrowserPanel::WebBrowserPanel(ControlFactory factory)
    : factory_(std::move(factory)), site_(new Site(this)), sink_(new Sink(this)) {}

WebBrowserPanel::~WebBrowserPanel() {
  Destroy();
  site_->Detach();
  site_->Release();
  sink_->Detach();
  sink_->Release();
}

LRESULT CALLBACK WebBrowserPanel::ContainerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lp);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* panel = reinterpret_cast<WebBrowserPanel*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (msg) {
    case WM_SIZE:
      if (panel) panel->UpdateObjectRects();
      break;
    case WM_DESTROY:
      // The parent may go first and take the container with it: let the
      // control go while its windows still exist.
      if (panel) {
        panel->ReleaseControl();
        panel->container_ = nullptr;
      }
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

bool WebBrowserPanel::Create(HWND parent, const RECT& bounds) {
  if (container_) return HasControl();
  RegisterContainerClass(&WebBrowserPanel::ContainerProc);
  container_ = CreateWindowExW(0, kContainerClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, bounds.left,
                               bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
                               nullptr, GetModuleHandleW(nullptr), this);
  if (!container_) return false;
  IWebBrowser2* browser = nullptr;
  if (!factory_ || FAILED(factory_(&browser)) || !browser) {
    if (browser) browser->Release();
    return false;
  }
  browser_ = browser;
  ActivateControl();
  return HasControl();
}

void WebBrowserPanel::ActivateControl() {
  ComRef<IOleObject> ole;
  if (FAILED(browser_->QueryInterface(IID_IOleObject, ole.put_void())) || !ole) {
    ReleaseControl();
    return;
  }
  if (FAILED(ole->SetClientSite(static_cast<IOleClientSite*>(site_)))) {
    ReleaseControl();
    return;
  }
  RECT rc{};
  GetClientRect(container_, &rc);
  if (FAILED(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(site_), 0,
                         container_, &rc))) {
    ReleaseControl();
    return;
  }
  UpdateObjectRects();
  // Without events the panel still shows pages; only the styling and the
  // new-window hand-over are lost.
  ComRef<IConnectionPointContainer> points;
  ComRef<IConnectionPoint> point;
  if (SUCCEEDED(browser_->QueryInterface(IID_IConnectionPointContainer, points.put_void())) &&
      SUCCEEDED(points->FindConnectionPoint(DIID_DWebBrowserEvents2, point.put()))) {
    DWORD cookie = 0;
    if (SUCCEEDED(point->Advise(static_cast<IDispatch*>(sink_), &cookie))) advise_cookie_ = cookie;
  }
}

void WebBrowserPanel::ReleaseControl() {
  if (!browser_) return;
  if (advise_cookie_) {
    ComRef<IConnectionPointContainer> points;
    ComRef<IConnectionPoint> point;
    if (SUCCEEDED(browser_->QueryInterface(IID_IConnectionPointContainer, points.put_void())) &&
        SUCCEEDED(points->FindConnectionPoint(DIID_DWebBrowserEvents2, point.put())))
      point->Unadvise(advise_cookie_);
    advise_cookie_ = 0;
  }
  ComRef<IOleInPlaceObject> in_place;
  if (SUCCEEDED(browser_->QueryInterface(IID_IOleInPlaceObject, in_place.put_void())))
    in_place->InPlaceDeactivate();
  ComRef<IOleObject> ole;
  if (SUCCEEDED(browser_->QueryInterface(IID_IOleObject, ole.put_void()))) {
    ole->Close(OLECLOSE_NOSAVE);
    ole->SetClientSite(nullptr);
  }
  std::exchange(browser_, nullptr)->Release();
}

bool WebBrowserPanel::HasControl() const { return browser_ != nullptr; }

void WebBrowserPanel::UpdateObjectRects() {
  if (!browser_ || !container_) return;
  RECT rc{};
  GetClientRect(container_, &rc);
  ComRef<IOleInPlaceObject> in_place;
  if (SUCCEEDED(browser_->QueryInterface(IID_IOleInPlaceObject, in_place.put_void())))
    in_place->SetObjectRects(&rc, &rc);
}

void WebBrowserPanel::SetBounds(const RECT& bounds) {
  if (!container_) return;
  // WM_SIZE brings the control along.
  MoveWindow(container_, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
             TRUE);
}

void WebBrowserPanel::SetVisible(bool visible) {
  if (container_) ShowWindow(container_, visible ? SW_SHOWNA : SW_HIDE);
}

bool WebBrowserPanel::Visible() const {
  return container_ && (GetWindowLongW(container_, GWL_STYLE) & WS_VISIBLE) != 0;
}

void WebBrowserPanel::Navigate(const std::string& url) {
  if (!browser_) return;
  Bstr address(Wide(url));
  VARIANT empty;
  VariantInit(&empty);
  const HRESULT hr = browser_->Navigate(address.get(), &empty, &empty, &empty, &empty);
  if (FAILED(hr)) throw Error(OleErrorText(hr));
}

std::string WebBrowserPanel::LocationURL() const {
  if (!browser_) return {};
  Bstr url;
  if (FAILED(browser_->get_LocationURL(url.put()))) return {};
  return BstrToUtf8(url.get());
}

IDispatch* WebBrowserPanel::Document() const {
  if (!browser_) return nullptr;
  IDispatch* document = nullptr;
  if (FAILED(browser_->get_Document(&document))) {
    if (document) document->Release();
    return nullptr;
  }
  return document;
}

IDispatch* WebBrowserPanel::EventSink() const { return static_cast<IDispatch*>(sink_); }

void WebBrowserPanel::Destroy() {
  // WM_DESTROY lets the control go first and forgets the container.
  if (container_) DestroyWindow(container_);
  ReleaseControl();
  container_ = nullptr;
}

void WebBrowserPanel::DispatchDownloadComplete() {
  if (onDownloadComplete) onDownloadComplete();
}

void WebBrowserPanel::DispatchNewWindow3(const std::string& url, bool& cancel) {
  if (onNewWindow3) onNewWindow3(url, cancel);
}

}  // namespace lk
