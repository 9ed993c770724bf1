// Looks at and drives a running quillmark.exe from another process, the way
// a user's clicks would, for the smoke test under Wine.
//
//   probe geometry           window place and client size, frame style, status bar part edges
//   probe field N            text of status bar field N
//   probe rows N             row count of list view N (0 = files, 1 = translated)
//   probe press              presses the Source button
//   probe chooser PATH       picks PATH in the open folder chooser and confirms it
//   probe chooser ""         cancels the open folder chooser
//   probe box TITLE BUTTON   prints the text of the open box TITLE and presses BUTTON
//                            (yes|no|ok, or none to leave it open)
//   probe clipboard          the clipboard's text (UTF-8)
//   probe close              asks the main window to close
//
// Each command waits up to 30 s for what it needs and exits 1 when it does
// not appear, 0 otherwise.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr DWORD kPatienceMs = 30000;

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
  return out;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  return name;
}

std::wstring TextOf(HWND window) {
  // WM_GETTEXT is carried across processes by the system.
  const auto length = static_cast<std::size_t>(::SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
  std::wstring text(length + 1, L'\0');
  ::SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(length);
  return text;
}

template <typename Found>
bool Await(Found found) {
  const DWORD start = ::GetTickCount();
  while (::GetTickCount() - start < kPatienceMs) {
    if (found()) return true;
    ::Sleep(50);
  }
  return false;
}

HWND MainWindow() {
  HWND window = nullptr;
  Await([&] { return (window = ::FindWindowW(L"QuillmarkWindow", nullptr)) != nullptr; });
  return window;
}

DWORD ProcessOf(HWND window) {
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  return process;
}

std::vector<HWND> Children(HWND parent, const wchar_t* window_class) {
  struct Search {
    const wchar_t* window_class;
    std::vector<HWND> found;
  } search{window_class, {}};
  ::EnumChildWindows(
      parent,
      [](HWND child, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        if (ClassOf(child) == s->window_class) s->found.push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Visible dialogs of the program's process.
std::vector<HWND> Dialogs(DWORD process) {
  struct Search {
    DWORD process;
    std::vector<HWND> found;
  } search{process, {}};
  ::EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        if (ProcessOf(window) == s->process && ::IsWindowVisible(window) &&
            ClassOf(window) == L"#32770") {
          s->found.push_back(window);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Memory in the program's process for messages that carry a pointer.
class RemoteBuffer {
 public:
  RemoteBuffer(HWND window, std::size_t size) : size_(size) {
    process_ = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                             ProcessOf(window));
    if (process_ != nullptr) {
      address_ = ::VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    }
  }
  ~RemoteBuffer() {
    if (address_ != nullptr) ::VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_ != nullptr) ::CloseHandle(process_);
  }
  LPARAM Address() const { return reinterpret_cast<LPARAM>(address_); }
  bool Write(const void* from) const {
    SIZE_T written = 0;
    return address_ != nullptr && ::WriteProcessMemory(process_, address_, from, size_, &written);
  }
  bool Read(void* into) const {
    SIZE_T read = 0;
    return address_ != nullptr && ::ReadProcessMemory(process_, address_, into, size_, &read);
  }

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
  std::size_t size_;
};

HWND StatusBar(HWND main) {
  const std::vector<HWND> bars = Children(main, STATUSCLASSNAMEW);
  return bars.empty() ? nullptr : bars.front();
}

int Geometry(HWND main) {
  RECT outer = {};
  RECT client = {};
  POINT origin = {0, 0};
  ::GetWindowRect(main, &outer);
  ::GetClientRect(main, &client);
  ::ClientToScreen(main, &origin);
  const auto style = static_cast<DWORD>(::GetWindowLongPtrW(main, GWL_STYLE));
  std::printf("outer %ld %ld\n", outer.left, outer.top);
  std::printf("client %ld %ld %ld %ld\n", origin.x, origin.y, client.right, client.bottom);
  std::printf("maximizebox %d sizingborder %d minimizebox %d\n", (style & WS_MAXIMIZEBOX) ? 1 : 0,
              (style & WS_THICKFRAME) ? 1 : 0, (style & WS_MINIMIZEBOX) ? 1 : 0);
  HWND bar = StatusBar(main);
  if (bar == nullptr) {
    std::printf("parts none\n");
    return 0;
  }
  int edges[8] = {};
  RemoteBuffer remote(bar, sizeof edges);
  const auto count = static_cast<int>(::SendMessageW(bar, SB_GETPARTS, 8, remote.Address()));
  remote.Read(edges);
  std::printf("parts");
  for (int i = 0; i < count && i < 8; ++i) std::printf(" %d", edges[i]);
  std::printf("\n");
  RECT bar_rect = {};
  ::GetWindowRect(bar, &bar_rect);
  std::printf("statusbar bottom %ld\n", bar_rect.bottom - origin.y);
  return 0;
}

int Field(HWND main, int field) {
  HWND bar = StatusBar(main);
  if (bar == nullptr) return 1;
  const auto length = LOWORD(::SendMessageW(bar, SB_GETTEXTLENGTHW, field, 0));
  std::vector<wchar_t> text(length + 1u, L'\0');
  RemoteBuffer remote(bar, text.size() * sizeof(wchar_t));
  ::SendMessageW(bar, SB_GETTEXTW, field, remote.Address());
  remote.Read(text.data());
  std::printf("%s\n", Utf8(text.data()).c_str());
  return 0;
}

int Rows(HWND main, int index) {
  const std::vector<HWND> lists = Children(main, WC_LISTVIEWW);
  if (index < 0 || static_cast<std::size_t>(index) >= lists.size()) return 1;
  std::printf("%d\n", static_cast<int>(::SendMessageW(lists[static_cast<std::size_t>(index)],
                                                      LVM_GETITEMCOUNT, 0, 0)));
  return 0;
}

int Press(HWND main) {
  for (HWND button : Children(main, WC_BUTTONW)) {
    if (TextOf(button) == L"Source") {
      // Posted: the program answers the press with a modal chooser.
      ::PostMessageW(button, BM_CLICK, 0, 0);
      return 0;
    }
  }
  return 1;
}

int Chooser(HWND main, const std::wstring& path) {
  HWND dialog = nullptr;
  HWND edit = nullptr;
  // Ready once its tree shows the initial folder selected.
  const bool found = Await([&] {
    for (HWND candidate : Dialogs(ProcessOf(main))) {
      const std::vector<HWND> trees = Children(candidate, WC_TREEVIEWW);
      const std::vector<HWND> edits = Children(candidate, WC_EDITW);
      if (!trees.empty() && !edits.empty() && ::IsWindowEnabled(candidate) &&
          ::SendMessageW(trees.front(), TVM_GETNEXTITEM, TVGN_CARET, 0) != 0) {
        dialog = candidate;
        edit = edits.front();
        return true;
      }
    }
    return false;
  });
  if (!found) return 1;
  for (HWND label : Children(dialog, WC_STATICW)) {
    if (const std::wstring text = TextOf(label); !text.empty()) {
      std::printf("%s\n", Utf8(text).c_str());
    }
  }
  if (path.empty()) {
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return 0;
  }
  // Selected in the folder tree, as a user browsing there would (Wine's
  // chooser takes the tree's selection, not a typed path). The chooser
  // selects its initial folder itself once it is up, so the selection is
  // made again until the edit box names the folder.
  const std::wstring leaf = path.substr(path.find_last_of(L'\\') + 1);
  RemoteBuffer remote(dialog, (path.size() + 1) * sizeof(wchar_t));
  if (!remote.Write(path.c_str())) return 1;
  for (int attempt = 0; attempt < 40; ++attempt) {
    ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, remote.Address());
    ::Sleep(250);
    if (TextOf(edit) == leaf) break;
  }
  std::printf("selected %s\n", Utf8(TextOf(edit)).c_str());
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  return 0;
}

int Box(HWND main, const std::wstring& title, const std::wstring& button) {
  HWND box = nullptr;
  const bool found = Await([&] {
    for (HWND candidate : Dialogs(ProcessOf(main))) {
      if (TextOf(candidate) == title) {
        box = candidate;
        return true;
      }
    }
    return false;
  });
  if (!found) return 1;
  for (HWND label : Children(box, WC_STATICW)) {
    if (const std::wstring text = TextOf(label); !text.empty()) {
      std::printf("%s\n", Utf8(text).c_str());
    }
  }
  if (button == L"none") return 0;
  const WPARAM command = button == L"yes" ? IDYES : button == L"no" ? IDNO : IDOK;
  ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
  return 0;
}

// The clipboard's text as this system sees it, as UTF-8.
int Clipboard() {
  if (!::OpenClipboard(nullptr)) return 1;
  std::wstring text;
  if (HANDLE memory = ::GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* data = static_cast<const wchar_t*>(::GlobalLock(memory))) {
      text = data;
      ::GlobalUnlock(memory);
    }
  }
  ::CloseClipboard();
  std::fwrite(Utf8(text).data(), 1, Utf8(text).size(), stdout);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: probe geometry|field N|rows N|press|chooser PATH|box T B|close\n");
    return 2;
  }
  const std::wstring command = argv[1];
  if (command == L"clipboard") return Clipboard();
  HWND main = MainWindow();
  if (main == nullptr) {
    std::fprintf(stderr, "probe: no Quillmark window\n");
    return 1;
  }
  if (command == L"geometry") return Geometry(main);
  if (command == L"field" && argc > 2) return Field(main, _wtoi(argv[2]));
  if (command == L"rows" && argc > 2) return Rows(main, _wtoi(argv[2]));
  if (command == L"press") return Press(main);
  if (command == L"chooser" && argc > 2) return Chooser(main, argv[2]);
  if (command == L"box" && argc > 3) return Box(main, argv[2], argv[3]);
  if (command == L"close") return ::PostMessageW(main, WM_CLOSE, 0, 0) ? 0 : 1;
  std::fprintf(stderr, "probe: unknown command\n");
  return 2;
}
