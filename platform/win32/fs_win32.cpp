// File-system access on Windows. Paths are UTF-16 already; error codes are
// the system's (GetLastError), worded by FormatMessageW.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <iterator>
#include <new>
#include <random>

#include "platform/fs.h"

namespace qm::fs {
namespace {

// A path as the system takes it. An absolute path long enough to run into
// MAX_PATH gets the \\?\ prefix, which lifts the limit (with "/" turned into
// "\", as that form takes the path as it stands); others stay as they are.
std::wstring W(std::u16string_view path) {
  std::wstring out(path.begin(), path.end());
  constexpr std::size_t kShortEnough = 240;  // room for a file name within MAX_PATH
  if (out.size() < kShortEnough || out.starts_with(L"\\\\?\\")) return out;
  for (wchar_t& c : out) {
    if (c == L'/') c = L'\\';
  }
  if (out.size() >= 3 && out[1] == L':' && out[2] == L'\\') return L"\\\\?\\" + out;
  if (out.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + out.substr(2);
  return out;
}

std::u16string U16(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }

class Handle {
 public:
  explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { Close(); }
  HANDLE get() const { return handle_; }
  void Reset(HANDLE handle) {
    Close();
    handle_ = handle;
  }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  int Close() {
    if (!valid()) return 0;
    const bool closed = ::CloseHandle(handle_) != FALSE;
    handle_ = INVALID_HANDLE_VALUE;
    return closed ? 0 : static_cast<int>(::GetLastError());
  }

 private:
  HANDLE handle_;
};

int LastError() {
  const DWORD error = ::GetLastError();
  return error == 0 ? static_cast<int>(ERROR_GEN_FAILURE) : static_cast<int>(error);
}

int WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr)) return LastError();
    bytes.remove_prefix(written);
  }
  return 0;
}

FileStamp StampOf(const BY_HANDLE_FILE_INFORMATION& info) {
  FileStamp stamp;
  stamp.device = info.dwVolumeSerialNumber;
  stamp.file = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  stamp.size = static_cast<std::int64_t>((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) |
                                         info.nFileSizeLow);
  stamp.modified = static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
      info.ftLastWriteTime.dwLowDateTime);
  return stamp;
}

// The stamp of the file at `path` as it is now; an invalid one when it
// cannot be had.
FileStamp StampOfPath(const std::wstring& path) {
  Handle file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (!file.valid() || !::GetFileInformationByHandle(file.get(), &info)) return {};
  return StampOf(info);
}

bool IsTemporaryName(std::wstring_view name) {
  if (name.size() != kTemporaryNameLength || name.substr(0, 4) != L".qm-") return false;
  for (const wchar_t c : name.substr(4)) {
    if (!((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9'))) {
      return false;
    }
  }
  return true;
}

// Removes the temporary files that killed writes left in `folder` more than
// an hour ago; a write in progress is never that old.
void RemoveStaleTemporaries(const std::u16string& folder) {
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW(W(JoinPath(folder, u".qm-*")).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  FILETIME now_time;
  ::GetSystemTimeAsFileTime(&now_time);
  const auto ticks = [](const FILETIME& t) {
    return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  constexpr std::uint64_t kHour = 36000000000ull;  // in 100 ns
  do {
    if ((data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
        !IsTemporaryName(data.cFileName) || ticks(data.ftLastWriteTime) + kHour > ticks(now_time)) {
      continue;
    }
    ::DeleteFileW(W(JoinPath(folder, U16(data.cFileName))).c_str());
  } while (::FindNextFileW(find, &data));
  ::FindClose(find);
}

std::u16string FolderOf(std::u16string_view path) {
  const std::size_t slash = path.find_last_of(u"\\/");
  return slash == std::u16string_view::npos ? u"." : std::u16string(path.substr(0, slash));
}

}  // namespace

std::error_code ListFolder(std::u16string_view folder, std::vector<FolderEntry>& entries) {
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW(W(JoinPath(folder, u"*")).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return SystemError(LastError());
  do {
    const std::wstring_view name(data.cFileName);
    if (name == L"." || name == L"..") continue;
    const bool folder_entry = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool device = (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0;
    const bool reparse = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    entries.push_back({U16(name), !folder_entry && !device, folder_entry && !reparse});
  } while (::FindNextFileW(find, &data));
  const DWORD error = ::GetLastError();
  ::FindClose(find);
  return SystemError(error == ERROR_NO_MORE_FILES ? 0 : static_cast<int>(error));
}

std::error_code ReadFile(std::u16string_view path, std::string& bytes, FileStamp* stamp) try {
  Handle file(::CreateFileW(W(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return SystemError(LastError());
  if (::GetFileType(file.get()) != FILE_TYPE_DISK) return SystemError(ERROR_INVALID_FUNCTION);
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(file.get(), &info)) return SystemError(LastError());
  std::string data;
  LARGE_INTEGER size;
  if (::GetFileSizeEx(file.get(), &size) && size.QuadPart > 0) {
    data.reserve(static_cast<std::size_t>(size.QuadPart));
  }
  char chunk[1 << 16];
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr)) return SystemError(LastError());
    if (read == 0) break;
    data.append(chunk, read);
  }
  bytes = std::move(data);
  if (stamp != nullptr) *stamp = StampOf(info);
  return {};
} catch (const std::bad_alloc&) {
  return FileError::TooLarge;
}

std::error_code WriteFileAtomically(std::u16string_view path,
                                    const std::function<bool(const ByteSink&)>& produce,
                                    const FileStamp* read, std::u16string* reason) {
  const auto refuse = [reason, path](FileError code, std::u16string_view text) -> std::error_code {
    if (reason != nullptr) *reason = u"'" + std::u16string(path) + u"' " + std::u16string(text);
    return code;
  };
  const std::wstring target = W(path);
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return SystemError(ERROR_DIRECTORY);
    // A file its owner made read-only is not replaced behind their back.
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      return refuse(FileError::ReadOnly, u"is read-only; it was not replaced.");
    }
    if (read != nullptr && read->valid() && StampOfPath(target).ChangedSince(*read)) {
      return refuse(FileError::ChangedOnDisk,
                    u"changed on disk since it was read; it was not replaced, so the change is "
                    u"kept.");
    }
  }
  const std::u16string folder = FolderOf(path);
  RemoveStaleTemporaries(folder);
  static constexpr char16_t kLetters[] =
      u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device random;
  std::wstring temp;
  Handle file;
  for (int attempt = 0; attempt < 100 && !file.valid(); ++attempt) {
    std::u16string name(kTemporaryPrefix);
    for (int i = 0; i < 6; ++i) name += kLetters[random() % (std::size(kLetters) - 1)];
    temp = W(JoinPath(folder, name));
    HANDLE created = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created == INVALID_HANDLE_VALUE) {
      if (::GetLastError() != ERROR_FILE_EXISTS) return SystemError(LastError());
      continue;
    }
    file.Reset(created);
  }
  if (!file.valid()) return SystemError(ERROR_FILE_EXISTS);

  std::error_code error = ProduceInto(
      produce, [&file](std::string_view bytes) { return WriteAll(file.get(), bytes); },
      ERROR_CANCELLED);
  if (!error && !::FlushFileBuffers(file.get())) error = SystemError(LastError());
  if (const int closed = file.Close(); !error) error = SystemError(closed);
  if (!error &&
      !::MoveFileExW(temp.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = SystemError(LastError());
  }
  if (error) ::DeleteFileW(temp.c_str());
  return error;
}

std::error_code WriteFileAtomically(std::u16string_view path, std::string_view bytes) {
  return WriteFileAtomically(path, [bytes](const ByteSink& sink) { return sink(bytes); });
}

std::error_code CreateFolder(std::u16string_view folder) {
  if (::CreateDirectoryW(W(folder).c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS) {
    return {};
  }
  return SystemError(LastError());
}

std::error_code EnsurePrivateFolder(std::u16string_view folder) {
  if (folder.empty()) return SystemError(ERROR_PATH_NOT_FOUND);
  const std::wstring native = W(folder);
  if (!::CreateDirectoryW(native.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
    return SystemError(LastError());
  }
  const DWORD attributes = ::GetFileAttributesW(native.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return SystemError(LastError());
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return SystemError(ERROR_DIRECTORY);
  // A link or junction planted in its place is not followed.
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return SystemError(ERROR_ACCESS_DENIED);
  return {};
}

std::u16string PrivateScratchFolder() {
  // The user's own temp folder, which the profile keeps private.
  wchar_t buffer[MAX_PATH + 1];
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
  if (length == 0 || length > MAX_PATH) return {};
  std::u16string folder = U16(std::wstring_view(buffer, length));
  while (folder.size() > 3 && (folder.back() == u'\\' || folder.back() == u'/')) folder.pop_back();
  return EnsurePrivateFolder(folder) ? std::u16string() : folder;
}

std::error_code WritePrivateFile(std::u16string_view path, std::string_view bytes) {
  Handle file(::CreateFileW(W(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                            nullptr));
  if (!file.valid()) return SystemError(LastError());
  if (::GetFileType(file.get()) != FILE_TYPE_DISK) return SystemError(ERROR_INVALID_FUNCTION);
  if (const int error = WriteAll(file.get(), bytes); error != 0) return SystemError(error);
  return SystemError(file.Close());
}

std::u16string ErrorText(const std::error_code& error) {
  if (!error) return {};
  if (error.category() != std::system_category()) return DecodeUtf8(error.message());
  const int code = error.value();
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::u16string result = length == 0 ? std::u16string() : U16(std::wstring_view(text, length));
  if (text != nullptr) ::LocalFree(text);
  return result;
}

std::u16string JoinPath(std::u16string_view folder, std::u16string_view name) {
  std::u16string path(folder);
  if (!path.empty() && path.back() != u'/' && path.back() != kSeparator) path += kSeparator;
  path += name;
  return path;
}

std::vector<std::u16string> CommandLine(int, char**) {
  std::vector<std::u16string> arguments;
  int count = 0;
  if (wchar_t** list = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
    for (int i = 0; i < count; ++i) arguments.push_back(U16(list[i]));
    ::LocalFree(list);
  }
  return arguments;
}

void UseBinaryStandardOutput() { _setmode(_fileno(stdout), _O_BINARY); }

void WriteStandardError(std::string_view utf8) {
  HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (error != nullptr && error != INVALID_HANDLE_VALUE && ::GetConsoleMode(error, &mode)) {
    const std::u16string text = DecodeUtf8(utf8);
    DWORD written = 0;
    ::WriteConsoleW(error, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  std::fflush(stderr);
  _setmode(_fileno(stderr), _O_BINARY);
  std::fwrite(utf8.data(), 1, utf8.size(), stderr);
  std::fflush(stderr);
}

}  // namespace qm::fs
