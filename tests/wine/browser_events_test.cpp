// The browser control's navigation events as the offline page sees them:
// the event sink is called as the control calls it, with a stand-in for
// the control (the browser control under Wine has no engine to fail with).
#include <windows.h>
#include <exdisp.h>
#include <exdispid.h>
#include <ole2.h>

#include <gtest/gtest.h>


#include "platform/win32/browser_host.h"

// COM interfaces end their objects through Release, not a destructor.
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

namespace qm {
namespace {

// A browser object (the control, or a frame inside its page): only its
// identity counts.
class FakeBrowser final : public IDispatch {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
    if (id == IID_IUnknown || id == IID_IDispatch) {
      *out = static_cast<IDispatch*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }
};

// One event's arguments, built the way the control passes them: last
// first, the URL and the other values by reference.
class Arguments {
 public:
  enum class Shape {
    NavigateError,     // (browser, URL, frame name, status code, Cancel)
    DocumentComplete,  // (browser, URL)
    BeforeNavigate,    // (browser, URL, flags, frame name, post data, headers, Cancel)
  };

  Arguments(Shape shape, IDispatch* browser, const wchar_t* url) {
    ::VariantInit(&url_);
    ::VariantInit(&other_);
    for (VARIANT& value : values_) ::VariantInit(&value);
    url_.vt = VT_BSTR;
    url_.bstrVal = ::SysAllocString(url);
    other_.vt = VT_I4;
    other_.lVal = static_cast<LONG>(0x800C0008);  // INET_E_DOWNLOAD_FAILURE, for the status
    switch (shape) {
      case Shape::NavigateError: count_ = 5; break;
      case Shape::DocumentComplete: count_ = 2; break;
      case Shape::BeforeNavigate: count_ = 7; break;
    }
    values_[count_ - 1].vt = VT_DISPATCH;
    values_[count_ - 1].pdispVal = browser;
    values_[count_ - 2].vt = VT_BYREF | VT_VARIANT;
    values_[count_ - 2].pvarVal = &url_;
    for (int i = 1; i < count_ - 2; ++i) {
      values_[i].vt = VT_BYREF | VT_VARIANT;
      values_[i].pvarVal = &other_;
    }
    if (shape != Shape::DocumentComplete) {
      values_[0].vt = VT_BYREF | VT_BOOL;
      values_[0].pboolVal = &cancel;
    }
    params_ = {values_, nullptr, static_cast<UINT>(count_), 0};
  }
  Arguments(const Arguments&) = delete;
  Arguments& operator=(const Arguments&) = delete;
  ~Arguments() { ::VariantClear(&url_); }

  DISPPARAMS* Params() { return &params_; }

  VARIANT_BOOL cancel = VARIANT_FALSE;

 private:
  VARIANT url_, other_;
  VARIANT values_[7];
  int count_ = 0;
  DISPPARAMS params_ = {};
};

using Shape = Arguments::Shape;

class BrowserEventsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    events_ = new win32::NavigationEvents(&control_, {[this] { ++failed_; },
                                                      [this] { ++blank_loaded_; }});
  }
  void TearDown() override { events_->Release(); }

  HRESULT Send(DISPID event, Arguments& arguments) {
    return events_->Invoke(event, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                           arguments.Params(), nullptr, nullptr, nullptr);
  }

  FakeBrowser control_;
  FakeBrowser frame_;  // a frame inside the control's page
  win32::NavigationEvents* events_ = nullptr;
  int failed_ = 0;
  int blank_loaded_ = 0;
};

TEST_F(BrowserEventsTest, AFailedPageIsCancelledAndTheOfflinePageAskedFor) {
  Arguments error(Shape::NavigateError, &control_, L"https://translator.example/");
  EXPECT_EQ(Send(DISPID_NAVIGATEERROR, error), S_OK);
  EXPECT_EQ(error.cancel, VARIANT_TRUE);
  EXPECT_EQ(failed_, 1);
  EXPECT_EQ(blank_loaded_, 0);
}

TEST_F(BrowserEventsTest, OtherEventsAskForNothing) {
  Arguments before(Shape::BeforeNavigate, &control_, L"https://translator.example/");
  EXPECT_EQ(Send(DISPID_BEFORENAVIGATE2, before), S_OK);
  EXPECT_EQ(before.cancel, VARIANT_FALSE);
  Arguments complete(Shape::DocumentComplete, &control_, L"https://translator.example/");
  EXPECT_EQ(Send(DISPID_DOCUMENTCOMPLETE, complete), S_OK);
  // The error's DISPID with arguments of another shape.
  EXPECT_EQ(Send(DISPID_NAVIGATEERROR, before), S_OK);
  EXPECT_EQ(before.cancel, VARIANT_FALSE);
  EXPECT_EQ(failed_, 0);
  EXPECT_EQ(blank_loaded_, 0);
}

TEST_F(BrowserEventsTest, AFrameInsideThePageKeepsItsOwnError) {
  Arguments error(Shape::NavigateError, &frame_, L"https://ads.example/");
  EXPECT_EQ(Send(DISPID_NAVIGATEERROR, error), S_OK);
  EXPECT_EQ(error.cancel, VARIANT_FALSE);
  EXPECT_EQ(failed_, 0);
}

TEST_F(BrowserEventsTest, ThePageIsWrittenOnceAboutBlankHasLoaded) {
  Arguments blank(Shape::DocumentComplete, &control_, L"about:blank");
  EXPECT_EQ(Send(DISPID_DOCUMENTCOMPLETE, blank), S_OK);
  EXPECT_EQ(blank_loaded_, 0);  // no offline page waits for it
  events_->AwaitBlank(true);
  Arguments page(Shape::DocumentComplete, &control_, L"https://translator.example/");
  Arguments in_frame(Shape::DocumentComplete, &frame_, L"about:blank");
  Send(DISPID_DOCUMENTCOMPLETE, page);
  Send(DISPID_DOCUMENTCOMPLETE, in_frame);
  EXPECT_EQ(blank_loaded_, 0);
  Send(DISPID_DOCUMENTCOMPLETE, blank);
  EXPECT_EQ(blank_loaded_, 1);
  Send(DISPID_DOCUMENTCOMPLETE, blank);  // written once
  EXPECT_EQ(blank_loaded_, 1);
  // A navigation of the program's own in between: the page waits no longer.
  events_->AwaitBlank(true);
  events_->AwaitBlank(false);
  Send(DISPID_DOCUMENTCOMPLETE, blank);
  EXPECT_EQ(blank_loaded_, 1);
  EXPECT_EQ(failed_, 0);
}

TEST_F(BrowserEventsTest, AControlThatCannotLoadAboutBlankIsNotAskedAgain) {
  // Without an engine the offline page's own navigation fails too; asking
  // for the page again would go round for ever.
  events_->AwaitBlank(true);
  Arguments blank_error(Shape::NavigateError, &control_, L"about:blank");
  Send(DISPID_NAVIGATEERROR, blank_error);
  EXPECT_EQ(blank_error.cancel, VARIANT_TRUE);
  EXPECT_EQ(failed_, 0);
  // The next navigation to the page fails as usual.
  Arguments error(Shape::NavigateError, &control_, L"https://translator.example/");
  Send(DISPID_NAVIGATEERROR, error);
  EXPECT_EQ(error.cancel, VARIANT_TRUE);
  EXPECT_EQ(failed_, 1);
}

TEST_F(BrowserEventsTest, AfterDetachNothingIsAskedFor) {
  events_->AwaitBlank(true);
  events_->Detach();
  Arguments error(Shape::NavigateError, &control_, L"https://translator.example/");
  Arguments blank(Shape::DocumentComplete, &control_, L"about:blank");
  Send(DISPID_NAVIGATEERROR, error);
  Send(DISPID_DOCUMENTCOMPLETE, blank);
  EXPECT_EQ(failed_, 0);
  EXPECT_EQ(blank_loaded_, 0);
}

TEST_F(BrowserEventsTest, TheSinkAnswersForTheEventInterface) {
  void* found = nullptr;
  ASSERT_EQ(events_->QueryInterface(DIID_DWebBrowserEvents2, &found), S_OK);
  EXPECT_EQ(found, static_cast<IDispatch*>(events_));
  static_cast<IUnknown*>(found)->Release();
  EXPECT_EQ(events_->QueryInterface(IID_IOleWindow, &found), E_NOINTERFACE);
  EXPECT_EQ(found, nullptr);
}

}  // namespace
}  // namespace qm
