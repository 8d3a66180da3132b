// The notice panels' handlers. The events are driven through the panel's
// real DWebBrowserEvents2 sink with hand-built DISPPARAMS in the control's
// argument order (reversed); the page styling runs against small hand-built
// COM objects that answer only the vtable slots the styling uses, since
// Wine's control has no HTML document to offer.
#include "launcher/NoticePanels.h"

#include <gtest/gtest.h>
// After <windows.h>, which they need.
#include <exdisp.h>
#include <exdispid.h>
#include <mshtml.h>

#include <string>
#include <vector>

#include "tests/support/no_browser_control.h"

namespace lk {
namespace {

// ---------------------------------------------------------------------------
// Event sink, driven as the control drives it.

// Owns the BSTRs and variants of one NewWindow3 call:
// NewWindow3(ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl), reversed.
struct NewWindow3Call {
  IDispatch* new_window = nullptr;
  VARIANT_BOOL cancel = VARIANT_FALSE;
  VARIANT args[5];
  DISPPARAMS params{};

  NewWindow3Call(const wchar_t* url, const wchar_t* context) {
    for (auto& a : args) VariantInit(&a);
    args[0].vt = VT_BSTR;
    args[0].bstrVal = SysAllocString(url);
    args[1].vt = VT_BSTR;
    args[1].bstrVal = SysAllocString(context);
    args[2].vt = VT_I4;
    args[2].lVal = 0x6;  // NWMF_USERINITED | NWMF_FIRST
    args[3].vt = VT_BOOL | VT_BYREF;
    args[3].pboolVal = &cancel;
    args[4].vt = VT_DISPATCH | VT_BYREF;
    args[4].ppdispVal = &new_window;
    params.rgvarg = args;
    params.cArgs = 5;
  }
  ~NewWindow3Call() {
    SysFreeString(args[0].bstrVal);
    SysFreeString(args[1].bstrVal);
  }
  NewWindow3Call(const NewWindow3Call&) = delete;
  NewWindow3Call& operator=(const NewWindow3Call&) = delete;

  HRESULT SendTo(IDispatch* sink) {
    return sink->Invoke(DISPID_NEWWINDOW3, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                        nullptr, nullptr);
  }
};

HRESULT SendDownloadComplete(IDispatch* sink) {
  DISPPARAMS none{};
  return sink->Invoke(DISPID_DOWNLOADCOMPLETE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr,
                      nullptr, nullptr);
}

struct Recorders {
  std::vector<std::string> opened;
  std::vector<std::string> debug;
  DebugWriter Debug() {
    return [this](const std::string& t) { debug.push_back(t); };
  }
  UrlOpener Open() {
    return [this](const std::string& u) { opened.push_back(u); };
  }
};

TEST(NoticePanelEvents, FirstPanelNewWindowIsCancelledAndOpenedInTheDefaultBrowser) {
  WebBrowserPanel first(&test::NoBrowserControl), second(&test::NoBrowserControl);
  Recorders rec;
  ConnectNoticePanels(first, second, rec.Debug(), rec.Open());

  // The address (rgvarg[0]) differs from the page that asked (rgvarg[1]).
  NewWindow3Call call(L"http://127.0.0.1/活动/公告.html?id=7", L"http://127.0.0.1/notice.html");
  EXPECT_EQ(S_OK, call.SendTo(first.EventSink().get()));
  EXPECT_EQ(VARIANT_TRUE, call.cancel);
  ASSERT_EQ(1u, rec.opened.size());
  EXPECT_EQ("http://127.0.0.1/活动/公告.html?id=7", rec.opened[0]);
  EXPECT_EQ(nullptr, call.new_window);
  EXPECT_TRUE(rec.debug.empty());
}

TEST(NoticePanelEvents, SecondPanelNewWindowKeepsTheControlsDefault) {
  WebBrowserPanel first(&test::NoBrowserControl), second(&test::NoBrowserControl);
  Recorders rec;
  ConnectNoticePanels(first, second, rec.Debug(), rec.Open());

  NewWindow3Call call(L"http://127.0.0.1/other.html", L"http://127.0.0.1/web2.html");
  EXPECT_EQ(S_OK, call.SendTo(second.EventSink().get()));
  EXPECT_EQ(VARIANT_FALSE, call.cancel);
  EXPECT_TRUE(rec.opened.empty());
}

TEST(NoticePanelEvents, MalformedNewWindowArgumentsAreIgnored) {
  WebBrowserPanel first(&test::NoBrowserControl), second(&test::NoBrowserControl);
  Recorders rec;
  ConnectNoticePanels(first, second, rec.Debug(), rec.Open());

  {  // Too few arguments.
    NewWindow3Call call(L"http://127.0.0.1/a.html", L"");
    call.params.cArgs = 4;
    EXPECT_EQ(S_OK, call.SendTo(first.EventSink().get()));
    EXPECT_EQ(VARIANT_FALSE, call.cancel);
  }
  {  // Cancel passed by value: nothing to write back to.
    NewWindow3Call call(L"http://127.0.0.1/a.html", L"");
    call.args[3].vt = VT_BOOL;
    call.args[3].boolVal = VARIANT_FALSE;
    EXPECT_EQ(S_OK, call.SendTo(first.EventSink().get()));
  }
  {  // No parameters at all.
    EXPECT_EQ(S_OK, first.EventSink()->Invoke(DISPID_NEWWINDOW3, IID_NULL, LOCALE_USER_DEFAULT,
                                              DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr));
  }
  EXPECT_TRUE(rec.opened.empty());
}

TEST(NoticePanelEvents, DownloadCompleteWithoutDocumentDoesNothing) {
  WebBrowserPanel first(&test::NoBrowserControl), second(&test::NoBrowserControl);
  Recorders rec;
  ConnectNoticePanels(first, second, rec.Debug(), rec.Open());

  EXPECT_EQ(S_OK, SendDownloadComplete(first.EventSink().get()));
  EXPECT_EQ(S_OK, SendDownloadComplete(second.EventSink().get()));
  EXPECT_TRUE(rec.debug.empty());
  EXPECT_TRUE(rec.opened.empty());
}

TEST(NoticePanelEvents, SinkCallsTheBoundHandlersOnly) {
  WebBrowserPanel panel(&test::NoBrowserControl);
  int downloads = 0;
  panel.onDownloadComplete = [&] { ++downloads; };
  EXPECT_EQ(S_OK, SendDownloadComplete(panel.EventSink().get()));
  EXPECT_EQ(S_OK, SendDownloadComplete(panel.EventSink().get()));
  // Other events of the interface pass unnoticed.
  DISPPARAMS none{};
  EXPECT_EQ(S_OK, panel.EventSink()->Invoke(DISPID_DOCUMENTCOMPLETE, IID_NULL, LOCALE_USER_DEFAULT,
                                            DISPATCH_METHOD, &none, nullptr, nullptr, nullptr));
  EXPECT_EQ(2, downloads);
}

TEST(NoticePanelEvents, HandlerErrorDoesNotEscapeIntoTheControl) {
  WebBrowserPanel panel(&test::NoBrowserControl);
  panel.onDownloadComplete = [] { throw std::runtime_error("boom"); };
  EXPECT_EQ(S_OK, SendDownloadComplete(panel.EventSink().get()));
}

TEST(NoticePanelEvents, SinkAnswersTheEventInterface) {
  WebBrowserPanel panel(&test::NoBrowserControl);
  IDispatch* events = nullptr;
  ASSERT_EQ(S_OK,
            panel.EventSink()->QueryInterface(DIID_DWebBrowserEvents2, reinterpret_cast<void**>(&events)));
  ASSERT_NE(nullptr, events);
  events->Release();
  IUnknown* other = nullptr;
  EXPECT_EQ(E_NOINTERFACE,
            panel.EventSink()->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&other)));
  EXPECT_EQ(nullptr, other);
}

TEST(NoticePanelHandlers, NewWindow3SetsCancelBeforeOpening) {
  bool cancel = false;
  bool cancel_seen_by_open = false;
  WebBrowser1NewWindow3("https://example.invalid/pay", cancel,
                        [&](const std::string&) { cancel_seen_by_open = cancel; });
  EXPECT_TRUE(cancel);
  EXPECT_TRUE(cancel_seen_by_open);
}

TEST(NoticePanelHandlers, PlaceholderPageIsAboutBlank) {
  EXPECT_STREQ("about:blank", kNoticePlaceholderPage);
}

// ---------------------------------------------------------------------------
// Page styling against hand-built HTML objects.

// Which of the document, body and style exist and what each call answers.
struct DomScript {
  bool is_html = true;
  HRESULT body_hr = S_OK;
  bool has_body = true;
  HRESULT style_hr = S_OK;
  bool has_style = true;
  HRESULT overflow_hr = S_OK;
};

using Slot = void (*)();

// One hand-built COM object: the vtable pointer first, as COM lays it out.
// Only the IUnknown slots and the one slot each object is asked for are
// filled; nothing else of the interface is ever called by the styling.
struct FakeObject {
  const Slot* vtbl;
  ULONG refs = 1;
  struct FakeDom* dom;
};

struct FakeDom {
  DomScript script;
  FakeObject document{};
  FakeObject body{};
  FakeObject style{};
  std::wstring overflow;
  bool overflow_set = false;
};

HRESULT STDMETHODCALLTYPE FakeQueryInterface(FakeObject* self, REFIID riid, void** out) {
  *out = nullptr;
  const bool is_document = self == &self->dom->document;
  if (riid == IID_IUnknown || riid == IID_IDispatch ||
      (is_document && self->dom->script.is_html && riid == IID_IHTMLDocument2)) {
    ++self->refs;
    *out = self;
    return S_OK;
  }
  return E_NOINTERFACE;
}
ULONG STDMETHODCALLTYPE FakeAddRef(FakeObject* self) { return ++self->refs; }
ULONG STDMETHODCALLTYPE FakeRelease(FakeObject* self) { return --self->refs; }

HRESULT STDMETHODCALLTYPE FakeGetBody(FakeObject* self, IHTMLElement** out) {
  FakeDom& dom = *self->dom;
  *out = nullptr;
  if (FAILED(dom.script.body_hr)) return dom.script.body_hr;
  if (dom.script.has_body) {
    ++dom.body.refs;
    *out = reinterpret_cast<IHTMLElement*>(&dom.body);
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeGetStyle(FakeObject* self, IHTMLStyle** out) {
  FakeDom& dom = *self->dom;
  *out = nullptr;
  if (FAILED(dom.script.style_hr)) return dom.script.style_hr;
  if (dom.script.has_style) {
    ++dom.style.refs;
    *out = reinterpret_cast<IHTMLStyle*>(&dom.style);
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE FakePutOverflow(FakeObject* self, BSTR value) {
  FakeDom& dom = *self->dom;
  if (FAILED(dom.script.overflow_hr)) return dom.script.overflow_hr;
  dom.overflow.assign(value, SysStringLen(value));
  dom.overflow_set = true;
  return S_OK;
}

// Slot numbers in the interfaces' vtables (IUnknown 0-2, IDispatch 3-6):
// IHTMLDocument2::get_body, IHTMLElement::get_style, IHTMLStyle::put_overflow.
constexpr int kGetBodySlot = 9;
constexpr int kGetStyleSlot = 16;
constexpr int kPutOverflowSlot = 152;

struct Vtables {
  Slot document[kGetBodySlot + 1]{};
  Slot body[kGetStyleSlot + 1]{};
  Slot style[kPutOverflowSlot + 1]{};
  Vtables() {
    for (Slot* v : {document, body, style}) {
      v[0] = reinterpret_cast<Slot>(&FakeQueryInterface);
      v[1] = reinterpret_cast<Slot>(&FakeAddRef);
      v[2] = reinterpret_cast<Slot>(&FakeRelease);
    }
    document[kGetBodySlot] = reinterpret_cast<Slot>(&FakeGetBody);
    body[kGetStyleSlot] = reinterpret_cast<Slot>(&FakeGetStyle);
    style[kPutOverflowSlot] = reinterpret_cast<Slot>(&FakePutOverflow);
  }
};
const Vtables kVtables;

void Build(FakeDom& dom, const DomScript& script) {
  dom.script = script;
  dom.document = FakeObject{kVtables.document, 1, &dom};
  dom.body = FakeObject{kVtables.body, 1, &dom};
  dom.style = FakeObject{kVtables.style, 1, &dom};
}

struct StylingCase {
  const char* name;
  DomScript script;
  bool expect_hidden;
  HRESULT expect_logged;  // S_OK: nothing written
};

class PageStyling : public ::testing::TestWithParam<StylingCase> {};

TEST_P(PageStyling, SetsOverflowOrStaysQuiet) {
  const StylingCase& c = GetParam();
  FakeDom dom;
  Build(dom, c.script);
  std::vector<std::string> debug;
  HideDocumentScrollBars(reinterpret_cast<IDispatch*>(&dom.document),
                         [&](const std::string& t) { debug.push_back(t); });

  EXPECT_EQ(c.expect_hidden, dom.overflow_set);
  if (c.expect_hidden) {
    EXPECT_EQ(L"hidden", dom.overflow);
  }
  if (c.expect_logged == S_OK) {
    EXPECT_TRUE(debug.empty()) << debug.front();
  } else {
    ASSERT_EQ(1u, debug.size());
    EXPECT_EQ("错误: " + SystemErrorText(static_cast<DWORD>(c.expect_logged)), debug[0]);
  }
  // Every reference the styling took is given back, also after an error.
  EXPECT_EQ(1u, dom.document.refs);
  EXPECT_EQ(1u, dom.body.refs);
  EXPECT_EQ(1u, dom.style.refs);
}

INSTANTIATE_TEST_SUITE_P(
    NoticePanelHandlers, PageStyling,
    ::testing::Values(StylingCase{"html_page", {}, true, S_OK},
                      StylingCase{"not_html", {.is_html = false}, false, S_OK},
                      StylingCase{"no_body", {.has_body = false}, false, S_OK},
                      StylingCase{"body_fails", {.body_hr = E_ACCESSDENIED}, false, E_ACCESSDENIED},
                      StylingCase{"style_fails", {.style_hr = E_OUTOFMEMORY}, false, E_OUTOFMEMORY},
                      StylingCase{"overflow_refused", {.overflow_hr = E_INVALIDARG}, false, E_INVALIDARG},
                      // A code the system has no text for still makes a readable line.
                      StylingCase{"unknown_code",
                                  {.overflow_hr = static_cast<HRESULT>(0x80AB0001)},
                                  false,
                                  static_cast<HRESULT>(0x80AB0001)}),
    [](const ::testing::TestParamInfo<StylingCase>& param) { return std::string(param.param.name); });

TEST(NoticePanelHandlers, MissingStyleObjectIsLogged) {
  FakeDom dom;
  Build(dom, {.has_style = false});
  std::vector<std::string> debug;
  HideDocumentScrollBars(reinterpret_cast<IDispatch*>(&dom.document),
                         [&](const std::string& t) { debug.push_back(t); });
  ASSERT_EQ(1u, debug.size());
  EXPECT_EQ(0u, debug[0].rfind("错误: ", 0));
  EXPECT_FALSE(dom.overflow_set);
  EXPECT_EQ(1u, dom.body.refs);
}

TEST(NoticePanelHandlers, NoDocumentDoesNothing) {
  std::vector<std::string> debug;
  HideDocumentScrollBars(nullptr, [&](const std::string& t) { debug.push_back(t); });
  EXPECT_TRUE(debug.empty());
}

}  // namespace
}  // namespace lk
