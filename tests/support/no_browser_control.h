#pragma once
// A web browser panel's control factory that makes no control, as on a
// system without the browser's COM class: the panel stays an empty area,
// while its handlers still bind and its event sink still answers.
#include "platform/web_browser.h"

namespace lk::test {

inline HRESULT NoBrowserControl(ComPtr<IWebBrowser2>& out) {
  out.reset();
  return REGDB_E_CLASSNOTREG;
}

}  // namespace lk::test
