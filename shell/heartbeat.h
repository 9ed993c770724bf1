// The blinking state text and the web-view reset.
#pragma once

#include <stop_token>
#include <string_view>

#include "pipeline/run_state.h"
#include "platform/platform.h"

namespace qm {

// Blinks "<<<  " + state + "  >>>" in the state field, 500 ms on and 500 ms
// off, reading the state afresh every cycle, until a stop is requested.
void Heartbeat(Platform& platform, ControlId status_bar, const StatusText& state,
               std::stop_token stop);

// Sends the web view to `address` and pauses 1500 ms; false when a stop cut
// the pause short.
bool ResetWebView(Platform& platform, ControlId web_view, std::u16string_view address,
                  std::stop_token stop);

}  // namespace qm
