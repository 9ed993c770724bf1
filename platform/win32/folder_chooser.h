// The shell's folder chooser (SHBrowseForFolderW) and what the program adds
// to it through its callback.
#pragma once

#include <windows.h>

#include <string>

namespace qm::win32 {

// What the chooser's callback is given (BROWSEINFOW::lParam).
struct BrowseContext {
  std::wstring start;         // the folder selected when it opens; empty: the chooser's own
  std::wstring note_title;    // the title of the note box
  std::wstring not_a_folder;  // the note when a typed path is not a folder
};

// The chooser's callback: selects the start folder once the chooser is up,
// and when the text typed into it is not a folder (BIF_VALIDATE) shows the
// note, owned by the chooser, with the typed text, and keeps the chooser
// open (returns 1).
int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM value, LPARAM data);

// Shows the chooser owned by `owner` and returns the chosen file-system
// folder ending in `\`, read without the MAX_PATH limit; empty when it is
// cancelled.
std::wstring ChooseFolder(HWND owner, const std::wstring& title, const BrowseContext& context);

}  // namespace qm::win32
