#include <windows.h>

#include <string>
#include <thread>

#include "platform/process.h"
#include "text/encoding.h"

namespace qm {
namespace {

std::error_code LastError() {
  return std::error_code(static_cast<int>(::GetLastError()), std::system_category());
}

class OwnedHandle {
 public:
  explicit OwnedHandle(HANDLE handle = nullptr) : handle_(handle) {}
  ~OwnedHandle() { Close(); }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  HANDLE get() const { return handle_; }
  HANDLE* out() { return &handle_; }
  void Close() {
    if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_;
};

void ReadAll(HANDLE pipe, std::string* into) {
  char buffer[1 << 16];
  DWORD read = 0;
  while (::ReadFile(pipe, buffer, sizeof buffer, &read, nullptr) && read > 0) into->append(buffer, read);
}

}  // namespace

CommandResult RunCommand(std::string_view command, std::string_view input,
                         std::chrono::milliseconds timeout) {
  CommandResult result;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  OwnedHandle in_read, in_write, out_read, out_write, err_read, err_write;
  if (!::CreatePipe(in_read.out(), in_write.out(), &inherit, 0) ||
      !::CreatePipe(out_read.out(), out_write.out(), &inherit, 0) ||
      !::CreatePipe(err_read.out(), err_write.out(), &inherit, 0)) {
    result.error = LastError();
    return result;
  }
  // The program's ends of the pipes are not inherited.
  ::SetHandleInformation(in_write.get(), HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(out_read.get(), HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(err_read.get(), HANDLE_FLAG_INHERIT, 0);

  // A job holds the command and everything it starts, so that the time
  // limit ends them all.
  OwnedHandle job(::CreateJobObjectW(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (job.get() != nullptr) {
    ::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
  }

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in_read.get();
  startup.hStdOutput = out_write.get();
  startup.hStdError = err_write.get();
  const std::u16string line = u"cmd.exe /d /s /c \"" + DecodeUtf8(command) + u"\"";
  std::wstring mutable_line(line.begin(), line.end());
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(nullptr, mutable_line.data(), nullptr, nullptr, TRUE,
                        CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &process)) {
    result.error = LastError();
    return result;
  }
  OwnedHandle process_handle(process.hProcess), thread_handle(process.hThread);
  if (job.get() != nullptr) ::AssignProcessToJobObject(job.get(), process.hProcess);
  ::ResumeThread(process.hThread);
  in_read.Close();
  out_write.Close();
  err_write.Close();

  // Feed and drain on threads of their own: a full pipe must never stop
  // both sides.
  std::thread feeder([&] {
    DWORD written = 0;
    std::string_view rest = input;
    while (!rest.empty() &&
           ::WriteFile(in_write.get(), rest.data(), static_cast<DWORD>(rest.size()), &written,
                       nullptr)) {
      rest.remove_prefix(written);
    }
    in_write.Close();
  });
  std::thread output_reader(ReadAll, out_read.get(), &result.output);
  std::thread error_reader(ReadAll, err_read.get(), &result.errors);
  const DWORD waited =
      ::WaitForSingleObject(process.hProcess, static_cast<DWORD>(timeout.count()));
  if (waited != WAIT_OBJECT_0) result.timed_out = true;
  // Ends the command and whatever it left running; the readers then see
  // their pipes close.
  if (job.get() != nullptr) {
    ::TerminateJobObject(job.get(), 1);
  } else if (result.timed_out) {
    ::TerminateProcess(process.hProcess, 1);
  }
  feeder.join();
  output_reader.join();
  error_reader.join();
  DWORD code = 0;
  if (!result.timed_out && ::GetExitCodeProcess(process.hProcess, &code)) {
    result.exit_code = static_cast<int>(code);
  }
  return result;
}

}  // namespace qm
