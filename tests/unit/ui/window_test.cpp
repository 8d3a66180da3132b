// The window base under Wine: a window bound to its object from creation to
// its end, whoever ends it, and windows of system classes adopted.
#include "platform/window.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/error.h"
#include "tests/unit/ui/ui_test_support.h"

namespace lk {
namespace {

// Records the messages it is handed into a log that outlives it.
class Probe : public Window {
 public:
  Probe(std::vector<UINT>& log, HWND parent, DWORD style) : log_(log) {
    CreateWindowOf(WindowClass{L"LkWindowTestProbe"}, "probe", WindowPlace{10, 20, 50, 30, style, 0, parent},
                   "Probe");
  }
  using Window::Adopt;
  using Window::DestroyHwnd;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    log_.push_back(msg);
    if (msg == WM_APP + 7) return 42;
    return DefaultHandling(msg, wp, lp);
  }

 private:
  std::vector<UINT>& log_;
};

bool Saw(const std::vector<UINT>& log, UINT msg) {
  for (UINT m : log)
    if (m == msg) return true;
  return false;
}

TEST(WindowBase, MessagesReachTheObjectFromCreationOn) {
  std::vector<UINT> log;
  Probe probe(log, nullptr, WS_POPUP);
  ASSERT_NE(probe.Hwnd(), nullptr);
  EXPECT_EQ(Window::FromHwnd(probe.Hwnd()), &probe);
  // Creation itself already went through the object.
  EXPECT_TRUE(Saw(log, WM_NCCREATE));
  EXPECT_TRUE(Saw(log, WM_CREATE));
  EXPECT_EQ(SendMessageW(probe.Hwnd(), WM_APP + 7, 0, 0), 42);
  EXPECT_EQ(WindowText(probe.Hwnd()), "probe");
}

TEST(WindowBase, ObjectDestroysItsWindowWithoutCallingBackIntoItself) {
  std::vector<UINT> log;
  HWND hwnd = nullptr;
  {
    Probe probe(log, nullptr, WS_POPUP);
    hwnd = probe.Hwnd();
    log.clear();
  }
  EXPECT_FALSE(IsWindow(hwnd));
  // The derived object was gone when its window was destroyed: none of the
  // destruction's messages may reach it.
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(Window::FromHwnd(hwnd), nullptr);
}

TEST(WindowBase, WindowDestroyedFirstUnbindsItsObject) {
  std::vector<UINT> log;
  Probe parent(log, nullptr, WS_POPUP);
  Probe child(log, parent.Hwnd(), WS_CHILD | WS_VISIBLE);
  const HWND childHwnd = child.Hwnd();
  log.clear();
  parent.DestroyHwnd();
  // The child saw its own end and let go of the dead handle.
  EXPECT_TRUE(Saw(log, WM_DESTROY));
  EXPECT_EQ(child.Hwnd(), nullptr);
  EXPECT_EQ(parent.Hwnd(), nullptr);
  EXPECT_FALSE(IsWindow(childHwnd));
  // A later window may get the same handle value: the objects' ends must
  // leave it alone.
  Probe later(log, nullptr, WS_POPUP);
  EXPECT_TRUE(IsWindow(later.Hwnd()));
}

TEST(WindowBase, AdoptedSystemWindowIsBoundAndOwned) {
  std::vector<UINT> log;
  Probe parent(log, nullptr, WS_POPUP);
  HWND button = nullptr;
  {
    struct Adopter : Window {
      explicit Adopter(HWND hwnd) { Adopt(hwnd, "BUTTON"); }
    } adopted(CreateWindowExW(0, L"BUTTON", L"ok", WS_CHILD, 0, 0, 40, 20, parent.Hwnd(), nullptr,
                              GetModuleHandleW(nullptr), nullptr));
    button = adopted.Hwnd();
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(Window::FromHwnd(button), &adopted);
    // Its own class still answers its messages.
    EXPECT_EQ(WindowText(button), "ok");
  }
  EXPECT_FALSE(IsWindow(button));
}

TEST(WindowBase, FailuresNameWhatFailed) {
  std::vector<UINT> log;
  // A child window needs a parent.
  try {
    Probe orphan(log, nullptr, WS_CHILD);
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Probe: ", 0), 0u) << e.what();
  }
  struct Adopter : Window {
    Adopter() { Adopt(nullptr, "Tree"); }
  };
  try {
    Adopter none;
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Tree: ", 0), 0u) << e.what();
  }
}

}  // namespace
}  // namespace lk
