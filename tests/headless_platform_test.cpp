// The headless backend's own rules: the virtual clock, stops, controls,
// dialogs and the clipboard.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "platform/headless/headless_platform.h"

namespace qm::headless {
namespace {

using namespace std::chrono_literals;

WindowLayout SmallLayout() {
  WindowLayout layout;
  layout.title = u"Test";
  layout.status_field_widths = {100, 100};
  layout.controls = {
      {"Web", ControlKind::WebView, 0, 0, 10, 10, u"https://example.org/"},
      {"List", ControlKind::ListView, 0, 0, 10, 10, u"Header", 10, true},
      {"Button", ControlKind::Button, 0, 0, 10, 10, u"Go", 0, true},
  };
  return layout;
}

// Runs `body` on a platform thread and keeps a log the test can read.
struct Recorder {
  std::mutex mutex;
  std::vector<std::string> events;
  void Add(std::string event) {
    std::lock_guard lock(mutex);
    events.push_back(std::move(event));
  }
  std::vector<std::string> Get() {
    std::lock_guard lock(mutex);
    return events;
  }
};

TEST(HeadlessClock, WaitsEndInDeadlineOrderAndOnlyWhenTheClockGetsThere) {
  HeadlessPlatform platform;
  Recorder recorder;
  auto slow = platform.StartThread("slow", [&](std::stop_token stop) {
    platform.Wait(300ms, stop);
    recorder.Add("slow@" + std::to_string(platform.NowMs()));
  });
  auto fast = platform.StartThread("fast", [&](std::stop_token stop) {
    platform.Wait(100ms, stop);
    recorder.Add("fast@" + std::to_string(platform.NowMs()));
    platform.Wait(100ms, stop);
    recorder.Add("fast@" + std::to_string(platform.NowMs()));
  });
  platform.Settle();
  EXPECT_TRUE(recorder.Get().empty());
  platform.Advance(150ms);
  EXPECT_EQ(recorder.Get(), std::vector<std::string>{"fast@100"});
  EXPECT_EQ(platform.NowMs(), 150);
  platform.Advance(1000ms);
  EXPECT_EQ(recorder.Get(), (std::vector<std::string>{"fast@100", "fast@200", "slow@300"}));
  EXPECT_EQ(platform.NowMs(), 1150);
  slow->Join();
  fast->Join();
  EXPECT_EQ(platform.LiveThreads(), 0);
}

TEST(HeadlessClock, RunUntilStopsAtTheFirstMomentTheConditionHolds) {
  HeadlessPlatform platform;
  int ticks = 0;
  auto ticker = platform.StartThread("ticker", [&](std::stop_token stop) {
    while (platform.Wait(250ms, stop)) ++ticks;
  });
  EXPECT_TRUE(platform.RunUntil([&] { return ticks == 3; }, 10s));
  EXPECT_EQ(platform.NowMs(), 750);
  EXPECT_FALSE(platform.RunUntil([&] { return ticks == 100; }, 1s));
  EXPECT_EQ(platform.NowMs(), 1750);
  ticker->RequestStop();
  ticker->Join();
}

TEST(HeadlessClock, AStopEndsWaitsAndOpenDialogsAtOnce) {
  HeadlessPlatform platform;
  Recorder recorder;
  auto waiter = platform.StartThread("waiter", [&](std::stop_token stop) {
    recorder.Add(platform.Wait(10s, stop) ? "waited" : "wait stopped");
  });
  auto asker = platform.StartThread("asker", [&](std::stop_token stop) {
    const Answer answer = platform.AskYesNo(u"Q", u"?", DefaultButton::Yes, stop);
    recorder.Add(answer == Answer::Stopped ? "box stopped" : "answered");
    platform.ShowMessage(u"M", u"text", stop);  // already stopped: returns at once
    recorder.Add("message done");
  });
  platform.Settle();
  ASSERT_TRUE(platform.OpenDialog().has_value());
  waiter->RequestStop();
  asker->RequestStop();
  waiter->Join();
  asker->Join();
  EXPECT_EQ(platform.NowMs(), 0);
  auto events = recorder.Get();
  std::sort(events.begin(), events.end());
  EXPECT_EQ(events, (std::vector<std::string>{"box stopped", "message done", "wait stopped"}));
  EXPECT_FALSE(platform.OpenDialog().has_value());
}

TEST(HeadlessControls, NoControlAndAClosedWindowDoNothing) {
  HeadlessPlatform platform;
  platform.SetText(kNoControl, u"x");
  platform.InsertRow(kNoControl, 0, u"x");
  EXPECT_EQ(platform.RowCount(kNoControl), 0);
  EXPECT_EQ(platform.RowText(kNoControl, 0), u"");

  const BuiltWindow built = platform.BuildMainWindow(SmallLayout());
  ASSERT_NE(built.window, kNoControl);
  ASSERT_EQ(built.controls.size(), 3u);
  const ControlId list = built.controls[1];
  platform.InsertRow(list, -1, u"b");
  platform.InsertRow(list, 0, u"a");
  platform.InsertRow(list, 99, u"c");
  platform.InsertRow(list, 1, u"a2");
  EXPECT_EQ(platform.Rows("List"), (std::vector<std::u16string>{u"a", u"a2", u"b", u"c"}));
  EXPECT_EQ(platform.RowCount(list), 4);
  EXPECT_EQ(platform.RowText(list, 3), u"c");
  EXPECT_EQ(platform.RowText(list, 4), u"");

  // An empty address sends the web view nowhere.
  EXPECT_EQ(platform.Navigations(), 1);
  platform.SetText(built.controls[0], u"");
  EXPECT_EQ(platform.Text("Web"), u"https://example.org/");
  EXPECT_EQ(platform.Navigations(), 1);

  platform.SetStatusField(built.status_bar, 5, u"no such field", FieldAlign::Left);
  platform.SetStatusField(built.status_bar, 1, u"shown", FieldAlign::Center);
  EXPECT_EQ(platform.Field(1), u"shown");
  EXPECT_EQ(platform.FieldAlignment(1), FieldAlign::Center);

  platform.CloseWindow(built.window);
  EXPECT_FALSE(platform.WindowOpen());
  platform.InsertRow(list, 0, u"late");
  EXPECT_EQ(platform.RowCount(list), 0);
  EXPECT_EQ(platform.Rows("List").size(), 4u) << "the last state stays readable";
  EXPECT_FALSE(platform.Press("Button"));
  EXPECT_FALSE(platform.RequestClose());
}

TEST(HeadlessControls, ADisabledControlTakesNoPress) {
  HeadlessPlatform platform;
  const BuiltWindow built = platform.BuildMainWindow(SmallLayout());
  platform.SetEnabled(built.controls[2], false);
  EXPECT_FALSE(platform.Press("Button"));
  EXPECT_FALSE(platform.Press("Nothing"));
  platform.SetEnabled(built.controls[2], true);
  EXPECT_TRUE(platform.Press("Button"));
  Event event;
  auto main = platform.StartThread("main", [&](std::stop_token) { event = platform.WaitEvent(); });
  main->Join();
  EXPECT_EQ(event.kind, Event::Kind::ControlEvent);
  EXPECT_EQ(event.source, built.controls[2]);
}

TEST(HeadlessControls, WritesOfOneFieldAtOneInstantCollapse) {
  HeadlessPlatform platform;
  const BuiltWindow built = platform.BuildMainWindow(SmallLayout());
  auto worker = platform.StartThread("worker", [&](std::stop_token stop) {
    for (int i = 1; i <= 1000; ++i) {
      platform.SetStatusField(built.status_bar, 0, u"n" + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)),
                              FieldAlign::Left);
    }
    platform.Wait(10ms, stop);
    platform.SetStatusField(built.status_bar, 0, u"later", FieldAlign::Left);
  });
  platform.Advance(10ms);
  worker->Join();
  const auto history = platform.FieldHistory(0);
  ASSERT_EQ(history.size(), 2u);
  EXPECT_EQ(history[0].text, u"n0");
  EXPECT_EQ(history[0].time_ms, 0);
  EXPECT_EQ(history[1].text, u"later");
  EXPECT_EQ(history[1].time_ms, 10);
}

TEST(HeadlessDialogs, RespondersAnswerAndUnansweredBoxesWaitForTheUser) {
  HeadlessPlatform platform;
  platform.SetResponder([](const Dialog& dialog) -> std::optional<Reply> {
    if (dialog.kind == Dialog::Kind::FolderChooser) return Reply::Folder(u"/chosen");
    return std::nullopt;
  });
  std::u16string folder;
  Answer answer = Answer::Stopped;
  auto main = platform.StartThread("main", [&](std::stop_token stop) {
    folder = platform.ChooseFolder(u"Pick", u"/start/");
    answer = platform.AskYesNo(u"Sure?", u"text", DefaultButton::Yes, stop);
  });
  platform.Settle();
  ASSERT_TRUE(platform.OpenDialog().has_value());
  EXPECT_EQ(platform.OpenDialog()->title, u"Sure?");
  EXPECT_TRUE(platform.Respond(Reply::No()));
  main->Join();
  EXPECT_EQ(folder, u"/chosen" + std::u16string(1, fs::kSeparator))
      << "a chosen folder ends in the separator";
  EXPECT_EQ(answer, Answer::No);
  const auto dialogs = platform.Dialogs();
  ASSERT_EQ(dialogs.size(), 2u);
  EXPECT_EQ(dialogs[0].text, u"/start/");
  EXPECT_FALSE(platform.Respond(Reply::Yes())) << "nothing left open";
}

TEST(HeadlessClipboard, TextNothingAndABusyClipboard) {
  HeadlessPlatform platform;
  EXPECT_EQ(platform.ClipboardText(), u"");
  EXPECT_FALSE(platform.Clipboard().has_value());
  EXPECT_TRUE(platform.SetClipboardText(u""));
  EXPECT_EQ(platform.Clipboard(), u"") << "an empty text is still a text";
  platform.UserCopies(u"copied");
  EXPECT_EQ(platform.ClipboardText(), u"copied");
  platform.SetClipboardBusy(true);
  EXPECT_EQ(platform.ClipboardText(), u"");
  EXPECT_FALSE(platform.SetClipboardText(u"mine"));
  platform.ClearClipboard();
  platform.SetClipboardBusy(false);
  EXPECT_EQ(platform.Clipboard(), u"copied");
  platform.ClearClipboard();
  EXPECT_FALSE(platform.Clipboard().has_value());
  platform.UserCopiesNonText();
  EXPECT_EQ(platform.ClipboardText(), u"");
}

}  // namespace
}  // namespace qm::headless
