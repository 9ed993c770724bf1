#include "tests/session.h"

#include <algorithm>

namespace qm::test {

using headless::Dialog;
using headless::Reply;

headless::Options Session::DefaultOptions() {
  headless::Options options;
  options.desktop_folder = u"/home/tester/Desktop/";
  return options;
}

Session::Session(headless::Options options)
    : platform_(std::make_unique<headless::HeadlessPlatform>(std::move(options))),
      application_(std::make_unique<Application>(*platform_)) {
  platform_->SetResponder([this](const Dialog& dialog) -> std::optional<Reply> {
    switch (dialog.kind) {
      case Dialog::Kind::FolderChooser: {
        if (folders_.empty()) return Reply::Cancel();
        std::u16string folder = std::move(folders_.front());
        folders_.pop_front();
        return Reply::Folder(std::move(folder));
      }
      case Dialog::Kind::Message:
        if (acknowledge_messages_) return Reply::Ok();
        return std::nullopt;
      case Dialog::Kind::YesNo:
        return std::nullopt;  // the test answers
    }
    return std::nullopt;
  });
}

Session::~Session() {
  if (main_ && !ended_) {
    // Whatever the test left open: answer the main thread's dialogs, then
    // close the window.
    for (int i = 0; i < 10 && platform_->LiveThreads() > 0; ++i) {
      platform_->Settle();
      if (const auto open = platform_->OpenDialog(); open && open->thread == "main") {
        platform_->Respond(Reply::Cancel());
        continue;
      }
      if (platform_->WindowOpen()) platform_->RequestClose();
      platform_->Settle();
    }
  }
  if (main_) main_->Join();
}

void Session::Start() {
  main_ = platform_->StartThread("main", [this](std::stop_token) {
    exit_code_ = application_->Run(errors_);
    ended_ = true;
  });
  platform_->Settle();
}

void Session::ChooseFolders(std::u16string source, std::u16string destination) {
  folders_ = {std::move(source), std::move(destination)};
}

void Session::StartRun(const std::string& source, const std::string& destination) {
  ChooseFolders(U(source), U(destination));
  platform_->Press("SourceButton");
  platform_->Settle();
}

bool Session::WaitForDialog(std::chrono::milliseconds limit) {
  return platform_->RunUntil([this] { return platform_->OpenDialog().has_value(); }, limit);
}

void Session::ConfirmTranslation(std::u16string_view translation) {
  platform_->UserCopies(translation);
  if (!WaitForDialog()) return;
  platform_->Respond(Reply::Yes());
  platform_->Settle();
}

bool Session::WaitForRunEnd(std::chrono::milliseconds limit) {
  return platform_->RunUntil(
      [this] { return !application_->State().RunInProgress && platform_->Enabled("SourceButton"); },
      limit);
}

int Session::Close() {
  platform_->RequestClose();
  platform_->Settle();
  main_->Join();
  return exit_code_;
}

std::vector<std::u16string> Texts(const std::vector<headless::FieldWrite>& writes) {
  std::vector<std::u16string> texts;
  for (const auto& write : writes) texts.push_back(write.text);
  return texts;
}

bool InOrder(const std::vector<std::u16string>& actual,
             const std::vector<std::u16string>& expected) {
  auto at = actual.begin();
  for (const std::u16string& wanted : expected) {
    at = std::find(at, actual.end(), wanted);
    if (at == actual.end()) return false;
    ++at;
  }
  return true;
}

}  // namespace qm::test
