// Keys typed in the translator page reach the page before the dialog
// manager: a fake in-place object records what it is offered.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <vector>

#include "platform/win32/browser_host.h"

// COM interfaces end their objects through Release, not a destructor.
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

namespace qm {
namespace {

class FakeActiveObject final : public IOleInPlaceActiveObject {
 public:
  HRESULT answer = S_OK;
  std::vector<MSG> offered;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
    if (id == IID_IUnknown || id == IID_IOleWindow || id == IID_IOleInPlaceActiveObject) {
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetWindow(HWND*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message) override {
    offered.push_back(*message);
    return answer;
  }
  HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
};

TEST(BrowserKeys, KeysForThePageGoToItsInPlaceObjectFirst) {
  HWND top = ::CreateWindowExW(0, L"STATIC", L"top", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                               nullptr, nullptr, nullptr, nullptr);
  HWND host = ::CreateWindowExW(0, L"STATIC", L"host", WS_CHILD, 0, 0, 50, 50, top, nullptr,
                                nullptr, nullptr);
  HWND inside = ::CreateWindowExW(0, L"STATIC", L"page", WS_CHILD, 0, 0, 10, 10, host, nullptr,
                                  nullptr, nullptr);
  HWND elsewhere = ::CreateWindowExW(0, L"STATIC", L"button", WS_CHILD, 60, 0, 10, 10, top,
                                     nullptr, nullptr, nullptr);
  ASSERT_NE(inside, nullptr);
  ASSERT_NE(elsewhere, nullptr);
  FakeActiveObject page;
  const auto key = [](HWND window, UINT what, WPARAM code) {
    MSG message = {};
    message.hwnd = window;
    message.message = what;
    message.wParam = code;
    return message;
  };

  // Ctrl+V in the page: the page takes it.
  EXPECT_TRUE(win32::TranslateBrowserKey(key(inside, WM_KEYDOWN, 'V'), host, &page));
  EXPECT_TRUE(win32::TranslateBrowserKey(key(host, WM_CHAR, 'v'), host, &page));
  ASSERT_EQ(page.offered.size(), 2u);
  EXPECT_EQ(page.offered[0].wParam, static_cast<WPARAM>('V'));
  // Not for the page, or not a key: never offered.
  EXPECT_FALSE(win32::TranslateBrowserKey(key(elsewhere, WM_KEYDOWN, 'V'), host, &page));
  EXPECT_FALSE(win32::TranslateBrowserKey(key(inside, WM_LBUTTONDOWN, 0), host, &page));
  EXPECT_EQ(page.offered.size(), 2u);
  // A key the page leaves (Tab at its end) goes on to the dialog manager.
  page.answer = S_FALSE;
  EXPECT_FALSE(win32::TranslateBrowserKey(key(inside, WM_KEYDOWN, VK_TAB), host, &page));
  EXPECT_EQ(page.offered.size(), 3u);
  // No control in place: nothing to offer to.
  EXPECT_FALSE(win32::TranslateBrowserKey(key(inside, WM_KEYDOWN, 'V'), host, nullptr));
  ::DestroyWindow(top);
}

}  // namespace
}  // namespace qm
