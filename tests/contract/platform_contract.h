// What every platform backend promises, as one suite of tests that each
// backend's test program instantiates with a factory of its own:
//
//   INSTANTIATE_TEST_SUITE_P(Gtk, PlatformContract,
//                            testing::Values(Backend{"gtk", MakeGtkPlatform}));
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "pipeline/run_state.h"
#include "platform/platform.h"

namespace qm::contract {

struct Backend {
  std::string name;
  // A new platform; nullptr, with `error` saying why, when there is none here.
  std::function<std::unique_ptr<Platform>(std::string& error)> make;
};

class PlatformContract : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::unique_ptr<Platform> platform_;
  BuiltWindow built_;
  MainControls controls_;
};

std::string BackendName(const testing::TestParamInfo<Backend>& info);

// How GoogleTest shows a backend in test names and messages.
inline void PrintTo(const Backend& backend, std::ostream* out) { *out << backend.name; }

}  // namespace qm::contract
