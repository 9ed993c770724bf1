// The state a run works on, shared by the main thread (which sets the
// folders and starts the run) and the worker (which does the run).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/source_lines.h"
#include "pipeline/splice.h"
#include "pipeline/texts.h"
#include "platform/fs.h"
#include "platform/platform.h"

namespace qm {

// A text written by one thread and read by another, always replaced as a
// whole: a reader gets the old value or the new one, never a mixture.
class StatusText {
 public:
  explicit StatusText(std::u16string_view initial = {})
      : value_(std::make_shared<const std::u16string>(initial)) {}
  void Set(std::u16string_view text) {
    auto value = std::make_shared<const std::u16string>(text);
    std::lock_guard lock(mutex_);
    value_.swap(value);
  }
  std::shared_ptr<const std::u16string> Get() const {
    std::lock_guard lock(mutex_);
    return value_;
  }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<const std::u16string> value_;
};

// References to the controls of the main window (0 for one that does not
// exist).
struct MainControls {
  ControlId MainWindow = kNoControl;
  ControlId MainStatusBar = kNoControl;
  ControlId TranslatorWebView = kNoControl;
  ControlId WebViewFrame = kNoControl;
  ControlId ControlsFrame = kNoControl;
  ControlId FileListView = kNoControl;
  ControlId TranslatedListView = kNoControl;
  ControlId SourceButton = kNoControl;
  ControlId SourcePathField = kNoControl;
  ControlId DestinationPathField = kNoControl;
};

// The status bar's fields, left to right, and their widths in pixels.
enum StatusField : int {
  kFileCountField = 0,
  kStateField = 1,
  kCurrentFileField = 2,
  kLineCountField = 3,
  kItemCountField = 4,
};
inline constexpr std::array<int, 5> kStatusFieldWidths = {200, 300, 391, 150, 150};

inline constexpr std::u16string_view kTranslatorAddress = u"https://translate.google.com/";

struct RunState {
  MainControls Controls;
  StatusText StatusState{kMonitoringState};
  // Both end in the path separator once chosen. Written by the main thread
  // only while no run is in progress.
  std::u16string SourceFolder;
  std::u16string DestinationFolder;
  // The files of the current run, and the current one's index.
  std::vector<std::u16string> ProjectFiles;
  std::size_t CurrentFile = 0;
  // The current file's lines, and its confirmed translation split into
  // lines (views into TranslatedText, which is UTF-8).
  qm::SourceLines SourceLines;
  fs::FileStamp SourceStamp;  // the current file as it was read
  std::string TranslatedText;
  qm::TranslatedLines TranslatedLines;
  std::int32_t TotalLineCount = 0;
  std::u16string TranslatorAddress{kTranslatorAddress};
  // Set by the main thread when it starts a run, cleared by the worker as
  // its very last step.
  std::atomic<bool> RunInProgress{false};

  // Frees the per-file lists.
  void ClearFileLists() {
    SourceLines.Clear();
    TranslatedLines.clear();
    TranslatedText.clear();
  }
  // Frees every list of a run: the per-file ones and the project's files.
  void ClearRunLists() {
    ClearFileLists();
    ProjectFiles.clear();
  }
};

}  // namespace qm
