// What the desktop backends share beside the call queue: the window's trace
// and how a list row is shown.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <string_view>

namespace qm {

// QUILLMARK_TRACE=FILE: one line per change the backend makes to the window,
// "<ms since start> <what changed>", appended to FILE. Any thread may write.
class TraceWriter {
 public:
  TraceWriter() {
    if (const char* path = std::getenv("QUILLMARK_TRACE"); path != nullptr && *path != 0) {
      file_ = std::fopen(path, "a");
    }
  }
  ~TraceWriter() {
    if (file_ != nullptr) std::fclose(file_);
  }
  TraceWriter(const TraceWriter&) = delete;
  TraceWriter& operator=(const TraceWriter&) = delete;

  void Write(const std::string& line) {
    if (file_ == nullptr) return;
    std::lock_guard lock(mutex_);
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started_);
    std::fprintf(file_, "%lld %s\n", static_cast<long long>(elapsed.count()), line.c_str());
    std::fflush(file_);
  }

 private:
  std::FILE* file_ = nullptr;
  std::mutex mutex_;
  const std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

// A row may hold several column texts separated by LF; the one column of
// the window's lists shows the first.
inline std::u16string_view FirstColumn(std::u16string_view row) {
  return row.substr(0, row.find(u'\n'));
}

}  // namespace qm
