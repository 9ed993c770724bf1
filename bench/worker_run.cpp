// worker_run SOURCE TRANSLATION: one whole run of the program over a
// one-file project on the headless platform, the user played by this tool
// and the clock driven, so that only the program's own work is timed. The
// program hands a long file over in pieces; each is answered with the
// translations of as many items as it holds, and Yes. Prints the time from
// the press of "Source" to the first piece on the clipboard, from the
// copies to the next piece and to the written output, and in all. Exit
// code 1 when no output was written.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "pipeline/source_lines.h"
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
  // The translation's items, handed back piece by piece as the program asks
  // for them: each piece on the clipboard is answered with the translations
  // of as many items as it holds.
  const std::vector<std::u16string_view> items = qm::ExchangeItems(translation);
  std::size_t next_item = 0, pieces = 0;
  std::u16string copied_text;
  const auto new_piece_on_clipboard = [&] {
    const std::optional<std::u16string> text = platform.Clipboard();
    return text && !text->empty() && *text != copied_text;
  };
  Clock::duration to_first_piece{}, after_copies{};
  Clock::time_point start = Clock::now();
  platform.Press("SourceButton");
  bool ok = platform.RunUntil(new_piece_on_clipboard, 1000ms);
  to_first_piece = Clock::now() - start;
  while (ok) {
    const std::u16string piece = *platform.Clipboard();
    ++pieces;
    copied_text.clear();
    for (std::size_t n = qm::CountItems(piece); n > 0 && next_item < items.size(); --n) {
      copied_text.append(items[next_item++]).append(1, u'\r');
    }
    start = Clock::now();
    platform.UserCopies(copied_text);
    if (next_item >= items.size()) {
      ok = platform.RunUntil([&] { return stdfs::exists(output); }, 5000ms);
      after_copies += Clock::now() - start;
      break;
    }
    ok = platform.RunUntil(new_piece_on_clipboard, 5000ms);
    after_copies += Clock::now() - start;
  }

  platform.RequestClose();
  platform.Settle();
  main_thread->Join();
  std::printf("press to the first piece on the clipboard: %.3f s\n", Seconds(to_first_piece));
  std::printf("copies and Yes to written output:          %.3f s (%zu pieces)\n",
              Seconds(after_copies), pieces);
  std::printf("in all:                                    %.3f s\n",
              Seconds(to_first_piece + after_copies));
  ok = ok && stdfs::exists(output);
  stdfs::remove_all(work);
  return ok ? 0 : 1;
}
