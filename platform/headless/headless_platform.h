// A complete platform without a window system: every control keeps its
// state in memory, every call is recorded, dialogs and the clipboard are
// played by the caller (a test, a benchmark), and time is a virtual clock
// that only moves when the caller moves it.
//
// The clock. Threads started through StartThread are the platform's
// threads. Each of them is either running or blocked in one of the
// platform's waits (a timed wait, an open dialog, the event wait). The
// caller's thread drives: Settle() lets the platform's threads run until
// every one of them is blocked, and Advance()/RunUntil() then move the clock
// to the next deadline, wake the one thread whose wait is due, and settle
// again, one wait at a time. So a 10 s pause passes at once, and the order
// of everything the threads do is the same on every run.
//
// Blocking calls (waits, dialogs without an answer, the event wait) may only
// be made on the platform's own threads; the driving thread only drives and
// looks.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/headless/virtual_clock.h"
#include "platform/platform.h"

namespace qm::headless {

struct Dialog {
  enum class Kind { FolderChooser, Message, YesNo };
  Kind kind = Kind::Message;
  std::u16string title;
  std::u16string text;  // a chooser's initial folder
  std::int64_t opened_at_ms = 0;
  std::string thread;  // the thread that opened it
  DefaultButton default_button = DefaultButton::Yes;  // Yes/No boxes
};

// The user's answer to a dialog: the folder a chooser returns ("" cancels),
// or the button of a Yes/No box. A message box takes any reply as its OK.
struct Reply {
  Answer answer = Answer::Yes;
  std::u16string folder;

  static Reply Folder(std::u16string folder) { return {Answer::Yes, std::move(folder)}; }
  static Reply Cancel() { return {Answer::No, {}}; }
  static Reply Yes() { return {Answer::Yes, {}}; }
  static Reply No() { return {Answer::No, {}}; }
  static Reply Ok() { return {Answer::Yes, {}}; }
};

// Called on the thread that opens a dialog. An answer closes it at once;
// nullopt leaves it open until Reply() or, for stoppable dialogs, a stop.
using Responder = std::function<std::optional<Reply>(const Dialog&)>;

struct FieldWrite {
  std::int64_t time_ms = 0;
  std::u16string text;
  FieldAlign align = FieldAlign::Left;
};

struct Options {
  std::u16string desktop_folder = u"/home/user/Desktop/";
  // Made private (0700) on first use; "" means the system has none.
  std::u16string private_temp_folder;
  bool fail_window_creation = false;
};

class HeadlessPlatform final : public Platform {
 public:
  explicit HeadlessPlatform(Options options = {});
  ~HeadlessPlatform() override;
  HeadlessPlatform(const HeadlessPlatform&) = delete;
  HeadlessPlatform& operator=(const HeadlessPlatform&) = delete;

  // --- Platform ---
  BuiltWindow BuildMainWindow(const WindowLayout& layout) override;
  Event WaitEvent() override;
  void CloseWindow(ControlId window) override;
  void SetEnabled(ControlId control, bool enabled) override;
  void SetText(ControlId control, std::u16string_view text) override;
  void SetStatusField(ControlId status_bar, int field, std::u16string_view text,
                      FieldAlign align) override;
  void InsertRow(ControlId list, int position, std::u16string_view text) override;
  int RowCount(ControlId list) override;
  std::u16string RowText(ControlId list, int row) override;
  void RemoveAllRows(ControlId list) override;
  std::u16string ChooseFolder(std::u16string_view title, std::u16string_view initial) override;
  void ShowMessage(std::u16string_view title, std::u16string_view text,
                   std::stop_token stop) override;
  Answer AskYesNo(std::u16string_view title, std::u16string_view text,
                  DefaultButton default_button, std::stop_token stop) override;
  void ClearClipboard() override;
  bool SetClipboardText(std::u16string_view text) override;
  std::optional<std::u16string> ReadClipboardText() override;
  ClipboardPoll PollClipboard(std::u16string_view known, std::u16string& text) override;
  std::u16string DesktopFolder() override;
  std::u16string PrivateTempFolder() override;
  std::unique_ptr<Thread> StartThread(std::string_view name,
                                      std::function<void(std::stop_token)> body) override;
  bool Wait(std::chrono::milliseconds duration, std::stop_token stop) override;

  // --- The user's hands ---
  // Clicks a control; false (and nothing happens) when it does not exist, is
  // disabled, the window is closed, or a dialog is open.
  bool Press(std::string_view control);
  // The window's close box; false when the window is not open.
  bool RequestClose();
  void SetResponder(Responder responder);
  // Answers the most recently opened dialog that is still open.
  bool Respond(const Reply& reply);
  // Copies a text, or something that is not text (an image, a file).
  void UserCopies(std::u16string_view text);
  void UserCopiesNonText();
  // While busy, another program holds the clipboard: it cannot be read
  // (ClipboardText gives "") and writes fail.
  void SetClipboardBusy(bool busy);
  void FailNextThreadStart();

  // --- What the user sees ---
  bool WindowOpen() const;
  const WindowLayout& Layout() const { return layout_; }
  ControlId Find(std::string_view control) const;
  std::u16string Text(std::string_view control) const;
  bool Enabled(std::string_view control) const;
  std::vector<std::u16string> Rows(std::string_view control) const;
  int Navigations() const;  // how often the web view was sent to an address
  std::u16string Field(int field) const;
  FieldAlign FieldAlignment(int field) const;
  // Every write of a field in order. Writes of one field by one thread at
  // one instant collapse into the last (a progress counter bumped per line).
  std::vector<FieldWrite> FieldHistory(int field) const;
  std::vector<Dialog> Dialogs() const;         // every dialog opened so far
  std::optional<Dialog> OpenDialog() const;    // the newest one still open
  std::optional<std::u16string> Clipboard() const;  // nullopt: no text
  std::size_t ClipboardLength() const;              // 0 as well when there is no text
  // Every call, one line each: "<ms> <thread> <call>". Collapsed like
  // FieldHistory.
  std::vector<std::string> Log() const;

  // --- The clock ---
  std::int64_t NowMs() const;
  // Lets the platform's threads run until each is blocked.
  void Settle();
  // Moves the clock forward by `duration`, waking due waits one by one.
  void Advance(std::chrono::milliseconds duration);
  // Settles, then moves the clock wait by wait until `done` holds (checked
  // whenever every thread is blocked) or `limit` has passed. Returns
  // whether `done` held.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);
  int LiveThreads() const;  // the platform's threads that have not ended

 private:
  // A platform thread; its stop request also wakes the platform's waits.
  class HeadlessThread final : public Thread {
   public:
    HeadlessThread(std::jthread thread, HeadlessPlatform& platform);
    ~HeadlessThread() override;
    HeadlessThread(const HeadlessThread&) = delete;
    HeadlessThread& operator=(const HeadlessThread&) = delete;
    void RequestStop() override;
    void Join() override;

   private:
    std::jthread thread_;
    HeadlessPlatform& platform_;
  };
  using Waiter = VirtualClock::Waiter;
  struct OpenBox {
    std::size_t dialog = 0;
    Waiter* waiter = nullptr;
    Reply* reply = nullptr;
  };
  struct Control {
    std::string name;
    ControlKind kind = ControlKind::Frame;
    std::u16string text;
    bool enabled = true;
    std::vector<std::u16string> rows;
  };
  // One line of the log, kept in parts and put together only when the log
  // is read, so that a call costs little: a status field write keeps its
  // text, and a clipboard text is shared with the clipboard, not copied.
  struct Call {
    std::int64_t time_ms = 0;
    std::string thread;
    std::string text;  // the whole line, or what comes before `quoted`
    int field = -1;    // status field written, -1 for other calls
    FieldAlign align = FieldAlign::Left;
    std::u16string field_text;
    std::shared_ptr<const std::u16string> quoted;  // shown quoted, then `after`
    std::string after;
  };
  using Lock = VirtualClock::Lock;

  Control* Get(ControlId id);
  const Control* Get(ControlId id) const;
  const Control* Named(std::string_view name) const;
  void Record(std::string text);
  void RecordQuoted(std::string before, std::shared_ptr<const std::u16string> text,
                    std::string after);
  void RecordFieldWrite(int field, std::u16string_view text, FieldAlign align);
  std::optional<Reply> OpenAndWait(Dialog::Kind kind, std::u16string_view title,
                                   std::u16string_view text, std::stop_token stop,
                                   DefaultButton default_button = DefaultButton::Yes);

  mutable std::mutex mutex_;
  Options options_;
  Responder responder_;

  WindowLayout layout_;
  bool window_open_ = false;
  ControlId window_ = kNoControl, status_bar_ = kNoControl;
  std::vector<Control> controls_;  // id = index + 1
  std::vector<std::pair<std::u16string, FieldAlign>> fields_;
  struct FieldRecord {
    FieldWrite write;
    std::string thread;
  };
  std::vector<std::vector<FieldRecord>> field_history_;
  int navigations_ = 0;

  std::vector<Event> events_;
  Waiter* event_waiter_ = nullptr;

  std::vector<Dialog> dialogs_;
  std::vector<OpenBox> open_boxes_;

  std::shared_ptr<const std::u16string> clipboard_;  // null: no text
  bool clipboard_busy_ = false;
  bool fail_next_thread_ = false;

  VirtualClock clock_;  // shares mutex_
  std::vector<Call> calls_;
};

}  // namespace qm::headless
