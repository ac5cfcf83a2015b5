// The shell services of Windows through their wide forms: the special-folder lookup, the
// ShellLink COM object, SHFileOperationW, ShellExecuteW and the shell's folder picker.
#include "platform/shell.h"

#include <optional>
#include <vector>

#include "platform/console.h"
#include "platform/files.h"
#include "platform/shell_list.h"
#include "platform/ui.h"
#include "platform/win32/folder_walk.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace qel::platform {

namespace {

using win32::Wide;

constexpr const char* ShellLinkClassId = "{00021401-0000-0000-C000-000000000046}";
// Returned without calling the shell for a delete that names a drive's root.
constexpr int ResultInvalidFiles = 0x7C;
// The shell takes no "\\?\" paths: a path, with its closing NUL, must fit in MAX_PATH. The
// classic fields of a shell link are as long.
constexpr std::size_t ShellPathLimit = MAX_PATH;

bool FitsShell(const std::string& path) { return Wide(path).size() < ShellPathLimit; }

// The shell reads a list up to its first empty entry; two more NULs end even a list whose
// caller forgot its closing one, so the shell never reads past the text.
std::wstring ClosedList(const std::string& list) { return Wide(list) + std::wstring(2, L'\0'); }

std::string JoinedList(const std::vector<std::string>& entries) {
  std::string list;
  for (const std::string& entry : entries) list += entry + '\0';
  return list;
}

// Whether an entry of a delete list names a drive's root ("C:\", "c:/", "C:\.."), which a
// delete must never reach whatever the caller built.
bool NamesDriveRoot(const std::string& entry) {
  std::string path = ExpandFileName(entry);
  if (path.empty()) return false;
  while (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path.size() <= 2;
}

// Whether the shell can reach the entry and, for a folder, everything below it.
bool ShellReaches(const std::string& entry) {
  const std::string full = ExpandFileName(entry);
  if (!FitsShell(full)) return false;
  bool reaches = true;
  if (win32::IsRealFolder(GetFileAttributesW(win32::WidePath(full).c_str()))) {
    win32::ForEachEntry(full, [&](const std::string& child, DWORD) { reaches = reaches && ShellReaches(child); });
  }
  return reaches;
}

// Deletes, permanently, what the shell cannot reach: 0, or the failure's code as the POSIX
// stand-in gives it (2 missing, 5 not deletable).
int DeleteBeyondShell(const std::vector<std::string>& entries) {
  int result = 0;
  for (const std::string& entry : entries) {
    const std::uint32_t attributes = FileGetAttr(entry);
    bool deleted = false;
    if (attributes == InvalidFileAttributes) {
      result = ErrorFileNotFound;
      continue;
    }
    if (win32::IsRealFolder(attributes)) {
      deleted = RemoveTree(entry);
    } else if ((attributes & faDirectory) != 0) {
      deleted = RemoveDir(entry);
    } else {
      FileSetAttr(entry, FILE_ATTRIBUTE_NORMAL);
      deleted = DeleteFile(entry);
    }
    if (!deleted) result = ErrorAccessDenied;
  }
  return result;
}

int CallShell(std::uintptr_t window, std::uint32_t operation, const std::string& from, const std::string& to,
              std::uint32_t flags, const std::string& progressTitle) {
  const std::wstring fromList = ClosedList(from);
  const std::wstring toList = ClosedList(to);
  const std::wstring title = Wide(progressTitle);
  SHFILEOPSTRUCTW request = {};
  request.hwnd = reinterpret_cast<HWND>(window);
  request.wFunc = operation;
  request.pFrom = fromList.c_str();
  request.pTo = to.empty() ? nullptr : toList.c_str();
  // Nobody is at the screen of an unattended run to see a progress window or to close an error box.
  if (Unattended()) flags |= FOF_SILENT | FOF_NOERRORUI | FOF_NOCONFIRMATION;
  request.fFlags = static_cast<FILEOP_FLAGS>(flags);
  request.fAnyOperationsAborted = FALSE;
  request.hNameMappings = nullptr;
  request.lpszProgressTitle = title.c_str();
  const int result = SHFileOperationW(&request);
  if (request.hNameMappings != nullptr) SHFreeNameMappings(request.hNameMappings);
  return result;
}

int CALLBACK CentreOnScreen(HWND window, UINT message, LPARAM /*param*/, LPARAM /*data*/) {
  if (message == BFFM_INITIALIZED) {
    RECT bounds = {};
    GetWindowRect(window, &bounds);
    const int x = (GetSystemMetrics(SM_CXSCREEN) - (bounds.right - bounds.left)) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - (bounds.bottom - bounds.top)) / 2;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return 0;
}

}  // namespace

bool InitializeShellServices() {
  const HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  return SUCCEEDED(result) || result == RPC_E_CHANGED_MODE;
}

bool GetProgramsFolder(std::string& path) {
  PIDLIST_ABSOLUTE list = nullptr;
  if (SHGetSpecialFolderLocation(nullptr, CSIDL_PROGRAMS, &list) != S_OK || list == nullptr) return false;
  wchar_t buffer[MAX_PATH] = {};
  const bool found = SHGetPathFromIDListW(list, buffer) != FALSE;
  CoTaskMemFree(list);
  if (!found) return false;
  path = win32::Utf8(buffer);
  return true;
}

struct TShellLink::TState {
  IShellLinkW* Link = nullptr;
  IPersistFile* File = nullptr;
  // Why a field could not be set, kept for Save: a link that lacks a field it was given
  // would open the wrong thing, so it is not written at all. 0 while every field took.
  DWORD Refusal = 0;

  TState() = default;
  TState(const TState&) = delete;
  TState& operator=(const TState&) = delete;
  ~TState() {
    if (File != nullptr) File->Release();
    if (Link != nullptr) Link->Release();
  }

  // A path field holds MAX_PATH characters in the link file; a longer one would be cut.
  void SetPathField(HRESULT (STDMETHODCALLTYPE IShellLinkW::*set)(LPCWSTR), const std::string& path) {
    const std::wstring wide = Wide(path);
    if (wide.size() >= ShellPathLimit) {
      Refuse(ERROR_FILENAME_EXCED_RANGE);
    } else {
      Check((Link->*set)(wide.c_str()));
    }
  }
  void Check(HRESULT result) {
    if (FAILED(result)) Refuse(static_cast<DWORD>(result));
  }
  void Refuse(DWORD code) {
    if (Refusal == 0) Refusal = code;
  }
};

TShellLink::TShellLink() = default;
TShellLink::~TShellLink() = default;

bool TShellLink::Create(TShellLinkFailure& failure) {
  failure = TShellLinkFailure{};
  FState.reset();
  auto state = std::make_unique<TState>();
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IShellLinkW,
                                    reinterpret_cast<void**>(&state->Link));
  if (FAILED(result) || state->Link == nullptr) {
    state->Link = nullptr;
    failure.InterfaceMissing = result == E_NOINTERFACE;
    failure.SystemText = win32::SystemMessage(static_cast<DWORD>(result));
    failure.ClassId = ShellLinkClassId;
    return false;
  }
  result = state->Link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&state->File));
  if (FAILED(result) || state->File == nullptr) {
    state->File = nullptr;
    failure.InterfaceMissing = true;
    failure.SystemText = win32::SystemMessage(static_cast<DWORD>(result));
    failure.ClassId = ShellLinkClassId;
    return false;
  }
  FState = std::move(state);
  return true;
}

void TShellLink::SetPath(const std::string& target) {
  if (FState) FState->SetPathField(&IShellLinkW::SetPath, target);
}

void TShellLink::SetArguments(const std::string& arguments) {
  if (FState) FState->Check(FState->Link->SetArguments(Wide(arguments).c_str()));
}

void TShellLink::SetWorkingDirectory(const std::string& directory) {
  if (FState) FState->SetPathField(&IShellLinkW::SetWorkingDirectory, directory);
}

bool TShellLink::Save(const std::string& linkFile) {
  if (!FState) return false;
  if (FState->Refusal != 0) return win32::RecordError(FState->Refusal);
  const HRESULT result = FState->File->Save(win32::WidePath(linkFile).c_str(), FALSE);
  return SUCCEEDED(result) || win32::RecordError(static_cast<DWORD>(result));
}

int ShellFileOperation(std::uintptr_t window, std::uint32_t operation, const std::string& from, const std::string& to,
                       std::uint32_t flags, const std::string& progressTitle) {
  const std::vector<std::string> entries = ShellListEntries(from);
  if (operation == foDelete) {
    for (const std::string& entry : entries) {
      if (NamesDriveRoot(entry)) return ResultInvalidFiles;
    }
  }
  std::vector<std::string> shellEntries;
  std::vector<std::string> ownEntries;
  for (const std::string& entry : entries) (ShellReaches(entry) ? shellEntries : ownEntries).push_back(entry);
  if (ownEntries.empty()) return CallShell(window, operation, from, to, flags, progressTitle);
  // Beyond the shell's reach only a permanent delete can be carried out, by a walk of our own;
  // anything else (the recycle bin, a copy or a move) is refused before any of it is done.
  if (operation != foDelete || (flags & fofAllowUndo) != 0) return ERROR_FILENAME_EXCED_RANGE;
  const int shellResult = shellEntries.empty() ? 0 : CallShell(window, operation, JoinedList(shellEntries), to, flags, progressTitle);
  const int ownResult = DeleteBeyondShell(ownEntries);
  return shellResult != 0 ? shellResult : ownResult;
}

// ShellExecuteW cannot take the "\\?\" form: a file beyond the classic limit fails there with
// the system's own result.
std::intptr_t ShellExecute(std::uintptr_t window, const std::string& file, const std::string& parameters,
                           const std::string& directory) {
  const std::wstring wideFile = Wide(file);
  const std::wstring wideParameters = Wide(parameters);
  const std::wstring wideDirectory = Wide(directory);
  const HINSTANCE result = ShellExecuteW(reinterpret_cast<HWND>(window), nullptr, wideFile.c_str(), wideParameters.c_str(),
                                         directory.empty() ? nullptr : wideDirectory.c_str(), SW_SHOWNORMAL);
  return reinterpret_cast<std::intptr_t>(result);
}

std::string BrowseForFolder(const std::string& title) {
  if (TDialogScript::Active()) return TDialogScript::NextChoice({"folder", "", title, 0}).value_or(std::string());
  // The new dialog style needs an apartment-threaded thread; on a thread in the other mode
  // the picker falls back to the old style rather than fail.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  UINT flags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
  if (com == RPC_E_CHANGED_MODE) flags &= ~static_cast<UINT>(BIF_NEWDIALOGSTYLE);
  const std::wstring wideTitle = Wide(title);
  wchar_t display[MAX_PATH] = {};
  BROWSEINFOW info = {};
  info.hwndOwner = GetActiveWindow();
  info.pidlRoot = nullptr;  // the desktop
  info.pszDisplayName = display;
  info.lpszTitle = wideTitle.c_str();
  info.ulFlags = flags;
  info.lpfn = CentreOnScreen;
  std::string chosen;
  if (PIDLIST_ABSOLUTE picked = SHBrowseForFolderW(&info)) {
    wchar_t path[MAX_PATH] = {};
    if (SHGetPathFromIDListW(picked, path)) chosen = win32::Utf8(path);
    CoTaskMemFree(picked);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return chosen;
}

}  // namespace qel::platform
