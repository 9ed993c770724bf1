// The state the program's threads share: created by the main thread before
// any other thread starts, handed to the heartbeat and the worker.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "pipeline/run_state.h"
#include "pipeline/texts.h"
#include "platform/platform.h"

namespace qm {

struct SharedState : RunState {
  std::array<std::u16string, kLanguageTextCount> LanguageText;
  std::string IdeOptionsMarker{kIdeOptionsMarker};
  std::string JapbeVersionMarker{kJapbeVersionMarker};
  std::unique_ptr<Thread> HeartbeatThread;
  std::unique_ptr<Thread> WorkerThread;
};

}  // namespace qm
