// The one interface through which the shell and the pipeline reach the
// window system, the dialogs, the clipboard, the clock and threads. Each
// backend (headless, GTK, Win32) implements it; nothing above this layer
// includes a toolkit header.
//
// Every operation may be called from any thread unless it says otherwise; a
// backend whose toolkit allows only its main thread carries the calls there,
// in call order, and waits for the answer of those that return a value.
// Control references are non-zero; 0 means "no control", and every
// operation on it does nothing (and returns 0 or the empty text).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace qm {

using ControlId = std::uint32_t;
inline constexpr ControlId kNoControl = 0;

enum class ControlKind { StatusBar, WebView, Frame, ListView, Button, EditField };

// One control of the main window, positioned in client coordinates.
struct ControlSpec {
  std::string_view name;  // the control's reference name, for logs and tests
  ControlKind kind;
  int x, y, width, height;
  std::u16string caption;  // button label, field text, frame caption, list header, web address
  int column_width = 0;    // list views: width of the one column
  bool tab_stop = false;
  std::u16string fallback = {};  // web views: the page (HTML) shown when the address fails to load
};

// Everything a backend needs to build the main window.
struct WindowLayout {
  int x = 0, y = 0;                  // outer top-left corner on the screen
  int client_width = 0, client_height = 0;
  std::u16string title;
  std::vector<int> status_field_widths;  // the status bar along the bottom edge
  std::vector<ControlSpec> controls;     // in creation order (and tab order)
  // The folder chooser's note when a typed path is not a folder.
  std::u16string not_a_folder;
};

// What BuildMainWindow created: 0 for anything that could not be made.
struct BuiltWindow {
  ControlId window = kNoControl;
  ControlId status_bar = kNoControl;
  std::vector<ControlId> controls;  // parallel to WindowLayout::controls
};

// Status bar field text appearance.
enum class FieldAlign { Left = 0, Center = 4 };

struct Event {
  enum class Kind { ControlEvent, CloseRequest };
  Kind kind = Kind::ControlEvent;
  ControlId source = kNoControl;
};

enum class Answer { Yes, No, Stopped };
// The button of a Yes/No box that Enter presses.
enum class DefaultButton { Yes, No };

// What a poll of the clipboard found.
enum class ClipboardPoll {
  Same,        // the text is the one the caller knows
  Changed,     // another text, or none
  Unreadable,  // the clipboard could not be read at all (held by another program)
};

// A thread started through the platform. Its body gets a stop token: every
// wait of the platform returns early once a stop is requested, which is how
// a thread is ended without being killed in the middle of anything.
class Thread {
 public:
  virtual ~Thread() = default;
  virtual void RequestStop() = 0;
  // Waits until the thread has ended. On a toolkit's main thread this keeps
  // the toolkit's queue going, so that calls the thread makes in its last
  // steps are still answered.
  virtual void Join() = 0;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // --- The main window (main thread) ---
  virtual BuiltWindow BuildMainWindow(const WindowLayout& layout) = 0;
  // Blocks until the next control event or close request.
  virtual Event WaitEvent() = 0;
  virtual void CloseWindow(ControlId window) = 0;

  // --- Controls ---
  virtual void SetEnabled(ControlId control, bool enabled) = 0;
  // Edit fields and buttons show the text; a web view navigates to it (an
  // empty address changes nothing).
  virtual void SetText(ControlId control, std::u16string_view text) = 0;
  virtual void SetStatusField(ControlId status_bar, int field, std::u16string_view text,
                              FieldAlign align) = 0;
  // Position 0 is the top, -1 the end.
  virtual void InsertRow(ControlId list, int position, std::u16string_view text) = 0;
  virtual int RowCount(ControlId list) = 0;
  virtual std::u16string RowText(ControlId list, int row) = 0;
  virtual void RemoveAllRows(ControlId list) = 0;

  // --- Dialogs ---
  // Modal folder chooser preselecting `initial`. Returns the chosen folder
  // ending in the path separator, or "" when the user cancels.
  virtual std::u16string ChooseFolder(std::u16string_view title, std::u16string_view initial) = 0;
  // Modal box with one OK button and no icon. Returns when the user has
  // answered it, or at once (closing the box) when `stop` is requested.
  virtual void ShowMessage(std::u16string_view title, std::u16string_view text,
                           std::stop_token stop) = 0;
  // Modal Yes/No box with the warning icon; Enter presses `default_button`.
  // Returns Stopped, closing the box, as soon as `stop` is requested.
  virtual Answer AskYesNo(std::u16string_view title, std::u16string_view text,
                          DefaultButton default_button, std::stop_token stop) = 0;

  // --- Clipboard (Unicode text only) ---
  virtual void ClearClipboard() = 0;
  virtual bool SetClipboardText(std::u16string_view text) = 0;
  // The clipboard's text: "" when it holds no text, nullopt when it could
  // not be read at all (another program holds it open, or its owner does
  // not answer in time).
  virtual std::optional<std::u16string> ReadClipboardText() = 0;
  // "" when the clipboard holds no text or cannot be read.
  std::u16string ClipboardText() { return ReadClipboardText().value_or(std::u16string()); }
  // Compares the clipboard's text with `known`; only when it is Changed is
  // the new text put into `text` ("" for none). A backend that can compare
  // in place saves a poll from copying a large text it already knows.
  virtual ClipboardPoll PollClipboard(std::u16string_view known, std::u16string& text) {
    std::optional<std::u16string> current = ReadClipboardText();
    if (!current) return ClipboardPoll::Unreadable;
    if (*current == known) return ClipboardPoll::Same;
    text = std::move(*current);
    return ClipboardPoll::Changed;
  }

  // --- System ---
  virtual std::u16string DesktopFolder() = 0;
  // A folder only this user can read, created when missing; "" when there
  // is none that is safe to use.
  virtual std::u16string PrivateTempFolder() = 0;

  // --- Threads and time ---
  // Starts `body` on a new thread; nullptr when no thread can be started.
  // `name` is for debuggers and logs.
  virtual std::unique_ptr<Thread> StartThread(std::string_view name,
                                              std::function<void(std::stop_token)> body) = 0;
  // Waits `duration`; returns false at once, or as soon as `stop` is
  // requested, without waiting the rest.
  virtual bool Wait(std::chrono::milliseconds duration, std::stop_token stop) = 0;
};

}  // namespace qm
