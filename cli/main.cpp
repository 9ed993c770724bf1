// quillmark-cli: the translation pipeline without a window, for scripts and
// for checking what the window would put on the clipboard and on disk.
#include <cerrno>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <new>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "cli/console.h"
#include "cli/translate.h"
#include "pipeline/collect.h"
#include "qm_version.h"
#include "text/encoding.h"
#include "pipeline/files.h"
#include "pipeline/source_lines.h"
#include "pipeline/splice.h"
#include "platform/fs.h"

namespace {

constexpr std::string_view kUsage =
    "Usage:\n"
    "  quillmark-cli extract [--max-chars N] FILE\n"
    "      Write FILE's exchange text (its comments, then its string literals,\n"
    "      each ended by one CR) to standard output as UTF-8. With --max-chars,\n"
    "      cut it into the pieces the window hands off (whole items, at most N\n"
    "      UTF-16 code units each; the window uses 5000) and end each piece\n"
    "      with a form feed (U+000C).\n"
    "  quillmark-cli apply [--force] FILE TRANSLATION OUTPUT\n"
    "      Put the lines of TRANSLATION (UTF-8) in place of FILE's comments and\n"
    "      literals and write the result to OUTPUT, which may be FILE itself.\n"
    "      OUTPUT is replaced only once the new content is complete. When the\n"
    "      number of lines (empty lines at the end not counted) differs from\n"
    "      the number of items, nothing is written unless --force is given.\n"
    "  quillmark-cli collect FOLDER\n"
    "      List the .pbi files, then the .pb files, lying directly in FOLDER.\n"
    "  quillmark-cli translate SOURCE DEST --with COMMAND [options]\n"
    "      Translate every project file of SOURCE (as the window collects them)\n"
    "      through COMMAND, run by the system shell: it gets a piece's items on\n"
    "      standard input, one a line (UTF-8), and writes their translations,\n"
    "      one a line. The results are written into DEST (which may be SOURCE)\n"
    "      as the window writes them. A piece whose line count comes back\n"
    "      different is retried item by item.\n"
    "        --max-chars N   piece size in UTF-16 code units (5000)\n"
    "        --timeout S     seconds one run of COMMAND may take (120)\n"
    "        --jobs N        files translated at once (the number of cores)\n"
    "        --recursive     subfolders too, mirrored under DEST\n"
    "        --dry-run       write nothing; print a unified diff of the changes\n"
    "  quillmark-cli --help\n"
    "      Show this text.\n"
    "  quillmark-cli --version\n"
    "      Show the version.\n"
    "\n"
    "Exit status: 0 on success, 1 when a file cannot be read or written,\n"
    "2 on a usage error, 3 when apply refuses a translation whose line count\n"
    "differs. translate exits 1 when any file could not be translated or written.\n";

constexpr int kFailure = 1;
constexpr int kUsageError = 2;
constexpr int kCountMismatch = 3;

// The system's reason on one line.
std::string Reason(const std::error_code& error) {
  std::string reason = qm::EncodeUtf8(qm::fs::ErrorText(error));
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ')) {
    reason.pop_back();
  }
  return reason;
}

void PrintError(std::string_view action, std::u16string_view path,
                const std::error_code& error) {
  const std::string shown = qm::EncodeFileName(path);
  qm::ErrorOut("quillmark-cli: cannot %.*s '%s': %s\n", static_cast<int>(action.size()),
               action.data(), shown.c_str(), Reason(error).c_str());
}

int WriteStdout(std::string_view bytes) {
  if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
      std::fflush(stdout) != 0) {
    const int code = errno;
    qm::ErrorOut("quillmark-cli: cannot write to standard output: %s\n",
                 Reason(qm::fs::SystemError(code)).c_str());
    return kFailure;
  }
  return 0;
}

bool ReadSource(const std::u16string& path, qm::SourceLines& lines,
                qm::fs::FileStamp* stamp = nullptr) {
  if (const std::error_code error = qm::ReadSourceFile(path, lines, stamp)) {
    PrintError("read", path, error);
    return false;
  }
  lines.Extract();
  return true;
}

// `max_chars` 0: the whole exchange text; otherwise its pieces, each ended
// by a form feed.
int Extract(const std::u16string& file, std::size_t max_chars) {
  qm::SourceLines lines;
  if (!ReadSource(file, lines)) return kFailure;
  if (max_chars == 0) {
    // Written as it is made: the exchange text of a large file is never
    // held whole.
    bool ok = true;
    qm::WriteExchangeText(lines, [&ok](std::string_view chunk) {
      ok = WriteStdout(chunk) == 0;
      return ok;
    });
    return ok ? 0 : kFailure;
  }
  // Pieces are measured in UTF-16 code units, as the window measures them.
  const std::u16string exchange = qm::DecodeUtf8(qm::BuildExchangeText(lines));
  std::u16string pieces;
  pieces.reserve(exchange.size() + exchange.size() / max_chars + 1);
  for (const std::u16string_view piece : qm::ExchangePieces(exchange, max_chars)) {
    pieces.append(piece).append(1, u'\f');
  }
  return WriteStdout(qm::EncodeUtf8(pieces));
}

int Apply(const std::u16string& file, const std::u16string& translation_file,
          const std::u16string& output, bool force) {
  qm::SourceLines lines;
  qm::fs::FileStamp stamp;
  if (!ReadSource(file, lines, &stamp)) return kFailure;
  std::string translation;
  if (const std::error_code error = qm::fs::ReadFile(translation_file, translation)) {
    PrintError("read", translation_file, error);
    return kFailure;
  }
  const std::string text = qm::MakeTranslationText(std::move(translation));
  const qm::TranslatedLines translated = qm::SplitTranslatedText(text);
  const std::size_t returned = qm::CountTranslatedLines(translated);
  std::size_t items = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    items += static_cast<std::size_t>(lines.ItemCount(i));
  }
  if (returned != items && !force) {
    qm::ErrorOut("quillmark-cli: '%s' has %zu lines for the %zu items of '%s'; lines after a "
                 "missing or extra one would land in the wrong places (--force writes anyway)\n",
                 qm::EncodeFileName(translation_file).c_str(), returned, items,
                 qm::EncodeFileName(file).c_str());
    return kCountMismatch;
  }
  // OUTPUT may be FILE itself: an edit saved since FILE was read is kept.
  std::u16string reason;
  if (const std::error_code error =
          qm::WriteOutputFile(output, lines, translated, nullptr, &stamp, &reason)) {
    if (reason.empty()) {
      PrintError("write", output, error);
    } else {
      qm::ErrorOut("quillmark-cli: cannot write: %s\n", qm::EncodeUtf8(reason).c_str());
    }
    return kFailure;
  }
  return 0;
}

int Collect(const std::u16string& folder) {
  std::error_code error;
  const std::vector<std::u16string> files = qm::CollectProjectFiles(folder, &error);
  if (error) {
    PrintError("list", folder, error);
    return kFailure;
  }
  std::string listing;
  for (const std::u16string& path : files) {
    listing += qm::EncodeFileName(path);
    listing += '\n';
  }
  return WriteStdout(listing);
}

// A whole number of 1 to 10^9 written in decimal digits; 0 for anything else.
std::size_t ParseCount(std::u16string_view text) {
  if (text.empty() || text.size() > 10) return 0;
  std::size_t value = 0;
  for (const char16_t c : text) {
    if (c < u'0' || c > u'9') return 0;
    value = value * 10 + static_cast<std::size_t>(c - u'0');
  }
  return value <= 1000000000 ? value : 0;
}

int UsageError(std::string_view problem) {
  qm::ErrorOut("quillmark-cli: %.*s\n\n%.*s", static_cast<int>(problem.size()),
               problem.data(), static_cast<int>(kUsage.size()), kUsage.data());
  return kUsageError;
}

}  // namespace

int Run(int argc, char** argv);

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::bad_alloc&) {
    // Nothing is written half: outputs are replaced only once complete.
    qm::ErrorOut("quillmark-cli: not enough memory: the file is too large\n");
    return kFailure;
  }
}

int Run(int argc, char** argv) {
  qm::fs::UseBinaryStandardOutput();
  std::vector<std::u16string> args = qm::fs::CommandLine(argc, argv);
  if (!args.empty()) args.erase(args.begin());
  if (args.size() == 1 && (args[0] == u"--help" || args[0] == u"-h")) {
    return WriteStdout(kUsage);
  }
  if (args.size() == 1 && args[0] == u"--version") {
    return WriteStdout("quillmark-cli " QM_VERSION "\n");
  }
  if (args.empty()) return UsageError("no command given");
  const std::u16string& command = args[0];
  const std::string name = qm::EncodeFileName(command);
  // Options may stand anywhere among the operands; "--" ends them.
  std::vector<std::u16string> operand_list;
  bool force = false;
  std::size_t max_chars = 0;
  qm::TranslateOptions translate;
  translate.jobs = std::max(1u, std::thread::hardware_concurrency());
  bool has_command = false;
  bool options_done = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::u16string& arg = args[i];
    if (options_done || !arg.starts_with(u"--")) {
      operand_list.push_back(arg);
      continue;
    }
    if (arg == u"--") {
      options_done = true;
      continue;
    }
    // "--name value" or "--name=value".
    const std::size_t equals = arg.find(u'=');
    const std::u16string option = arg.substr(0, equals);
    const auto value = [&](std::u16string& out) {
      if (equals != std::u16string::npos) {
        out = arg.substr(equals + 1);
        return true;
      }
      if (i + 1 == args.size()) return false;
      out = args[++i];
      return true;
    };
    const auto count = [&](std::size_t& out) {
      std::u16string text;
      if (!value(text) || (out = ParseCount(text)) == 0) {
        return UsageError(qm::EncodeFileName(option) + " needs a whole number of 1 or more");
      }
      return 0;
    };
    const bool translating = command == u"translate";
    if (option == u"--force" && command == u"apply") {
      force = true;
    } else if (option == u"--max-chars" && command == u"extract") {
      if (const int error = count(max_chars)) return error;
    } else if (option == u"--max-chars" && translating) {
      if (const int error = count(translate.max_chars)) return error;
    } else if (option == u"--jobs" && translating) {
      if (const int error = count(translate.jobs)) return error;
    } else if (option == u"--timeout" && translating) {
      std::size_t seconds = 0;
      if (const int error = count(seconds)) return error;
      translate.timeout = std::chrono::seconds(seconds);
    } else if (option == u"--with" && translating) {
      std::u16string text;
      if (!value(text) || text.empty()) return UsageError("--with needs a command");
      translate.command = qm::EncodeUtf8(text);
      has_command = true;
    } else if (option == u"--recursive" && translating) {
      translate.recursive = true;
    } else if (option == u"--dry-run" && translating) {
      translate.dry_run = true;
    } else {
      return UsageError("unknown option '" + qm::EncodeFileName(arg) + "' for '" + name + "'");
    }
  }
  const std::size_t operands = operand_list.size();
  if (command == u"extract" && operands == 1) return Extract(operand_list[0], max_chars);
  if (command == u"apply" && operands == 3) {
    return Apply(operand_list[0], operand_list[1], operand_list[2], force);
  }
  if (command == u"collect" && operands == 1) return Collect(operand_list[0]);
  if (command == u"translate" && operands == 2) {
    if (!has_command) return UsageError("translate needs --with COMMAND");
    translate.source = operand_list[0];
    translate.destination = operand_list[1];
    return qm::TranslateProject(translate);
  }
  if (command == u"extract" || command == u"apply" || command == u"collect" ||
      command == u"translate") {
    return UsageError("wrong number of operands for '" + name + "'");
  }
  return UsageError("unknown command '" + name + "'");
}
