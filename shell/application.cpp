#include "shell/application.h"

#include "pipeline/texts.h"
#include "pipeline/worker.h"
#include "shell/heartbeat.h"
#include "shell/layout.h"

namespace qm {

int Application::Run(std::ostream& errors) {
  // Shared state and captions.
  state_.StatusState.Set(kMonitoringState);
  state_.ClearRunLists();
  for (std::size_t i = 0; i < kLanguageTextCount; ++i) {
    state_.LanguageText[i] = kLanguageTable[i];
  }

  // The window.
  state_.Controls =
      ControlsOf(platform_.BuildMainWindow(MainWindowLayout(state_.LanguageText,
                                                            state_.TranslatorAddress)));
  if (state_.Controls.MainWindow == kNoControl) {
    errors << "quillmark: the main window could not be created\n";
    return 1;
  }
  // The translator page shows, but takes no input until a run starts.
  platform_.SetEnabled(state_.Controls.TranslatorWebView, false);

  const ControlId status_bar = state_.Controls.MainStatusBar;
  state_.HeartbeatThread = platform_.StartThread("heartbeat", [this, status_bar](std::stop_token stop) {
    Heartbeat(platform_, status_bar, state_.StatusState, stop);
  });

  for (;;) {
    const Event event = platform_.WaitEvent();
    if (event.kind == Event::Kind::ControlEvent &&
        event.source == state_.Controls.SourceButton && event.source != kNoControl) {
      StartRun();
    } else if (event.kind == Event::Kind::CloseRequest &&
               event.source == state_.Controls.MainWindow) {
      Close();
      return 0;
    }
  }
}

void Application::StartRun() {
  // Runs never overlap: the button is disabled during a run, and a press
  // that was queued before that is ignored here.
  if (state_.RunInProgress) return;
  if (state_.WorkerThread) {
    state_.WorkerThread->Join();  // it has finished its run
    state_.WorkerThread.reset();
  }

  state_.SourceFolder = platform_.ChooseFolder(kSourceChooserTitle, platform_.DesktopFolder());
  platform_.SetText(state_.Controls.SourcePathField, state_.SourceFolder);
  state_.DestinationFolder =
      platform_.ChooseFolder(kDestinationChooserTitle, platform_.DesktopFolder());
  platform_.SetText(state_.Controls.DestinationPathField, state_.DestinationFolder);

  if (state_.SourceFolder.empty()) {
    platform_.ShowMessage(kSourceErrorTitle, kSourceErrorText, {});
    return;
  }
  if (state_.DestinationFolder.empty()) {
    platform_.ShowMessage(kDestinationErrorTitle, kDestinationErrorText, {});
    return;
  }

  platform_.SetEnabled(state_.Controls.TranslatorWebView, true);
  platform_.SetEnabled(state_.Controls.SourceButton, false);
  state_.RunInProgress = true;
  state_.WorkerThread = platform_.StartThread("worker", [this](std::stop_token stop) {
    const ControlId web_view = state_.Controls.TranslatorWebView;
    const WebViewReset reset = [this, web_view](std::stop_token reset_stop) {
      return ResetWebView(platform_, web_view, state_.TranslatorAddress, reset_stop);
    };
    RunWorker(platform_, state_, reset, stop);
  });
  if (!state_.WorkerThread) {
    // No run after all; the button must not stay disabled for ever.
    state_.RunInProgress = false;
    platform_.SetEnabled(state_.Controls.SourceButton, true);
  }
}

void Application::Close() {
  // The worker first, then the heartbeat: each ends at its next wait.
  for (std::unique_ptr<Thread>* thread : {&state_.WorkerThread, &state_.HeartbeatThread}) {
    if (*thread) {
      (*thread)->RequestStop();
      (*thread)->Join();
      thread->reset();
    }
  }
  state_.ClearRunLists();
  platform_.CloseWindow(state_.Controls.MainWindow);
  state_.Controls.MainWindow = kNoControl;
}

}  // namespace qm
