// TForm2: the skinned surface (background, colour key, drag), the image
// buttons' hover pictures and clicks, the tray icon and the tools menu.
#include "launcher/LMain.h"

#include "launcher/LMain_pictures.h"
#include "launcher/RemoteTools.h"
#include "launcher/Startup.h"
#include "platform/handles.h"
#include "platform/image.h"
#include "platform/self_path.h"
#include "platform/shell_open.h"
#include "platform/ui/picture.h"

namespace lk {

namespace {

// An empty address opens nothing and reports nothing.
void OpenPage(const std::string& url) {
  if (!url.empty()) ShellOpen(url);
}

}  // namespace

void TForm2::SetSkinBackground() {
  // The background at (0, 0); with it, magenta is see-through and
  // click-through, and the window's own colour is magenta so that whatever
  // the picture does not cover is see-through too. Without a background
  // nothing of this happens.
  if (const ImageRef& back = GraphicInfo.ControlbackImage; back && !back->Pixels.pixels.empty()) {
    const Picture& p = back->Pixels;
    void* bits = nullptr;
    UniqueBitmap dib(ui::CreateDib32(p.width, p.height, &bits));
    // Drawn opaque: the straight pixels as they are.
    std::copy(p.pixels.begin(), p.pixels.end(), static_cast<std::uint32_t*>(bits));
    Form->SetBackground(dib.get(), ui::Transparency::kOpaque);
    Form->EnableColorKey(ui::kColorKey);
    Form->SetColor(ui::kColorKey);
  }
}

void TForm2::WireChrome() {
  // Dragging by the background: the form does it (left press only, no
  // threshold, released by any button).
  Form->SetDraggable(true);
  Image3->onClick = [this] { Image3Click(); };
  Image4->onClick = [this] { Image4Click(); };
  Image5->onClick = [this] { Image5Click(); };
  Image6->onClick = [this] { Image6Click(); };
  Image7->onClick = [this] { Image7Click(); };
  Image8->onClick = [this] { Image8Click(); };
  Image2->onClick = [this] { Image2Click(); };
  TrayIcon1->onMouseDown = [this](ui::MouseButton, POINT) { TrayIcon1MouseDown(); };
}

void TForm2::Image3Click() { OpenPage(PayUrl); }
void TForm2::Image4Click() { OpenPage(WebUrl); }
void TForm2::Image6Click() { OpenPage(RegisterUrl); }

void TForm2::Image5Click() { PopupMenu1->Popup(Form->Hwnd(), ui::ScreenPointBelow(Image5->Hwnd())); }

void TForm2::Image7Click() {
  // Shown normal first, so that the tray brings it back in the normal state.
  Form->ShowNormal();
  Form->Hide();
}

void TForm2::Image8Click() { Form->Close(); }

void TForm2::TrayIcon1MouseDown() {
  // The chosen zone's node (the first of its name, group nodes included)
  // is selected again, which runs the tree's change rule.
  if (SelectedServer) {
    if (HTREEITEM node = FindNodeByText(SelectedServer->ListAreaName)) TreeView1->Select(node);
  }
  Form->ShowNormal();
}

void TForm2::TMenuItem1Click() { OpenRemoteTool(LauncherFolder(), RemoteToolPath1); }
void TForm2::TMenuItem2Click() { OpenRemoteTool(LauncherFolder(), RemoteToolPath2); }

}  // namespace lk
