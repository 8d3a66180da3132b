// The patcher's window and the order of its work, with the actions that
// touch the world recorded instead of carried out (the program itself is
// driven end to end by tests/e2e/test_patcher.py).
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "patcher/PMain.h"
#include "platform/self_path.h"

namespace lk {
namespace {

struct Recorded {
  std::mutex mutex;
  std::vector<std::string> steps;
  void Add(std::string s) {
    std::lock_guard lock(mutex);
    steps.push_back(std::move(s));
  }
};

// Runs the form's message loop until the work asks to end the process.
std::vector<std::string> RunForm(std::vector<std::string> args, TForm3** seen = nullptr,
                                 std::function<void()> atKill = nullptr) {
  Recorded rec;
  TForm3* form_ptr = nullptr;
  bool ended = false;
  PatchActions a;
  a.killProcessByName = [&](const std::string& name, const std::string& folder) {
    if (atKill) atKill();
    rec.Add("kill " + name + " in " + folder + " | " + form_ptr->LabelText());
  };
  a.sleep = [&](DWORD ms) { rec.Add("sleep " + std::to_string(ms)); };
  a.extractPackage = [&](const std::string& archive, const std::string& folder, const std::string& name,
                         const std::string& digest) {
    rec.Add("extract " + archive + " to " + folder + (digest.empty() ? "" : " checking " + name + " " + digest) +
            " | " + form_ptr->LabelText());
  };
  a.open = [&](HWND owner, const std::string& path) {
    rec.Add(std::string("open ") + (owner == form_ptr->handle() ? "owned " : "unowned ") + path);
  };
  a.removeDirIfEmpty = [&](const std::string& folder) { rec.Add("tidy " + folder); };
  a.endProcess = [&] {
    rec.Add("end");
    ended = true;
  };
  TForm3 form(std::move(args), a);
  form_ptr = &form;
  if (seen) *seen = &form;
  EXPECT_TRUE(form.Create());
  const ULONGLONG deadline = GetTickCount64() + 10000;
  MSG msg;
  while (!ended && GetTickCount64() < deadline) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  EXPECT_TRUE(ended);
  std::lock_guard lock(rec.mutex);
  return rec.steps;
}

TEST(PatcherForm, WorkRunsInOrderWithItsTexts) {
  const std::string folder = LauncherFolder();
  const std::vector<std::string> steps =
      RunForm({"Game.exe", "C:\\游戏 目录\\Patch\\L.zip", "Game.exe", "ignored"});
  const std::vector<std::string> expected = {
      "kill Game.exe in " + folder + " | 等待五秒关闭 Game.exe...",
      "sleep 5000",
      // A backslash and an n, not a line break.
      "extract C:\\游戏 目录\\Patch\\L.zip to " + folder +
          " | 正在解压文件 C:\\游戏 目录\\Patch\\L.zip...\\n启动Game.exe",
      "sleep 3000",
      "open owned " + folder + "Game.exe",
      "tidy " + folder + "Patch",
      "end",
  };
  EXPECT_EQ(steps, expected);
}

// A digest as the fourth argument: the unpacked launcher must have it.
TEST(PatcherForm, AFourthArgumentThatIsADigestIsChecked) {
  const std::string digest(64, 'a');
  const std::vector<std::string> steps = RunForm({"Game.exe", "L.zip", "Game.exe", digest});
  ASSERT_GE(steps.size(), 3u);
  EXPECT_EQ(steps[2].rfind("extract L.zip to " + LauncherFolder() + " checking Game.exe " + digest + " |", 0), 0u)
      << steps[2];
}

TEST(PatcherForm, WindowIsBorderless520By172AndCentred) {
  TForm3* form = nullptr;
  std::string geometry;
  // Looked at while the work runs (the window exists then).
  RunForm({"a.exe", "b.zip", "c.exe"}, &form, [&] {
    HWND h = form->handle();
    RECT client{}, window{};
    GetClientRect(h, &client);
    GetWindowRect(h, &window);
    wchar_t caption[64];
    GetWindowTextW(h, caption, 64);
    const LONG style = GetWindowLongW(h, GWL_STYLE);
    HWND label = GetWindow(h, GW_CHILD);
    RECT lr{};
    GetWindowRect(label, &lr);
    MapWindowPoints(nullptr, h, reinterpret_cast<POINT*>(&lr), 2);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const bool centred = window.left == work.left + (work.right - work.left - 520) / 2 &&
                         window.top == work.top + (work.bottom - work.top - 172) / 2;
    geometry = std::to_string(client.right) + "x" + std::to_string(client.bottom) +
               ((style & (WS_CAPTION | WS_THICKFRAME)) ? " framed" : " borderless") +
               (std::wstring(caption) == L"Form3" ? " Form3" : " other") + " label at " +
               std::to_string(lr.left) + "," + std::to_string(lr.top) +
               (centred ? " centred" : " off-centre");
  });
  EXPECT_EQ(geometry, "520x172 borderless Form3 label at 48,64 centred");
}

}  // namespace
}  // namespace lk
