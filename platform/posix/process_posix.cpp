#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "platform/process.h"

extern char** environ;

namespace qm {
namespace {

class Pipe {
 public:
  Pipe() {
    if (::pipe2(fds_, O_CLOEXEC) != 0) fds_[0] = fds_[1] = -1;
  }
  ~Pipe() {
    CloseRead();
    CloseWrite();
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  bool ok() const { return fds_[0] >= 0; }
  int read_end() const { return fds_[0]; }
  int write_end() const { return fds_[1]; }
  void CloseRead() { Close(fds_[0]); }
  void CloseWrite() { Close(fds_[1]); }

 private:
  static void Close(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  int fds_[2] = {-1, -1};
};

}  // namespace

CommandResult RunCommand(std::string_view command, std::string_view input,
                         std::chrono::milliseconds timeout) {
  // A command that exits without reading all of its input must not end
  // this process with SIGPIPE: the write then fails with EPIPE instead.
  static const bool sigpipe_ignored = ::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
  (void)sigpipe_ignored;
  CommandResult result;
  Pipe in, out, err;
  if (!in.ok() || !out.ok() || !err.ok()) {
    result.error = std::error_code(errno, std::system_category());
    return result;
  }
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, in.read_end(), 0);
  ::posix_spawn_file_actions_adddup2(&actions, out.write_end(), 1);
  ::posix_spawn_file_actions_adddup2(&actions, err.write_end(), 2);
  ::posix_spawnattr_init(&attributes);
  // A group of its own, so that the time limit ends whatever it started.
  ::posix_spawnattr_setpgroup(&attributes, 0);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  ::posix_spawnattr_setsigdefault(&attributes, &defaults);
  ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);
  std::string shell_command(command);
  char sh[] = "/bin/sh", dash_c[] = "-c";
  char* argv[] = {sh, dash_c, shell_command.data(), nullptr};
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, "/bin/sh", &actions, &attributes, argv, environ);
  ::posix_spawn_file_actions_destroy(&actions);
  ::posix_spawnattr_destroy(&attributes);
  in.CloseRead();
  out.CloseWrite();
  err.CloseWrite();
  if (spawned != 0) {
    result.error = std::error_code(spawned, std::system_category());
    return result;
  }

  // Feed and drain at once: a translator may answer before it has read
  // everything, and a full pipe must never stop both sides.
  ::fcntl(in.write_end(), F_SETFL, O_NONBLOCK);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::size_t written = 0;
  if (input.empty()) in.CloseWrite();
  char buffer[1 << 16];
  while (out.read_end() >= 0 || err.read_end() >= 0 || in.write_end() >= 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.timed_out = true;
      break;
    }
    std::vector<pollfd> fds;
    if (in.write_end() >= 0) fds.push_back({in.write_end(), POLLOUT, 0});
    if (out.read_end() >= 0) fds.push_back({out.read_end(), POLLIN, 0});
    if (err.read_end() >= 0) fds.push_back({err.read_end(), POLLIN, 0});
    const int wait_ms = static_cast<int>(std::min<long long>(left.count(), 1000));
    const int ready = ::poll(fds.data(), fds.size(), wait_ms);
    if (ready < 0 && errno != EINTR) {
      result.error = std::error_code(errno, std::system_category());
      break;
    }
    for (const pollfd& p : fds) {
      if (p.revents == 0) continue;
      if (p.fd == in.write_end()) {
        const ssize_t n = ::write(p.fd, input.data() + written, input.size() - written);
        if (n > 0) written += static_cast<std::size_t>(n);
        // A translator that stops reading early ends its input here.
        if ((n < 0 && errno != EAGAIN && errno != EINTR) || written == input.size()) {
          in.CloseWrite();
        }
      } else {
        const ssize_t n = ::read(p.fd, buffer, sizeof buffer);
        if (n > 0) {
          std::string& sink = p.fd == out.read_end() ? result.output : result.errors;
          sink.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
          if (p.fd == out.read_end()) {
            out.CloseRead();
          } else {
            err.CloseRead();
          }
        }
      }
    }
  }
  if (result.timed_out || result.error) ::kill(-pid, SIGKILL);
  // Wait for the shell to end without reaping it, so that its group's id
  // cannot be reused yet; end whatever it left running in the group; then
  // reap it.
  siginfo_t info {};
  while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
  }
  ::kill(-pid, SIGKILL);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  return result;
}

}  // namespace qm
