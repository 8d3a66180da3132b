#include "launcher/NoticePanels.h"

// After <windows.h>, which it needs.
#include <mshtml.h>

#include "platform/error.h"
#include "platform/handles.h"
#include "platform/shell_open.h"
#include "platform/text.h"

namespace lk {
namespace {

// A failing document operation is an error with the system's text for its
// code, as the handler's guard expects.
void ApplyHiddenOverflow(IDispatch* document) {
  // Not an HTML document (a picture, a PDF, a folder view): nothing to style.
  const ComPtr<IHTMLDocument2> html = ComPtr<IDispatch>::Share(document).As<IHTMLDocument2>();
  if (!html) return;
  ComPtr<IHTMLElement> body;
  ThrowIfFailed(html->get_body(body.put()));
  if (!body) return;
  ComPtr<IHTMLStyle> style;
  ThrowIfFailed(body->get_style(style.put()));
  if (!style) throw Error("no style object");
  ThrowIfFailed(style->put_overflow(MakeBstr("hidden").get()));
}

}  // namespace

NoticePanelHost::NoticePanelHost(HWND parent, const ui::Rect& bounds, WebBrowserPanel::ControlFactory factory)
    : Browser(std::move(factory)) {
  // SS_WHITERECT paints the window colour, as the browser's own container
  // does: the panel looks the same before and after its control comes.
  Attach(ui::CreateChild(parent, L"STATIC", WS_VISIBLE | WS_CLIPCHILDREN | SS_WHITERECT, 0, bounds,
                         "WebBrowser"),
         "WebBrowser");
}

void NoticePanelHost::SetBounds(const ui::Rect& r) {
  ui::Control::SetBounds(r);
  Browser.SetBounds(RECT{0, 0, r.width, r.height});
}

bool NoticePanelHost::CreateControl() {
  if (created_) return Browser.HasControl();
  created_ = true;
  const ui::Rect r = Bounds();
  return Browser.Create(Hwnd(), RECT{0, 0, r.width, r.height});
}

void NoticePanelHost::NavigateToKeptAddress() {
  if (created_ && pending_) Browser.Navigate(*std::exchange(pending_, std::nullopt));
}

void NoticePanelHost::Navigate(const std::string& url) {
  if (created_) {
    Browser.Navigate(url);
  } else {
    pending_ = url;
  }
}

void WriteDebugOutput(const std::string& text) { OutputDebugStringW(Wide(text).c_str()); }

void OpenInDefaultBrowser(const std::string& url) { ShellOpen(url); }

void HideDocumentScrollBars(IDispatch* document, const DebugWriter& debug) {
  if (!document) return;
  try {
    ApplyHiddenOverflow(document);
  } catch (const std::exception& e) {
    if (debug) debug(std::string("错误: ") + e.what());
  }
}

void WebBrowser1DownloadComplete(const WebBrowserPanel& webBrowser1, const DebugWriter& debug) {
  HideDocumentScrollBars(webBrowser1.Document().get(), debug);
}

void WebBrowser2DownloadComplete(const WebBrowserPanel& webBrowser2, const DebugWriter& debug) {
  HideDocumentScrollBars(webBrowser2.Document().get(), debug);
}

void WebBrowser1NewWindow3(const std::string& url, bool& cancel, const UrlOpener& open) {
  cancel = true;
  if (open) open(url);
}

void ConnectNoticePanels(WebBrowserPanel& webBrowser1, WebBrowserPanel& webBrowser2, DebugWriter debug,
                         UrlOpener open) {
  webBrowser1.onDownloadComplete = [&webBrowser1, debug] { WebBrowser1DownloadComplete(webBrowser1, debug); };
  webBrowser2.onDownloadComplete = [&webBrowser2, debug] { WebBrowser2DownloadComplete(webBrowser2, debug); };
  webBrowser1.onNewWindow3 = [open](const std::string& url, bool& cancel) {
    WebBrowser1NewWindow3(url, cancel, open);
  };
  webBrowser2.onNewWindow3 = nullptr;
}

}  // namespace lk
