// A whole program session on the headless platform: the application runs on
// its own main thread, the test plays the user and drives the clock.
#pragma once

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <sstream>
#include <string>

#include "platform/headless/headless_platform.h"
#include "shell/application.h"
#include "tests/test_support.h"

namespace qm::test {

using namespace std::chrono_literals;

class Session {
 public:
  explicit Session(headless::Options options = DefaultOptions());
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  // Closes the window if the test left it open, and joins every thread.
  ~Session();

  static headless::Options DefaultOptions();

  // Starts the program and lets it reach its event loop.
  void Start();
  // The folders the two choosers will return, in order ("" cancels).
  void ChooseFolders(std::u16string source, std::u16string destination);
  // Answers OK boxes at once (the default) or leaves them open.
  void AcknowledgeMessages(bool acknowledge) { acknowledge_messages_ = acknowledge; }
  // Presses "Source" with the two folders chosen.
  void StartRun(const std::string& source, const std::string& destination);
  // Waits (on the virtual clock) until a dialog is open.
  bool WaitForDialog(std::chrono::milliseconds limit = 2000ms);
  // Copies `translation` and answers Yes in the box that follows.
  void ConfirmTranslation(std::u16string_view translation);
  // Runs the clock until the run has ended (the button is back).
  bool WaitForRunEnd(std::chrono::milliseconds limit = 60000ms);
  // Closes the window and waits for the program to end; its exit code.
  int Close();

  headless::HeadlessPlatform& platform() { return *platform_; }
  headless::HeadlessPlatform* operator->() { return platform_.get(); }
  std::string Errors() const { return errors_.str(); }
  bool Ended() const { return ended_; }

 private:
  std::unique_ptr<headless::HeadlessPlatform> platform_;
  std::unique_ptr<Application> application_;
  std::unique_ptr<Thread> main_;
  std::ostringstream errors_;
  std::deque<std::u16string> folders_;
  bool acknowledge_messages_ = true;
  int exit_code_ = -1;
  std::atomic<bool> ended_{false};
};

// Texts of the field's writes, in order.
std::vector<std::u16string> Texts(const std::vector<headless::FieldWrite>& writes);
// True when `expected` appears in `actual` in order, other items in between.
bool InOrder(const std::vector<std::u16string>& actual,
             const std::vector<std::u16string>& expected);

}  // namespace qm::test
