// The platform of the desktop the program runs on: GTK on Linux (and, in
// its own build, Win32 on Windows). Picked when the program is linked.
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"

namespace qm {

// Connects to the desktop. On failure returns nullptr and puts one line
// for the user (no line end) into `error`.
std::unique_ptr<Platform> CreateDesktopPlatform(int& argc, char**& argv, std::string& error);

}  // namespace qm
