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
// Everything here runs on the UI thread, which must have initialised OLE
// (ComInit::kOle) and must run a message loop.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/handles.h"
#include "platform/window.h"

struct IWebBrowser2;

namespace lk {

class WebBrowserPanel {
 public:
  // Makes the control. On success stores it in `out` and returns S_OK; any
  // failure code means "no control". Tests pass their own.
  using ControlFactory = std::function<HRESULT(ComPtr<IWebBrowser2>& out)>;

  // The system's control, CLSID_WebBrowser, in-process.
  static HRESULT CreateSystemControl(ComPtr<IWebBrowser2>& out);

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
  HWND Handle() const { return container(); }

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

  // The control's current document, or null: no control, nothing loaded,
  // or the control reports an error.
  ComPtr<IDispatch> Document() const;

  // The event sink advised on DWebBrowserEvents2. It exists from
  // construction on, so its dispatch can be driven directly.
  ComPtr<IDispatch> EventSink() const;

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
  class Container;
  friend class Site;
  friend class Sink;
  friend class Container;

  void ActivateControl();
  void ReleaseControl();
  void UpdateObjectRects();
  void DispatchDownloadComplete();
  void DispatchNewWindow3(const std::string& url, bool& cancel);

  HWND container() const;

  ControlFactory factory_;
  std::unique_ptr<Container> container_;
  ComPtr<IWebBrowser2> browser_;
  ComPtr<Site> site_;
  ComPtr<Sink> sink_;
  DWORD advise_cookie_ = 0;
};

}  // namespace lk
