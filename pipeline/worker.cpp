#include "pipeline/worker.h"

#include <chrono>
#include <new>

#include "pipeline/collect.h"
#include "text/encoding.h"
#include "pipeline/files.h"
#include "pipeline/texts.h"
#include "text/text.h"
#include "platform/fs.h"

namespace qm {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kPollInterval{500};
constexpr milliseconds kEndOfRunPause{10000};
constexpr std::size_t kPreviewLength = 60;

constexpr std::u16string_view kScratchName = u"btex";

std::u16string Concat(std::initializer_list<std::u16string_view> parts) {
  std::u16string text;
  for (const std::u16string_view part : parts) text += part;
  return text;
}

// What the box adds when the number of lines that came back (empty lines at
// the very end not counted) differs from the number of items sent.
std::u16string CountWarning(std::size_t returned, std::size_t sent) {
  return Concat({kWarningOpen, ToDecimal(static_cast<std::int64_t>(returned)), kWarningCameBack,
                 ToDecimal(static_cast<std::int64_t>(sent)), kWarningSent});
}

class Worker {
 public:
  Worker(Platform& platform, RunState& state, const WebViewReset& reset, std::stop_token stop)
      : platform_(platform), state_(state), reset_(reset), stop_(std::move(stop)),
        bar_(state.Controls.MainStatusBar) {}

  void Run() {
    Collect();
    for (state_.CurrentFile = 0; state_.CurrentFile < state_.ProjectFiles.size();
         ++state_.CurrentFile) {
      if (!ProcessFile(state_.ProjectFiles[state_.CurrentFile])) return;
    }
    EndOfRun();
  }

 private:
  void Left(int field, std::u16string_view text) {
    platform_.SetStatusField(bar_, field, text, FieldAlign::Left);
  }

  // "TCL: 12", built in a buffer that is reused for every line: no
  // allocation once the buffer has room.
  void ShowCount(int field, std::u16string_view prefix, std::int64_t value) {
    counter_.assign(prefix);
    AppendDecimal(value, counter_);
    Left(field, counter_);
  }

  bool Stopped() const { return stop_.stop_requested(); }

  // Field 0: "Files: 3   FILES TRANSLATED" and the arrow with the count.
  void ShowFileCounts(std::u16string_view arrow, std::int64_t translated) {
    Left(kFileCountField,
         Concat({kFilesPrefix, ToDecimal(static_cast<std::int64_t>(state_.ProjectFiles.size())),
                 kFilesTranslated, arrow, ToDecimal(translated)}));
  }

  void Collect() {
    Left(kStateField, kParsingBanner);
    state_.ProjectFiles = CollectProjectFiles(state_.SourceFolder);
    ShowFileCounts(kCountsArrowAtStart, platform_.RowCount(state_.Controls.TranslatedListView));
    for (const std::u16string& path : state_.ProjectFiles) {
      platform_.InsertRow(state_.Controls.FileListView, -1, FileNamePart(path));
    }
    state_.StatusState.Set(kParsingState);
  }

  // One file's turn; false when the run was stopped.
  bool ProcessFile(const std::u16string& path) {
    const std::u16string name = FileNamePart(path);
    std::u16string exchange;
    std::vector<std::u16string_view> pieces;
    std::error_code error = ReadSourceFile(path, state_.SourceLines, &state_.SourceStamp);
    if (!error) {
      try {
        for (std::size_t i = 0; i < state_.SourceLines.size(); ++i) {
          ShowCount(kLineCountField, kLineCountPrefix, ++state_.TotalLineCount);
        }
        state_.SourceLines.Extract();
        for (std::size_t i = 0; i < state_.SourceLines.size(); ++i) {
          for (std::int64_t n = state_.SourceLines.ItemCount(i); n > 0; --n) {
            ShowCount(kItemCountField, kItemCountPrefix, ++collected_);
          }
        }
        exchange = DecodeUtf8(BuildExchangeText(state_.SourceLines));
        pieces = ExchangePieces(exchange);
      } catch (const std::bad_alloc&) {
        error = fs::FileError::TooLarge;  // one file too large for memory; the run goes on
      }
    }
    if (error) {
      // Nothing was read, so there is nothing to translate, and writing the
      // empty result would replace a good file with an empty one.
      state_.SourceLines.Clear();
      platform_.ShowMessage(kReadErrorTitle,
                            Concat({kCouldNotRead, path, u"\n", fs::ErrorText(error)}),
                            stop_);
      if (Stopped()) return false;
      return Complete(false);
    }

    std::string translated;
    if (pieces.size() <= 1) {
      std::u16string text;
      if (!HandOff(exchange, Concat({kCurrentFilePrefix, name}), text)) return false;
      translated = MakeTranslationText(text);
    } else {
      // The translator page takes only so much at once: one hand-off per
      // piece, and the confirmed pieces joined in order.
      for (std::size_t k = 0; k < pieces.size(); ++k) {
        const std::u16string field =
            Concat({kCurrentFilePrefix, name, kPartOpen,
                    ToDecimal(static_cast<std::int64_t>(k + 1)), kPartOf,
                    ToDecimal(static_cast<std::int64_t>(pieces.size())), kPartClose});
        std::u16string piece_translation;
        if (!HandOff(pieces[k], field, piece_translation)) return false;
        AppendPieceTranslation(pieces[k], piece_translation, translated);
      }
    }
    bool saved = false;
    try {
      ReadBack(std::move(translated));
      saved = Output(name);
    } catch (const std::bad_alloc&) {
      ShowCreationError(fs::ErrorText(fs::FileError::TooLarge));
    }
    return Complete(saved);
  }

  // Puts one exchange text (or piece) on the clipboard and polls until the
  // user confirms a changed clipboard text. A poll that cannot read the
  // clipboard (another program holds it) is no change.
  bool HandOff(std::u16string_view exchange, std::u16string_view field,
               std::u16string& translated) {
    platform_.ClearClipboard();
    platform_.SetClipboardText(exchange);
    state_.StatusState.Set(kReadyState);
    Left(kCurrentFileField, field);
    const std::size_t sent = CountItems(exchange);
    for (bool confirmed = false; !confirmed;) {
      std::u16string clipboard;
      if (platform_.PollClipboard(exchange, clipboard) == ClipboardPoll::Changed) {
        const std::size_t returned = CountTranslatedLines(
            SplitTranslatedText(MakeTranslationText(std::u16string_view(clipboard))));
        std::u16string text = ConfirmationText(clipboard);
        if (returned != sent) text += CountWarning(returned, sent);
        const Answer answer = platform_.AskYesNo(
            kChangedTitle, text, returned == sent ? DefaultButton::Yes : DefaultButton::No, stop_);
        if (answer == Answer::Stopped) return false;
        if (answer == Answer::Yes) {
          confirmed = true;
          translated = std::move(clipboard);
        } else {
          platform_.SetClipboardText(exchange);
        }
      }
      if (!platform_.Wait(kPollInterval, stop_)) return false;
    }
    return true;
  }

  // Adds one piece's confirmed translation to the joined one: exactly one
  // line per item of the piece, so that a piece that came back short or long
  // never moves the lines of the pieces after it. Missing lines keep the
  // item's own text; extra lines are dropped.
  static void AppendPieceTranslation(std::u16string_view piece, std::u16string_view translation,
                                     std::string& joined) {
    const std::string text = MakeTranslationText(translation);
    const TranslatedLines lines = SplitTranslatedText(text);
    const std::size_t returned = CountTranslatedLines(lines);
    const std::vector<std::u16string_view> items = ExchangeItems(piece);
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (i < returned) {
        joined.append(lines[i]);
      } else {
        joined.append(EncodeUtf8(items[i]));
      }
      joined += '\r';
    }
  }

  void ReadBack(std::string translated) {
    // The scratch copy is kept for the user; the lines come from memory, so
    // a scratch file that cannot be written loses nothing.
    if (const std::u16string folder = platform_.PrivateTempFolder(); !folder.empty()) {
      fs::WritePrivateFile(fs::JoinPath(folder, kScratchName), translated);
    }
    state_.TranslatedText = std::move(translated);
    state_.TranslatedLines = SplitTranslatedText(state_.TranslatedText);
  }

  // Writes the translated file; false when it could not be written.
  // A target that is the source itself is not replaced when it changed
  // since it was read: the user's edit wins over the translation.
  bool Output(std::u16string_view name) {
    const std::u16string target = fs::JoinPath(state_.DestinationFolder, name);
    std::u16string reason;
    const std::error_code error = WriteOutputFile(target, state_.SourceLines,
                                                  state_.TranslatedLines, nullptr,
                                                  &state_.SourceStamp, &reason);
    if (error) ShowCreationError(reason.empty() ? fs::ErrorText(error) : reason);
    return !error;
  }

  void ShowCreationError(std::u16string_view reason) {
    platform_.ShowMessage(kCreationErrorTitle, Concat({kCreationErrorText, reason}), stop_);
  }

  // The end of a file's turn; `saved` tells whether its output was written.
  // Only saved files count as translated.
  bool Complete(bool saved) {
    state_.ClearFileLists();
    platform_.SetClipboardText(u"");
    platform_.InsertRow(state_.Controls.TranslatedListView, 0, saved ? kSavedRow : kFailedRow);
    if (saved) ++saved_;
    ShowCount(kStateField, kFilesTranslatedState, saved_);
    ShowFileCounts(kCountsArrowAfterFile, saved_);
    return reset_(stop_) && !Stopped();
  }

  void EndOfRun() {
    state_.ClearRunLists();
    platform_.RemoveAllRows(state_.Controls.FileListView);
    platform_.RemoveAllRows(state_.Controls.TranslatedListView);
    platform_.SetEnabled(state_.Controls.TranslatorWebView, false);
    state_.StatusState.Set(kCompleteState);
    platform_.SetText(state_.Controls.SourcePathField, u"");
    platform_.SetText(state_.Controls.DestinationPathField, u"");
    if (!platform_.Wait(kEndOfRunPause, stop_)) return;
    Left(kFileCountField, u"");
    platform_.SetStatusField(bar_, kStateField, kCompletedBanner, FieldAlign::Center);
    Left(kCurrentFileField, u"");
    state_.TotalLineCount = 0;
    collected_ = 0;
    // The run is over: a new one may start.
    state_.RunInProgress = false;
    platform_.SetEnabled(state_.Controls.SourceButton, true);
  }

  Platform& platform_;
  RunState& state_;
  const WebViewReset& reset_;
  std::stop_token stop_;
  ControlId bar_;
  std::int64_t collected_ = 0;  // comments and literals collected in this run
  std::int64_t saved_ = 0;      // files completed in this run
  std::u16string counter_;
};

}  // namespace

std::u16string ConfirmationText(std::u16string_view clipboard) {
  return Concat({clipboard.substr(0, kPreviewLength), kQuestion});
}

void RunWorker(Platform& platform, RunState& state, const WebViewReset& reset_web_view,
               std::stop_token stop) {
  Worker(platform, state, reset_web_view, std::move(stop)).Run();
}

}  // namespace qm
