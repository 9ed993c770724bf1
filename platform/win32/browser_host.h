// The system's browser control, hosted through the AtlAxWin window class of
// atl.dll (loaded at run time, so the program starts where it is missing).
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <ocidl.h>
#include <ole2.h>

#include <atomic>
#include <functional>
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

// The browser control's navigation events (DWebBrowserEvents2), as far as
// the offline page needs them. When a navigation of the control itself
// fails (not one of a frame inside its page), its error page is cancelled
// and `failed` is called, unless it is the navigation to about:blank that
// an offline page waits for; when about:blank has loaded in the control
// while an offline page waits for it, `blank_loaded` is called.
#pragma GCC diagnostic push
// COM objects end through Release, never through a pointer to their interface.
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class NavigationEvents final : public IDispatch {
 public:
  struct Handlers {
    std::function<void()> failed;
    std::function<void()> blank_loaded;
  };

  // `control`: the browser control, whose own navigations count. Not held:
  // the control holds its event sinks.
  NavigationEvents(IUnknown* control, Handlers handlers);

  // Whether an offline page waits for about:blank to load.
  void AwaitBlank(bool waiting) { awaiting_blank_ = waiting; }
  // Events from now on change nothing: the program lets go of the control.
  void Detach();

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* arguments,
                                   VARIANT*, EXCEPINFO*, UINT*) override;

 private:
  ~NavigationEvents() = default;  // ended by the last Release
  bool IsControl(const VARIANT& browser) const;

  std::atomic<ULONG> references_{1};
  IUnknown* control_;  // compared, never called
  Handlers handlers_;
  bool awaiting_blank_ = false;
};
#pragma GCC diagnostic pop

// The program's own page in the browser control, shown instead of the
// control's error page when the control cannot load its page. It stays
// until the program navigates the control again.
class OfflinePage {
 public:
  OfflinePage() = default;
  OfflinePage(const OfflinePage&) = delete;
  OfflinePage& operator=(const OfflinePage&) = delete;
  ~OfflinePage() { Disconnect(); }

  // Listens to the control hosted in `host`. The control is not navigated
  // from inside its own event: on a failure `show_later` is called, and it
  // must have Show() called from the message loop. False when the control
  // has no events to listen to (then its own error page stays).
  bool Connect(const AtlHost& atl, HWND host, std::wstring html, std::function<void()> show_later);
  // Navigates the control to about:blank and writes the page there once it
  // has loaded.
  void Show();
  // The program navigates the control itself: a page still waiting for
  // about:blank is not written over it.
  void Navigating();
  // Stops listening and lets go of the control; before the control goes away.
  void Disconnect();

 private:
  void Write();

  IWebBrowser2* browser_ = nullptr;
  IConnectionPoint* point_ = nullptr;
  DWORD cookie_ = 0;
  NavigationEvents* events_ = nullptr;
  std::wstring html_;
};

}  // namespace qm::win32
