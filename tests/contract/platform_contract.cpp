#include "tests/contract/platform_contract.h"

#include <array>
#include <atomic>
#include <chrono>

#include "shell/layout.h"
#include "shell/shared_state.h"
#include "text/text.h"

namespace qm::contract {

void PlatformContract::SetUp() {
  std::string error;
  platform_ = GetParam().make(error);
  if (platform_ == nullptr) GTEST_SKIP() << "no " << GetParam().name << " platform: " << error;
  std::array<std::u16string, kLanguageTextCount> captions;
  for (std::size_t i = 0; i < captions.size(); ++i) captions[i] = kLanguageTable[i];
  built_ = platform_->BuildMainWindow(MainWindowLayout(captions, u"about:blank"));
  if (built_.window == kNoControl) GTEST_SKIP() << "no window can be created here";
  controls_ = ControlsOf(built_);
}

void PlatformContract::TearDown() {
  if (platform_ && built_.window != kNoControl) platform_->CloseWindow(built_.window);
}

std::string BackendName(const testing::TestParamInfo<Backend>& info) { return info.param.name; }

namespace {

TEST_P(PlatformContract, EveryControlIsMade) {
  EXPECT_NE(controls_.MainStatusBar, kNoControl);
  EXPECT_EQ(built_.controls.size(), 8u);
  for (const ControlId id : built_.controls) EXPECT_NE(id, kNoControl);
}

TEST_P(PlatformContract, RowsGoToTheTopOrTheEnd) {
  const ControlId list = controls_.FileListView;
  platform_->InsertRow(list, -1, u"b");
  platform_->InsertRow(list, -1, u"c");
  platform_->InsertRow(list, 0, u"a");
  platform_->InsertRow(list, 7, u"\u00e9\U0001F600");  // past the end: at the end
  ASSERT_EQ(platform_->RowCount(list), 4);
  EXPECT_EQ(platform_->RowText(list, 0), u"a");
  EXPECT_EQ(platform_->RowText(list, 1), u"b");
  EXPECT_EQ(platform_->RowText(list, 2), u"c");
  EXPECT_EQ(platform_->RowText(list, 3), u"\u00e9\U0001F600");
  EXPECT_EQ(platform_->RowText(list, 4), u"");
  EXPECT_EQ(platform_->RowText(list, -1), u"");
  EXPECT_EQ(platform_->RowCount(controls_.TranslatedListView), 0) << "lists are separate";
  platform_->RemoveAllRows(list);
  EXPECT_EQ(platform_->RowCount(list), 0);
}

TEST_P(PlatformContract, OperationsOnNoControlOrTheWrongKindDoNothing) {
  platform_->InsertRow(kNoControl, 0, u"x");
  platform_->InsertRow(controls_.SourceButton, 0, u"x");
  platform_->SetText(kNoControl, u"x");
  platform_->SetEnabled(kNoControl, false);
  platform_->RemoveAllRows(kNoControl);
  platform_->SetStatusField(kNoControl, 0, u"x", FieldAlign::Left);
  platform_->SetStatusField(controls_.FileListView, 0, u"x", FieldAlign::Left);
  platform_->SetStatusField(controls_.MainStatusBar, 5, u"x", FieldAlign::Left);
  platform_->SetStatusField(controls_.MainStatusBar, -1, u"x", FieldAlign::Left);
  EXPECT_EQ(platform_->RowCount(kNoControl), 0);
  EXPECT_EQ(platform_->RowCount(controls_.SourceButton), 0);
  EXPECT_EQ(platform_->RowText(kNoControl, 0), u"");
  EXPECT_EQ(platform_->RowCount(controls_.FileListView), 0);
}

TEST_P(PlatformContract, CallsFromAnotherThreadArriveInOrderWhileTheMainThreadJoins) {
  const ControlId list = controls_.TranslatedListView;
  std::atomic<int> count_seen{-1};
  std::u16string first_seen, last_seen;
  auto thread = platform_->StartThread("rows", [&](std::stop_token) {
    for (int i = 0; i < 300; ++i) {
      platform_->SetStatusField(controls_.MainStatusBar, kLineCountField,
                                u"TCL: " + ToDecimal(i), FieldAlign::Left);
      platform_->InsertRow(list, -1, std::u16string(1, static_cast<char16_t>(u'A' + i % 26)));
    }
    count_seen = platform_->RowCount(list);  // waits for the main thread's answer
    first_seen = platform_->RowText(list, 0);
    last_seen = platform_->RowText(list, 299);
  });
  ASSERT_NE(thread, nullptr);
  thread->Join();  // must keep answering the thread's calls
  EXPECT_EQ(count_seen.load(), 300);
  EXPECT_EQ(first_seen, u"A");
  EXPECT_EQ(last_seen, std::u16string(1, static_cast<char16_t>(u'A' + 299 % 26)));
}

TEST_P(PlatformContract, AStopEndsAWaitAtOnce) {
  std::stop_source source;
  source.request_stop();
  EXPECT_FALSE(platform_->Wait(std::chrono::hours(1), source.get_token()));

  std::atomic<bool> waited{true};
  auto thread = platform_->StartThread("wait", [&](std::stop_token stop) {
    waited = platform_->Wait(std::chrono::hours(1), stop);
  });
  ASSERT_NE(thread, nullptr);
  thread->RequestStop();
  thread->Join();
  EXPECT_FALSE(waited.load());
}

TEST_P(PlatformContract, AStopEndsABoxOfAnotherThread) {
  for (const bool question : {true, false}) {
    std::atomic<bool> returned{false};
    std::atomic<Answer> answer{Answer::Yes};
    auto thread = platform_->StartThread("box", [&](std::stop_token stop) {
      if (question) {
        answer = platform_->AskYesNo(u"Quillmark Contract Box", u"Line one\rLine two",
                                     DefaultButton::No, stop);
      } else {
        platform_->ShowMessage(u"Quillmark Contract Box", u"Text", stop);
        answer = Answer::Stopped;
      }
      returned = true;
    });
    ASSERT_NE(thread, nullptr);
    thread->RequestStop();
    thread->Join();
    EXPECT_TRUE(returned.load());
    EXPECT_EQ(answer.load(), Answer::Stopped);
  }
}

TEST_P(PlatformContract, TheClipboardKeepsTextExactly) {
  const std::u16string texts[] = {u"plain", u"a\rb\r\nc\n", u"caf\u00e9 \U0001F600 \u65e5\u672c",
                                  std::u16string(70000, u'x'), u""};
  for (const std::u16string& text : texts) {
    ASSERT_TRUE(platform_->SetClipboardText(text));
    EXPECT_EQ(platform_->ClipboardText(), text) << text.size();
    std::u16string changed;
    EXPECT_EQ(platform_->PollClipboard(text, changed), ClipboardPoll::Same);
    EXPECT_EQ(platform_->PollClipboard(text + u"!", changed), ClipboardPoll::Changed);
    EXPECT_EQ(changed, text);
  }
  platform_->ClearClipboard();
  EXPECT_EQ(platform_->ReadClipboardText(), std::u16string());
}

TEST_P(PlatformContract, ValueCallsFromAnotherThreadAreAnswered) {
  // A value call from another thread while the main thread joins it.
  std::u16string read;
  ASSERT_TRUE(platform_->SetClipboardText(u"from the main thread"));
  auto thread = platform_->StartThread("reader", [&](std::stop_token) {
    read = platform_->ClipboardText();
  });
  ASSERT_NE(thread, nullptr);
  thread->Join();
  EXPECT_EQ(read, u"from the main thread");
}

}  // namespace
}  // namespace qm::contract
