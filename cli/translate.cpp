#include "cli/translate.h"

#include "cli/console.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <new>
#include <string_view>
#include <thread>
#include <vector>

#include "pipeline/collect.h"
#include "pipeline/files.h"
#include "pipeline/source_lines.h"
#include "pipeline/splice.h"
#include "platform/fs.h"
#include "platform/process.h"
#include "text/encoding.h"
#include "text/text.h"

#ifdef _WIN32
#include <io.h>
#define QM_ISATTY(fd) _isatty(fd)
#else
#include <unistd.h>
#define QM_ISATTY(fd) ::isatty(fd)
#endif

namespace qm {
namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

struct ProjectFile {
  std::u16string path;      // where it is read
  std::u16string relative;  // its place under SOURCE and DEST
};

// The window's collection (".pbi", then ".pb", directly in the folder), and
// with `recursive` then each subfolder's, by name. Links to folders are not
// followed (they could loop), nor is the destination when it lies inside.
// Each folder is listed once; the error is the one of `folder` itself.
std::error_code CollectTree(const std::u16string& folder, const std::u16string& relative,
                            bool recursive, const std::u16string& skip,
                            std::vector<ProjectFile>& files) {
  std::vector<fs::FolderEntry> entries;
  const std::error_code error = fs::ListFolder(folder, entries);
  for (std::u16string& path : ProjectFilesIn(folder, entries)) {
    std::u16string name = FileNamePart(path);
    files.push_back({std::move(path), relative + name});
  }
  if (!recursive) return error;
  std::vector<std::u16string> subfolders;
  for (const fs::FolderEntry& entry : entries) {
    if (entry.folder) subfolders.push_back(entry.name);
  }
  std::sort(subfolders.begin(), subfolders.end());
  for (const std::u16string& name : subfolders) {
    const std::u16string path = fs::JoinPath(folder, name);
    if (path == skip) continue;
    CollectTree(path, relative + name + fs::kSeparator, recursive, skip, files);
  }
  return error;
}

std::u16string WithoutTrailingSeparators(std::u16string path) {
  while (path.size() > 1 && (path.back() == u'/' || path.back() == fs::kSeparator)) {
    path.pop_back();
  }
  return path;
}

struct Outcome {
  enum class Status { Written, Unchanged, Failed };
  Status status = Status::Failed;
  std::string reason;              // why it failed
  std::vector<std::string> notes;  // items whose translation was not used
  std::int64_t items = 0, translated = 0, kept = 0;
  Clock::duration in_command{};
  Clock::duration total{};
  std::string diff;  // with --dry-run
};

std::string Utf8Name(std::u16string_view name) { return EncodeFileName(name); }

// The first lines of what a command wrote to its standard error.
std::string Excerpt(const std::string& errors) {
  std::string text = errors.substr(0, 400);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

class Translator {
 public:
  explicit Translator(const TranslateOptions& options) : options_(options) {}

  Outcome Translate(const ProjectFile& file) const {
    const Clock::time_point start = Clock::now();
    Outcome outcome;
    try {
      Run(file, outcome);
    } catch (const std::bad_alloc&) {
      outcome.status = Outcome::Status::Failed;
      outcome.reason = EncodeUtf8(fs::ErrorText(fs::FileError::TooLarge));
    }
    outcome.total = Clock::now() - start;
    return outcome;
  }

 private:
  // Runs the command once; false (and the reason in `outcome`) when it failed.
  bool RunOnce(std::u16string_view text, std::string& output, Outcome& outcome) const {
    const Clock::time_point start = Clock::now();
    CommandResult result = RunCommand(options_.command, EncodeUtf8(text), options_.timeout);
    outcome.in_command += Clock::now() - start;
    if (result.error) {
      outcome.reason = "cannot run the command: " + EncodeUtf8(fs::ErrorText(result.error));
    } else if (result.timed_out) {
      outcome.reason = "the command ran past the time limit of " +
                       std::to_string(options_.timeout.count()) +
                       " s (or left a program running that holds its output) and was ended";
    } else if (result.exit_code != 0) {
      outcome.reason = "the command " +
                       (result.exit_code < 0 ? std::string("was killed")
                                             : "exited with " + std::to_string(result.exit_code));
      if (!result.errors.empty()) outcome.reason += ": " + Excerpt(result.errors);
    } else {
      output = std::move(result.output);
      return true;
    }
    return false;
  }

  void Run(const ProjectFile& file, Outcome& outcome) const {
    SourceLines lines;
    fs::FileStamp stamp;
    if (const std::error_code error = ReadSourceFile(file.path, lines, &stamp)) {
      outcome.reason = "cannot read it: " + EncodeUtf8(fs::ErrorText(error));
      return;
    }
    outcome.items = lines.Extract();
    // Pieces and items are measured in UTF-16 code units, as in the window.
    const std::u16string exchange = DecodeUtf8(BuildExchangeText(lines));

    // One translated text per item, in exchange order; an item whose
    // translation could not be used keeps its own text and counts as kept.
    std::vector<std::string> texts;
    std::int64_t kept_by_retry = 0;
    texts.reserve(static_cast<std::size_t>(outcome.items));
    for (const std::u16string_view piece : ExchangePieces(exchange, options_.max_chars)) {
      const std::vector<std::u16string_view> items = ExchangeItems(piece);
      std::u16string input;
      for (const std::u16string_view item : items) input.append(item).append(1, u'\n');
      std::string output;
      if (!RunOnce(input, output, outcome)) return;
      const std::string decoded = MakeTranslationText(std::move(output));
      const TranslatedLines translated = SplitTranslatedText(decoded);
      if (CountTranslatedLines(translated) == items.size()) {
        for (std::size_t i = 0; i < items.size(); ++i) texts.emplace_back(translated[i]);
        continue;
      }
      // A line dropped or added somewhere: one item at a time, so that no
      // translation lands in another item's place.
      for (const std::u16string_view item : items) {
        std::u16string one(item);
        one += u'\n';
        if (!RunOnce(one, output, outcome)) return;
        const std::string answer = MakeTranslationText(std::move(output));
        const TranslatedLines answer_lines = SplitTranslatedText(answer);
        if (CountTranslatedLines(answer_lines) == 1) {
          texts.emplace_back(answer_lines[0]);
        } else {
          texts.push_back(EncodeUtf8(TrimSpaces(item)));
          ++kept_by_retry;
          outcome.notes.push_back("kept \"" + EncodeUtf8(TrimSpaces(item)) +
                                  "\": its translation had " +
                                  std::to_string(CountTranslatedLines(answer_lines)) + " lines");
        }
      }
    }
    TranslatedLines translated(texts.begin(), texts.end());

    SpliceResult spliced;
    if (options_.dry_run) {
      const std::vector<std::string> after = SplicedTexts(lines, translated, &spliced);
      outcome.diff = Diff(file.relative, lines, after);
    } else {
      const std::u16string target = fs::JoinPath(options_.destination, file.relative);
      std::u16string reason;
      if (const std::error_code error =
              WriteOutputFile(target, lines, translated, &spliced, &stamp, &reason)) {
        outcome.reason =
            "cannot write it: " + EncodeUtf8(reason.empty() ? fs::ErrorText(error) : reason);
        return;
      }
    }
    outcome.translated = spliced.replaced - kept_by_retry;
    outcome.kept = spliced.kept + kept_by_retry;
    outcome.status = outcome.items == 0 ? Outcome::Status::Unchanged : Outcome::Status::Written;
  }

  // A unified diff of the lines a translation changes (the splice keeps
  // every line in its place, so the lines pair one to one).
  static std::string Diff(std::u16string_view relative, const SourceLines& before,
                          const std::vector<std::string>& after) {
    constexpr std::size_t kContext = 3;
    std::vector<std::size_t> changed;
    for (std::size_t i = 0; i < before.size(); ++i) {
      if (before[i].Text != after[i]) changed.push_back(i);
    }
    if (changed.empty()) return {};
    std::string out = "--- a/" + Utf8Name(relative) + "\n+++ b/" + Utf8Name(relative) + "\n";
    for (std::size_t k = 0; k < changed.size();) {
      const std::size_t first = changed[k] > kContext ? changed[k] - kContext : 0;
      std::size_t last = changed[k];
      std::size_t j = k;
      while (j + 1 < changed.size() && changed[j + 1] <= last + 2 * kContext + 1) {
        last = changed[++j];
      }
      const std::size_t end = std::min(before.size(), last + kContext + 1);
      const std::string range = std::to_string(first + 1) + "," + std::to_string(end - first);
      out += "@@ -" + range + " +" + range + " @@\n";
      for (std::size_t i = first; i < end; ++i) {
        if (before[i].Text == after[i]) {
          out.append(" ").append(before[i].Text).append("\n");
        } else {
          out.append("-").append(before[i].Text).append("\n");
          out.append("+").append(after[i]).append("\n");
        }
      }
      k = j + 1;
    }
    return out;
  }

  const TranslateOptions& options_;
};

// Progress on standard error: one line that updates itself on a terminal,
// one line per file elsewhere, in collection order whatever order the jobs
// finish in.
class Progress {
 public:
  Progress(const std::vector<ProjectFile>& files, const std::vector<Outcome>& outcomes,
           Clock::time_point start)
      : files_(files),
        outcomes_(outcomes),
        finished_(files.size(), false),
        total_(files.size()),
        start_(start),
        terminal_(QM_ISATTY(2) != 0) {}

  void FileDone(std::size_t index) {
    std::lock_guard lock(mutex_);
    ++done_;
    items_ += outcomes_[index].items;
    finished_[index] = true;
    if (!terminal_) {
      for (; printed_ < total_ && finished_[printed_]; ++printed_) {
        ErrorOut("[%zu/%zu] %s: %s\n", printed_ + 1, total_,
                 Utf8Name(files_[printed_].relative).c_str(),
                 Describe(outcomes_[printed_]).c_str());
      }
      return;
    }
    const double elapsed = Seconds(Clock::now() - start_);
    const double eta = elapsed / static_cast<double>(done_) * static_cast<double>(total_ - done_);
    ErrorOut("\r\033[K%zu/%zu files, %lld items, %.0f s, about %.0f s left", done_,
             total_, static_cast<long long>(items_), elapsed, eta);
    if (done_ == total_) ErrorOut("\n");
  }

  static std::string Describe(const Outcome& outcome) {
    switch (outcome.status) {
      case Outcome::Status::Written:
        return std::to_string(outcome.translated) + " of " + std::to_string(outcome.items) +
               " items translated";
      case Outcome::Status::Unchanged: return "nothing to translate";
      case Outcome::Status::Failed: return "FAILED: " + outcome.reason;
    }
    return {};
  }

 private:
  std::mutex mutex_;
  const std::vector<ProjectFile>& files_;
  const std::vector<Outcome>& outcomes_;
  std::vector<bool> finished_;
  const std::size_t total_;
  const Clock::time_point start_;
  const bool terminal_;
  std::size_t done_ = 0, printed_ = 0;
  std::int64_t items_ = 0;
};

}  // namespace

int TranslateProject(const TranslateOptions& options) {
  const Clock::time_point start = Clock::now();
  const std::u16string source = WithoutTrailingSeparators(options.source);
  std::vector<ProjectFile> files;
  if (const std::error_code error = CollectTree(
          source, u"", options.recursive, WithoutTrailingSeparators(options.destination), files)) {
    ErrorOut("quillmark-cli: cannot list '%s': %s\n", Utf8Name(source).c_str(),
             EncodeUtf8(fs::ErrorText(error)).c_str());
    return 1;
  }
  // A destination that is not there fails once, before any translation.
  std::vector<fs::FolderEntry> destination;
  if (const std::error_code error = fs::ListFolder(options.destination, destination)) {
    ErrorOut("quillmark-cli: cannot write into '%s': %s\n", Utf8Name(options.destination).c_str(),
             EncodeUtf8(fs::ErrorText(error)).c_str());
    return 1;
  }

  if (!options.dry_run) {
    // The destination mirrors the source's folders.
    for (const ProjectFile& file : files) {
      const std::size_t slash = file.relative.find_last_of(fs::kSeparator);
      if (slash == std::u16string::npos) continue;
      std::u16string folder = options.destination;
      for (std::size_t at = 0; at <= slash;) {
        const std::size_t next = file.relative.find(fs::kSeparator, at);
        folder = fs::JoinPath(folder, file.relative.substr(at, next - at));
        fs::CreateFolder(folder);
        at = next + 1;
      }
    }
  }

  Translator translator(options);
  std::vector<Outcome> outcomes(files.size());
  Progress progress(files, outcomes, start);
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t i = next++; i < files.size(); i = next++) {
      outcomes[i] = translator.Translate(files[i]);
      progress.FileDone(i);
    }
  };
  const std::size_t jobs =
      std::clamp<std::size_t>(options.jobs, 1, std::max<std::size_t>(1, files.size()));
  std::vector<std::thread> threads;
  for (std::size_t j = 1; j < jobs; ++j) threads.emplace_back(work);
  work();
  for (std::thread& thread : threads) thread.join();

  // The diffs and the report, in collection order.
  std::size_t written = 0, unchanged = 0, failed = 0;
  std::int64_t translated = 0, kept = 0;
  Clock::duration in_command{}, busy{};
  std::string diffs;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const Outcome& o = outcomes[i];
    diffs += o.diff;
    translated += o.translated;
    kept += o.kept;
    in_command += o.in_command;
    busy += o.total;
    switch (o.status) {
      case Outcome::Status::Written: ++written; break;
      case Outcome::Status::Unchanged: ++unchanged; break;
      case Outcome::Status::Failed: ++failed; break;
    }
    for (const std::string& note : o.notes) {
      ErrorOut("%s: %s\n", Utf8Name(files[i].relative).c_str(), note.c_str());
    }
  }
  if (!diffs.empty()) std::fwrite(diffs.data(), 1, diffs.size(), stdout);
  std::fflush(stdout);
  const char* verb = options.dry_run ? "would be written" : "written";
  ErrorOut("%zu files: %zu %s, %zu with nothing to translate, %zu failed\n",
           files.size(), written, verb, unchanged, failed);
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (outcomes[i].status == Outcome::Status::Failed) {
      ErrorOut("  failed: %s: %s\n", Utf8Name(files[i].relative).c_str(),
               outcomes[i].reason.c_str());
    }
  }
  ErrorOut("%lld items translated, %lld kept their text (a translation refused or missing)\n"
           "time: %.2f s in the command and %.2f s in Quillmark (summed over the jobs), "
           "%.2f s from start to end\n",
           static_cast<long long>(translated), static_cast<long long>(kept), Seconds(in_command),
           Seconds(busy - in_command), Seconds(Clock::now() - start));
  return failed == 0 ? 0 : 1;
}

}  // namespace qm
