// worker_run SOURCE TRANSLATION: one whole run of the program over a
// one-file project on the headless platform, the user played by this tool
// and the clock driven, so that only the program's own work is timed. Prints
// the time from the press of "Source" to the exchange text on the
// clipboard, from the Yes to the written output, and in all.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>

#include "text/encoding.h"
#include "platform/fs.h"
#include "platform/headless/headless_platform.h"
#include "shell/application.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: worker_run SOURCE TRANSLATION\n");
    return 2;
  }
  namespace stdfs = std::filesystem;
  const stdfs::path work = stdfs::temp_directory_path() / ("quillmark-worker-run-" + std::to_string(::getpid()));
  const stdfs::path source = work / "src", destination = work / "dst";
  stdfs::create_directories(source);
  stdfs::create_directories(destination);
  const stdfs::path input(argv[1]);
  stdfs::copy_file(input, source / input.filename());
  std::string translation_bytes;
  if (qm::fs::ReadFile(qm::DecodeFileName(argv[2]), translation_bytes)) {
    std::fprintf(stderr, "worker_run: cannot read %s\n", argv[2]);
    return 1;
  }
  const std::u16string translation = qm::DecodeUtf8(translation_bytes);

  qm::headless::HeadlessPlatform platform;
  int answered = 0;
  platform.SetResponder([&](const qm::headless::Dialog& dialog) -> std::optional<qm::headless::Reply> {
    using Kind = qm::headless::Dialog::Kind;
    if (dialog.kind == Kind::FolderChooser) {
      return qm::headless::Reply::Folder(qm::DecodeFileName(answered++ == 0 ? source.string()
                                                                           : destination.string()));
    }
    if (dialog.kind == Kind::YesNo) return qm::headless::Reply::Yes();
    return qm::headless::Reply::Ok();
  });
  qm::Application application(platform);
  std::ostringstream errors;
  auto main_thread = platform.StartThread("main", [&](std::stop_token) { application.Run(errors); });
  platform.Settle();

  const stdfs::path output = destination / input.filename();
  const Clock::time_point start = Clock::now();
  platform.Press("SourceButton");
  platform.RunUntil([&] { return platform.ClipboardLength() > 0; }, 1000ms);
  const Clock::time_point handed_off = Clock::now();
  platform.UserCopies(translation);
  const Clock::time_point copied = Clock::now();
  platform.RunUntil([&] { return stdfs::exists(output); }, 5000ms);
  const Clock::time_point written = Clock::now();

  platform.RequestClose();
  platform.Settle();
  main_thread->Join();
  std::printf("press to exchange text on the clipboard: %.3f s\n", Seconds(handed_off - start));
  std::printf("copy and Yes to written output:          %.3f s\n", Seconds(written - copied));
  std::printf("in all:                                  %.3f s\n",
              Seconds(handed_off - start + written - copied));
  const bool ok = stdfs::exists(output);
  stdfs::remove_all(work);
  return ok ? 0 : 1;
}
