#include "shell/heartbeat.h"

#include <chrono>
#include <string>

#include "pipeline/texts.h"

namespace qm {

void Heartbeat(Platform& platform, ControlId status_bar, const StatusText& state,
               std::stop_token stop) {
  constexpr std::chrono::milliseconds kHalfCycle{500};
  std::u16string text;
  for (;;) {
    text.assign(kBlinkOpen);
    text += *state.Get();
    text += kBlinkClose;
    platform.SetStatusField(status_bar, kStateField, text, FieldAlign::Center);
    if (!platform.Wait(kHalfCycle, stop)) return;
    platform.SetStatusField(status_bar, kStateField, u"", FieldAlign::Center);
    if (!platform.Wait(kHalfCycle, stop)) return;
  }
}

bool ResetWebView(Platform& platform, ControlId web_view, std::u16string_view address,
                  std::stop_token stop) {
  platform.SetText(web_view, address);
  return platform.Wait(std::chrono::milliseconds(1500), stop);
}

}  // namespace qm
