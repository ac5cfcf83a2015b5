// The prompts of Windows behind the modal dialogs: MessageBoxW, the common open-file dialog
// and the shell's folder picker; cursors and the message loop of the user-interface thread.
// The text in and out is UTF-8; the system is called only through its wide ("W") functions.
#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

#include <iterator>
#include <string>

#include "platform/ui.h"
#include "platform/ui_prompts.h"
#include "platform/win32/wide_text.h"

namespace qel::platform {
namespace {

HWND ActiveOwner() { return GetActiveWindow(); }

// "Zip Files (*.ZIP)|*.zip|..." becomes the NUL-separated, double-NUL-ended list of OPENFILENAME.
std::wstring CommonDialogFilter(const std::string& filter) {
  std::wstring result = win32::Wide(filter);
  for (wchar_t& c : result) {
    if (c == L'|') c = L'\0';
  }
  result.push_back(L'\0');
  result.push_back(L'\0');
  return result;
}

// A system cursor (IDC_*), which <windows.h> spells for the "A" calls.
LPCWSTR SystemResource(LPCSTR id) { return reinterpret_cast<LPCWSTR>(id); }

struct BrowseState {
  std::string Typed;
  bool ValidateFailed = false;
  const std::string* Start = nullptr;
};

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM param, LPARAM data) {
  auto* state = reinterpret_cast<BrowseState*>(data);
  if (message == BFFM_INITIALIZED && state->Start && !state->Start->empty()) {
    const std::wstring start = win32::Wide(*state->Start);
    SendMessageW(window, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(start.c_str()));
  } else if (message == BFFM_VALIDATEFAILEDW) {
    // The user typed a path the shell does not know: accept it, the caller asks before creating it.
    state->Typed = win32::Utf8(reinterpret_cast<const wchar_t*>(param));
    state->ValidateFailed = true;
    return 0;
  }
  return 0;
}

}  // namespace

int AskMessageBox(const std::string& text, const std::string& caption, std::uint32_t flags) {
  return MessageBoxW(ActiveOwner(), win32::Wide(text).c_str(), win32::Wide(caption).c_str(), flags | MB_TASKMODAL);
}

std::optional<std::string> AskFileName(const std::string& filter, const std::string& initialDir,
                                       const std::string& title) {
  const std::wstring filters = CommonDialogFilter(filter);
  const std::wstring directory = win32::Wide(initialDir);
  const std::wstring caption = win32::Wide(title);
  wchar_t buffer[MAX_PATH] = {};
  OPENFILENAMEW request = {};
  request.lStructSize = sizeof(request);
  request.hwndOwner = ActiveOwner();
  request.lpstrFilter = filters.c_str();
  request.nFilterIndex = 1;
  request.lpstrFile = buffer;
  request.nMaxFile = static_cast<DWORD>(std::size(buffer));  // in characters, not bytes
  request.lpstrInitialDir = directory.c_str();
  request.lpstrTitle = caption.c_str();
  request.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetOpenFileNameW(&request)) return std::nullopt;
  return win32::Utf8(buffer);
}

std::optional<std::string> AskDirectory(const std::string& directory) {
  BrowseState state;
  state.Start = &directory;
  BROWSEINFOW info = {};
  wchar_t display[MAX_PATH] = {};
  info.hwndOwner = ActiveOwner();
  info.pszDisplayName = display;
  info.lpszTitle = L"Select Directory";
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_VALIDATE;
  info.lpfn = BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(&state);
  PIDLIST_ABSOLUTE picked = SHBrowseForFolderW(&info);
  std::optional<std::string> choice;
  if (picked) {
    wchar_t path[MAX_PATH] = {};
    if (SHGetPathFromIDListW(picked, path)) choice = win32::Utf8(path);
    CoTaskMemFree(picked);
  } else if (state.ValidateFailed) {
    choice = state.Typed;
  }
  return choice;
}

void SetScreenCursor(TCursorKind kind) {
  TDialogScript::RecordCursor(kind);
  LPCSTR shape = IDC_ARROW;
  if (kind == TCursorKind::crHourGlass) shape = IDC_WAIT;
  if (kind == TCursorKind::crAppStart) shape = IDC_APPSTARTING;
  SetCursor(LoadCursorW(nullptr, SystemResource(shape)));
}

void ProcessMessages() {
  TDialogScript::CountProcessMessages();
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  TDialogScript::RunMessagesHandler();
}

}  // namespace qel::platform
