#include "platform/win32/win32_threads.h"

#include <string_view>

namespace qm::win32 {

thread_local StopSignal* t_stop_signal = nullptr;
thread_local const std::stop_token* t_box_stop = nullptr;
thread_local WPARAM t_box_end_command = IDOK;

// Runs every message that is waiting for the calling thread.
void PumpMessages(HWND dialog_window) {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(message.wParam));  // for the event wait to see
      return;
    }
    if (dialog_window != nullptr && ::IsDialogMessageW(dialog_window, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

StopSignal* SignalFor(const std::stop_token& stop) {
  return t_stop_signal != nullptr && stop == t_stop_signal->token ? t_stop_signal : nullptr;
}

void CALLBACK CheckBoxStop(HWND, UINT, UINT_PTR, DWORD) {
  if (t_box_stop == nullptr || !t_box_stop->stop_requested()) return;
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND window, LPARAM) -> BOOL {
        wchar_t class_name[16] = {};
        ::GetClassNameW(window, class_name, 16);
        if (std::wstring_view(class_name) == L"#32770") {
          ::PostMessageW(window, WM_COMMAND, t_box_end_command, 0);
        }
        return TRUE;
      },
      0);
}

namespace {

bool IsOwnerlessBox(HWND window) {
  wchar_t class_name[16] = {};
  ::GetClassNameW(window, class_name, 16);
  return std::wstring_view(class_name) == L"#32770" && ::GetWindow(window, GW_OWNER) == nullptr;
}

LRESULT CALLBACK PutBoxOnTop(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_ACTIVATE) {
    const auto window = reinterpret_cast<HWND>(wparam);
    if (IsOwnerlessBox(window)) {
      ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  }
  return ::CallNextHookEx(nullptr, code, wparam, lparam);
}

}  // namespace

TopmostBoxes::TopmostBoxes()
    : hook_(::SetWindowsHookExW(WH_CBT, &PutBoxOnTop, nullptr, ::GetCurrentThreadId())) {}

TopmostBoxes::~TopmostBoxes() {
  if (hook_ != nullptr) ::UnhookWindowsHookEx(hook_);
}

}  // namespace qm::win32
