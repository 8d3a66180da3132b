// TForm2 as the update run's host: every call arrives on the UI thread.
#include "launcher/LMain.h"
#include "launcher/Startup.h"
#include "platform/text.h"

namespace lk {

void TForm2::SetRemoteTools(const std::string& caption1, const std::string& caption2, const std::string& path1,
                            const std::string& path2) {
  PopupMenu1->SetItemText(0, caption1);
  PopupMenu1->SetItemText(1, caption2);
  RemoteToolPath1 = path1;
  RemoteToolPath2 = path2;
}

bool TForm2::AskToUpdate() {
  // OK is the default button; Esc and the close box answer Cancel.
  return MessageBoxW(Handle(), L"检测到有内容要更新，是否进行更新。", L"提示",
                     MB_OKCANCEL | MB_ICONINFORMATION | MB_DEFBUTTON1) == IDOK;
}

void TForm2::MakeSpeedLabelTransparent() {
  // The toolkit's labels never paint a background of their own; a repaint
  // shows the skin under the new text.
  InvalidateRect(Label4->Hwnd(), nullptr, TRUE);
}

void TForm2::ReloadConfiguration() { loadConfiguration(); }

void TForm2::ShowMessage(const std::string& text) { ShowMessageDialog(text); }

void TForm2::SetItemBar(BarState bar) {
  ProgressBar1->SetRange(0, bar.max);
  ProgressBar1->SetPosition(bar.position);
}

void TForm2::SetRunBar(BarState bar) {
  ProgressBar2->SetRange(0, bar.max);
  ProgressBar2->SetPosition(bar.position);
}

void TForm2::SetItemPercent(const std::string& text) { Label7->SetCaption(text); }
void TForm2::SetRunPercent(const std::string& text) { Label8->SetCaption(text); }
void TForm2::SetSpeed(const std::string& text) { Label4->SetCaption(text); }
void TForm2::SetStatus(const std::string& text) { Label3->SetCaption(text); }

}  // namespace lk
