#include "platform/win32/browser_host.h"

#include <exdisp.h>
#include <exdispid.h>
#include <mshtml.h>
#include <ole2.h>
#include <urlmon.h>

#include <utility>

// Symbols looked up at run time are cast from FARPROC.
#pragma GCC diagnostic ignored "-Wcast-function-type"

namespace qm::win32 {

namespace {

IWebBrowser2* BrowserOf(const AtlHost& atl, HWND host) {
  if (!atl.ready || host == nullptr) return nullptr;
  IUnknown* control = nullptr;
  if (FAILED(atl.get_control(host, &control)) || control == nullptr) return nullptr;
  IWebBrowser2* browser = nullptr;
  if (FAILED(control->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser)))) {
    browser = nullptr;
  }
  control->Release();
  return browser;
}

// The identity of a COM object: its IUnknown, compared and released at once.
IUnknown* IdentityOf(IUnknown* object) {
  if (object == nullptr) return nullptr;
  IUnknown* identity = nullptr;
  if (FAILED(object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)))) {
    return nullptr;
  }
  identity->Release();
  return identity;
}

// An argument of an event, by value or by reference.
const VARIANT& Unwrapped(const VARIANT& argument) {
  if (argument.vt == (VT_BYREF | VT_VARIANT) && argument.pvarVal != nullptr) {
    return *argument.pvarVal;
  }
  return argument;
}

bool IsBlank(const VARIANT& address) {
  const VARIANT& value = Unwrapped(address);
  return value.vt == VT_BSTR && value.bstrVal != nullptr &&
         std::wstring_view(value.bstrVal) == L"about:blank";
}

}  // namespace

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
  if (address.empty()) return false;
  IWebBrowser2* browser = BrowserOf(atl, host);
  if (browser == nullptr) return false;
  browser->put_Silent(VARIANT_TRUE);  // script errors of the page raise no boxes
  BSTR url = ::SysAllocStringLen(address.data(), static_cast<UINT>(address.size()));
  VARIANT empty;
  ::VariantInit(&empty);
  const HRESULT navigated = browser->Navigate(url, &empty, &empty, &empty, &empty);
  ::SysFreeString(url);
  browser->Release();
  return SUCCEEDED(navigated);
}

NavigationEvents::NavigationEvents(IUnknown* control, Handlers handlers)
    : control_(IdentityOf(control)), handlers_(std::move(handlers)) {}

void NavigationEvents::Detach() {
  handlers_ = {};
  awaiting_blank_ = false;
}

HRESULT NavigationEvents::QueryInterface(REFIID id, void** out) {
  if (out == nullptr) return E_POINTER;
  if (id == IID_IUnknown || id == IID_IDispatch || id == DIID_DWebBrowserEvents2) {
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG NavigationEvents::AddRef() { return ++references_; }

ULONG NavigationEvents::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT NavigationEvents::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT NavigationEvents::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }

HRESULT NavigationEvents::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
  return E_NOTIMPL;
}

bool NavigationEvents::IsControl(const VARIANT& browser) const {
  const VARIANT& value = Unwrapped(browser);
  if (value.vt != VT_DISPATCH || value.pdispVal == nullptr) return false;
  return control_ != nullptr && IdentityOf(value.pdispVal) == control_;
}

HRESULT NavigationEvents::Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* arguments,
                                 VARIANT*, EXCEPINFO*, UINT*) {
  if (arguments == nullptr || arguments->rgvarg == nullptr) return S_OK;
  // The arguments come last first.
  const VARIANT* given = arguments->rgvarg;
  switch (member) {
    case DISPID_NAVIGATEERROR: {
      // NavigateError(browser, URL, frame name, status code, Cancel)
      if (arguments->cArgs != 5 || !IsControl(given[4]) || !handlers_.failed) return S_OK;
      if (given[0].vt != (VT_BYREF | VT_BOOL) || given[0].pboolVal == nullptr) return S_OK;
      *given[0].pboolVal = VARIANT_TRUE;  // not the control's error page
      if (awaiting_blank_ && IsBlank(given[3])) {
        // The offline page's own navigation failed (a control without an
        // engine): asking again would only fail again.
        awaiting_blank_ = false;
        return S_OK;
      }
      handlers_.failed();
      return S_OK;
    }
    case DISPID_DOCUMENTCOMPLETE: {
      // DocumentComplete(browser, URL)
      if (arguments->cArgs != 2 || !awaiting_blank_ || !IsControl(given[1]) ||
          !IsBlank(given[0])) {
        return S_OK;
      }
      awaiting_blank_ = false;
      if (handlers_.blank_loaded) handlers_.blank_loaded();
      return S_OK;
    }
    default:
      return S_OK;
  }
}

bool OfflinePage::Connect(const AtlHost& atl, HWND host, std::wstring html,
                          std::function<void()> show_later) {
  Disconnect();
  if (html.empty()) return false;
  IWebBrowser2* browser = BrowserOf(atl, host);
  if (browser == nullptr) return false;
  IConnectionPointContainer* container = nullptr;
  IConnectionPoint* point = nullptr;
  if (SUCCEEDED(browser->QueryInterface(IID_IConnectionPointContainer,
                                        reinterpret_cast<void**>(&container)))) {
    if (FAILED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, &point))) point = nullptr;
    container->Release();
  }
  if (point == nullptr) {
    browser->Release();
    return false;
  }
  auto* events = new NavigationEvents(
      browser, {std::move(show_later), [this] { Write(); }});
  DWORD cookie = 0;
  if (FAILED(point->Advise(events, &cookie))) {
    events->Release();
    point->Release();
    browser->Release();
    return false;
  }
  browser_ = browser;
  point_ = point;
  cookie_ = cookie;
  events_ = events;
  html_ = std::move(html);
  return true;
}

void OfflinePage::Show() {
  if (browser_ == nullptr) return;
  events_->AwaitBlank(true);
  BSTR blank = ::SysAllocString(L"about:blank");
  VARIANT empty;
  ::VariantInit(&empty);
  if (FAILED(browser_->Navigate(blank, &empty, &empty, &empty, &empty))) {
    events_->AwaitBlank(false);
  }
  ::SysFreeString(blank);
}

void OfflinePage::Navigating() {
  if (events_ != nullptr) events_->AwaitBlank(false);
}

void OfflinePage::Write() {
  IDispatch* document = nullptr;
  if (browser_ == nullptr || FAILED(browser_->get_Document(&document)) || document == nullptr) {
    return;
  }
  IHTMLDocument2* page = nullptr;
  if (SUCCEEDED(document->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&page)))) {
    // write() takes its text as an array of variants.
    if (SAFEARRAY* text = ::SafeArrayCreateVector(VT_VARIANT, 0, 1)) {
      VARIANT* item = nullptr;
      if (SUCCEEDED(::SafeArrayAccessData(text, reinterpret_cast<void**>(&item)))) {
        item->vt = VT_BSTR;
        item->bstrVal = ::SysAllocStringLen(html_.data(), static_cast<UINT>(html_.size()));
        ::SafeArrayUnaccessData(text);
        page->write(text);
        page->close();
      }
      ::SafeArrayDestroy(text);  // clears the variant, freeing its string
    }
    page->Release();
  }
  document->Release();
}

void OfflinePage::Disconnect() {
  if (point_ != nullptr) {
    point_->Unadvise(cookie_);
    point_->Release();
    point_ = nullptr;
  }
  if (events_ != nullptr) {
    events_->Detach();  // the control may hold it a little longer
    events_->Release();
    events_ = nullptr;
  }
  if (browser_ != nullptr) {
    browser_->Release();
    browser_ = nullptr;
  }
  cookie_ = 0;
  html_.clear();
}

}  // namespace qm::win32
