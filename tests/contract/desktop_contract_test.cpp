// The platform contract on the desktop backend this program is built with:
// GTK on an X display, or Win32 (under Wine on Linux).
#include "platform/desktop.h"
#include "tests/contract/platform_contract.h"

namespace qm::contract {

INSTANTIATE_TEST_SUITE_P(Desktop, PlatformContract,
                         testing::Values(Backend{"desktop", [](std::string& error) {
                           int argc = 0;
                           char** argv = nullptr;
                           return CreateDesktopPlatform(argc, argv, error);
                         }}),
                         BackendName);

}  // namespace qm::contract
