// The worker: one run over a project, from collecting its files to the end
// of the run, reporting its progress through the platform as it goes.
#pragma once

#include <functional>
#include <stop_token>

#include "pipeline/run_state.h"
#include "platform/platform.h"

namespace qm {

// Sends the web view back to the translator page and pauses; false when a
// stop cut the pause short.
using WebViewReset = std::function<bool(std::stop_token)>;

// Runs one pass over `state.SourceFolder`: for every project file, the
// exchange text goes to the clipboard, the confirmed translation comes back
// and the translated copy is written to `state.DestinationFolder`. Returns
// at the end of the run, or as soon as a wait, a poll or a dialog sees a
// stop; a stop never cuts a file write short.
void RunWorker(Platform& platform, RunState& state, const WebViewReset& reset_web_view,
               std::stop_token stop);

// The text of the box that asks whether a changed clipboard holds the
// translation: the first 60 code units of the clipboard text and the
// question.
std::u16string ConfirmationText(std::u16string_view clipboard);

}  // namespace qm
