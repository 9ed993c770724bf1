#include "platform/headless/headless_platform.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "text/encoding.h"
#include "text/text.h"
#include "platform/fs.h"
#include "platform/headless/virtual_clock.h"

namespace qm::headless {
namespace {

std::string Quote(std::u16string_view text) { return "\"" + EncodeUtf8(text) + "\""; }

// A copy of a text that may be the exchange text of a whole file.
std::u16string Copy(std::u16string_view text) {
  std::u16string copy;
  copy.reserve(text.size());
  copy.assign(text);
  return copy;
}

const char* AlignName(FieldAlign align) { return align == FieldAlign::Center ? "center" : "left"; }

}  // namespace

HeadlessPlatform::HeadlessPlatform(Options options) : options_(std::move(options)) {}

HeadlessPlatform::~HeadlessPlatform() {
  if (clock_.live() != 0) {
    // A thread still running would call into a destroyed object.
    std::fprintf(stderr, "headless platform destroyed with %d thread(s) still running\n",
                 clock_.live());
    std::abort();
  }
}

// --- Controls -------------------------------------------------------------

HeadlessPlatform::Control* HeadlessPlatform::Get(ControlId id) {
  if (!window_open_ || id == kNoControl || id > controls_.size()) return nullptr;
  return &controls_[id - 1];
}

const HeadlessPlatform::Control* HeadlessPlatform::Get(ControlId id) const {
  if (id == kNoControl || id > controls_.size()) return nullptr;
  return &controls_[id - 1];
}

const HeadlessPlatform::Control* HeadlessPlatform::Named(std::string_view name) const {
  for (const Control& control : controls_) {
    if (control.name == name) return &control;
  }
  return nullptr;
}

void HeadlessPlatform::Record(std::string text) {
  Call& call = calls_.emplace_back();
  call.time_ms = clock_.now();
  call.thread = VirtualClock::ThreadName();
  call.text = std::move(text);
}

void HeadlessPlatform::RecordQuoted(std::string before, std::shared_ptr<const std::u16string> text,
                                    std::string after) {
  Record(std::move(before));
  calls_.back().quoted = std::move(text);
  calls_.back().after = std::move(after);
}

void HeadlessPlatform::RecordFieldWrite(int field, std::u16string_view text, FieldAlign align) {
  // A write that follows a write of the same field, by the same thread at
  // the same instant, replaces it: its text's room is used again.
  if (calls_.empty() || calls_.back().field != field || calls_.back().time_ms != clock_.now() ||
      calls_.back().thread != VirtualClock::ThreadName()) {
    Record({});
    calls_.back().field = field;
  }
  calls_.back().align = align;
  calls_.back().field_text.assign(text);
}

BuiltWindow HeadlessPlatform::BuildMainWindow(const WindowLayout& layout) {
  Lock lock(mutex_);
  Record("BuildMainWindow(" + Quote(layout.title) + ")");
  BuiltWindow built;
  if (options_.fail_window_creation) return built;
  layout_ = layout;
  controls_.clear();
  controls_.push_back({"MainWindow", ControlKind::Frame, layout.title, true, {}});
  window_ = static_cast<ControlId>(controls_.size());
  controls_.push_back({"MainStatusBar", ControlKind::StatusBar, {}, true, {}});
  status_bar_ = static_cast<ControlId>(controls_.size());
  fields_.assign(layout.status_field_widths.size(), {std::u16string(), FieldAlign::Left});
  field_history_.assign(fields_.size(), {});
  for (const ControlSpec& item : layout.controls) {
    controls_.push_back({std::string(item.name), item.kind, item.caption, true, {}});
    if (item.kind == ControlKind::WebView && !item.caption.empty()) ++navigations_;
    built.controls.push_back(static_cast<ControlId>(controls_.size()));
  }
  built.window = window_;
  built.status_bar = status_bar_;
  window_open_ = true;
  return built;
}

Event HeadlessPlatform::WaitEvent() {
  Lock lock(mutex_);
  while (events_.empty()) {
    Waiter waiter;
    event_waiter_ = &waiter;
    clock_.Block(lock, waiter, {});
    event_waiter_ = nullptr;
  }
  const Event event = events_.front();
  events_.erase(events_.begin());
  return event;
}

void HeadlessPlatform::CloseWindow(ControlId window) {
  Lock lock(mutex_);
  if (!window_open_ || window != window_) return;
  Record("CloseWindow(MainWindow)");
  window_open_ = false;
}

void HeadlessPlatform::SetEnabled(ControlId control, bool enabled) {
  Lock lock(mutex_);
  Control* target = Get(control);
  if (target == nullptr) return;
  target->enabled = enabled;
  Record("SetEnabled(" + target->name + ", " + (enabled ? "true" : "false") + ")");
}

void HeadlessPlatform::SetText(ControlId control, std::u16string_view text) {
  Lock lock(mutex_);
  Control* target = Get(control);
  if (target == nullptr) return;
  if (target->kind == ControlKind::WebView) {
    if (text.empty()) return;  // no address, no navigation
    ++navigations_;
  }
  target->text = text;
  Record("SetText(" + target->name + ", " + Quote(text) + ")");
}

void HeadlessPlatform::SetStatusField(ControlId status_bar, int field, std::u16string_view text,
                                      FieldAlign align) {
  Lock lock(mutex_);
  if (Get(status_bar) == nullptr || status_bar != status_bar_) return;
  if (field < 0 || static_cast<std::size_t>(field) >= fields_.size()) return;
  const auto index = static_cast<std::size_t>(field);
  fields_[index].first.assign(text);
  fields_[index].second = align;
  auto& history = field_history_[index];
  if (history.empty() || history.back().write.time_ms != clock_.now() ||
      history.back().thread != VirtualClock::ThreadName()) {
    history.push_back({{clock_.now(), {}, align}, VirtualClock::ThreadName()});
  }
  history.back().write.text.assign(text);
  history.back().write.align = align;
  RecordFieldWrite(field, text, align);
}

void HeadlessPlatform::InsertRow(ControlId list, int position, std::u16string_view text) {
  Lock lock(mutex_);
  Control* target = Get(list);
  if (target == nullptr || target->kind != ControlKind::ListView) return;
  auto& rows = target->rows;
  const bool at_end = position < 0 || static_cast<std::size_t>(position) >= rows.size();
  rows.insert(at_end ? rows.end() : rows.begin() + position, std::u16string(text));
  Record("InsertRow(" + target->name + ", " + std::to_string(position) + ", " + Quote(text) +
         ")");
}

int HeadlessPlatform::RowCount(ControlId list) {
  Lock lock(mutex_);
  const Control* target = Get(list);
  if (target == nullptr) return 0;
  return static_cast<int>(target->rows.size());
}

std::u16string HeadlessPlatform::RowText(ControlId list, int row) {
  Lock lock(mutex_);
  const Control* target = Get(list);
  if (target == nullptr || row < 0 ||
      static_cast<std::size_t>(row) >= target->rows.size()) {
    return {};
  }
  return target->rows[static_cast<std::size_t>(row)];
}

void HeadlessPlatform::RemoveAllRows(ControlId list) {
  Lock lock(mutex_);
  Control* target = Get(list);
  if (target == nullptr || target->kind != ControlKind::ListView) return;
  target->rows.clear();
  Record("RemoveAllRows(" + target->name + ")");
}

// --- Dialogs --------------------------------------------------------------

std::optional<Reply> HeadlessPlatform::OpenAndWait(Dialog::Kind kind, std::u16string_view title,
                                                   std::u16string_view text,
                                                   std::stop_token stop,
                                                   DefaultButton default_button) {
  Responder responder;
  Dialog dialog;
  {
    Lock lock(mutex_);
    dialog = {kind,         std::u16string(title),        std::u16string(text),
              clock_.now(), VirtualClock::ThreadName(), default_button};
    dialogs_.push_back(dialog);
    static constexpr const char* kNames[] = {"ChooseFolder", "ShowMessage", "AskYesNo"};
    Record(std::string(kNames[static_cast<int>(kind)]) + "(" + Quote(title) + ", " + Quote(text) +
           (default_button == DefaultButton::No ? ", default No)" : ")"));
    responder = responder_;
  }
  // The responder plays the user on this thread, outside the lock, so that
  // it may look at the window.
  if (responder) {
    if (std::optional<Reply> reply = responder(dialog)) return reply;
  }
  Lock lock(mutex_);
  if (stop.stop_requested()) return std::nullopt;
  Waiter waiter;
  Reply reply;
  open_boxes_.push_back({dialogs_.size() - 1, &waiter, &reply});
  const bool answered = clock_.Block(lock, waiter, stop);
  if (!answered) {
    std::erase_if(open_boxes_, [&](const OpenBox& box) { return box.waiter == &waiter; });
    Record("dialog closed by a stop");
    return std::nullopt;
  }
  return reply;
}

std::u16string HeadlessPlatform::ChooseFolder(std::u16string_view title,
                                              std::u16string_view initial) {
  const std::optional<Reply> reply = OpenAndWait(Dialog::Kind::FolderChooser, title, initial, {});
  if (!reply || reply->answer != Answer::Yes || reply->folder.empty()) return {};
  std::u16string folder = reply->folder;
  if (folder.back() != fs::kSeparator) folder += fs::kSeparator;
  return folder;
}

void HeadlessPlatform::ShowMessage(std::u16string_view title, std::u16string_view text,
                                   std::stop_token stop) {
  OpenAndWait(Dialog::Kind::Message, title, text, stop);
}

Answer HeadlessPlatform::AskYesNo(std::u16string_view title, std::u16string_view text,
                                  DefaultButton default_button, std::stop_token stop) {
  const std::optional<Reply> reply =
      OpenAndWait(Dialog::Kind::YesNo, title, text, stop, default_button);
  if (!reply) return Answer::Stopped;
  return reply->answer == Answer::Yes ? Answer::Yes : Answer::No;
}

// --- Clipboard ------------------------------------------------------------

void HeadlessPlatform::ClearClipboard() {
  Lock lock(mutex_);
  Record("ClearClipboard()");
  if (!clipboard_busy_) clipboard_.reset();
}

bool HeadlessPlatform::SetClipboardText(std::u16string_view text) {
  auto value = std::make_shared<const std::u16string>(Copy(text));
  Lock lock(mutex_);
  RecordQuoted("SetClipboardText(", value, ")");
  if (clipboard_busy_) return false;
  clipboard_ = std::move(value);
  return true;
}

std::optional<std::u16string> HeadlessPlatform::ReadClipboardText() {
  Lock lock(mutex_);
  Record("ClipboardText()");
  if (clipboard_busy_) return std::nullopt;
  if (!clipboard_) return std::u16string();
  return *clipboard_;
}

ClipboardPoll HeadlessPlatform::PollClipboard(std::u16string_view known, std::u16string& text) {
  Lock lock(mutex_);
  Record("ClipboardText()");
  if (clipboard_busy_) return ClipboardPoll::Unreadable;
  const std::u16string_view current = clipboard_ ? std::u16string_view(*clipboard_) : u"";
  if (current == known) return ClipboardPoll::Same;
  text = Copy(current);
  return ClipboardPoll::Changed;
}

// --- System ---------------------------------------------------------------

std::u16string HeadlessPlatform::DesktopFolder() {
  Lock lock(mutex_);
  return options_.desktop_folder;
}

std::u16string HeadlessPlatform::PrivateTempFolder() {
  Lock lock(mutex_);
  if (options_.private_temp_folder.empty()) return {};
  if (fs::EnsurePrivateFolder(options_.private_temp_folder)) return {};
  return options_.private_temp_folder;
}


// --- Threads and the clock ------------------------------------------------

std::unique_ptr<Thread> HeadlessPlatform::StartThread(std::string_view name,
                                                      std::function<void(std::stop_token)> body) {
  Lock lock(mutex_);
  Record("StartThread(" + std::string(name) + ")");
  if (std::exchange(fail_next_thread_, false)) return nullptr;
  clock_.ThreadStarting();
  std::jthread thread([this, name = std::string(name), body = std::move(body)](
                          std::stop_token stop) {
    VirtualClock::EnterPlatformThread(name.c_str());
    body(stop);
    Lock end(mutex_);
    clock_.ThreadEnded();
  });
  return std::make_unique<HeadlessThread>(std::move(thread), *this);
}

HeadlessPlatform::HeadlessThread::HeadlessThread(std::jthread thread, HeadlessPlatform& platform)
    : thread_(std::move(thread)), platform_(platform) {}

HeadlessPlatform::HeadlessThread::~HeadlessThread() {
  HeadlessThread::RequestStop();
  HeadlessThread::Join();
}

void HeadlessPlatform::HeadlessThread::RequestStop() {
  thread_.request_stop();
  // Under the platform's lock, so a thread about to block sees the stop
  // or gets this wake-up.
  Lock lock(platform_.mutex_);
  platform_.clock_.NotifyStop();
}

void HeadlessPlatform::HeadlessThread::Join() {
  if (thread_.joinable()) thread_.join();
}

bool HeadlessPlatform::Wait(std::chrono::milliseconds duration, std::stop_token stop) {
  Lock lock(mutex_);
  return clock_.Sleep(lock, duration, stop);
}

void HeadlessPlatform::Settle() {
  Lock lock(mutex_);
  clock_.Settle(lock);
}

void HeadlessPlatform::Advance(std::chrono::milliseconds duration) {
  Lock lock(mutex_);
  clock_.Advance(lock, duration);
}

bool HeadlessPlatform::RunUntil(const std::function<bool()>& done,
                                std::chrono::milliseconds limit) {
  Lock lock(mutex_);
  return clock_.RunUntil(lock, done, limit);
}

std::int64_t HeadlessPlatform::NowMs() const {
  Lock lock(mutex_);
  return clock_.now();
}

int HeadlessPlatform::LiveThreads() const {
  Lock lock(mutex_);
  return clock_.live();
}

// --- The user's hands -----------------------------------------------------

bool HeadlessPlatform::Press(std::string_view control) {
  Lock lock(mutex_);
  if (!window_open_ || !open_boxes_.empty()) return false;
  const Control* target = Named(control);
  if (target == nullptr || !target->enabled) return false;
  const auto id = static_cast<ControlId>(target - controls_.data() + 1);
  Record("user presses " + target->name);
  events_.push_back({Event::Kind::ControlEvent, id});
  if (event_waiter_ != nullptr) clock_.Wake(*event_waiter_);
  return true;
}

bool HeadlessPlatform::RequestClose() {
  Lock lock(mutex_);
  if (!window_open_) return false;
  Record("user closes MainWindow");
  events_.push_back({Event::Kind::CloseRequest, window_});
  if (event_waiter_ != nullptr) clock_.Wake(*event_waiter_);
  return true;
}

void HeadlessPlatform::SetResponder(Responder responder) {
  Lock lock(mutex_);
  responder_ = std::move(responder);
}

bool HeadlessPlatform::Respond(const Reply& reply) {
  Lock lock(mutex_);
  if (open_boxes_.empty()) return false;
  const OpenBox box = open_boxes_.back();
  open_boxes_.pop_back();
  *box.reply = reply;
  Record("user answers " + EncodeUtf8(dialogs_[box.dialog].title));
  clock_.Wake(*box.waiter);
  return true;
}

void HeadlessPlatform::UserCopies(std::u16string_view text) {
  auto value = std::make_shared<const std::u16string>(Copy(text));
  Lock lock(mutex_);
  RecordQuoted("user copies ", value, "");
  clipboard_ = std::move(value);
}

void HeadlessPlatform::UserCopiesNonText() {
  Lock lock(mutex_);
  Record("user copies something that is not text");
  clipboard_.reset();
}

void HeadlessPlatform::SetClipboardBusy(bool busy) {
  Lock lock(mutex_);
  clipboard_busy_ = busy;
}

void HeadlessPlatform::FailNextThreadStart() {
  Lock lock(mutex_);
  fail_next_thread_ = true;
}

// --- What the user sees ---------------------------------------------------

bool HeadlessPlatform::WindowOpen() const {
  Lock lock(mutex_);
  return window_open_;
}

ControlId HeadlessPlatform::Find(std::string_view control) const {
  Lock lock(mutex_);
  const Control* target = Named(control);
  return target == nullptr ? kNoControl : static_cast<ControlId>(target - controls_.data() + 1);
}

std::u16string HeadlessPlatform::Text(std::string_view control) const {
  Lock lock(mutex_);
  const Control* target = Named(control);
  return target == nullptr ? std::u16string() : target->text;
}

bool HeadlessPlatform::Enabled(std::string_view control) const {
  Lock lock(mutex_);
  const Control* target = Named(control);
  return target != nullptr && target->enabled;
}

std::vector<std::u16string> HeadlessPlatform::Rows(std::string_view control) const {
  Lock lock(mutex_);
  const Control* target = Named(control);
  return target == nullptr ? std::vector<std::u16string>() : target->rows;
}

int HeadlessPlatform::Navigations() const {
  Lock lock(mutex_);
  return navigations_;
}

std::u16string HeadlessPlatform::Field(int field) const {
  Lock lock(mutex_);
  if (field < 0 || static_cast<std::size_t>(field) >= fields_.size()) return {};
  return fields_[static_cast<std::size_t>(field)].first;
}

FieldAlign HeadlessPlatform::FieldAlignment(int field) const {
  Lock lock(mutex_);
  if (field < 0 || static_cast<std::size_t>(field) >= fields_.size()) return FieldAlign::Left;
  return fields_[static_cast<std::size_t>(field)].second;
}

std::vector<FieldWrite> HeadlessPlatform::FieldHistory(int field) const {
  Lock lock(mutex_);
  std::vector<FieldWrite> writes;
  if (field < 0 || static_cast<std::size_t>(field) >= field_history_.size()) return writes;
  for (const FieldRecord& record : field_history_[static_cast<std::size_t>(field)]) {
    writes.push_back(record.write);
  }
  return writes;
}

std::vector<Dialog> HeadlessPlatform::Dialogs() const {
  Lock lock(mutex_);
  return dialogs_;
}

std::optional<Dialog> HeadlessPlatform::OpenDialog() const {
  Lock lock(mutex_);
  if (open_boxes_.empty()) return std::nullopt;
  return dialogs_[open_boxes_.back().dialog];
}

std::optional<std::u16string> HeadlessPlatform::Clipboard() const {
  Lock lock(mutex_);
  if (!clipboard_) return std::nullopt;
  return *clipboard_;
}

std::size_t HeadlessPlatform::ClipboardLength() const {
  Lock lock(mutex_);
  return clipboard_ ? clipboard_->size() : 0;
}

std::vector<std::string> HeadlessPlatform::Log() const {
  Lock lock(mutex_);
  std::vector<std::string> lines;
  lines.reserve(calls_.size());
  for (const Call& call : calls_) {
    std::string line = std::to_string(call.time_ms) + " " + call.thread + " " + call.text;
    if (call.field >= 0) {
      line += "SetStatusField(" + std::to_string(call.field) + ", " + AlignName(call.align) +
              ", " + Quote(call.field_text) + ")";
    }
    if (call.quoted) line += Quote(*call.quoted) + call.after;
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace qm::headless
