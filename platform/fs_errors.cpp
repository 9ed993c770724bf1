// The program's own file errors, as a std::error_category.
#include <new>
#include <string>

#include "platform/fs.h"

namespace qm::fs {
namespace {

class FileErrorCategoryImpl final : public std::error_category {
 public:
  const char* name() const noexcept override { return "quillmark-file"; }
  std::string message(int value) const override {
    switch (static_cast<FileError>(value)) {
      case FileError::ReadOnly: return "The file is read-only; it was not replaced.";
      case FileError::ForeignLink:
        return "The file is a symbolic link owned by another user; it was not followed.";
      case FileError::ChangedOnDisk:
        return "The file changed on disk since it was read; it was not replaced, so the change "
               "is kept.";
      case FileError::TooLarge: return "The file is too large to read into memory.";
    }
    return "Unknown file error " + std::to_string(value) + ".";
  }
};

}  // namespace

const std::error_category& FileErrorCategory() {
  static const FileErrorCategoryImpl category;
  return category;
}

std::error_code ProduceInto(const std::function<bool(const ByteSink&)>& produce,
                            const std::function<int(std::string_view)>& write_all,
                            int cancelled) {
  std::error_code error;
  bool completed = false;
  try {
    completed = produce([&](std::string_view bytes) {
      error = SystemError(write_all(bytes));
      return !error;
    });
  } catch (const std::bad_alloc&) {
    return FileError::TooLarge;
  }
  if (!error && !completed) error = SystemError(cancelled);
  return error;
}

}  // namespace qm::fs
