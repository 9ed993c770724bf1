// The program: start-up, the event loop, run start and the close.
#pragma once

#include <ostream>

#include "platform/platform.h"
#include "shell/shared_state.h"

namespace qm {

class Application {
 public:
  explicit Application(Platform& platform) : platform_(platform) {}

  // Runs until the main window is closed; returns the process exit code:
  // 0 after a close, 1 (with one line on `errors`) when there is no window.
  int Run(std::ostream& errors);

  const SharedState& State() const { return state_; }

 private:
  void StartRun();
  void Close();

  Platform& platform_;
  SharedState state_;
};

}  // namespace qm
