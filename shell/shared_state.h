// The state the program's threads share: created by the main thread before
// any other thread starts, handed to the heartbeat and the worker.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "pipeline/run_state.h"
#include "platform/platform.h"

namespace qm {

// The window's captions, by index.
inline constexpr std::size_t kLanguageTextCount = 10;
using LanguageTable = std::array<std::u16string_view, kLanguageTextCount>;
inline constexpr LanguageTable kLanguageTable = {
    u"Quillmark",    // 0 window title
    u"FileName",     // 1 header of FileListView
    u"Source",       // 2 label of SourceButton
    u"Destination",  // 3 not shown
    u"",             // 4 initial text of SourcePathField
    u"",             // 5 initial text of DestinationPathField
    u"Start",        // 6 not shown
    u"Translated",   // 7 header of TranslatedListView
    u"",             // 8 caption of WebViewFrame
    u"",             // 9 caption of ControlsFrame
};

struct SharedState : RunState {
  std::array<std::u16string, kLanguageTextCount> LanguageText;
  std::u16string IdeOptionsMarker{kIdeOptionsMarker};
  std::u16string JapbeVersionMarker{kJapbeVersionMarker};
  std::unique_ptr<Thread> HeartbeatThread;
  std::unique_ptr<Thread> WorkerThread;
};

}  // namespace qm
