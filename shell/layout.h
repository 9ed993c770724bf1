// The main window as data: every control, where it sits, what it shows.
#pragma once

#include "platform/platform.h"
#include "shell/shared_state.h"

namespace qm {

// The window's layout, captions taken from `language_text`.
WindowLayout MainWindowLayout(const std::array<std::u16string, kLanguageTextCount>& language_text,
                              std::u16string_view translator_address);

// Stores the references of what the platform built.
MainControls ControlsOf(const BuiltWindow& built);

}  // namespace qm
