// quillmark-cli's messages on a console: written as UTF-16, so they read
// correctly whatever the console's code page; UTF-8 bytes reach a console
// in its code page and come out garbled.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/fs.h"

namespace qm {
namespace {

// A console of this process's own, standard error pointing at its screen,
// and the text of the screen's first row read back.
class OwnConsole {
 public:
  OwnConsole() {
    ::FreeConsole();
    ready_ = ::AllocConsole() != FALSE;
    if (!ready_) return;
    screen_ = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ready_ = screen_ != INVALID_HANDLE_VALUE;
    previous_ = ::GetStdHandle(STD_ERROR_HANDLE);
    if (ready_) ::SetStdHandle(STD_ERROR_HANDLE, screen_);
  }
  ~OwnConsole() {
    ::SetStdHandle(STD_ERROR_HANDLE, previous_);
    if (screen_ != INVALID_HANDLE_VALUE) ::CloseHandle(screen_);
    ::FreeConsole();
  }
  bool ready() const { return ready_; }

  std::wstring FirstRow() const {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!::GetConsoleScreenBufferInfo(screen_, &info)) return {};
    std::wstring row(static_cast<std::size_t>(info.dwSize.X), L' ');
    DWORD read = 0;
    ::ReadConsoleOutputCharacterW(screen_, row.data(), static_cast<DWORD>(row.size()), COORD{0, 0},
                                  &read);
    row.resize(read);
    while (!row.empty() && row.back() == L' ') row.pop_back();
    return row;
  }

 private:
  bool ready_ = false;
  HANDLE screen_ = INVALID_HANDLE_VALUE;
  HANDLE previous_ = nullptr;
};

TEST(Console, MessagesReadCorrectlyWhateverTheCodePage) {
  OwnConsole console;
  if (!console.ready()) GTEST_SKIP() << "no console could be made here";
  // A code page in which the UTF-8 bytes of "ö" and "✓" are other letters.
  ::SetConsoleOutputCP(1252);
  fs::WriteStandardError("quillmark-cli: cannot read 'C:\\Gr\xC3\xB6\xC3\x9F" "e.pb' \xE2\x9C\x93");
  EXPECT_EQ(console.FirstRow(), L"quillmark-cli: cannot read 'C:\\Gr\u00F6\u00DFe.pb' \u2713");
}

}  // namespace
}  // namespace qm
