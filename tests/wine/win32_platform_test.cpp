// What the Win32 backend adds to the platform contract (tests/contract/,
// which this program also runs): the window's size, the list view's
// columns, real boxes answered and their default button, the clipboard
// held by another program, the desktop folder. Runs under Wine on an X
// display (or on Windows).
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstring>
#include <cwchar>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "platform/desktop.h"
#include "shell/layout.h"
#include "shell/shared_state.h"

namespace qm {
namespace {

class Win32PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    int argc = 0;
    char** argv = nullptr;
    std::string error;
    platform_ = CreateDesktopPlatform(argc, argv, error);
    ASSERT_NE(platform_, nullptr) << error;
    std::array<std::u16string, kLanguageTextCount> captions;
    for (std::size_t i = 0; i < captions.size(); ++i) captions[i] = kLanguageTable[i];
    built_ = platform_->BuildMainWindow(MainWindowLayout(captions, kTranslatorAddress));
    if (built_.window == kNoControl) GTEST_SKIP() << "no window can be created here (no display?)";
    controls_ = ControlsOf(built_);
  }
  void TearDown() override {
    if (platform_ && built_.window != kNoControl) platform_->CloseWindow(built_.window);
  }

  // The box with `title` this process shows, once it is up (shown, which
  // it is after its set-up).
  static HWND AwaitBox(const wchar_t* title) {
    for (int i = 0; i < 400; ++i) {
      if (HWND box = ::FindWindowW(L"#32770", title); box != nullptr && ::IsWindowVisible(box)) {
        return box;
      }
      MSG message;
      while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
      ::Sleep(25);
    }
    return nullptr;
  }

  std::unique_ptr<Platform> platform_;
  BuiltWindow built_;
  MainControls controls_;
};

TEST_F(Win32PlatformTest, EveryControlIsMade) {
  EXPECT_NE(controls_.MainStatusBar, kNoControl);
  for (const ControlId id : {controls_.TranslatorWebView, controls_.WebViewFrame,
                             controls_.ControlsFrame, controls_.FileListView,
                             controls_.TranslatedListView, controls_.SourceButton,
                             controls_.SourcePathField, controls_.DestinationPathField}) {
    EXPECT_NE(id, kNoControl);
  }
  HWND window = ::FindWindowW(L"QuillmarkWindow", nullptr);
  ASSERT_NE(window, nullptr);
  RECT client = {};
  ::GetClientRect(window, &client);
  EXPECT_EQ(client.right, 1291);
  EXPECT_EQ(client.bottom, 807);
}

TEST_F(Win32PlatformTest, RowsShowTheFirstColumnOnlyAndTextOfAnyLength) {
  // What every backend does with rows is in the platform contract; this is
  // what the list view control adds.
  const ControlId list = controls_.FileListView;
  platform_->InsertRow(list, -1, u"c\nsecond column");
  const std::u16string long_text(1000, u'\u00e9');  // longer than the first read buffer
  platform_->InsertRow(list, -1, long_text);
  ASSERT_EQ(platform_->RowCount(list), 2);
  EXPECT_EQ(platform_->RowText(list, 0), u"c");
  EXPECT_EQ(platform_->RowText(list, 1), long_text);
}

TEST_F(Win32PlatformTest, AWorkersBoxIsAnsweredOrEndedByAStop) {
  struct Case {
    bool question;
    bool stop;  // otherwise the box is answered with its first button
    Answer expected;
  };
  for (const Case c : {Case{true, false, Answer::Yes}, Case{true, true, Answer::Stopped},
                       Case{false, true, Answer::Stopped}, Case{false, false, Answer::Yes}}) {
    SCOPED_TRACE(std::to_string(c.question) + " " + std::to_string(c.stop));
    std::atomic<Answer> answer{Answer::No};
    std::atomic<bool> returned{false};
    auto thread = platform_->StartThread("box", [&](std::stop_token stop) {
      if (c.question) {
        answer = platform_->AskYesNo(u"Quillmark Test Box", u"Line one\rLine two",
                                     DefaultButton::Yes, stop);
      } else {
        platform_->ShowMessage(u"Quillmark Test Box", u"Text", stop);
        answer = stop.stop_requested() ? Answer::Stopped : Answer::Yes;
      }
      returned = true;
    });
    ASSERT_NE(thread, nullptr);
    HWND box = AwaitBox(L"Quillmark Test Box");
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(returned.load());
    if (c.stop) {
      thread->RequestStop();
    } else {
      ::PostMessageW(box, WM_COMMAND, c.question ? IDYES : IDOK, 0);
    }
    thread->Join();
    EXPECT_EQ(answer.load(), c.expected);
    EXPECT_EQ(::FindWindowW(L"#32770", L"Quillmark Test Box"), nullptr);
  }
}

TEST_F(Win32PlatformTest, TheYesNoBoxHasTheDefaultItIsGiven) {
  for (const DefaultButton wanted : {DefaultButton::Yes, DefaultButton::No}) {
    std::atomic<Answer> answer{Answer::Stopped};
    auto thread = platform_->StartThread("box", [&](std::stop_token stop) {
      answer = platform_->AskYesNo(u"Quillmark Test Box", u"Count differs", wanted, stop);
    });
    ASSERT_NE(thread, nullptr);
    HWND box = AwaitBox(L"Quillmark Test Box");
    ASSERT_NE(box, nullptr);
    const int default_id = wanted == DefaultButton::No ? IDNO : IDYES;
    // The default button is the one with the focus, which Enter presses.
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    for (int i = 0; i < 200 && info.hwndFocus == nullptr; ++i) {  // until the box is set up
      ::Sleep(10);
      ASSERT_TRUE(::GetGUIThreadInfo(::GetWindowThreadProcessId(box, nullptr), &info));
    }
    EXPECT_EQ(::GetDlgCtrlID(info.hwndFocus), default_id);
    ::PostMessageW(box, WM_COMMAND, default_id, 0);
    thread->Join();
    EXPECT_EQ(answer.load(), wanted == DefaultButton::No ? Answer::No : Answer::Yes);
  }
}

// Whether the foreground window is one of this process's.
bool OursInFront() {
  DWORD process = 0;
  if (HWND foreground = ::GetForegroundWindow()) ::GetWindowThreadProcessId(foreground, &process);
  return process == ::GetCurrentProcessId();
}

// Brings `window` to the front and waits until the system says it is there
// (the display's own focus events may come a little later).
bool PutInFront(HWND window, bool ours) {
  for (int i = 0; i < 200; ++i) {
    ::SetForegroundWindow(window);
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
    if (OursInFront() == ours) return true;
    ::Sleep(10);
  }
  return false;
}

TEST_F(Win32PlatformTest, ABoxComesToTheFrontWhenTheProgramIsNotInFront) {
  HWND main = ::FindWindowW(L"QuillmarkWindow", nullptr);
  ASSERT_NE(main, nullptr);
  for (const bool program_in_front : {false, true}) {
    SCOPED_TRACE(program_in_front ? "the program in front" : "another window in front");
    // Another program in front: the desktop's window, which is not this process's.
    ASSERT_TRUE(PutInFront(program_in_front ? main : ::GetDesktopWindow(), program_in_front));
    auto thread = platform_->StartThread("box", [&](std::stop_token stop) {
      platform_->ShowMessage(u"Quillmark Test Box", u"Translation written", stop);
    });
    ASSERT_NE(thread, nullptr);
    HWND box = AwaitBox(L"Quillmark Test Box");
    ASSERT_NE(box, nullptr);
    // Activated: the box is where it stays.
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    for (int i = 0; i < 200 && info.hwndActive != box; ++i) {
      ASSERT_TRUE(::GetGUIThreadInfo(::GetWindowThreadProcessId(box, nullptr), &info));
      if (info.hwndActive != box) ::Sleep(10);
    }
    ASSERT_EQ(info.hwndActive, box);
    const bool topmost = (::GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    if (program_in_front) {
      // Over the program's window, which it belongs to.
      EXPECT_EQ(::GetWindow(box, GW_OWNER), main);
      EXPECT_FALSE(topmost);
    } else {
      // Over every other program's windows.
      EXPECT_EQ(::GetWindow(box, GW_OWNER), nullptr);
      EXPECT_TRUE(topmost);
    }
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    thread->Join();
  }
}

TEST_F(Win32PlatformTest, AStopBeforeTheBoxMeansNoBox) {
  std::atomic<Answer> answer{Answer::Yes};
  auto thread = platform_->StartThread("box", [&](std::stop_token stop) {
    while (!stop.stop_requested()) ::Sleep(1);
    answer =
        platform_->AskYesNo(u"Quillmark Test Box", u"never shown", DefaultButton::Yes, stop);
  });
  ASSERT_NE(thread, nullptr);
  thread->RequestStop();
  thread->Join();
  EXPECT_EQ(answer.load(), Answer::Stopped);
}

// Another program's thread that opens the clipboard and keeps it open
// until it is told to let go; with a text, it first puts that there.
class ClipboardHolder {
 public:
  explicit ClipboardHolder(const wchar_t* text = nullptr)
      : thread_([this, text] {
          opened_ = ::OpenClipboard(nullptr) != FALSE;
          if (opened_ && text != nullptr) {
            const std::size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
            HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
            std::memcpy(::GlobalLock(memory), text, bytes);
            ::GlobalUnlock(memory);
            ::EmptyClipboard();
            ::SetClipboardData(CF_UNICODETEXT, memory);
          }
          ready_ = true;
          while (!release_) ::Sleep(5);
          if (opened_) ::CloseClipboard();
        }) {
    while (!ready_) ::Sleep(5);
  }
  ~ClipboardHolder() {
    release_ = true;
    thread_.join();
  }
  bool opened() const { return opened_; }

 private:
  std::atomic<bool> opened_{false}, ready_{false}, release_{false};
  std::thread thread_;
};

TEST_F(Win32PlatformTest, ClipboardPollsSkipUnchangedAndHeldClipboards) {
  ASSERT_TRUE(platform_->SetClipboardText(u"exchange"));
  std::u16string text;
  EXPECT_EQ(platform_->PollClipboard(u"exchange", text), ClipboardPoll::Same);
  {
    // Held open without a change: the sequence number says nothing changed,
    // so the poll does not even try to open it.
    ClipboardHolder holder;
    ASSERT_TRUE(holder.opened());
    EXPECT_EQ(platform_->PollClipboard(u"exchange", text), ClipboardPoll::Same);
    EXPECT_EQ(platform_->PollClipboard(u"other", text), ClipboardPoll::Unreadable);
  }
  {
    // Changed and still held: unreadable, which is no change.
    ClipboardHolder holder(L"translated");
    ASSERT_TRUE(holder.opened());
    EXPECT_EQ(platform_->PollClipboard(u"exchange", text), ClipboardPoll::Unreadable);
    EXPECT_EQ(platform_->ReadClipboardText(), std::nullopt);
  }
  EXPECT_EQ(platform_->PollClipboard(u"exchange", text), ClipboardPoll::Changed);
  EXPECT_EQ(text, u"translated");
  platform_->ClearClipboard();
  EXPECT_EQ(platform_->PollClipboard(u"translated", text), ClipboardPoll::Changed);
  EXPECT_EQ(text, u"");
}

TEST_F(Win32PlatformTest, TheDesktopFolderIsAFolder) {
  const std::u16string desktop = platform_->DesktopFolder();
  ASSERT_FALSE(desktop.empty());
  const DWORD attributes =
      ::GetFileAttributesW(std::wstring(desktop.begin(), desktop.end()).c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

}  // namespace
}  // namespace qm
