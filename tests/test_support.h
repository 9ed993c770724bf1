// Small helpers shared by the tests: temporary folders, raw file access and
// UTF-8 literals as UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace qm::test {

// The system's path separator, for building expected paths.
#ifdef _WIN32
inline const std::string kSep = "\\";
#else
inline const std::string kSep = "/";
#endif

// UTF-8 source text to UTF-16.
std::u16string U(std::string_view utf8);
// UTF-16 to UTF-8, for readable failure messages.
std::string U8(std::u16string_view text);
// A text as UTF-16 bytes in either byte order, as a file would hold it.
std::string Utf16Bytes(std::u16string_view text, bool big_endian);

// A fresh folder under the system temp folder, removed with its content.
class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();
  const std::string& path() const { return path_; }
  // A path inside the folder, joined with the system's separator.
  std::string File(std::string_view name) const;

 private:
  std::string path_;
};

void WriteBytes(const std::string& path, std::string_view bytes);
std::string ReadBytes(const std::string& path);
bool Exists(const std::string& path);

}  // namespace qm::test
