#pragma once
// The main window TForm2. For now the bare window: its class name and
// title are what a second launcher of the same brand looks for.
#include <windows.h>

#include <string>

namespace lk {

class TForm2 {
 public:
  // The registered window class name, looked up by FindWindowW.
  static constexpr const wchar_t* kClassName = L"TForm2";
  // The design-time client area.
  static constexpr int kClientWidth = 982;
  static constexpr int kClientHeight = 588;

  TForm2() = default;
  TForm2(const TForm2&) = delete;
  TForm2& operator=(const TForm2&) = delete;
  ~TForm2();

  // Registers the class (once) and creates the window titled `title`,
  // centred on the primary work area, and shows it. Throws Error when the
  // system refuses.
  void Create(HINSTANCE instance, const std::string& title, int show_command);

  HWND Handle() const { return hwnd_; }

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);

  HWND hwnd_ = nullptr;
};

// Runs the message loop until the main window ends it; returns the exit
// code posted with WM_QUIT.
int RunMessageLoop();

}  // namespace lk
