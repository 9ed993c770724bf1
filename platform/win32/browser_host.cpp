#include "platform/win32/browser_host.h"

#include <exdisp.h>
#include <ole2.h>

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
