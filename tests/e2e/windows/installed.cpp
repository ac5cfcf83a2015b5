// Files, registry and shell links through the Win32 API, independent of the program under test.
#include "installed.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>


namespace qel::e2e {

namespace {

// The driver's text is UTF-8, as the program's is; the wide calls see every name.
std::wstring Wide(const std::string& text) {
  const int count = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(count > 0 ? count : 0), L'\0');
  if (count > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), count);
  return wide;
}

std::string Utf8(const wchar_t* text) {
  const int count = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(count > 0 ? count : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), count, nullptr, nullptr);
  utf8.resize(utf8.size() - 1);
  return utf8;
}

// Long paths take the prefix that lifts the classic limit; the driver's paths are full ones.
std::wstring WidePath(const std::string& path) {
  std::wstring wide = Wide(path);
  if (wide.size() >= MAX_PATH - 12 && wide.rfind(L"\\\\", 0) != 0) wide.insert(0, L"\\\\?\\");
  return wide;
}

HKEY Root(THive hive) { return hive == THive::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

class TKey final {
 public:
  TKey(THive hive, const std::string& path) {
    if (RegOpenKeyExW(Root(hive), Wide(path).c_str(), 0, KEY_READ, &FKey) != ERROR_SUCCESS) FKey = nullptr;
  }
  ~TKey() {
    if (FKey != nullptr) RegCloseKey(FKey);
  }
  TKey(const TKey&) = delete;
  TKey& operator=(const TKey&) = delete;
  HKEY Get() const { return FKey; }

 private:
  HKEY FKey = nullptr;
};

// Releases a COM interface however the reading ends.
template <class TInterface>
class TComPointer final {
 public:
  TComPointer() = default;
  ~TComPointer() {
    if (FPointer != nullptr) FPointer->Release();
  }
  TComPointer(const TComPointer&) = delete;
  TComPointer& operator=(const TComPointer&) = delete;
  TInterface* operator->() const { return FPointer; }
  void** Out() { return reinterpret_cast<void**>(&FPointer); }
  explicit operator bool() const { return FPointer != nullptr; }

 private:
  TInterface* FPointer = nullptr;
};

}  // namespace

std::optional<std::string> RegistryString(THive hive, const std::string& key, const std::string& value) {
  TKey opened(hive, key);
  if (opened.Get() == nullptr) return std::nullopt;
  DWORD type = 0;
  DWORD size = 0;
  const std::wstring name = Wide(value);
  if (RegQueryValueExW(opened.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ) {
    return std::nullopt;
  }
  std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
  if (RegQueryValueExW(opened.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  return Utf8(data.c_str());
}

bool RegistryKeyExists(THive hive, const std::string& key) { return TKey(hive, key).Get() != nullptr; }

bool SetRegistryString(THive hive, const std::string& key, const std::string& value, const std::string& data) {
  HKEY opened = nullptr;
  if (RegCreateKeyExW(Root(hive), Wide(key).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const std::wstring text = Wide(data);
  const bool set = RegSetValueExW(opened, Wide(value).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                  static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  RegCloseKey(opened);
  return set;
}

// COM on the calling thread for as long as one reading takes.
class TComSession final {
 public:
  TComSession() : FStarted(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~TComSession() {
    if (FStarted) CoUninitialize();
  }
  TComSession(const TComSession&) = delete;
  TComSession& operator=(const TComSession&) = delete;

 private:
  bool FStarted;
};

std::optional<TShellLinkFields> LoadShellLink(const std::string& linkFile) {
  TComSession com;
  TComPointer<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.Out()))) {
    return std::nullopt;
  }
  TComPointer<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.Out())) ||
      FAILED(file->Load(Wide(linkFile).c_str(), STGM_READ))) {
    return std::nullopt;
  }
  wchar_t buffer[MAX_PATH] = {};
  TShellLinkFields fields;
  // The target as the shell resolves it, from the link's item-ID list: Wine 8 keeps the path
  // field in the ANSI code page only ("中文" reads "??"), the ID list holds every name.
  LPITEMIDLIST items = nullptr;
  if (SUCCEEDED(link->GetIDList(&items)) && items != nullptr) {
    if (SHGetPathFromIDListW(items, buffer)) fields.Target = Utf8(buffer);
    CoTaskMemFree(items);
  }
  buffer[0] = L'\0';
  if (fields.Target.empty() && SUCCEEDED(link->GetPath(buffer, MAX_PATH, nullptr, SLGP_RAWPATH))) fields.Target = Utf8(buffer);
  buffer[0] = L'\0';
  if (SUCCEEDED(link->GetArguments(buffer, MAX_PATH))) fields.Arguments = Utf8(buffer);
  buffer[0] = L'\0';
  if (SUCCEEDED(link->GetWorkingDirectory(buffer, MAX_PATH))) fields.WorkingDirectory = Utf8(buffer);
  return fields;
}

std::string ProgramsFolder() {
  // Made where missing, as a user's profile has it from the first logon.
  wchar_t path[MAX_PATH] = {};
  return SHGetFolderPathW(nullptr, CSIDL_PROGRAMS | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path) == S_OK
             ? Utf8(path)
             : "";
}

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  HANDLE file = CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string contents;
  char block[65536];
  DWORD got = 0;
  while (ReadFile(file, block, sizeof block, &got, nullptr) && got > 0) contents.append(block, got);
  CloseHandle(file);
  return contents;
}

void SetEnvironment(const std::string& name, const std::string& value) {
  SetEnvironmentVariableW(Wide(name).c_str(), value.empty() ? nullptr : Wide(value).c_str());
}

bool WriteWholeFile(const std::string& path, const std::string& contents) {
  HANDLE file = CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool whole = WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr) &&
                     written == contents.size();
  return CloseHandle(file) && whole;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(WidePath(folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = Utf8(found.cFileName);
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

int IconCount(const std::string& program) {
  return static_cast<int>(ExtractIconExA(program.c_str(), -1, nullptr, nullptr, 0));
}

std::string ManifestOf(const std::string& program) {
  HMODULE module = LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return {};
  std::string manifest;
  if (HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)); found != nullptr) {
    if (HGLOBAL loaded = LoadResource(module, found); loaded != nullptr) {
      manifest.assign(static_cast<const char*>(LockResource(loaded)), SizeofResource(module, found));
    }
  }
  FreeLibrary(module);
  return manifest;
}

std::string VersionValue(const std::string& program, const std::string& name) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(program.c_str(), &ignored);
  if (size == 0) return {};
  std::string block(size, '\0');
  if (!GetFileVersionInfoA(program.c_str(), 0, size, block.data())) return {};
  struct TTranslation {
    WORD Language;
    WORD CodePage;
  };
  TTranslation* translation = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
      length < sizeof(TTranslation)) {
    return {};
  }
  char query[128] = {};
  wsprintfA(query, "\\StringFileInfo\\%04x%04x\\%s", translation->Language, translation->CodePage, name.c_str());
  char* value = nullptr;
  if (!VerQueryValueA(block.data(), query, reinterpret_cast<void**>(&value), &length) || value == nullptr) return {};
  return value;
}

}  // namespace qel::e2e
