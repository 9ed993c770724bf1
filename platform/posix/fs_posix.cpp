#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>

#include "pipeline/encoding.h"
#include "pipeline/large_buffer.h"
#include "platform/fs.h"

namespace qm::fs {
namespace {

std::string Native(std::u16string_view path) { return EncodeFileName(path); }

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
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

// The file that a write to `path` should replace: links are followed so that
// a link to the real file stays a link.
std::string ResolveTarget(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = ::realpath(path.c_str(), nullptr)) {
      std::string resolved(real);
      std::free(real);
      return resolved;
    }
  }
  return path;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int ListFolder(std::u16string_view folder, std::vector<FolderEntry>& entries) {
  const std::string native = Native(folder);
  DIR* dir = ::opendir(native.c_str());
  if (dir == nullptr) return errno;
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
    entries.push_back({DecodeFileName(name), regular});
  }
  const int error = errno;
  ::closedir(dir);
  return error;
}

int ReadFile(std::u16string_view path, std::string& bytes) {
  const std::string native = Native(path);
  Fd fd(::open(native.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return errno;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return errno;
  if (S_ISDIR(st.st_mode)) return EISDIR;
  // Read straight into the result: a plain file's size is known, and the
  // buffer grows only for what is beyond it (a file still growing, a pipe).
  std::string data;
  std::size_t size = 0;
  if (S_ISREG(st.st_mode) && st.st_size > 0) {
    const auto expected = static_cast<std::size_t>(st.st_size);
    data.reserve(expected);
    AdviseLargeBuffer(data.data(), expected);
    data.resize(expected);
  }
  char chunk[1 << 16];
  for (;;) {
    const bool room = size < data.size();
    const ssize_t n = room ? ::read(fd.get(), data.data() + size, data.size() - size)
                           : ::read(fd.get(), chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) break;
    if (!room) data.append(chunk, static_cast<std::size_t>(n));
    size += static_cast<std::size_t>(n);
  }
  data.resize(size);
  bytes = std::move(data);
  return 0;
}

int WriteFileAtomically(std::u16string_view path,
                        const std::function<bool(const ByteSink&)>& produce) {
  const std::string target = ResolveTarget(Native(path));
  const std::string folder = FolderOf(target);

  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) return EISDIR;
  // A file its owner made read-only is not replaced behind their back.
  if (exists && ::access(target.c_str(), W_OK) != 0) return errno;

  std::random_device random;
  std::string temp;
  Fd fd;
  for (int attempt = 0; attempt < 100 && fd.get() < 0; ++attempt) {
    temp = folder + "/." + NameOf(target) + ".quillmark-" + std::to_string(random());
    fd = Fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.get() < 0 && errno != EEXIST) return errno;
  }
  if (fd.get() < 0) return EEXIST;

  int error = 0;
  if (exists) {
    // Keep the owner's permission bits (and owner, where we may).
    if (::fchmod(fd.get(), existing.st_mode & 07777) != 0) error = errno;
    if (::fchown(fd.get(), existing.st_uid, existing.st_gid) != 0) { /* not ours to change */ }
  }
  if (error == 0) {
    const bool completed = produce([&](std::string_view bytes) {
      error = WriteAll(fd.get(), bytes);
      return error == 0;
    });
    if (error == 0 && !completed) error = ECANCELED;
  }
  if (error == 0 && ::fsync(fd.get()) != 0) error = errno;
  if (const int closed = fd.Close(); error == 0) error = closed;
  if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp.c_str());
    return error;
  }
  // Make the rename itself durable; a failure here loses nothing.
  Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
  return 0;
}

int WriteFileAtomically(std::u16string_view path, std::string_view bytes) {
  return WriteFileAtomically(path, [bytes](const ByteSink& sink) { return sink(bytes); });
}

int EnsurePrivateFolder(std::u16string_view folder) {
  const std::string native = Native(folder);
  if (native.empty()) return ENOENT;
  if (::mkdir(native.c_str(), 0700) != 0 && errno != EEXIST) return errno;
  // Checked through a descriptor opened without following a link, so what
  // is checked is what is used.
  Fd fd(::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (fd.get() < 0) return errno == ELOOP ? ENOTDIR : errno;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return errno;
  if (st.st_uid != ::geteuid()) return EACCES;
  if ((st.st_mode & 077) != 0 && ::fchmod(fd.get(), st.st_mode & 0700) != 0) return errno;
  return 0;
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
  return EnsurePrivateFolder(folder) == 0 ? folder : std::u16string();
}

int WritePrivateFile(std::u16string_view path, std::string_view bytes) {
  const std::string native = Native(path);
  // O_NONBLOCK keeps a pipe planted under this name from blocking the open.
  Fd fd(::open(native.c_str(),
               O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
  if (fd.get() < 0) return errno;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return errno;
  if (!S_ISREG(st.st_mode)) return EINVAL;
  if (st.st_uid != ::geteuid()) return EACCES;
  if ((st.st_mode & 077) != 0 && ::fchmod(fd.get(), 0600) != 0) return errno;
  if (::ftruncate(fd.get(), 0) != 0) return errno;
  if (const int error = WriteAll(fd.get(), bytes); error != 0) return error;
  return fd.Close();
}

std::u16string ErrorText(int code) {
  if (code == 0) return {};
  char buffer[256];
  // GNU strerror_r returns the message, which may or may not live in buffer.
  const char* text = ::strerror_r(code, buffer, sizeof buffer);
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

}  // namespace qm::fs
