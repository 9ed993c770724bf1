#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <random>

#include "text/encoding.h"
#include "platform/fs.h"

namespace qm::fs {
namespace {

std::string Native(std::u16string_view path) { return EncodeFileName(path); }

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      if (fd_ >= 0) ::close(fd_);
      fd_ = other.fd_;
      other.fd_ = -1;
    }
    return *this;
  }
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes and reports the result; the descriptor is gone either way.
  int Close() {
    const int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0 ? 0 : errno;
  }

 private:
  int fd_;
};

int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::int64_t ModifiedNs(const struct stat& st) {
  return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

FileStamp StampOf(const struct stat& st) {
  FileStamp stamp;
  stamp.device = static_cast<std::uint64_t>(st.st_dev);
  stamp.file = static_cast<std::uint64_t>(st.st_ino);
  stamp.size = static_cast<std::int64_t>(st.st_size);
  stamp.modified = ModifiedNs(st);
  return stamp;
}

std::u16string Quoted(const std::string& path) { return u"'" + DecodeFileName(path) + u"'"; }

std::string UserName(uid_t uid) {
  // getpwuid_r with a buffer of the size the system suggests.
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::string buffer(size > 0 ? static_cast<std::size_t>(size) : 4096, '\0');
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) {
    return std::string(found->pw_name) + " (uid " + std::to_string(uid) + ")";
  }
  return "uid " + std::to_string(uid);
}

// The permission bits a new file gets: 0666 less the process's umask, read
// without changing it (umask() itself would, for a moment, for every thread).
mode_t NewFileMode() {
  mode_t mask = 022;
  if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    while (std::fgets(line, sizeof line, status) != nullptr) {
      unsigned value = 0;
      if (std::sscanf(line, "Umask: %o", &value) == 1) {
        mask = static_cast<mode_t>(value);
        break;
      }
    }
    std::fclose(status);
  }
  return 0666 & ~mask;
}

bool IsTemporaryName(std::string_view name) {
  if (name.size() != kTemporaryNameLength || !name.starts_with(".qm-")) return false;
  for (const char c : name.substr(4)) {
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) {
      return false;
    }
  }
  return true;
}

// Removes this user's temporary files that killed writes left in `folder`
// more than an hour ago; a write in progress is never that old.
void RemoveStaleTemporaries(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  const int dir_fd = ::dirfd(dir);
  const std::time_t limit = std::time(nullptr) - 3600;
  while (const dirent* entry = ::readdir(dir)) {
    if (!IsTemporaryName(entry->d_name)) continue;
    struct stat st {};
    if (::fstatat(dir_fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
        st.st_uid == ::geteuid() && st.st_mtime < limit) {
      ::unlinkat(dir_fd, entry->d_name, 0);
    }
  }
  ::closedir(dir);
}

// Creates a new temporary file in `folder`, readable by this user only.
Fd CreateTemporary(const std::string& folder, std::string& path, int& error) {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = ".qm-";
    for (int i = 0; i < 6; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
    path = folder + "/" + name;
    Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd.get() >= 0) return fd;
    if (errno != EEXIST) {
      error = errno;
      return Fd();
    }
  }
  error = EEXIST;
  return Fd();
}

// Gives the file behind `fd` the extended attributes of `from` (ACLs are
// among them). What the file system or the user's rights do not allow is
// left out: the mode bits already carry the basic permissions.
void CopyExtendedAttributes(const std::string& from, int fd) {
  const ssize_t size = ::listxattr(from.c_str(), nullptr, 0);
  if (size <= 0) return;
  std::string names(static_cast<std::size_t>(size), '\0');
  const ssize_t listed = ::listxattr(from.c_str(), names.data(), names.size());
  if (listed <= 0) return;
  names.resize(static_cast<std::size_t>(listed));
  std::string value;
  for (std::size_t at = 0; at < names.size();) {
    const std::string name = names.c_str() + at;
    at += name.size() + 1;
    const ssize_t length = ::getxattr(from.c_str(), name.c_str(), nullptr, 0);
    if (length < 0) continue;
    value.resize(static_cast<std::size_t>(length));
    const ssize_t got = ::getxattr(from.c_str(), name.c_str(), value.data(), value.size());
    if (got < 0) continue;
    ::fsetxattr(fd, name.c_str(), value.data(), static_cast<std::size_t>(got), 0);
  }
}

}  // namespace

std::error_code ListFolder(std::u16string_view folder, std::vector<FolderEntry>& entries) {
  const std::string native = Native(folder);
  DIR* dir = ::opendir(native.c_str());
  if (dir == nullptr) return SystemError(errno);
  const int dir_fd = ::dirfd(dir);
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (entry == nullptr) break;
    const std::string_view name(entry->d_name);
    if (name == "." || name == "..") continue;
    bool regular = entry->d_type == DT_REG;
    if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
      struct stat st {};
      regular = ::fstatat(dir_fd, entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
    }
    bool subfolder = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN) {
      struct stat st {};
      subfolder = ::fstatat(dir_fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                  S_ISDIR(st.st_mode);
    }
    entries.push_back({DecodeFileName(name), regular, subfolder});
  }
  const int error = errno;
  ::closedir(dir);
  return SystemError(error);
}

std::error_code ReadFile(std::u16string_view path, std::string& bytes, FileStamp* stamp) try {
  const std::string native = Native(path);
  Fd fd(::open(native.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return SystemError(errno);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return SystemError(errno);
  if (S_ISDIR(st.st_mode)) return SystemError(EISDIR);
  // Read straight into the result: a plain file's size is known, and the
  // buffer grows only for what is beyond it (a file still growing, a pipe).
  std::string data;
  std::size_t size = 0;
  if (S_ISREG(st.st_mode) && st.st_size > 0) {
    const auto expected = static_cast<std::size_t>(st.st_size);
    data.reserve(expected);
    data.resize(expected);
  }
  char chunk[1 << 16];
  for (;;) {
    const bool room = size < data.size();
    const ssize_t n = room ? ::read(fd.get(), data.data() + size, data.size() - size)
                           : ::read(fd.get(), chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      return SystemError(errno);
    }
    if (n == 0) break;
    if (!room) data.append(chunk, static_cast<std::size_t>(n));
    size += static_cast<std::size_t>(n);
  }
  data.resize(size);
  bytes = std::move(data);
  if (stamp != nullptr) *stamp = StampOf(st);
  return {};
} catch (const std::bad_alloc&) {
  return FileError::TooLarge;
}

std::error_code WriteFileAtomically(std::u16string_view path,
                                    const std::function<bool(const ByteSink&)>& produce,
                                    const FileStamp* read, std::u16string* reason) {
  const auto refuse = [reason](FileError code, std::u16string text) -> std::error_code {
    if (reason != nullptr) *reason = std::move(text);
    return code;
  };
  std::string target = Native(path);
  struct stat link {};
  if (::lstat(target.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    // Another user's link could point anywhere this program may write.
    if (link.st_uid != ::geteuid()) {
      return refuse(FileError::ForeignLink,
                    Quoted(target) + u" is a symbolic link owned by " +
                        DecodeFileName(UserName(link.st_uid)) + u"; it was not followed.");
    }
    // One's own link is followed, so that the link stays a link.
    if (char* real = ::realpath(target.c_str(), nullptr)) {
      target = real;
      std::free(real);
    }
  }
  const std::string folder = FolderOf(target);

  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) return SystemError(EISDIR);
  if (exists) {
    // A file made read-only is not replaced behind its owner's back, by root
    // neither (access() would say root may write anything).
    if ((existing.st_mode & 0222) == 0) {
      return refuse(FileError::ReadOnly, Quoted(target) + u" is read-only; it was not replaced.");
    }
    if (::access(target.c_str(), W_OK) != 0) return SystemError(errno);
    if (read != nullptr && StampOf(existing).ChangedSince(*read)) {
      return refuse(FileError::ChangedOnDisk,
                    Quoted(target) + u" changed on disk since it was read; it was not replaced, "
                                     u"so the change is kept.");
    }
  }

  RemoveStaleTemporaries(folder);
  std::string temp;
  int create_error = 0;
  Fd fd = CreateTemporary(folder, temp, create_error);
  if (fd.get() < 0) return SystemError(create_error);

  std::error_code error = ProduceInto(
      produce, [&fd](std::string_view bytes) { return WriteAll(fd.get(), bytes); }, ECANCELED);
  if (!error) {
    if (exists) {
      // Owner first: a change of owner clears the set-id bits, which the
      // mode then puts back (where the system allows). Another owner is
      // only for root to give; for anyone else the file stays theirs.
      if (::fchown(fd.get(), existing.st_uid, existing.st_gid) != 0) { /* not ours to give */ }
      if (::fchmod(fd.get(), existing.st_mode & 07777) != 0) error = SystemError(errno);
      if (!error) CopyExtendedAttributes(target, fd.get());
    } else if (::fchmod(fd.get(), NewFileMode()) != 0) {
      error = SystemError(errno);
    }
  }
  if (!error && ::fsync(fd.get()) != 0) error = SystemError(errno);
  if (const int closed = fd.Close(); !error) error = SystemError(closed);
  if (!error && ::rename(temp.c_str(), target.c_str()) != 0) error = SystemError(errno);
  if (error) {
    ::unlink(temp.c_str());
    return error;
  }
  // Make the rename itself durable; a failure here loses nothing.
  Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
  return {};
}

std::error_code WriteFileAtomically(std::u16string_view path, std::string_view bytes) {
  return WriteFileAtomically(path, [bytes](const ByteSink& sink) { return sink(bytes); });
}

std::error_code CreateFolder(std::u16string_view folder) {
  const std::string native = Native(folder);
  if (::mkdir(native.c_str(), 0777) == 0 || errno == EEXIST) return {};
  return SystemError(errno);
}

std::error_code EnsurePrivateFolder(std::u16string_view folder) {
  const std::string native = Native(folder);
  if (native.empty()) return SystemError(ENOENT);
  if (::mkdir(native.c_str(), 0700) != 0 && errno != EEXIST) return SystemError(errno);
  // Checked through a descriptor opened without following a link, so what
  // is checked is what is used.
  Fd fd(::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (fd.get() < 0) return SystemError(errno == ELOOP ? ENOTDIR : errno);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return SystemError(errno);
  if (st.st_uid != ::geteuid()) return SystemError(EACCES);
  if ((st.st_mode & 077) != 0 && ::fchmod(fd.get(), st.st_mode & 0700) != 0) {
    return SystemError(errno);
  }
  return {};
}

std::u16string PrivateScratchFolder() {
  std::string base;
  // Relative values are invalid by the XDG rules and are ignored.
  if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache != nullptr && cache[0] == '/') {
    base = cache;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    base = std::string(home) + "/.cache";
    if (::mkdir(base.c_str(), 0700) != 0 && errno != EEXIST) return {};
  } else {
    return {};
  }
  const std::u16string folder = JoinPath(DecodeFileName(base), u"quillmark");
  return EnsurePrivateFolder(folder) ? std::u16string() : folder;
}

std::error_code WritePrivateFile(std::u16string_view path, std::string_view bytes) {
  const std::string native = Native(path);
  // O_NONBLOCK keeps a pipe planted under this name from blocking the open.
  Fd fd(::open(native.c_str(),
               O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
  if (fd.get() < 0) return SystemError(errno);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return SystemError(errno);
  if (!S_ISREG(st.st_mode)) return SystemError(EINVAL);
  if (st.st_uid != ::geteuid()) return SystemError(EACCES);
  if ((st.st_mode & 077) != 0 && ::fchmod(fd.get(), 0600) != 0) return SystemError(errno);
  if (::ftruncate(fd.get(), 0) != 0) return SystemError(errno);
  if (const int error = WriteAll(fd.get(), bytes); error != 0) return SystemError(error);
  return SystemError(fd.Close());
}

std::u16string ErrorText(const std::error_code& error) {
  if (!error) return {};
  if (error.category() != std::system_category()) return DecodeUtf8(error.message());
  char buffer[256];
  // GNU strerror_r returns the message, which may or may not live in buffer.
  const char* text = ::strerror_r(error.value(), buffer, sizeof buffer);
  return DecodeUtf8(text);
}

std::u16string JoinPath(std::u16string_view folder, std::u16string_view name) {
  std::u16string path(folder);
  if (!path.empty() && path.back() != u'/' && path.back() != kSeparator) path += kSeparator;
  path += name;
  return path;
}

std::vector<std::u16string> CommandLine(int argc, char** argv) {
  std::vector<std::u16string> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(DecodeFileName(argv[i]));
  return arguments;
}

void UseBinaryStandardOutput() {}

void WriteStandardError(std::string_view utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), stderr);
  std::fflush(stderr);
}

}  // namespace qm::fs
