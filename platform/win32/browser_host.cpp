#include "platform/win32/browser_host.h"

#include <exdisp.h>
#include <ole2.h>
#include <urlmon.h>

// Symbols looked up at run time are cast from FARPROC.
#pragma GCC diagnostic ignored "-Wcast-function-type"

namespace qm::win32 {

bool AtlHost::Load() {
  if (module != nullptr) return ready;
  module = ::LoadLibraryW(L"atl.dll");
  if (module == nullptr) return false;
  const auto init =
      reinterpret_cast<AtlAxWinInitFunction>(::GetProcAddress(module, "AtlAxWinInit"));
  get_control =
      reinterpret_cast<AtlAxGetControlFunction>(::GetProcAddress(module, "AtlAxGetControl"));
  ready = init != nullptr && get_control != nullptr && init() != FALSE;
  return ready;
}

void PrepareBrowserControl() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return;
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  const std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER,
                        L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\"
                        L"FEATURE_BROWSER_EMULATION",
                        0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
    const DWORD mode = 11001;  // the newest document mode, standards or not
    ::RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&mode),
                     sizeof mode);
    ::RegCloseKey(key);
  }
  ::CoInternetSetFeatureEnabled(FEATURE_DISABLE_NAVIGATION_SOUNDS, SET_FEATURE_ON_PROCESS, TRUE);
}

bool TranslateBrowserKey(const MSG& message, HWND host, IOleInPlaceActiveObject* object) {
  if (object == nullptr || host == nullptr) return false;
  if (message.message < WM_KEYFIRST || message.message > WM_KEYLAST) return false;
  if (message.hwnd != host && !::IsChild(host, message.hwnd)) return false;
  MSG copy = message;
  return object->TranslateAccelerator(&copy) == S_OK;
}

IOleInPlaceActiveObject* ActiveObjectOf(const AtlHost& atl, HWND host) {
  if (!atl.ready || host == nullptr) return nullptr;
  IUnknown* control = nullptr;
  if (FAILED(atl.get_control(host, &control)) || control == nullptr) return nullptr;
  IOleInPlaceActiveObject* object = nullptr;
  if (FAILED(control->QueryInterface(IID_IOleInPlaceActiveObject,
                                     reinterpret_cast<void**>(&object)))) {
    object = nullptr;
  }
  control->Release();
  return object;
}

bool Navigate(const AtlHost& atl, HWND host, const std::wstring& address) {
  if (!atl.ready || address.empty()) return false;
  IUnknown* control = nullptr;
  if (FAILED(atl.get_control(host, &control)) || control == nullptr) return false;
  IWebBrowser2* browser = nullptr;
  const HRESULT found =
      control->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser));
  control->Release();
  if (FAILED(found) || browser == nullptr) return false;
  browser->put_Silent(VARIANT_TRUE);  // script errors of the page raise no boxes
  BSTR url = ::SysAllocStringLen(address.data(), static_cast<UINT>(address.size()));
  VARIANT empty;
  ::VariantInit(&empty);
  const HRESULT navigated = browser->Navigate(url, &empty, &empty, &empty, &empty);
  ::SysFreeString(url);
  browser->Release();
  return SUCCEEDED(navigated);
}

}  // namespace qm::win32
