// The platform contract on the headless backend.
#include "platform/headless/headless_platform.h"
#include "tests/contract/platform_contract.h"

namespace qm::contract {

INSTANTIATE_TEST_SUITE_P(Headless, PlatformContract,
                         testing::Values(Backend{"headless", [](std::string&) {
                           return std::unique_ptr<Platform>(
                               std::make_unique<headless::HeadlessPlatform>());
                         }}),
                         BackendName);

}  // namespace qm::contract
