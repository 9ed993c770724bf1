// quillmark-cli: the translation pipeline without a window, for scripts and
// for checking what the window would put on the clipboard and on disk.
#include <cerrno>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/collect.h"
#include "pipeline/encoding.h"
#include "pipeline/files.h"
#include "pipeline/source_lines.h"
#include "pipeline/splice.h"
#include "platform/fs.h"

namespace {

constexpr std::string_view kUsage =
    "Usage:\n"
    "  quillmark-cli extract FILE\n"
    "      Write FILE's exchange text (its comments, then its string literals,\n"
    "      each ended by one CR) to standard output as UTF-8.\n"
    "  quillmark-cli apply FILE TRANSLATION OUTPUT\n"
    "      Put the lines of TRANSLATION (UTF-8) in place of FILE's comments and\n"
    "      literals and write the result to OUTPUT, which may be FILE itself.\n"
    "      OUTPUT is replaced only once the new content is complete.\n"
    "  quillmark-cli collect FOLDER\n"
    "      List the .pbi files, then the .pb files, lying directly in FOLDER.\n"
    "  quillmark-cli --help\n"
    "      Show this text.\n"
    "\n"
    "Exit status: 0 on success, 1 when a file cannot be read or written,\n"
    "2 on a usage error.\n";

constexpr int kFailure = 1;
constexpr int kUsageError = 2;

// The system's reason on one line.
std::string Reason(int code) {
  std::string reason = qm::EncodeUtf8(qm::fs::ErrorText(code));
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ')) {
    reason.pop_back();
  }
  return reason;
}

void PrintError(std::string_view action, std::u16string_view path, int code) {
  const std::string shown = qm::EncodeFileName(path);
  std::fprintf(stderr, "quillmark-cli: cannot %.*s '%s': %s\n", static_cast<int>(action.size()),
               action.data(), shown.c_str(), Reason(code).c_str());
}

int WriteStdout(std::string_view bytes) {
  if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
      std::fflush(stdout) != 0) {
    const int code = errno;
    std::fprintf(stderr, "quillmark-cli: cannot write to standard output: %s\n",
                 Reason(code).c_str());
    return kFailure;
  }
  return 0;
}

bool ReadSource(const std::u16string& path, qm::SourceLines& lines) {
  if (const int error = qm::ReadSourceFile(path, lines); error != 0) {
    PrintError("read", path, error);
    return false;
  }
  lines.Extract();
  return true;
}

int Extract(const std::u16string& file) {
  qm::SourceLines lines;
  if (!ReadSource(file, lines)) return kFailure;
  return WriteStdout(qm::EncodeUtf8(qm::BuildExchangeText(lines)));
}

int Apply(const std::u16string& file, const std::u16string& translation_file,
          const std::u16string& output) {
  qm::SourceLines lines;
  if (!ReadSource(file, lines)) return kFailure;
  std::string translation;
  if (const int error = qm::fs::ReadFile(translation_file, translation);
      error != 0) {
    PrintError("read", translation_file, error);
    return kFailure;
  }
  const std::u16string text = qm::DecodeUtf8(translation);
  translation = std::string();
  const qm::TranslatedLines translated = qm::SplitTranslatedText(text);
  if (const int error = qm::WriteOutputFile(output, lines, translated);
      error != 0) {
    PrintError("write", output, error);
    return kFailure;
  }
  return 0;
}

int Collect(const std::u16string& folder) {
  std::string listing;
  for (const std::u16string& path : qm::CollectProjectFiles(folder)) {
    listing += qm::EncodeFileName(path);
    listing += '\n';
  }
  return WriteStdout(listing);
}

int UsageError(std::string_view problem) {
  std::fprintf(stderr, "quillmark-cli: %.*s\n\n%.*s", static_cast<int>(problem.size()),
               problem.data(), static_cast<int>(kUsage.size()), kUsage.data());
  return kUsageError;
}

}  // namespace

int main(int argc, char** argv) {
  qm::fs::UseBinaryStandardOutput();
  std::vector<std::u16string> args = qm::fs::CommandLine(argc, argv);
  if (!args.empty()) args.erase(args.begin());
  if (args.size() == 1 && (args[0] == u"--help" || args[0] == u"-h")) {
    return WriteStdout(kUsage);
  }
  if (args.empty()) return UsageError("no command given");
  const std::u16string& command = args[0];
  const std::size_t operands = args.size() - 1;
  if (command == u"extract" && operands == 1) return Extract(args[1]);
  if (command == u"apply" && operands == 3) return Apply(args[1], args[2], args[3]);
  if (command == u"collect" && operands == 1) return Collect(args[1]);
  const std::string name = qm::EncodeFileName(command);
  if (command == u"extract" || command == u"apply" || command == u"collect") {
    return UsageError("wrong number of operands for '" + name + "'");
  }
  return UsageError("unknown command '" + name + "'");
}
