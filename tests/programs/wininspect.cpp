// wininspect: looks at and drives top-level windows from outside, for the
// end-to-end tests (under Wine, as on Windows).
//
//   wininspect list                 one line per top-level window:
//       window <hwnd> pid=<pid> visible=<0|1> iconic=<0|1> class=<class>
//              rect=<l,t,r,b> client=<w>x<h> title=<title>
//     and for each dialog (class #32770) one line per child:
//       child <hwnd> id=<id> class=<class> text=<text>
//   wininspect press <hwnd> <id>    presses button <id> of dialog <hwnd>
//   wininspect show <hwnd> <cmd>    ShowWindow(<hwnd>, <cmd>)
//   wininspect close <hwnd>         posts WM_CLOSE
//   wininspect terminate <pid>      ends a process
//   wininspect foreground           prints the foreground window
//   wininspect children <hwnd>      one line per direct child window:
//       control <hwnd> id=<id> class=<class> visible=<0|1> rect=<left,top,width,height>
//               state=<n> text=<text>
//     rect relative to the parent's client area; state is the selected
//     index of a combo box, the check state of a button, else 0
//   wininspect tree <hwnd>          the items of a tree control of another
//       process in display order:
//       item <handle> level=<n> selected=<0|1> rect=<l,t,r,b> text=<text>
//     rect in the tree's client coordinates (zero for a hidden item)
//   wininspect post <hwnd> <msg> <wparam> <lparam>   PostMessageW (decimal)
//   wininspect count <hwnd> <class> the number of windows of that class
//     anywhere below <hwnd>
//   wininspect firstsight <class> <title> [<x> <y>]
//     waits (looking every millisecond, up to 60 s) for a visible top-level
//     window of that class and title. The moment it is visible it clicks
//     the left button at x, y of its client area, if given (press and
//     release in one SendInput, as a quick click arrives), then prints
//     "window <hwnd>", "browsers=<n>" (web browser controls below it at
//     that moment), its controls (as children) and the items of each of its
//     tree controls (as tree). Exits 1 when no such window appears.
// Handles are printed and read in hex; texts are UTF-8 with newlines as \n.
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/text.h"

namespace {

std::string Text(HWND h) {
  wchar_t buf[2048];
  // For a window of another process GetWindowTextW reads the text the
  // system keeps and sends no message, so a busy or hung program cannot
  // stall the listing. Static controls and titles keep their text there.
  const int n = GetWindowTextW(h, buf, 2048);
  std::string s = lk::Narrow(std::wstring_view(buf, n > 0 ? static_cast<std::size_t>(n) : 0));
  std::string out;
  for (char c : s) {
    if (c == '\n')
      out += "\\n";
    else if (c != '\r')
      out += c;
  }
  return out;
}

std::string ClassOf(HWND h) {
  wchar_t buf[256];
  const int n = GetClassNameW(h, buf, 256);
  return lk::Narrow(std::wstring_view(buf, n > 0 ? static_cast<std::size_t>(n) : 0));
}

BOOL CALLBACK PrintChild(HWND h, LPARAM) {
  std::printf("child %p id=%d class=%s text=%s\n", static_cast<void*>(h), GetDlgCtrlID(h), ClassOf(h).c_str(),
              Text(h).c_str());
  return TRUE;
}

BOOL CALLBACK PrintTop(HWND h, LPARAM) {
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  RECT r{}, c{};
  GetWindowRect(h, &r);
  GetClientRect(h, &c);
  const std::string cls = ClassOf(h);
  std::printf(
      "window %p pid=%lu visible=%d iconic=%d class=%s rect=%ld,%ld,%ld,%ld client=%ldx%ld title=%s\n",
      static_cast<void*>(h), pid, IsWindowVisible(h) ? 1 : 0, IsIconic(h) ? 1 : 0, cls.c_str(), r.left, r.top,
      r.right, r.bottom, c.right - c.left, c.bottom - c.top, Text(h).c_str());
  if (cls == "#32770") EnumChildWindows(h, PrintChild, 0);
  return TRUE;
}

BOOL CALLBACK PrintControl(HWND h, LPARAM parent) {
  if (GetParent(h) != reinterpret_cast<HWND>(parent)) return TRUE;
  RECT r{};
  GetWindowRect(h, &r);
  MapWindowPoints(nullptr, reinterpret_cast<HWND>(parent), reinterpret_cast<POINT*>(&r), 2);
  const std::string cls = ClassOf(h);
  LRESULT state = 0;
  if (cls == "ComboBox") state = SendMessageW(h, CB_GETCURSEL, 0, 0);
  if (cls == "Button") state = SendMessageW(h, BM_GETCHECK, 0, 0);
  std::printf("control %p id=%d class=%s visible=%d rect=%ld,%ld,%ld,%ld state=%d text=%s\n",
              static_cast<void*>(h), GetDlgCtrlID(h), cls.c_str(),
              (GetWindowLongW(h, GWL_STYLE) & WS_VISIBLE) ? 1 : 0, r.left, r.top, r.right - r.left,
              r.bottom - r.top, static_cast<int>(state), Text(h).c_str());
  return TRUE;
}

// A buffer inside another process, for messages that pass pointers.
class RemoteBuffer {
 public:
  RemoteBuffer(HANDLE process, std::size_t size)
      : process_(process), at_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE)) {}
  ~RemoteBuffer() {
    if (at_) VirtualFreeEx(process_, at_, 0, MEM_RELEASE);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;
  void* at() const { return at_; }
  bool Write(const void* data, std::size_t n, std::size_t offset = 0) const {
    return WriteProcessMemory(process_, static_cast<char*>(at_) + offset, data, n, nullptr) != FALSE;
  }
  bool Read(void* data, std::size_t n, std::size_t offset = 0) const {
    return ReadProcessMemory(process_, static_cast<char*>(at_) + offset, data, n, nullptr) != FALSE;
  }

 private:
  HANDLE process_;
  void* at_;
};

int PrintTree(HWND tree) {
  DWORD pid = 0;
  GetWindowThreadProcessId(tree, &pid);
  const lk::UniqueHandle owned(
      OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
  if (!owned) return 1;
  const HANDLE process = owned.get();
  {
    constexpr std::size_t kTextChars = 512;
    RemoteBuffer buffer(process, sizeof(TVITEMW) + kTextChars * sizeof(wchar_t) + sizeof(RECT));
    if (!buffer.at()) return 1;
    const std::size_t textAt = sizeof(TVITEMW);
    const std::size_t rectAt = textAt + kTextChars * sizeof(wchar_t);
    const HTREEITEM selected =
        reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    // Display order: first child, else next sibling, else the next sibling
    // of the nearest parent that has one.
    HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    int level = 0;
    while (item) {
      TVITEMW tv{};
      tv.mask = TVIF_TEXT | TVIF_HANDLE;
      tv.hItem = item;
      tv.pszText = reinterpret_cast<wchar_t*>(static_cast<char*>(buffer.at()) + textAt);
      tv.cchTextMax = kTextChars;
      buffer.Write(&tv, sizeof tv);
      SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(buffer.at()));
      wchar_t text[kTextChars] = {};
      buffer.Read(text, sizeof text - sizeof(wchar_t), textAt);
      // TVM_GETITEMRECT takes the item in the RECT's first bytes.
      RECT r{};
      buffer.Write(&item, sizeof item, rectAt);
      if (SendMessageW(tree, TVM_GETITEMRECT, TRUE,
                       reinterpret_cast<LPARAM>(static_cast<char*>(buffer.at()) + rectAt)))
        buffer.Read(&r, sizeof r, rectAt);
      else
        r = RECT{};
      std::printf("item %p level=%d selected=%d rect=%ld,%ld,%ld,%ld text=%s\n", static_cast<void*>(item),
                  level, item == selected ? 1 : 0, r.left, r.top, r.right, r.bottom,
                  lk::Narrow(text).c_str());
      HTREEITEM next = reinterpret_cast<HTREEITEM>(
          SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
      if (next) {
        ++level;
      } else {
        for (HTREEITEM up = item; up && !next;) {
          next = reinterpret_cast<HTREEITEM>(
              SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(up)));
          if (!next) {
            up = reinterpret_cast<HTREEITEM>(
                SendMessageW(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(up)));
            --level;
          }
        }
      }
      item = next;
    }
  }
  return 0;
}

struct CountOf {
  std::string cls;
  int n = 0;
};

BOOL CALLBACK CountClass(HWND h, LPARAM lp) {
  auto* c = reinterpret_cast<CountOf*>(lp);
  if (ClassOf(h) == c->cls) ++c->n;
  return TRUE;
}

int CountBelow(HWND parent, const std::string& cls) {
  CountOf c{cls};
  EnumChildWindows(parent, CountClass, reinterpret_cast<LPARAM>(&c));
  return c.n;
}

// A left click at a point of the window's client area, with the real input
// path (the window under the cursor gets it).
void ClickAt(HWND window, int x, int y) {
  POINT p{x, y};
  ClientToScreen(window, &p);
  const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
  INPUT in[3]{};
  for (INPUT& i : in) i.type = INPUT_MOUSE;
  in[0].mi.dx = static_cast<LONG>((p.x * 65535LL + cx / 2) / (cx - 1));
  in[0].mi.dy = static_cast<LONG>((p.y * 65535LL + cy / 2) / (cy - 1));
  in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(3, in, sizeof(INPUT));
}

// EnumChildWindows callback: gathers the tree controls below a window.
BOOL CALLBACK CollectTrees(HWND h, LPARAM lp) {
  if (ClassOf(h) == "SysTreeView32") reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
  return TRUE;
}

int FirstSight(const wchar_t* cls, const wchar_t* title, const POINT* click) {
  HWND found = nullptr;
  for (int i = 0; i < 60000 && !found; ++i) {
    HWND h = FindWindowW(cls, title);
    if (h && IsWindowVisible(h))
      found = h;
    else
      Sleep(1);
  }
  if (!found) return 1;
  if (click) ClickAt(found, click->x, click->y);
  const int browsers = CountBelow(found, "Shell Embedding");
  std::printf("window %p\nbrowsers=%d\n", static_cast<void*>(found), browsers);
  EnumChildWindows(found, PrintControl, reinterpret_cast<LPARAM>(found));
  std::vector<HWND> trees;
  EnumChildWindows(found, CollectTrees, reinterpret_cast<LPARAM>(&trees));
  for (HWND tree : trees) PrintTree(tree);
  return 0;
}

HWND ParseHwnd(const wchar_t* s) {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::wcstoull(s, nullptr, 16)));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: wininspect list|press|show|close|terminate|foreground ...\n");
    return 2;
  }
  const std::wstring cmd = argv[1];
  if (cmd == L"list") {
    EnumWindows(PrintTop, 0);
  } else if (cmd == L"press" && argc == 4) {
    HWND dlg = ParseHwnd(argv[2]);
    const int id = std::wcstol(argv[3], nullptr, 10);
    HWND button = GetDlgItem(dlg, id);
    if (!IsWindow(dlg)) return 1;
    PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  } else if (cmd == L"show" && argc == 4) {
    if (!ShowWindow(ParseHwnd(argv[2]), std::wcstol(argv[3], nullptr, 10)) && !IsWindow(ParseHwnd(argv[2])))
      return 1;
  } else if (cmd == L"close" && argc == 3) {
    if (!PostMessageW(ParseHwnd(argv[2]), WM_CLOSE, 0, 0)) return 1;
  } else if (cmd == L"terminate" && argc == 3) {
    const lk::UniqueHandle p(
        OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10))));
    if (!p) return 1;
    return TerminateProcess(p.get(), 99) ? 0 : 1;
  } else if (cmd == L"children" && argc == 3) {
    HWND parent = ParseHwnd(argv[2]);
    if (!IsWindow(parent)) return 1;
    EnumChildWindows(parent, PrintControl, reinterpret_cast<LPARAM>(parent));
  } else if (cmd == L"tree" && argc == 3) {
    return PrintTree(ParseHwnd(argv[2]));
  } else if (cmd == L"post" && argc == 6) {
    if (!PostMessageW(ParseHwnd(argv[2]), static_cast<UINT>(std::wcstoul(argv[3], nullptr, 10)),
                      static_cast<WPARAM>(std::wcstoull(argv[4], nullptr, 10)),
                      static_cast<LPARAM>(std::wcstoll(argv[5], nullptr, 10))))
      return 1;
  } else if (cmd == L"count" && argc == 4) {
    std::printf("%d\n", CountBelow(ParseHwnd(argv[2]), lk::Narrow(argv[3])));
  } else if (cmd == L"firstsight" && (argc == 4 || argc == 6)) {
    POINT at{};
    if (argc == 6) at = POINT{std::wcstol(argv[4], nullptr, 10), std::wcstol(argv[5], nullptr, 10)};
    return FirstSight(argv[2], argv[3], argc == 6 ? &at : nullptr);
  } else if (cmd == L"foreground") {
    std::printf("%p\n", static_cast<void*>(GetForegroundWindow()));
  } else {
    std::fprintf(stderr, "wininspect: bad command\n");
    return 2;
  }
  return 0;
}
