// The folder chooser's callback in the real chooser. Wine's chooser never
// validates a typed path, so the test calls the callback as the chooser
// does when the typed text is no folder, from inside the open chooser.
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "pipeline/texts.h"
#include "platform/win32/folder_chooser.h"

namespace qm {
namespace {

std::wstring W(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  return name;
}

std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(),
                                                        static_cast<int>(text.size()))));
  return text;
}

// The texts of a box's labels, one after another.
std::wstring LabelsOf(HWND box) {
  std::wstring labels;
  for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (ClassOf(child) == L"Static") labels += TextOf(child);
  }
  return labels;
}

// A box of `thread` other than the chooser, once it is there.
HWND BoxBeside(DWORD thread, HWND chooser) {
  struct Search {
    HWND chooser;
    HWND found;
  } search{chooser, nullptr};
  ::EnumThreadWindows(
      thread,
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        if (window != s->chooser && ClassOf(window) == L"#32770" && ::IsWindowVisible(window)) {
          s->found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

constexpr wchar_t kTyped[] = L"C:\\no such folder\\Main.pb";

struct Session {
  win32::BrowseContext context;
  std::atomic<HWND> chooser{nullptr};
  int validate_answer = -1;
};

// The chooser's callback as the program gives it; once the chooser is up,
// what the chooser does when OK is pressed on a typed path that is no
// folder, and then a cancel.
int CALLBACK Drive(HWND dialog, UINT message, LPARAM value, LPARAM data) {
  auto* session = reinterpret_cast<Session*>(data);
  const auto context = reinterpret_cast<LPARAM>(&session->context);
  const int answer = win32::BrowseCallback(dialog, message, value, context);
  if (message == BFFM_INITIALIZED) {
    session->chooser = dialog;
    session->validate_answer = win32::BrowseCallback(dialog, BFFM_VALIDATEFAILEDW,
                                                     reinterpret_cast<LPARAM>(kTyped), context);
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  }
  return answer;
}

TEST(FolderChooser, ATypedPathThatIsNoFolderKeepsTheChooserOpenWithTheNote) {
  ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
  Session session;
  session.context = {L"", W(kLanguageTable[0]), W(kNotAFolderNote)};

  // The user reads the note and presses OK.
  std::atomic<bool> chooser_ended{false};
  std::wstring note_title, note_text;
  HWND note_owner = nullptr;
  const DWORD main_thread = ::GetCurrentThreadId();
  std::thread user([&] {
    for (int i = 0; i < 1200 && !chooser_ended; ++i) {  // up to 30 s
      if (HWND chooser = session.chooser; chooser != nullptr) {
        if (HWND box = BoxBeside(main_thread, chooser)) {
          note_owner = ::GetWindow(box, GW_OWNER);
          note_title = TextOf(box);
          note_text = LabelsOf(box);
          ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
          return;
        }
      }
      ::Sleep(25);
    }
  });

  BROWSEINFOW info = {};
  info.lpszTitle = L"Quillmark chooser test";
  info.ulFlags = BIF_EDITBOX | BIF_NEWDIALOGSTYLE | BIF_RETURNONLYFSDIRS | BIF_VALIDATE;
  info.lpfn = &Drive;
  info.lParam = reinterpret_cast<LPARAM>(&session);
  PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&info);
  chooser_ended = true;
  user.join();
  if (chosen != nullptr) ::CoTaskMemFree(chosen);
  ::OleUninitialize();

  ASSERT_NE(session.chooser.load(), nullptr) << "the chooser did not come up";
  // Stays open: the chooser keeps itself open on a nonzero answer.
  EXPECT_EQ(session.validate_answer, 1);
  // The note came up over the chooser, with the typed text and the note.
  EXPECT_EQ(note_owner, session.chooser.load());
  EXPECT_EQ(note_title, W(kLanguageTable[0]));
  EXPECT_NE(note_text.find(kTyped), std::wstring::npos) << "note: " << std::string(note_text.begin(), note_text.end());
  EXPECT_NE(note_text.find(W(kNotAFolderNote)), std::wstring::npos);
  EXPECT_EQ(chosen, nullptr);  // cancelled afterwards, nothing chosen
}

}  // namespace
}  // namespace qm
