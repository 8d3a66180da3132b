#pragma once
// Host for the system's WebBrowser control (IWebBrowser2) in plain Win32,
// without ATL. The control lives in a child window of its own (the panel's
// container) inside a parent window; the panel places, sizes, shows and
// hides that container and activates the control in place in it.
//
// The panels are an extra for the player: the program must come up and work
// where the control cannot be created (no COM class) or cannot render (Wine
// without its HTML engine). A panel without a control is an empty area that
// silently ignores navigation.
//
// Everything here runs on the UI thread, which must have called
// OleInitialize (see OleInit) and must run a message loop.
#include <windows.h>
// After <windows.h>; the build defines WIN32_LEAN_AND_MEAN, so OLE comes in
// explicitly.
#include <ole2.h>

#include <functional>
#include <memory>
#include <string>

struct IWebBrowser2;

namespace lk {

// OleInitialize for the calling (UI) thread, undone only when it succeeded.
// The control needs OLE (not only COM): drag and drop, the clipboard and in-
// place activation go through it.
class OleInit {
 public:
  OleInit() : hr_(::OleInitialize(nullptr)) {}
  ~OleInit() {
    if (SUCCEEDED(hr_)) ::OleUninitialize();
  }
  OleInit(const OleInit&) = delete;
  OleInit& operator=(const OleInit&) = delete;
  HRESULT result() const { return hr_; }

 private:
  HRESULT hr_;
};

// The system's text for an OLE error code, or "OLE error XXXXXXXX" when the
// system has none.
std::string OleErrorText(HRESULT hr);

class WebBrowserPanel {
 public:
  // Makes the control. On success stores an owned reference in *out and
  // returns S_OK; any failure code means "no control". Tests pass their own.
  using ControlFactory = std::function<HRESULT(IWebBrowser2** out)>;

  // The system's control, CLSID_WebBrowser, in-process.
  static HRESULT CreateSystemControl(IWebBrowser2** out);

  WebBrowserPanel();
  explicit WebBrowserPanel(ControlFactory factory);
  ~WebBrowserPanel();
  WebBrowserPanel(const WebBrowserPanel&) = delete;
  WebBrowserPanel& operator=(const WebBrowserPanel&) = delete;

  // Creates the container as a visible child of `parent` at `bounds` (parent
  // client coordinates) and activates the control in it. Returns whether the
  // control is up; false leaves an empty container (or none, when even the
  // window could not be made). A second call changes nothing.
  bool Create(HWND parent, const RECT& bounds);

  bool HasControl() const;
  // The container window, or null.
  HWND Handle() const { return container_; }

  void SetBounds(const RECT& bounds);
  void SetVisible(bool visible);
  bool Visible() const;

  // Asks the control to go to `url` (UTF-8, passed on unchanged, also when
  // empty). A panel without a control does nothing. An error code that the
  // control returns for the request itself throws Error with the system's
  // text for it.
  void Navigate(const std::string& url);

  // The control's current address; empty without a control or when the
  // control reports none.
  std::string LocationURL() const;

  // The control's current document (an owned reference the caller releases),
  // or null: no control, nothing loaded, or the control reports an error.
  IDispatch* Document() const;

  // The event sink advised on DWebBrowserEvents2 (not owned by the caller).
  // It exists from construction on, so its dispatch can be driven directly.
  IDispatch* EventSink() const;

  // Unadvises the sink, deactivates and closes the control, releases it and
  // destroys the container. Idempotent; the destructor calls it. When the
  // parent window is destroyed first, the container's end does the same.
  void Destroy();

  // Called on the UI thread from the control's events. Unset means the
  // control's own behaviour (for NewWindow3: it opens its own window).
  std::function<void()> onDownloadComplete;
  // `cancel` starts false; set it to stop the control's own new window.
  std::function<void(const std::string& url, bool& cancel)> onNewWindow3;

 private:
  class Site;
  class Sink;
  friend class Site;
  friend class Sink;

  static LRESULT CALLBACK ContainerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void ActivateControl();
  void ReleaseControl();
  void UpdateObjectRects();
  void DispatchDownloadComplete();
  void DispatchNewWindow3(const std::string& url, bool& cancel);

  ControlFactory factory_;
  HWND container_ = nullptr;
  IWebBrowser2* browser_ = nullptr;
  Site* site_ = nullptr;
  Sink* sink_ = nullptr;
  DWORD advise_cookie_ = 0;
};

}  // namespace lk
