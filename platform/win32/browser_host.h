// The system's browser control, hosted through the AtlAxWin window class of
// atl.dll (loaded at run time, so the program starts where it is missing).
#pragma once

#include <windows.h>
#include <ole2.h>

#include <string>

namespace qm::win32 {

using AtlAxWinInitFunction = BOOL(WINAPI*)();
using AtlAxGetControlFunction = HRESULT(WINAPI*)(HWND, IUnknown**);

// The browser control's host, from atl.dll when the system has it.
struct AtlHost {
  HMODULE module = nullptr;
  AtlAxGetControlFunction get_control = nullptr;
  bool ready = false;

  // Loads atl.dll and starts its window class once; whether the host is usable.
  bool Load();
};

// Before the control is made: asks for the newest document mode for this
// program (FEATURE_BROWSER_EMULATION under HKCU, 11001; without it the
// control renders in its oldest mode and the translator page breaks), and
// switches off the click sound of every navigation.
void PrepareBrowserControl();

// Keys typed in the page (Ctrl+V, Ctrl+C, Enter, Tab within a form) belong to
// the page: a keyboard message for the host's window or a window inside it
// is offered to the control's in-place object before the dialog manager
// sees it. True when the object took it; a key it leaves (Tab at the end of
// the page) goes on to move the focus to the next control.
bool TranslateBrowserKey(const MSG& message, HWND host, IOleInPlaceActiveObject* object);

// The in-place object of the control hosted in `host`, AddRef'ed; null
// while the control is not in place.
IOleInPlaceActiveObject* ActiveObjectOf(const AtlHost& atl, HWND host);

// Navigates the browser control hosted in `host` to `address`.
bool Navigate(const AtlHost& atl, HWND host, const std::wstring& address);

}  // namespace qm::win32
