// Running a translator program: a command line through the system shell,
// bytes to its standard input, its standard output and error collected,
// ended (with every process it started) when it runs too long.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <system_error>

namespace qm {

struct CommandResult {
  std::error_code error;  // the command could not be started or talked to
  bool timed_out = false;  // ended at the time limit, with its children
  int exit_code = -1;      // its exit status, or -1 when it ended by a signal
  std::string output;      // standard output, as it came
  std::string errors;      // standard error, as it came
  bool ok() const { return !error && !timed_out && exit_code == 0; }
};

// Runs `command` through the system shell (/bin/sh -c on POSIX, cmd.exe /c
// on Windows) in a process group of its own, writes `input` to its standard
// input and closes it, and collects what it writes until it ends or
// `timeout` has passed; then the whole group is ended.
CommandResult RunCommand(std::string_view command, std::string_view input,
                         std::chrono::milliseconds timeout);

}  // namespace qm
