// The shell services of Windows: the special-folder lookup, the ShellLink COM object,
// SHFileOperationA, ShellExecuteA and the shell's folder picker.
#include "platform/shell.h"

#include <optional>

#include "platform/ui.h"
#include "platform/win32/windows_api.h"

namespace qel::platform {

namespace {

constexpr const char* ShellLinkClassId = "{00021401-0000-0000-C000-000000000046}";
// Returned without calling the shell for a delete that names a drive's root.
constexpr int ResultInvalidFiles = 0x7C;

std::string SystemText(HRESULT code) {
  char* buffer = nullptr;
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text = length > 0 && buffer != nullptr ? std::string(buffer, length) : std::string();
  if (buffer != nullptr) LocalFree(buffer);
  // The system's texts end in a line break.
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

std::wstring WideFromAnsi(const std::string& text) {
  if (text.empty()) return {};
  const int count = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(count > 0 ? count : 0), L'\0');
  if (count > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), count);
  return wide;
}

// The shell reads a list up to its first empty entry; two more NULs end even a list whose
// caller forgot its closing one, so the shell never reads past the text.
std::string ClosedList(const std::string& list) { return list + std::string(2, '\0'); }

// Whether an entry of a delete list names a drive's root ("C:\", "c:/", "C:\.."), which a
// delete must never reach whatever the caller built.
bool NamesDriveRoot(const std::string& entry) {
  char full[MAX_PATH] = {};
  const DWORD length = GetFullPathNameA(entry.c_str(), MAX_PATH, full, nullptr);
  if (length == 0 || length >= MAX_PATH) return false;
  std::string path(full, length);
  while (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path.size() <= 2;
}

bool ListNamesDriveRoot(const std::string& list) {
  for (std::size_t start = 0; start < list.size();) {
    std::size_t end = list.find('\0', start);
    if (end == std::string::npos) end = list.size();
    if (end == start) break;
    if (NamesDriveRoot(list.substr(start, end - start))) return true;
    start = end + 1;
  }
  return false;
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
  char buffer[MAX_PATH] = {};
  const bool found = SHGetPathFromIDListA(list, buffer) != FALSE;
  CoTaskMemFree(list);
  if (!found) return false;
  path = buffer;
  return true;
}

struct TShellLink::TState {
  IShellLinkA* Link = nullptr;
  IPersistFile* File = nullptr;

  TState() = default;
  TState(const TState&) = delete;
  TState& operator=(const TState&) = delete;
  ~TState() {
    if (File != nullptr) File->Release();
    if (Link != nullptr) Link->Release();
  }
};

TShellLink::TShellLink() = default;
TShellLink::~TShellLink() = default;

bool TShellLink::Create(TShellLinkFailure& failure) {
  failure = TShellLinkFailure{};
  FState.reset();
  auto state = std::make_unique<TState>();
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IShellLinkA,
                                    reinterpret_cast<void**>(&state->Link));
  if (FAILED(result) || state->Link == nullptr) {
    state->Link = nullptr;
    failure.InterfaceMissing = result == E_NOINTERFACE;
    failure.SystemText = SystemText(result);
    failure.ClassId = ShellLinkClassId;
    return false;
  }
  result = state->Link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&state->File));
  if (FAILED(result) || state->File == nullptr) {
    state->File = nullptr;
    failure.InterfaceMissing = true;
    failure.SystemText = SystemText(result);
    failure.ClassId = ShellLinkClassId;
    return false;
  }
  FState = std::move(state);
  return true;
}

void TShellLink::SetPath(const std::string& target) {
  if (FState) FState->Link->SetPath(target.c_str());
}

void TShellLink::SetArguments(const std::string& arguments) {
  if (FState) FState->Link->SetArguments(arguments.c_str());
}

void TShellLink::SetWorkingDirectory(const std::string& directory) {
  if (FState) FState->Link->SetWorkingDirectory(directory.c_str());
}

bool TShellLink::Save(const std::string& linkFile) {
  if (!FState) return false;
  const std::wstring name = WideFromAnsi(linkFile);
  return SUCCEEDED(FState->File->Save(name.c_str(), FALSE));
}

int ShellFileOperation(std::uintptr_t window, std::uint32_t operation, const std::string& from, const std::string& to,
                       std::uint32_t flags, const std::string& progressTitle) {
  if (operation == foDelete && ListNamesDriveRoot(from)) return ResultInvalidFiles;
  const std::string fromList = ClosedList(from);
  const std::string toList = ClosedList(to);
  SHFILEOPSTRUCTA request = {};
  request.hwnd = reinterpret_cast<HWND>(window);
  request.wFunc = operation;
  request.pFrom = fromList.c_str();
  request.pTo = to.empty() ? nullptr : toList.c_str();
  request.fFlags = static_cast<FILEOP_FLAGS>(flags);
  request.fAnyOperationsAborted = FALSE;
  request.hNameMappings = nullptr;
  request.lpszProgressTitle = progressTitle.c_str();
  const int result = SHFileOperationA(&request);
  if (request.hNameMappings != nullptr) SHFreeNameMappings(request.hNameMappings);
  return result;
}

std::intptr_t ShellExecute(std::uintptr_t window, const std::string& file, const std::string& parameters,
                           const std::string& directory) {
  const HINSTANCE result = ShellExecuteA(reinterpret_cast<HWND>(window), nullptr, file.c_str(), parameters.c_str(),
                                         directory.empty() ? nullptr : directory.c_str(), SW_SHOWNORMAL);
  return reinterpret_cast<std::intptr_t>(result);
}

std::string BrowseForFolder(const std::string& title) {
  if (TDialogScript::Active()) return TDialogScript::NextChoice({"folder", "", title, 0}).value_or(std::string());
  // The new dialog style needs an apartment-threaded thread; on a thread in the other mode
  // the picker falls back to the old style rather than fail.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  UINT flags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
  if (com == RPC_E_CHANGED_MODE) flags &= ~static_cast<UINT>(BIF_NEWDIALOGSTYLE);
  char display[MAX_PATH] = {};
  BROWSEINFOA info = {};
  info.hwndOwner = GetActiveWindow();
  info.pidlRoot = nullptr;  // the desktop
  info.pszDisplayName = display;
  info.lpszTitle = title.c_str();
  info.ulFlags = flags;
  info.lpfn = CentreOnScreen;
  std::string chosen;
  if (PIDLIST_ABSOLUTE picked = SHBrowseForFolderA(&info)) {
    char path[MAX_PATH] = {};
    if (SHGetPathFromIDListA(picked, path)) chosen = path;
    CoTaskMemFree(picked);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return chosen;
}

}  // namespace qel::platform
