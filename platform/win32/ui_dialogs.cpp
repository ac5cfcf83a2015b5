// The prompts of Windows behind the modal dialogs: MessageBoxA, the common open-file dialog
// and the shell's folder picker; cursors and the message loop of the user-interface thread.
#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

#include <string>

#include "platform/ui.h"
#include "platform/ui_prompts.h"

namespace qel::platform {
namespace {

HWND ActiveOwner() { return GetActiveWindow(); }

// "Zip Files (*.ZIP)|*.zip|..." becomes the NUL-separated, double-NUL-ended list of OPENFILENAME.
std::string CommonDialogFilter(const std::string& filter) {
  std::string result = filter;
  for (char& c : result) {
    if (c == '|') c = '\0';
  }
  result.push_back('\0');
  result.push_back('\0');
  return result;
}

struct BrowseState {
  std::string Typed;
  bool ValidateFailed = false;
  const std::string* Start = nullptr;
};

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM param, LPARAM data) {
  auto* state = reinterpret_cast<BrowseState*>(data);
  if (message == BFFM_INITIALIZED && state->Start && !state->Start->empty()) {
    SendMessageA(window, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(state->Start->c_str()));
  } else if (message == BFFM_VALIDATEFAILEDA) {
    // The user typed a path the shell does not know: accept it, the caller asks before creating it.
    state->Typed = reinterpret_cast<const char*>(param);
    state->ValidateFailed = true;
    return 0;
  }
  return 0;
}

}  // namespace

int AskMessageBox(const std::string& text, const std::string& caption, std::uint32_t flags) {
  return MessageBoxA(ActiveOwner(), text.c_str(), caption.c_str(), flags | MB_TASKMODAL);
}

std::optional<std::string> AskFileName(const std::string& filter, const std::string& initialDir,
                                       const std::string& title) {
  const std::string filters = CommonDialogFilter(filter);
  char buffer[MAX_PATH] = {};
  OPENFILENAMEA request = {};
  request.lStructSize = sizeof(request);
  request.hwndOwner = ActiveOwner();
  request.lpstrFilter = filters.c_str();
  request.nFilterIndex = 1;
  request.lpstrFile = buffer;
  request.nMaxFile = sizeof(buffer);
  request.lpstrInitialDir = initialDir.c_str();
  request.lpstrTitle = title.c_str();
  request.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetOpenFileNameA(&request)) return std::nullopt;
  return std::string(buffer);
}

std::optional<std::string> AskDirectory(const std::string& directory) {
  BrowseState state;
  state.Start = &directory;
  BROWSEINFOA info = {};
  char display[MAX_PATH] = {};
  info.hwndOwner = ActiveOwner();
  info.pszDisplayName = display;
  info.lpszTitle = "Select Directory";
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_VALIDATE;
  info.lpfn = BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(&state);
  PIDLIST_ABSOLUTE picked = SHBrowseForFolderA(&info);
  std::optional<std::string> choice;
  if (picked) {
    char path[MAX_PATH] = {};
    if (SHGetPathFromIDListA(picked, path)) choice = std::string(path);
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
  SetCursor(LoadCursorA(nullptr, shape));
}

void ProcessMessages() {
  TDialogScript::CountProcessMessages();
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  TDialogScript::RunMessagesHandler();
}

}  // namespace qel::platform
