#pragma once
// The two notice panels of the main window: what their events do. TForm2
// owns the panels (WebBrowser1 shows NoticeUrl, WebBrowser2 shows WebUr2)
// and binds these handlers with ConnectNoticePanels.
#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "platform/ui/control.h"
#include "platform/web_browser.h"

namespace lk {

// The page both panels open at window construction, before the
// configuration load sends them to their configured addresses.
inline constexpr const char* kNoticePlaceholderPage = "about:blank";

// A notice panel of the main window: a container child that the skin layout
// places, sizes and hides, and the system's web browser control inside it.
// The control is the slowest thing of the window to make and shows nothing
// the first paint needs, so it is made on its own (CreateControl), right
// after the window has been shown; until then the container is a plain area
// in the window's colour and keeps the address last asked for. Where the
// control cannot be created the container stays empty and navigation is
// ignored.
class NoticePanelHost : public ui::Control {
 public:
  NoticePanelHost(HWND parent, const ui::Rect& bounds,
                  WebBrowserPanel::ControlFactory factory = &WebBrowserPanel::CreateSystemControl);
  // Moves the container; the browser control fills it.
  void SetBounds(const ui::Rect& r);
  // Makes the browser control (once; later calls change nothing). True when
  // the control is up.
  bool CreateControl();
  bool ControlCreated() const { return created_; }
  // Before CreateControl: keeps the address (the last one wins). After it:
  // asks the control, throwing lk::Error when a created control refuses the
  // request itself.
  void Navigate(const std::string& url);
  // After CreateControl: sends the control to the address kept before it
  // existed, if any, as Navigate does.
  void NavigateToKeptAddress();

  WebBrowserPanel Browser;

 private:
  bool created_ = false;
  std::optional<std::string> pending_;
};

// Where the handlers send their outside effects; tests put recorders here.
// Defaults: the platform's debug output and the shell's "open".
using DebugWriter = std::function<void(const std::string& text)>;
using UrlOpener = std::function<void(const std::string& url)>;
void WriteDebugOutput(const std::string& text);     // OutputDebugStringW
void OpenInDefaultBrowser(const std::string& url);  // ShellExecuteW "open"

// Sets the body's style.overflow to "hidden" in `document` (may be null).
// No document, not an HTML document, or no body: nothing. Any error on the
// way is written to `debug` as "错误: " + message and otherwise ignored.
void HideDocumentScrollBars(IDispatch* document, const DebugWriter& debug = WriteDebugOutput);

// Download complete of the first and second panel: each styles its own page.
void WebBrowser1DownloadComplete(const WebBrowserPanel& webBrowser1,
                                 const DebugWriter& debug = WriteDebugOutput);
void WebBrowser2DownloadComplete(const WebBrowserPanel& webBrowser2,
                                 const DebugWriter& debug = WriteDebugOutput);

// New window requested in the first panel: cancel it and open the address
// in the player's default web browser (the result is not examined).
void WebBrowser1NewWindow3(const std::string& url, bool& cancel,
                           const UrlOpener& open = OpenInDefaultBrowser);

// Binds the handlers above to the panels' events. The second panel gets no
// new-window handler: it keeps the control's own behaviour.
void ConnectNoticePanels(WebBrowserPanel& webBrowser1, WebBrowserPanel& webBrowser2,
                         DebugWriter debug = WriteDebugOutput, UrlOpener open = OpenInDefaultBrowser);

}  // namespace lk
