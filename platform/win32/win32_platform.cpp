// The platform on Win32: user32 windows, common controls version 6, the
// system browser control hosted through atl.dll, the shell's folder browser,
// MessageBoxW and the Unicode clipboard.
//
// The window and its controls belong to the main thread. Calls made on other
// threads (the worker, the heartbeat) are posted to a message-only window of
// the main thread and carried out there in call order, by whichever message
// loop the main thread is in at the time (the event wait, a modal dialog, a
// join); calls that return a value wait for the answer. Writes of one status
// field that follow each other in the queue collapse into the last, so a
// per-line progress counter cannot flood the message queue.
//
// Message boxes asked for by another thread are shown on that thread, so the
// main window stays responsive and its close request is still seen; when the
// thread is asked to stop, its open box is ended from outside.
#include <windows.h>
#include <commctrl.h>
#include <exdisp.h>
#include <mmsystem.h>
#include <objbase.h>
#include <ole2.h>
#include <shlobj.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "text/encoding.h"
#include "platform/desktop.h"
#include "platform/fs.h"
#include "platform/main_thread_calls.h"
#include "platform/trace.h"
#include "platform/win32/browser_host.h"
#include "platform/win32/folder_chooser.h"
#include "platform/win32/win32_threads.h"

// Symbols looked up at run time are cast from FARPROC.
#pragma GCC diagnostic ignored "-Wcast-function-type"

namespace qm {
namespace {

using win32::AtlHost;
using win32::CheckBoxStop;
using win32::kBoxStopCheckMs;
using win32::t_box_end_command;
using win32::t_box_stop;
using win32::t_stop_signal;
using win32::FineTimer;
using win32::Navigate;
using win32::PumpMessages;
using win32::SignalFor;
using win32::StopSignal;
using win32::Win32Thread;

constexpr wchar_t kWindowClass[] = L"QuillmarkWindow";
constexpr wchar_t kDispatcherClass[] = L"QuillmarkDispatcher";
constexpr UINT kDrainMessage = WM_APP + 1;
constexpr UINT kOfflinePageMessage = WM_APP + 2;  // the browser control's page failed
constexpr int kTasksPerDispatch = 256;
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

std::wstring W(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }
std::u16string U16(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }

std::wstring RowDisplayText(std::u16string_view text) { return W(FirstColumn(text)); }

// Owner of a message box: the foreground window when it is one of ours.
HWND BoxOwner() {
  HWND foreground = ::GetForegroundWindow();
  DWORD process = 0;
  if (foreground != nullptr) ::GetWindowThreadProcessId(foreground, &process);
  return process == ::GetCurrentProcessId() ? foreground : nullptr;
}

class Win32Platform final : public Platform {
 public:
  Win32Platform() {
    instance_ = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW dispatcher = {};
    dispatcher.cbSize = sizeof dispatcher;
    dispatcher.lpfnWndProc = &Win32Platform::DispatcherProc;
    dispatcher.hInstance = instance_;
    dispatcher.lpszClassName = kDispatcherClass;
    ::RegisterClassExW(&dispatcher);
    dispatcher_ = ::CreateWindowExW(0, kDispatcherClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                    nullptr, instance_, nullptr);
    ::SetWindowLongPtrW(dispatcher_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~Win32Platform() override {
    if (window_ != nullptr) ::DestroyWindow(window_);
    if (dispatcher_ != nullptr) ::DestroyWindow(dispatcher_);
  }

  bool Usable() const { return dispatcher_ != nullptr; }

  // --- The main window ---------------------------------------------------

  BuiltWindow BuildMainWindow(const WindowLayout& layout) override {
    BuiltWindow built;
    if (!calls_.OnMain() || window_ != nullptr) return built;
    not_a_folder_ = layout.not_a_folder;
    title_ = layout.title;
    WNDCLASSEXW window_class = {};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = &Win32Platform::WindowProc;
    window_class.hInstance = instance_;
    window_class.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    window_class.lpszClassName = kWindowClass;
    ::RegisterClassExW(&window_class);

    RECT outer = {0, 0, layout.client_width, layout.client_height};
    ::AdjustWindowRectEx(&outer, kWindowStyle, FALSE, 0);
    window_ = ::CreateWindowExW(0, kWindowClass, W(layout.title).c_str(), kWindowStyle, layout.x,
                                layout.y, outer.right - outer.left, outer.bottom - outer.top,
                                nullptr, nullptr, instance_, this);
    if (window_ == nullptr) {
      // A program started from the desktop has nowhere to print this.
      const std::u16string reason =
          fs::ErrorText(fs::SystemError(static_cast<int>(::GetLastError())));
      ::MessageBoxW(nullptr, W(u"The main window could not be created.\n" + reason).c_str(),
                    L"Quillmark", MB_OK | MB_ICONERROR);
      return built;
    }
    FitClientArea(layout.client_width, layout.client_height);
    font_ = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    controls_.clear();
    controls_.push_back({ControlKind::Frame, window_});
    built.window = 1;

    // The status bar along the bottom edge of the client area.
    HWND bar = ::CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                 window_, nullptr, instance_, nullptr);
    if (bar != nullptr) {
      std::vector<int> edges;
      int edge = 0;
      for (const int width : layout.status_field_widths) edges.push_back(edge += width);
      if (!edges.empty()) {
        ::SendMessageW(bar, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
      }
      field_count_ = static_cast<int>(edges.size());
      controls_.push_back({ControlKind::StatusBar, bar});
      built.status_bar = static_cast<ControlId>(controls_.size());
    }

    std::vector<HWND> frames;
    for (const ControlSpec& item : layout.controls) {
      const auto id = static_cast<ControlId>(controls_.size() + 1);
      HWND control = MakeControl(item, id);
      if (control == nullptr) {
        built.controls.push_back(kNoControl);
        continue;
      }
      if (item.kind != ControlKind::WebView) {
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
      }
      if (item.kind == ControlKind::Frame) frames.push_back(control);
      controls_.push_back({item.kind, control});
      built.controls.push_back(id);
    }
    // The group boxes lie under everything they surround.
    for (HWND frame : frames) {
      ::SetWindowPos(frame, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    ::ShowWindow(window_, SW_SHOWNORMAL);
    ::UpdateWindow(window_);
    Trace("window shown");
    return built;
  }

  Event WaitEvent() override {
    while (events_.empty()) {
      MSG message;
      const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
      if (got == 0 || got == -1) {
        // WM_QUIT (or a broken queue): nothing more will come.
        events_.push_back({Event::Kind::CloseRequest, 1});
        break;
      }
      if (OfferToBrowser(message)) continue;
      if (window_ != nullptr && ::IsDialogMessageW(window_, &message)) continue;
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    const Event event = events_.front();
    events_.pop_front();
    return event;
  }

  // A key typed in the translator page goes to the page first.
  bool OfferToBrowser(const MSG& message) {
    if (browser_host_ == nullptr || message.message < WM_KEYFIRST ||
        message.message > WM_KEYLAST) {
      return false;
    }
    IOleInPlaceActiveObject* object = win32::ActiveObjectOf(atl_, browser_host_);
    const bool taken = win32::TranslateBrowserKey(message, browser_host_, object);
    if (object != nullptr) object->Release();
    return taken;
  }

  void CloseWindow(ControlId window) override {
    calls_.Run([this, window] {
      if (window_ == nullptr || Handle(window) != window_) return;
      closing_ = true;
      ::DestroyWindow(window_);
    });
  }

  // --- Controls ----------------------------------------------------------

  void SetEnabled(ControlId control, bool enabled) override {
    calls_.Run([this, control, enabled] {
      if (HWND handle = Handle(control)) {
        ::EnableWindow(handle, enabled ? TRUE : FALSE);
        Trace(std::string(enabled ? "enable " : "disable ") + std::to_string(control));
      }
    });
  }

  void SetText(ControlId control, std::u16string_view text) override {
    calls_.Run([this, control, text = W(text)] {
      const Control* target = Find(control);
      if (target == nullptr) return;
      switch (target->kind) {
        case ControlKind::WebView:
          if (text.empty()) return;
          offline_.Navigating();
          Navigate(atl_, target->handle, text);
          break;
        case ControlKind::EditField:
        case ControlKind::Button:
        case ControlKind::Frame:
          ::SetWindowTextW(target->handle, text.c_str());
          break;
        case ControlKind::StatusBar:
        case ControlKind::ListView:
          return;
      }
      Trace("text " + std::to_string(control) + " " + EncodeUtf8(U16(text)));
    });
  }

  void SetStatusField(ControlId status_bar, int field, std::u16string_view text,
                      FieldAlign align) override {
    calls_.SetField(status_bar, field, text, align);
  }

  void InsertRow(ControlId list, int position, std::u16string_view text) override {
    calls_.Run([this, list, position, text = RowDisplayText(text)]() mutable {
      HWND view = ListHandle(list);
      if (view == nullptr) return;
      LVITEMW item = {};
      item.mask = LVIF_TEXT;
      item.iItem = position < 0 ? static_cast<int>(::SendMessageW(view, LVM_GETITEMCOUNT, 0, 0))
                                : position;
      item.pszText = text.data();
      ::SendMessageW(view, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
      Trace("row " + std::to_string(list) + " " + std::to_string(position) + " " +
            EncodeUtf8(U16(text)));
    });
  }

  int RowCount(ControlId list) override {
    return calls_.Call<int>([this, list] {
      HWND view = ListHandle(list);
      return view == nullptr ? 0 : static_cast<int>(::SendMessageW(view, LVM_GETITEMCOUNT, 0, 0));
    });
  }

  std::u16string RowText(ControlId list, int row) override {
    return calls_.Call<std::u16string>([this, list, row] {
      HWND view = ListHandle(list);
      if (view == nullptr || row < 0 ||
          row >= static_cast<int>(::SendMessageW(view, LVM_GETITEMCOUNT, 0, 0))) {
        return std::u16string();
      }
      // The control copies at most the buffer's size; grow it until the
      // text fits.
      std::wstring buffer(256, L'\0');
      for (;;) {
        LVITEMW item = {};
        item.iSubItem = 0;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        const auto length = static_cast<std::size_t>(::SendMessageW(
            view, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
        if (length + 1 < buffer.size()) return U16(std::wstring_view(buffer.data(), length));
        buffer.resize(buffer.size() * 2);
      }
    });
  }

  void RemoveAllRows(ControlId list) override {
    calls_.Run([this, list] {
      if (HWND view = ListHandle(list)) {
        ::SendMessageW(view, LVM_DELETEALLITEMS, 0, 0);
        Trace("clear rows " + std::to_string(list));
      }
    });
  }

  // --- Dialogs -------------------------------------------------------------

  std::u16string ChooseFolder(std::u16string_view title, std::u16string_view initial) override {
    return calls_.Call<std::u16string>([this, title = W(title), initial = W(initial)] {
      Trace("chooser " + EncodeUtf8(U16(title)));
      std::wstring start = initial;
      if (start.size() > 3 && (start.back() == L'\\' || start.back() == L'/')) start.pop_back();
      const std::u16string folder =
          U16(win32::ChooseFolder(window_, title, {start, W(title_), W(not_a_folder_)}));
      Trace("chooser result " + EncodeUtf8(folder));
      return folder;
    });
  }

  void ShowMessage(std::u16string_view title, std::u16string_view text,
                   std::stop_token stop) override {
    Box(title, text, MB_OK, std::move(stop));
  }

  Answer AskYesNo(std::u16string_view title, std::u16string_view text,
                  DefaultButton default_button, std::stop_token stop) override {
    const UINT type = MB_YESNO | MB_ICONEXCLAMATION |
                      (default_button == DefaultButton::No ? MB_DEFBUTTON2 : MB_DEFBUTTON1);
    const int pressed = Box(title, text, type, std::move(stop));
    if (pressed == 0) return Answer::Stopped;
    return pressed == IDYES ? Answer::Yes : Answer::No;
  }

  // --- Clipboard -----------------------------------------------------------

  void ClearClipboard() override {
    calls_.Run([this] {
      if (!OpenClipboardWithRetry()) return;
      ::EmptyClipboard();
      ::CloseClipboard();
      Trace("clipboard clear");
    });
  }

  bool SetClipboardText(std::u16string_view text) override {
    return calls_.Call<bool>([this, text = std::u16string(text)] {
      const std::size_t bytes = (text.size() + 1) * sizeof(char16_t);
      HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
      if (memory == nullptr) return false;
      if (void* data = ::GlobalLock(memory)) {
        std::memcpy(data, text.c_str(), bytes);
        ::GlobalUnlock(memory);
      } else {
        ::GlobalFree(memory);
        return false;
      }
      if (!OpenClipboardWithRetry()) {
        ::GlobalFree(memory);
        return false;
      }
      ::EmptyClipboard();
      const bool set = ::SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
      if (!set) ::GlobalFree(memory);  // the clipboard took it only on success
      ::CloseClipboard();
      Trace("clipboard set " + std::to_string(text.size()) + " units");
      return set;
    });
  }

  std::optional<std::u16string> ReadClipboardText() override {
    return calls_.Call<std::optional<std::u16string>>([this] { return ReadClipboard(); });
  }

  ClipboardPoll PollClipboard(std::u16string_view known, std::u16string& text) override {
    return calls_.Call<ClipboardPoll>([this, known, &text] {
      // Every change of the clipboard's content bumps its sequence number:
      // while it stands still, a text found equal stays equal.
      const DWORD sequence = ::GetClipboardSequenceNumber();
      if (sequence != 0 && sequence == same_sequence_ && known == same_text_) {
        return ClipboardPoll::Same;
      }
      std::optional<std::u16string> current = ReadClipboard();
      if (!current) return ClipboardPoll::Unreadable;
      if (*current == known) {
        same_sequence_ = sequence;
        same_text_ = std::move(*current);
        return ClipboardPoll::Same;
      }
      same_sequence_ = 0;
      text = std::move(*current);
      return ClipboardPoll::Changed;
    });
  }

  // --- System --------------------------------------------------------------

  std::u16string DesktopFolder() override {
    std::u16string folder;
    PIDLIST_ABSOLUTE desktop = nullptr;
    if (SUCCEEDED(::SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOPDIRECTORY, &desktop))) {
      wchar_t path[MAX_PATH] = {};
      if (::SHGetPathFromIDListW(desktop, path)) folder = U16(path);
      ::CoTaskMemFree(desktop);
    }
    return folder;
  }

  std::u16string PrivateTempFolder() override { return fs::PrivateScratchFolder(); }


  // --- Threads and time ----------------------------------------------------

  std::unique_ptr<Thread> StartThread(std::string_view name,
                                      std::function<void(std::stop_token)> body) override {
    auto signal = std::make_shared<StopSignal>();
    if (signal->event == nullptr) return nullptr;
    HANDLE finished = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (finished == nullptr) return nullptr;
    try {
      std::jthread thread([name = W(DecodeUtf8(name)), body = std::move(body), finished,
                           signal](std::stop_token stop) {
        NameThisThread(name);
        signal->token = stop;
        t_stop_signal = signal.get();
        body(stop);
        t_stop_signal = nullptr;
        ::SetEvent(finished);
      });
      return std::make_unique<Win32Thread>(std::move(thread), finished, std::move(signal),
                                           main_thread_);
    } catch (const std::system_error&) {
      ::CloseHandle(finished);
      return nullptr;
    }
  }

  bool Wait(std::chrono::milliseconds duration, std::stop_token stop) override {
    if (stop.stop_requested()) return false;
    FineTimer timer;
    const auto deadline = std::chrono::steady_clock::now() + duration;
    const StopSignal* signal = SignalFor(stop);
    for (;;) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return true;
      if (signal != nullptr) {
        ::WaitForSingleObject(signal->event,
                              static_cast<DWORD>(std::min<std::int64_t>(left.count(), 0x7fffffff)));
      } else {
        // Some other thread's token has no signal here: look at it in steps.
        ::Sleep(static_cast<DWORD>(std::min<std::int64_t>(left.count(), 10)));
      }
      if (stop.stop_requested()) return false;
    }
  }

 private:
  struct Control {
    ControlKind kind;
    HWND handle;
  };
  static void NameThisThread(const std::wstring& name) {
    using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    if (HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll")) {
      if (const auto set = reinterpret_cast<SetDescription>(
              ::GetProcAddress(kernel, "SetThreadDescription"))) {
        set(::GetCurrentThread(), name.c_str());
      }
    }
  }

  // Makes the client area exactly the asked size, whatever the frame of the
  // desktop's theme turned out to be.
  void FitClientArea(int width, int height) {
    RECT client = {};
    ::GetClientRect(window_, &client);
    const int wider = width - (client.right - client.left);
    const int higher = height - (client.bottom - client.top);
    if (wider == 0 && higher == 0) return;
    RECT outer = {};
    ::GetWindowRect(window_, &outer);
    ::SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left + wider,
                   outer.bottom - outer.top + higher,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  HWND MakeControl(const ControlSpec& item, ControlId id) {
    const std::wstring caption = W(item.caption);
    const DWORD tab = item.tab_stop ? WS_TABSTOP : 0;
    const auto menu = reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id));
    auto make = [&](DWORD ex_style, const wchar_t* window_class, const wchar_t* text, DWORD style) {
      return ::CreateWindowExW(ex_style, window_class, text, WS_CHILD | WS_VISIBLE | tab | style,
                               item.x, item.y, item.width, item.height, window_, menu, instance_,
                               nullptr);
    };
    switch (item.kind) {
      case ControlKind::WebView: {
        if (!atl_.Load()) {
          // No browser host on this system: an empty area where the page would be.
          return make(WS_EX_CLIENTEDGE, WC_STATICW, L"", 0);
        }
        win32::PrepareBrowserControl();
        HWND host = make(0, L"AtlAxWin", L"Shell.Explorer.1", 0);
        if (host == nullptr) return nullptr;
        // A page that cannot be loaded makes way for the program's own,
        // until the page is navigated to again.
        if (offline_.Connect(atl_, host, W(item.fallback), [this] {
              Trace("web view offline page");
              ::PostMessageW(dispatcher_, kOfflinePageMessage, 0, 0);
            })) {
          Trace("web view events connected");
        }
        Navigate(atl_, host, caption);
        browser_host_ = host;
        return host;
      }
      case ControlKind::Frame:
        // Clipped by the controls it surrounds, so it only ever draws its lines.
        return make(0, WC_BUTTONW, caption.c_str(), BS_GROUPBOX | WS_CLIPSIBLINGS);
      case ControlKind::ListView: {
        HWND view = make(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                         LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS);
        if (view == nullptr) return nullptr;
        const LPARAM extended = LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER;
        ::SendMessageW(view, LVM_SETEXTENDEDLISTVIEWSTYLE, static_cast<WPARAM>(extended), extended);
        std::wstring header = caption;
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = item.column_width;
        column.pszText = header.data();
        ::SendMessageW(view, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
        return view;
      }
      case ControlKind::Button:
        return make(0, WC_BUTTONW, caption.c_str(), BS_PUSHBUTTON);
      case ControlKind::EditField:
        return make(WS_EX_CLIENTEDGE, WC_EDITW, caption.c_str(), ES_AUTOHSCROLL);
      case ControlKind::StatusBar:
        break;
    }
    return nullptr;
  }

  const Control* Find(ControlId id) const {
    if (window_ == nullptr || id == kNoControl || id > controls_.size()) return nullptr;
    return &controls_[id - 1];
  }
  HWND Handle(ControlId id) const {
    const Control* control = Find(id);
    return control == nullptr ? nullptr : control->handle;
  }
  HWND ListHandle(ControlId id) const {
    const Control* control = Find(id);
    return control == nullptr || control->kind != ControlKind::ListView ? nullptr
                                                                         : control->handle;
  }

  void ApplyField(ControlId bar, int field, std::u16string_view text, FieldAlign align) {
    const Control* target = Find(bar);
    if (target == nullptr || target->kind != ControlKind::StatusBar || field < 0 ||
        field >= field_count_) {
      return;
    }
    // One leading tab centres a status bar part's text. A tab inside the
    // text would move it again, so tabs show as spaces.
    std::wstring shown = align == FieldAlign::Center ? L"\t" : L"";
    for (const char16_t unit : text) shown += unit == u'\t' ? L' ' : static_cast<wchar_t>(unit);
    ::SendMessageW(target->handle, SB_SETTEXTW, static_cast<WPARAM>(field),
                   reinterpret_cast<LPARAM>(shown.c_str()));
    Trace("status " + std::to_string(field) +
          (align == FieldAlign::Center ? " center " : " left ") + EncodeUtf8(text));
  }

  // The clipboard's text, on the main thread: "" when it holds none,
  // nullopt when it stays held open by another program or its text cannot
  // be had.
  std::optional<std::u16string> ReadClipboard() {
    if (!::IsClipboardFormatAvailable(CF_UNICODETEXT)) return std::u16string();
    if (!OpenClipboardWithRetry()) return std::nullopt;
    std::optional<std::u16string> text;
    if (HANDLE memory = ::GetClipboardData(CF_UNICODETEXT)) {
      if (const auto* data = static_cast<const char16_t*>(::GlobalLock(memory))) {
        // Up to the terminating NUL, never past the block's end.
        const std::size_t units = ::GlobalSize(memory) / sizeof(char16_t);
        std::size_t length = 0;
        while (length < units && data[length] != u'\0') ++length;
        text.emplace(data, length);
        ::GlobalUnlock(memory);
      }
    }
    ::CloseClipboard();
    return text;
  }

  bool OpenClipboardWithRetry() {
    // Another program may hold the clipboard for a moment.
    for (int attempt = 0; attempt < 10; ++attempt) {
      if (::OpenClipboard(dispatcher_)) return true;
      ::Sleep(10);
    }
    return false;
  }

  // --- Message boxes ---

  // Shows a box and returns the button pressed; 0 when `stop` ended it.
  int Box(std::u16string_view title, std::u16string_view text, UINT type, std::stop_token stop) {
    const std::wstring caption = W(title);
    const std::wstring body = W(text);
    Trace(std::string((type & MB_YESNO) != 0 ? "question " : "message ") +
          EncodeUtf8(title));
    // A box without an owner (the program is not in front) comes to the
    // front: the user may be in the browser, and a box of a background
    // program only flashes in the taskbar.
    const HWND owner = BoxOwner();
    std::optional<win32::TopmostBoxes> on_top;
    if (owner == nullptr) {
      type |= MB_SETFOREGROUND | MB_TOPMOST;
      on_top.emplace();
    }
    if (calls_.OnMain()) return ::MessageBoxW(owner, body.c_str(), caption.c_str(), type);
    if (stop.stop_requested()) return 0;
    t_box_stop = &stop;
    t_box_end_command = (type & MB_YESNO) != 0 ? IDNO : IDOK;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, kBoxStopCheckMs, &CheckBoxStop);
    const int pressed = ::MessageBoxW(owner, body.c_str(), caption.c_str(), type);
    if (timer != 0) ::KillTimer(nullptr, timer);
    t_box_stop = nullptr;
    const int answer = stop.stop_requested() ? 0 : pressed;
    Trace("box answer " + std::to_string(answer));
    return answer;
  }

  // --- Window procedures ---

  static LRESULT CALLBACK DispatcherProc(HWND window, UINT message, WPARAM wparam,
                                         LPARAM lparam) {
    if (message == kDrainMessage) {
      auto* self = reinterpret_cast<Win32Platform*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
      // More to do: come back after what else is waiting.
      if (self != nullptr && self->calls_.Drain(kTasksPerDispatch)) {
        ::PostMessageW(window, kDrainMessage, 0, 0);
      }
      return 0;
    }
    if (message == kOfflinePageMessage) {
      auto* self = reinterpret_cast<Win32Platform*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
      if (self != nullptr) self->offline_.Show();
      return 0;
    }
    return ::DefWindowProcW(window, message, wparam, lparam);
  }

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
      ::SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32Platform*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) return ::DefWindowProcW(window, message, wparam, lparam);
    switch (message) {
      case WM_COMMAND:
        if (HIWORD(wparam) == BN_CLICKED && lparam != 0) {
          const auto id = static_cast<ControlId>(LOWORD(wparam));
          if (const Control* control = self->Find(id);
              control != nullptr && control->kind == ControlKind::Button) {
            self->events_.push_back({Event::Kind::ControlEvent, id});
          }
        }
        return 0;
      case WM_SIZE:
        // The status bar places itself along the bottom edge.
        if (self->controls_.size() > 1 && self->controls_[1].kind == ControlKind::StatusBar) {
          ::SendMessageW(self->controls_[1].handle, WM_SIZE, 0, 0);
        }
        return 0;
      case WM_CLOSE:
        self->Trace("close requested");
        self->events_.push_back({Event::Kind::CloseRequest, 1});
        return 0;  // the program closes the window itself
      case WM_DESTROY:
        // Before the controls go: the browser control's events let go of the program.
        self->offline_.Disconnect();
        self->browser_host_ = nullptr;
        self->window_ = nullptr;
        if (!self->closing_) {
          self->Trace("window destroyed");
          self->events_.push_back({Event::Kind::CloseRequest, 1});
        }
        return 0;
      default:
        return ::DefWindowProcW(window, message, wparam, lparam);
    }
  }

  void Trace(const std::string& line) { trace_.Write(line); }

  const DWORD main_thread_ = ::GetCurrentThreadId();
  HINSTANCE instance_ = nullptr;
  TraceWriter trace_;
  HWND dispatcher_ = nullptr;
  HWND window_ = nullptr;
  HFONT font_ = nullptr;
  bool closing_ = false;
  int field_count_ = 0;
  std::vector<Control> controls_;  // id = index + 1
  std::deque<Event> events_;
  AtlHost atl_;
  HWND browser_host_ = nullptr;  // the translator page's host window
  win32::OfflinePage offline_;   // shown there when the page cannot be loaded
  std::u16string title_;         // the window's, also the title of the chooser's note
  std::u16string not_a_folder_;  // the chooser's note for a typed path that is no folder
  // The clipboard's sequence number when a poll last found it equal to the
  // text it was given (main thread only; 0: none).
  DWORD same_sequence_ = 0;
  std::u16string same_text_;

  MainThreadCalls calls_{
      [this] { return ::PostMessageW(dispatcher_, kDrainMessage, 0, 0) != FALSE; },
      [this](ControlId bar, int field, std::u16string_view text, FieldAlign align) {
        ApplyField(bar, field, text, align);
      }};
};

}  // namespace

std::unique_ptr<Platform> CreateDesktopPlatform(int&, char**&, std::string& error) {
  INITCOMMONCONTROLSEX controls = {};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES;
  ::InitCommonControlsEx(&controls);
  // The browser control and the folder browser are COM objects of the main thread.
  if (FAILED(::OleInitialize(nullptr))) {
    error = "quillmark: COM could not be initialised";
    return nullptr;
  }
  auto platform = std::make_unique<Win32Platform>();
  if (!platform->Usable()) {
    error = "quillmark: the window system refused to create a window";
    return nullptr;
  }
  return platform;
}

}  // namespace qm
