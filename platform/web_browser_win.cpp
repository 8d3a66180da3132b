#include "platform/web_browser.h"

// After <windows.h> and <ole2.h>, which they need.
#include <exdisp.h>
#include <exdispid.h>
#include <ocidl.h>

#include <utility>

#include "platform/error.h"
#include "platform/text.h"

namespace lk {
namespace {

constexpr wchar_t kContainerClass[] = L"LkWebBrowserPanel";

// The control's connection point for DWebBrowserEvents2, or null.
ComPtr<IConnectionPoint> EventPoint(const ComPtr<IWebBrowser2>& browser) {
  ComPtr<IConnectionPoint> point;
  const ComPtr<IConnectionPointContainer> points = browser.As<IConnectionPointContainer>();
  if (!points || FAILED(points->FindConnectionPoint(DIID_DWebBrowserEvents2, point.put()))) point.reset();
  return point;
}

}  // namespace

// The container window: the control's in-place window lives inside it.
class WebBrowserPanel::Container final : public Window {
 public:
  Container(WebBrowserPanel& panel, HWND parent, const RECT& bounds) : panel_(panel) {
    // An empty panel (no control, or nothing rendered) shows a plain area.
    CreateWindowOf(
        WindowClass{kContainerClass, 0, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1)}, "",
        WindowPlace{bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
                    WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, parent},
        "WebBrowserPanel");
  }
  void Destroy() { DestroyHwnd(); }

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case WM_SIZE:
        panel_.UpdateObjectRects();
        break;
      case WM_DESTROY:
        // The parent may go first and take the container with it: let the
        // control go while its windows still exist.
        panel_.ReleaseControl();
        break;
      default:
        break;
    }
    return DefaultHandling(msg, wp, lp);
  }

 private:
  WebBrowserPanel& panel_;
};

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
    *out = panel_ ? panel_->container() : nullptr;
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
    const HWND container = panel_ ? panel_->container() : nullptr;
    if (!container) return E_FAIL;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    GetClientRect(container, pos);
    *clip = *pos;
    info->fMDIApp = FALSE;
    info->hwndFrame = GetAncestor(container, GA_ROOT);
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
      url = Utf8FromBstr(url_arg.bstrVal);
    else if (url_arg.vt == (VT_BSTR | VT_BYREF) && url_arg.pbstrVal)
      url = Utf8FromBstr(*url_arg.pbstrVal);
    else
      return;
    bool cancel = *cancel_arg.pboolVal != VARIANT_FALSE;
    panel_->DispatchNewWindow3(url, cancel);
    *cancel_arg.pboolVal = cancel ? VARIANT_TRUE : VARIANT_FALSE;
  }

  WebBrowserPanel* panel_;
  ULONG refs_ = 1;
};

HRESULT WebBrowserPanel::CreateSystemControl(ComPtr<IWebBrowser2>& out) {
  return CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IWebBrowser2, out.put_void());
}

WebBrowserPanel::WebBrowserPanel() : WebBrowserPanel(&WebBrowserPanel::CreateSystemControl) {}

WebBrowserPanel::WebBrowserPanel(ControlFactory factory) : factory_(std::move(factory)) {
  site_.attach(new Site(this));
  sink_.attach(new Sink(this));
}

WebBrowserPanel::~WebBrowserPanel() {
  Destroy();
  // The control may hold on to them longer: they must not reach back.
  site_->Detach();
  sink_->Detach();
}

HWND WebBrowserPanel::container() const { return container_ ? container_->Hwnd() : nullptr; }

bool WebBrowserPanel::Create(HWND parent, const RECT& bounds) {
  if (container()) return HasControl();
  try {
    container_ = std::make_unique<Container>(*this, parent, bounds);
  } catch (const Error&) {
    container_.reset();
    return false;
  }
  ComPtr<IWebBrowser2> browser;
  if (!factory_ || FAILED(factory_(browser)) || !browser) return false;
  browser_ = std::move(browser);
  ActivateControl();
  return HasControl();
}

void WebBrowserPanel::ActivateControl() {
  const ComPtr<IOleObject> ole = browser_.As<IOleObject>();
  if (!ole || FAILED(ole->SetClientSite(static_cast<IOleClientSite*>(site_.get())))) {
    ReleaseControl();
    return;
  }
  RECT rc{};
  GetClientRect(container(), &rc);
  if (FAILED(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(site_.get()), 0,
                         container(), &rc))) {
    ReleaseControl();
    return;
  }
  UpdateObjectRects();
  // Without events the panel still shows pages; only the styling and the
  // new-window hand-over are lost.
  if (const ComPtr<IConnectionPoint> point = EventPoint(browser_)) {
    DWORD cookie = 0;
    if (SUCCEEDED(point->Advise(static_cast<IDispatch*>(sink_.get()), &cookie))) advise_cookie_ = cookie;
  }
}

void WebBrowserPanel::ReleaseControl() {
  if (!browser_) return;
  if (advise_cookie_) {
    if (const ComPtr<IConnectionPoint> point = EventPoint(browser_)) point->Unadvise(advise_cookie_);
    advise_cookie_ = 0;
  }
  if (const ComPtr<IOleInPlaceObject> in_place = browser_.As<IOleInPlaceObject>())
    in_place->InPlaceDeactivate();
  if (const ComPtr<IOleObject> ole = browser_.As<IOleObject>()) {
    ole->Close(OLECLOSE_NOSAVE);
    ole->SetClientSite(nullptr);
  }
  browser_.reset();
}

bool WebBrowserPanel::HasControl() const { return static_cast<bool>(browser_); }

void WebBrowserPanel::UpdateObjectRects() {
  if (!browser_ || !container()) return;
  RECT rc{};
  GetClientRect(container(), &rc);
  if (const ComPtr<IOleInPlaceObject> in_place = browser_.As<IOleInPlaceObject>())
    in_place->SetObjectRects(&rc, &rc);
}

void WebBrowserPanel::SetBounds(const RECT& bounds) {
  if (!container()) return;
  // WM_SIZE brings the control along.
  MoveWindow(container(), bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
             TRUE);
}

void WebBrowserPanel::SetVisible(bool visible) {
  if (container()) ShowWindow(container(), visible ? SW_SHOWNA : SW_HIDE);
}

bool WebBrowserPanel::Visible() const {
  return container() && (GetWindowLongW(container(), GWL_STYLE) & WS_VISIBLE) != 0;
}

void WebBrowserPanel::Navigate(const std::string& url) {
  if (!browser_) return;
  const UniqueBstr address = MakeBstr(url);
  VARIANT empty;
  VariantInit(&empty);
  ThrowIfFailed(browser_->Navigate(address.get(), &empty, &empty, &empty, &empty));
}

std::string WebBrowserPanel::LocationURL() const {
  if (!browser_) return {};
  UniqueBstr url;
  if (FAILED(browser_->get_LocationURL(url.put()))) return {};
  return Utf8FromBstr(url.get());
}

ComPtr<IDispatch> WebBrowserPanel::Document() const {
  ComPtr<IDispatch> document;
  if (browser_ && FAILED(browser_->get_Document(document.put()))) document.reset();
  return document;
}

ComPtr<IDispatch> WebBrowserPanel::EventSink() const {
  return ComPtr<IDispatch>::Share(static_cast<IDispatch*>(sink_.get()));
}

void WebBrowserPanel::Destroy() {
  // WM_DESTROY lets the control go first.
  if (container_) container_->Destroy();
  ReleaseControl();
  container_.reset();
}

void WebBrowserPanel::DispatchDownloadComplete() {
  if (onDownloadComplete) onDownloadComplete();
}

void WebBrowserPanel::DispatchNewWindow3(const std::string& url, bool& cancel) {
  if (onNewWindow3) onNewWindow3(url, cancel);
}

}  // namespace lk
