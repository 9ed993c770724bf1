#include "platform/win32/folder_chooser.h"

#include <objbase.h>
#include <shlobj.h>

namespace qm::win32 {

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM value, LPARAM data) {
  const auto* context = reinterpret_cast<const BrowseContext*>(data);
  if (context == nullptr) return 0;
  if (message == BFFM_INITIALIZED && !context->start.empty()) {
    ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE,
                   reinterpret_cast<LPARAM>(context->start.c_str()));
  }
  if (message == BFFM_VALIDATEFAILEDW) {
    // The typed text is not a folder: say so, and keep the chooser open.
    const auto* typed = reinterpret_cast<const wchar_t*>(value);
    const std::wstring note =
        L"\"" + std::wstring(typed != nullptr ? typed : L"") + L"\"\n" + context->not_a_folder;
    ::MessageBoxW(dialog, note.c_str(), context->note_title.c_str(), MB_OK | MB_ICONWARNING);
    return 1;
  }
  return 0;
}

std::wstring ChooseFolder(HWND owner, const std::wstring& title, const BrowseContext& context) {
  BROWSEINFOW info = {};
  info.hwndOwner = owner;
  info.lpszTitle = title.c_str();
  // Only folders of the file system can be chosen ("This PC" or a network
  // node has no path), and a typed path that is not a folder keeps the
  // chooser open with a note instead of returning what is highlighted.
  info.ulFlags = BIF_EDITBOX | BIF_NEWDIALOGSTYLE | BIF_RETURNONLYFSDIRS | BIF_VALIDATE;
  info.lpfn = &BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(&context);
  std::wstring folder;
  if (PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&info)) {
    // Read without the MAX_PATH limit.
    std::wstring path(32768, L'\0');
    if (::SHGetPathFromIDListEx(chosen, path.data(), static_cast<DWORD>(path.size()),
                                GPFIDL_DEFAULT) &&
        path[0] != 0) {
      folder = path.c_str();
      if (folder.back() != L'\\') folder += L'\\';
    }
    ::CoTaskMemFree(chosen);
  }
  return folder;
}

}  // namespace qm::win32
